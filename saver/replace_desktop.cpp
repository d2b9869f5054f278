#include "saver/replace_desktop.h"

#include "wallpaper/wallpaper_files.h"

namespace quillon {

namespace {

constexpr int kTrueColour = 24;  // the saver's files are always 24-bit

}  // namespace

bool WriteDesktopFiles(DisplayMode mode, const DisplayBitmap& windowImage,
                       std::span<const float> tile, int tileWidth, int tileHeight,
                       const std::string& folder, DesktopInstall& install, std::string* error) {
    const std::string quillon = JoinWallpaperPath(folder, kQuillonWallpaperName);
    const std::string lumadrift = JoinWallpaperPath(folder, kLumadriftWallpaperName);
    if (mode == DisplayMode::Expand) {
        install = {quillon, quillon, WallpaperStyle::kTile};
        return WriteWallpaperBitmap(windowImage, kTrueColour, quillon, error);
    }
    const bool mirrorX = MirrorsX(mode);
    const bool mirrorY = MirrorsY(mode);
    DisplayBitmap picture;
    if (!BuildTilePicture(tile, tileWidth, tileHeight, MirroredExtent(tileWidth, mirrorX),
                          MirroredExtent(tileHeight, mirrorY), mirrorX, mirrorY, picture)) {
        if (error) *error = "the picture could not be built";
        return false;
    }
    if (mode == DisplayMode::Current || mode == DisplayMode::Image) {
        install = {quillon, lumadrift, WallpaperStyle::kCenter};
        return WriteWallpaperBitmap(windowImage, kTrueColour, lumadrift, error) &&
               WriteWallpaperBitmap(picture, kTrueColour, quillon, error);
    }
    install = {quillon, quillon, WallpaperStyle::kTile};
    return WriteWallpaperBitmap(picture, kTrueColour, quillon, error);
}

}  // namespace quillon
