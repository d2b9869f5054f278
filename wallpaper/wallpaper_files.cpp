#include "wallpaper/wallpaper_files.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "image/bmp_file.h"
#include "image/palette_reduction.h"

namespace quillon {

namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// Column (or row) c of the output as a tile column.
int TileIndex(int c, int extent, bool mirror) {
    if (extent <= 1) return 0;
    if (!mirror) return c % extent;
    const int period = 2 * extent - 2;
    const int k = c % period;
    return k < extent ? k : period - k;
}

std::uint8_t ToByte(float value) {
    if (!(value > 0.0f)) return 0;  // NaN too
    if (value >= 1.0f) return 255;
    return static_cast<std::uint8_t>(value * 255.0f);
}

}  // namespace

std::string WallpaperDirectory() {
    std::string base = Environment("XDG_DATA_HOME");
    // Relative values are invalid by the XDG rules and ignored.
    if (base.empty() || base.front() != '/') {
        std::string home = Environment("HOME");
        if (home.empty()) home = "/tmp";
        base = JoinWallpaperPath(home, ".local/share");
    }
    return JoinWallpaperPath(base, "quillon");
}

std::string JoinWallpaperPath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (path.empty() || path.back() != '/') path += '/';
    path += name;
    return path;
}

std::string WallpaperPath(std::string_view name) {
    return JoinWallpaperPath(WallpaperDirectory(), name);
}

bool WriteWallpaperBitmap(const DisplayBitmap& picture, int displayDepth, const std::string& path,
                          std::string* error) {
    auto fail = [&](std::string why) {
        if (error) *error = std::move(why);
        return false;
    };
    if (picture.Empty()) return fail("There is no picture to write.");

    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        if (ec) return fail("Cannot create the folder " + folder.string() + ": " + ec.message());
    }

    if (displayDepth >= 16 && picture.BitsPerPixel() == 24)
        return picture.SaveAsBitmapFile(path, error);

    Palette palette;
    std::unique_ptr<ImageBuffer> image = picture.ToImage(&palette);
    if (!image) return fail("Not enough memory to write the wallpaper.");
    if (image->BytesPerPixel() != 3) {
        auto rgb = std::make_unique<ImageBuffer>(*image, palette);
        if (rgb->Empty()) return fail("Not enough memory to write the wallpaper.");
        image = std::move(rgb);
    }
    if (displayDepth >= 16) {
        if (WriteBitmapFile(*image, Palette{}, path, error) != BitmapWriteStatus::Ok) return false;
        return true;
    }
    std::unique_ptr<ImageBuffer> indexed = ReduceToPalette(*image, 256, palette);
    if (!indexed) return fail("Not enough memory to write the wallpaper.");
    return WriteBitmapFile(*indexed, palette, path, error) == BitmapWriteStatus::Ok;
}

bool BuildTilePicture(std::span<const float> tileRgb, int tileWidth, int tileHeight, int width,
                      int height, bool xMirror, bool yMirror, DisplayBitmap& out) {
    if (tileWidth <= 0 || tileHeight <= 0 || !IsValidImageSize(tileWidth, tileHeight)) return false;
    const std::size_t tilePixels =
        static_cast<std::size_t>(tileWidth) * static_cast<std::size_t>(tileHeight);
    if (tileRgb.size() / 3 < tilePixels) return false;
    if (!IsValidImageSize(width, height) || !out.Create(width, height, 24)) return false;

    std::vector<int> columns(static_cast<std::size_t>(width));
    for (int c = 0; c < width; ++c) columns[c] = TileIndex(c, tileWidth, xMirror);
    for (int r = 0; r < height; ++r) {
        // Bitmap row 0 is the bottom row, as the tile's row 0 is shown.
        const int tileRow = TileIndex(r, tileHeight, yMirror);
        const float* source = tileRgb.data() + static_cast<std::size_t>(tileRow) * tileWidth * 3;
        std::uint8_t* row = out.BitmapRow(r);
        for (int c = 0; c < width; ++c) {
            const float* pixel = source + static_cast<std::size_t>(columns[c]) * 3;
            row[3 * c + 0] = ToByte(pixel[2]);
            row[3 * c + 1] = ToByte(pixel[1]);
            row[3 * c + 2] = ToByte(pixel[0]);
        }
    }
    return true;
}

}  // namespace quillon
