#include <gtest/gtest.h>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>

#include "engine/random.h"
#include "engine/texture_map.h"
#include "image/display_bitmap.h"
#include "saver/display_logic.h"

namespace fs = std::filesystem;

namespace quillon {
namespace {

void Touch(const fs::path& path) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "x";
}

std::vector<std::string> Names(const std::vector<std::string>& paths) {
    std::vector<std::string> names;
    for (const auto& p : paths) names.push_back(fs::path(p).filename().string());
    return names;
}

class FolderScan : public testing::Test {
  protected:
    void SetUp() override {
        root = fs::path(dir.path().toStdString());
        Touch(root / "b.jpg");
        Touch(root / "a.QLN");
        Touch(root / "c.bmp");
        Touch(root / "d.png");
        Touch(root / "e.JPEG");
        Touch(root / "notes.txt");
        Touch(root / "sub" / "f.qln");
        Touch(root / "sub" / "deeper" / "g.qln");
        Touch(root / ".hidden" / "h.qln");
        Touch(root / ".i.qln");
        fs::create_directory_symlink(root / "sub", root / "link");
    }
    QTemporaryDir dir;
    fs::path root;
};

TEST_F(FolderScan, DepthKindsOrderAndHiddenFolders) {
    const ScanResult one = ScanFolder(root.string(), 1);
    EXPECT_EQ(Names(one.files),
              (std::vector<std::string>{"a.QLN", "b.jpg", "e.JPEG", "c.bmp", "d.png"}));
    EXPECT_EQ(Names(one.documents), (std::vector<std::string>{"a.QLN"}));

    // Depth 2 adds the immediate subfolders, never hidden ones or links.
    const ScanResult two = ScanFolder(root.string(), 2);
    EXPECT_EQ(Names(two.files).back(), "f.qln");
    EXPECT_EQ(two.files.size(), 6u);
    EXPECT_EQ(two.documents.size(), 2u);
    EXPECT_EQ(ScanFolder(root.string(), 3).files.size(), 7u);
    EXPECT_EQ(ScanFolder(root.string(), 99).files.size(), 7u);  // limited to 4

    // With or without a final separator: the same folder.
    EXPECT_EQ(ScanFolder(root.string() + "/", 2).files, two.files);
    EXPECT_TRUE(ScanFolder((root / "gone").string(), 2).files.empty());
    EXPECT_EQ(FolderWithSeparator("/x"), "/x/");
    EXPECT_EQ(FolderWithSeparator("/x/"), "/x/");
}

TEST(DisplayModes, FromScreenSaverFlags) {
    RandomGenerator::Instance().Seed(7);
    EXPECT_EQ(ChooseDisplayMode(0), DisplayMode::Current);
    int expand = 0, tile = 0;
    for (int i = 0; i < 2000; ++i) {
        EXPECT_EQ(ChooseDisplayMode(kScreenSaverXMirror | kScreenSaverYMirror),
                  DisplayMode::XYMirror);
        const DisplayMode m = ChooseDisplayMode(kScreenSaverExpand | kScreenSaverTile);
        expand += m == DisplayMode::Expand;
        tile += m == DisplayMode::Tile;
    }
    EXPECT_EQ(expand + tile, 2000);
    EXPECT_NEAR(expand, 1000, 120);
    EXPECT_EQ(ChooseDisplayMode(kScreenSaverYMirror), DisplayMode::YMirror);
}

TEST(DisplayModes, RenderPlans) {
    // Expand: the window's size, scales per axis and their smaller one.
    RenderPlan p = PlanRendering(DisplayMode::Expand, 256, 128, 1024, 768);
    EXPECT_EQ(p.width, 1024);
    EXPECT_FLOAT_EQ(p.xScale, 4.0f);
    EXPECT_FLOAT_EQ(p.yScale, 6.0f);
    EXPECT_FLOAT_EQ(p.scale, 4.0f);
    // A larger picture shrinks uniformly to fit; a smaller one keeps its size.
    p = PlanRendering(DisplayMode::Image, 2000, 500, 1000, 1000);
    EXPECT_EQ(p.width, 1000);
    EXPECT_EQ(p.height, 250);
    EXPECT_FLOAT_EQ(p.scale, 0.5f);
    p = PlanRendering(DisplayMode::Image, 300, 200, 1000, 1000);
    EXPECT_EQ(p.width, 300);
    EXPECT_FLOAT_EQ(p.xScale, 1.0f);
    // Current clips each axis on its own.
    p = PlanRendering(DisplayMode::Current, 2000, 500, 1000, 1000);
    EXPECT_EQ(p.width, 1000);
    EXPECT_EQ(p.height, 500);
    EXPECT_FLOAT_EQ(p.xScale, 0.5f);
    EXPECT_FLOAT_EQ(p.yScale, 1.0f);
}

// A tile whose pixel (x, y) holds x in red and y in green.
std::vector<float> IndexTile(int w, int h) {
    std::vector<float> tile(3 * static_cast<std::size_t>(w * h));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            tile[3 * (y * w + x)] = static_cast<float>(x);
            tile[3 * (y * w + x) + 1] = static_cast<float>(y);
        }
    }
    return tile;
}

