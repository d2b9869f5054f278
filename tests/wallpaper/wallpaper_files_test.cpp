#include "wallpaper/wallpaper_files.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <limits>
#include <vector>

#include "image/bmp_file.h"

namespace quillon {
namespace {

TEST(WallpaperPathTest, OneSeparatorBetweenFolderAndName) {
    EXPECT_EQ(JoinWallpaperPath("/data/", "QuillonBitmap.bmp"), "/data/QuillonBitmap.bmp");
    EXPECT_EQ(JoinWallpaperPath("/data", "QuillonBitmap.bmp"), "/data/QuillonBitmap.bmp");
}

TEST(WallpaperPathTest, FolderFollowsXdgDataHome) {
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", "/somewhere/data");
    EXPECT_EQ(WallpaperPath(kLumadriftWallpaperName),
              "/somewhere/data/quillon/LumadriftBitmap.bmp");
    // A relative value is not a valid base: the home folder's default is used.
    qputenv("XDG_DATA_HOME", "relative");
    EXPECT_EQ(WallpaperDirectory(), QDir::homePath().toStdString() + "/.local/share/quillon");
    qputenv("XDG_DATA_HOME", saved);
}

class WallpaperWriteTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        // Two colours, left half red, right half blue.
        ASSERT_TRUE(m_picture.Create(8, 4, 24));
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 8; ++c) {
                std::uint8_t* p = m_picture.BitmapRow(r) + 3 * c;
                p[0] = c < 4 ? 0 : 200;  // B
                p[2] = c < 4 ? 200 : 0;  // R
            }
    }
    std::string Path(const char* name) { return QDir(m_dir.path()).filePath(name).toStdString(); }

    QTemporaryDir m_dir;
    DisplayBitmap m_picture;
};

TEST_F(WallpaperWriteTest, DepthChoosesTheFileFormat) {
    const std::string path = Path("sub/QuillonBitmap.bmp");  // the folder is made
    std::string error;
    ASSERT_TRUE(WriteWallpaperBitmap(m_picture, 8, path, &error)) << error;
    BitmapReadResult indexed = ReadBitmapFile(path);
    ASSERT_TRUE(indexed.Ok());
    EXPECT_EQ(indexed.image->BitsPerPixel(), 8);
    const PaletteEntry left = indexed.palette[indexed.image->Row(0)[0]];
    const PaletteEntry right = indexed.palette[indexed.image->Row(0)[7]];
    EXPECT_GT(left.r, 150);
    EXPECT_LT(left.b, 50);
    EXPECT_GT(right.b, 150);

    ASSERT_TRUE(WriteWallpaperBitmap(m_picture, 16, path, &error)) << error;
    BitmapReadResult full = ReadBitmapFile(path);
    ASSERT_TRUE(full.Ok());
    EXPECT_EQ(full.image->BitsPerPixel(), 24);
    EXPECT_EQ(full.image->Row(0)[0], 200);  // R of the bottom-left pixel
}

TEST_F(WallpaperWriteTest, UnwritableFolderFailsWithAReason) {
    QFile blocker(QString::fromStdString(Path("file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    std::string error;
    EXPECT_FALSE(WriteWallpaperBitmap(m_picture, 24, Path("file/QuillonBitmap.bmp"), &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(WriteWallpaperBitmap(DisplayBitmap(), 24, Path("empty.bmp"), &error));
}

// Tile of w x h whose pixel (x, y) has red x / 10 and green y / 10.
std::vector<float> CoordinateTile(int w, int h) {
    std::vector<float> rgb;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            rgb.insert(rgb.end(), {x / 10.0f + 0.001f, y / 10.0f + 0.001f, 0});
    return rgb;
}

std::vector<int> Columns(const DisplayBitmap& bitmap, int row) {
    std::vector<int> columns;
    for (int c = 0; c < bitmap.Width(); ++c)
        columns.push_back(bitmap.BitmapRow(row)[3 * c + 2] / 25);
    return columns;
}

std::vector<int> Rows(const DisplayBitmap& bitmap) {
    std::vector<int> rows;
    for (int r = 0; r < bitmap.Height(); ++r) rows.push_back(bitmap.BitmapRow(r)[1] / 25);
    return rows;
}

TEST(TilePictureTest, MirroredColumnsTurnWithoutRepeatingTheEnds) {
    const std::vector<float> tile = CoordinateTile(3, 2);
    DisplayBitmap out;
    ASSERT_TRUE(BuildTilePicture(tile, 3, 2, MirroredExtent(3, true), 2, true, false, out));
    EXPECT_EQ(out.Width(), 5);
    EXPECT_EQ(Columns(out, 0), (std::vector<int>{0, 1, 2, 1, 0}));
    EXPECT_EQ(Rows(out), (std::vector<int>{0, 1}));  // tile row 0 at the bottom

    ASSERT_TRUE(BuildTilePicture(tile, 3, 2, 9, 7, true, true, out));
    EXPECT_EQ(Columns(out, 0), (std::vector<int>{0, 1, 2, 1, 0, 1, 2, 1, 0}));
    EXPECT_EQ(Rows(out), (std::vector<int>{0, 1, 0, 1, 0, 1, 0}));

    // Plain tiling wraps.
    ASSERT_TRUE(BuildTilePicture(tile, 3, 2, 7, 2, false, false, out));
    EXPECT_EQ(Columns(out, 1), (std::vector<int>{0, 1, 2, 0, 1, 2, 0}));
}

TEST(TilePictureTest, OnePixelTileRepeatsAndBytesAreClamped) {
    const std::vector<float> tile = {std::numeric_limits<float>::quiet_NaN(), 2.0f, -1.0f};
    DisplayBitmap out;
    EXPECT_EQ(MirroredExtent(1, true), 1);
    ASSERT_TRUE(BuildTilePicture(tile, 1, 1, 3, 3, true, true, out));
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            const std::uint8_t* p = out.BitmapRow(r) + 3 * c;
            EXPECT_EQ(p[2], 0);    // NaN
            EXPECT_EQ(p[1], 255);  // above 1
            EXPECT_EQ(p[0], 0);    // below 0
        }
}

TEST(TilePictureTest, RefusesShortOrEmptyTiles) {
    const std::vector<float> tile = CoordinateTile(3, 2);
    DisplayBitmap out;
    EXPECT_FALSE(BuildTilePicture(tile, 4, 2, 4, 2, false, false, out));
    EXPECT_FALSE(BuildTilePicture(tile, 0, 2, 4, 2, false, false, out));
    EXPECT_FALSE(BuildTilePicture(tile, 3, 2, 0, 2, false, false, out));
}

}  // namespace
}  // namespace quillon
