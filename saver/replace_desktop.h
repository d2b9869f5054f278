#pragma once

#include <span>
#include <string>

#include "image/display_bitmap.h"
#include "saver/display_logic.h"
#include "wallpaper/wallpaper_setter.h"

namespace quillon {

// What the desktop is given after the files are written.
struct DesktopInstall {
    std::string styledPath;  // for desktops that know a style
    std::string plainPath;   // for setters that show a picture as it is
    WallpaperStyle style = WallpaperStyle::kTile;
};

// Writes the wallpaper files of a finished picture into folder, by the way
// it was shown: EXPAND writes the window's picture as QuillonBitmap.bmp;
// CURRENT and IMAGE write the window's picture (centred on black) as
// LumadriftBitmap.bmp for plain setters and the picture alone as
// QuillonBitmap.bmp, centred; TILE and the mirror modes write the tile, with
// its mirrored columns and rows, as QuillonBitmap.bmp, tiled. Always 24-bit.
// False, with the reason, when a file could not be written: nothing is then
// to be installed.
bool WriteDesktopFiles(DisplayMode mode, const DisplayBitmap& windowImage,
                       std::span<const float> tile, int tileWidth, int tileHeight,
                       const std::string& folder, DesktopInstall& install,
                       std::string* error = nullptr);

}  // namespace quillon