TEST(Composition, TileIndicesWrapAndMirror) {
    EXPECT_EQ(TileIndex(4, 3, false), 1);
    const int mirrored[] = {0, 1, 2, 1, 0, 1, 2, 1};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(TileIndex(i, 3, true), mirrored[i]) << i;
    EXPECT_EQ(TileIndex(5, 1, true), 0);  // a one-pixel tile repeats itself
    EXPECT_EQ(TileIndex(5, 2, true), 1);

    // The window's edges: a 7 x 5 window of a mirrored 3 x 2 tile.
    const auto tile = IndexTile(3, 2);
    std::vector<float> window(3 * 7 * 5, -1.0f);
    ComposeTiled(tile.data(), 3, 2, window.data(), 7, 5, true, false);
    EXPECT_EQ(window[3 * 6], 2.0f);                // last column, bottom row
    EXPECT_EQ(window[3 * (4 * 7 + 4)], 0.0f);      // column 4 turns back to 0
    EXPECT_EQ(window[3 * (4 * 7 + 6) + 1], 0.0f);  // top row wraps to tile row 0
    EXPECT_EQ(window[3 * (3 * 7) + 1], 1.0f);
}

TEST(Composition, CentredOnBlackBothWays) {
    const auto tile = IndexTile(2, 2);
    std::vector<float> window(3 * 5 * 4, 9.0f);
    ComposeCentred(tile.data(), 2, 2, window.data(), 5, 4);
    // Offsets (4 - 2) / 2 = 1 row and (5 - 2) / 2 = 1 column.
    EXPECT_EQ(window[3 * (1 * 5 + 2)], 1.0f);
    EXPECT_EQ(window[3 * (2 * 5 + 1) + 1], 1.0f);
    EXPECT_EQ(window[3 * (0 * 5 + 0)], 0.0f);
    EXPECT_EQ(window[3 * (3 * 5 + 4)], 0.0f);
    // A tile larger than the window keeps its middle.
    const auto big = IndexTile(6, 6);
    std::vector<float> small(3 * 2 * 2);
    ComposeCentred(big.data(), 6, 6, small.data(), 2, 2);
    EXPECT_EQ(small[0], 2.0f);
    EXPECT_EQ(small[1], 2.0f);
}

// Rows of a 24-bit image (from the bottom) that a wipe step blackened.
std::vector<int> BlackRowsInColumn(int pattern, int n, int c, int column, int w = 10, int h = 10) {
    DisplayBitmap image;
    image.Create(w, h, 24);
    for (int y = 0; y < h; ++y)
        std::memset(image.BitmapRow(y), 255, 3 * static_cast<std::size_t>(w));
    BlackenRects(image, WipeRects(pattern, n, c, w, h));
    std::vector<int> rows;
    for (int y = 0; y < h; ++y) {
        if (image.BitmapRow(y)[3 * column] == 0) rows.push_back(y);
    }
    return rows;
}

TEST(Wipe, PixelsEachPatternBlackens) {
    using Rows = std::vector<int>;
    // 0: a band from the bottom; counter 100 -> 250 of 500 on 10 rows.
    EXPECT_EQ(BlackRowsInColumn(0, 100, 250, 3), (Rows{2, 3, 4}));
    EXPECT_EQ(BlackRowsInColumn(0, 499, 500, 3), (Rows{9}));
    // 1: from the top.
    EXPECT_EQ(BlackRowsInColumn(1, 0, 100, 3), (Rows{8, 9}));
    // 2: the centred rectangle grows; at 250 it covers the middle half.
    EXPECT_EQ(BlackRowsInColumn(2, 249, 250, 5), (Rows{2, 3, 4, 5, 6}));
    EXPECT_TRUE(BlackRowsInColumn(2, 249, 250, 1).empty());
    // 3: everything outside a shrinking centred rectangle.
    EXPECT_EQ(BlackRowsInColumn(3, 0, 250, 5), (Rows{0, 1, 7, 8, 9}));
    EXPECT_EQ(BlackRowsInColumn(3, 0, 250, 1).size(), 10u);
    EXPECT_EQ(BlackRowsInColumn(3, 0, 500, 5).size(), 10u);
    // 4: bands from top and bottom only.
    EXPECT_EQ(BlackRowsInColumn(4, 0, 250, 1), (Rows{0, 1, 7, 8, 9}));
    EXPECT_TRUE(WipeRects(4, 0, 0, 10, 10).empty());
    EXPECT_TRUE(WipeRects(7, 0, 100, 10, 10).empty());
}

}  // namespace
}  // namespace quillon
