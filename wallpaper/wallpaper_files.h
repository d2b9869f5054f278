#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "image/display_bitmap.h"

namespace quillon {

// The editor's wallpaper, also the screen saver's picture or tile.
inline constexpr std::string_view kQuillonWallpaperName = "QuillonBitmap.bmp";
// The screen saver's full-screen composition.
inline constexpr std::string_view kLumadriftWallpaperName = "LumadriftBitmap.bmp";

// The per-user folder both programs keep their wallpaper files in:
// $XDG_DATA_HOME/quillon, or ~/.local/share/quillon. Not created here.
std::string WallpaperDirectory();
// folder + name with exactly one separator between them.
std::string JoinWallpaperPath(std::string_view folder, std::string_view name);
// The file's full path in WallpaperDirectory().
std::string WallpaperPath(std::string_view name);

// Writes a picture as a wallpaper file: a 256-colour bitmap when the screen
// shows fewer than 16 bits per pixel, else a 24-bit one. The folder is
// created when missing; the old file is replaced only after a complete
// write. False, with the reason in error, when nothing could be written.
bool WriteWallpaperBitmap(const DisplayBitmap& picture, int displayDepth, const std::string& path,
                          std::string* error = nullptr);

// The screen saver's tile picture: a 24-bit bitmap of width x height built
// from a tile of tileWidth x tileHeight pixels (3 floats each, R G B, row 0
// shown at the bottom). Output column c takes tile column c modulo the tile
// width, or, with xMirror, runs 0, 1, .., w - 1, w - 2, .., 1, 0 and on
// again; rows likewise with yMirror. Bytes are value x 255 after clamping
// to 0..1 (NaN as 0), truncated. False for an empty tile, a buffer shorter
// than the tile, a size outside the image limits or short memory.
bool BuildTilePicture(std::span<const float> tileRgb, int tileWidth, int tileHeight, int width,
                      int height, bool xMirror, bool yMirror, DisplayBitmap& out);

// The size of the written tile picture for a display mode: the tile itself,
// or twice it less one along each mirrored direction.
inline int MirroredExtent(int tileExtent, bool mirror) {
    return mirror ? 2 * tileExtent - 1 : tileExtent;
}

}  // namespace quillon
