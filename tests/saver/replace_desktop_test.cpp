#include <gtest/gtest.h>
#include <QTemporaryDir>
#include <filesystem>

#include "image/bmp_file.h"
#include "saver/replace_desktop.h"

namespace fs = std::filesystem;

namespace quillon {
namespace {

class DesktopFiles : public testing::Test {
  protected:
    void SetUp() override {
        folder = dir.path().toStdString();
        window.Create(8, 6, 24);
        // A 3 x 2 tile whose red is its column and green its row, in 0..1.
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 3; ++x) {
                tile[3 * (y * 3 + x)] = static_cast<float>(x) / 4.0f;
                tile[3 * (y * 3 + x) + 1] = static_cast<float>(y) / 4.0f;
            }
        }
    }
    BitmapReadResult Read(std::string_view name) {
        return ReadBitmapFile((fs::path(folder) / name).string());
    }
    QTemporaryDir dir;
    std::string folder;
    DisplayBitmap window;
    float tile[18] = {};
    DesktopInstall install;
};

TEST_F(DesktopFiles, EachModeWritesItsFilesAndStyle) {
    ASSERT_TRUE(WriteDesktopFiles(DisplayMode::Expand, window, {}, 0, 0, folder, install));
    EXPECT_EQ(install.styledPath, install.plainPath);
    EXPECT_EQ(install.style, WallpaperStyle::kTile);
    EXPECT_EQ(Read("QuillonBitmap.bmp").image->Width(), 8);

    fs::remove(fs::path(folder) / "QuillonBitmap.bmp");
    ASSERT_TRUE(WriteDesktopFiles(DisplayMode::Image, window, tile, 3, 2, folder, install));
    EXPECT_EQ(install.style, WallpaperStyle::kCenter);
    EXPECT_EQ(fs::path(install.plainPath).filename(), "LumadriftBitmap.bmp");
    EXPECT_EQ(Read("LumadriftBitmap.bmp").image->Width(), 8);
    EXPECT_EQ(Read("QuillonBitmap.bmp").image->Width(), 3);

    // Mirrored columns 0, 1, 2, 1, 0 and rows 0, 1, 0.
    ASSERT_TRUE(WriteDesktopFiles(DisplayMode::XYMirror, window, tile, 3, 2, folder, install));
    const BitmapReadResult mirrored = Read("QuillonBitmap.bmp");
    ASSERT_TRUE(mirrored.Ok());
    EXPECT_EQ(mirrored.image->Width(), 5);
    EXPECT_EQ(mirrored.image->Height(), 3);
    const std::uint8_t* bottom = mirrored.image->Row(0);
    const int reds[] = {0, 63, 127, 63, 0};
    for (int x = 0; x < 5; ++x) EXPECT_EQ(bottom[3 * x], reds[x]) << x;
    EXPECT_EQ(mirrored.image->Row(1)[1], 63);
    EXPECT_EQ(mirrored.image->Row(2)[1], 0);
}

TEST_F(DesktopFiles, AnUnwritableFolderInstallsNothing) {
    const std::string blocked = (fs::path(folder) / "file").string();
    std::FILE* f = std::fopen(blocked.c_str(), "w");
    std::fclose(f);
    std::string error;
    EXPECT_FALSE(WriteDesktopFiles(DisplayMode::Tile, window, tile, 3, 2, blocked + "/sub", install,
                                   &error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace quillon
