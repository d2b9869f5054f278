#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "image/bmp_file.h"
#include "image/palette_reduction.h"
#include "test_support.h"

namespace quillon {
namespace {

// One row holding each colour `count` times.
ImageBuffer Colours(const std::vector<PaletteEntry>& colours, const std::vector<int>& counts) {
    int total = 0;
    for (int c : counts) total += c;
    ImageBuffer image;
    EXPECT_TRUE(image.Allocate(total, 1, 3, 24));
    std::uint8_t* p = image.Pixels();
    for (std::size_t i = 0; i < colours.size(); ++i) {
        for (int n = 0; n < counts[i]; ++n, p += 3) {
            p[0] = colours[i].r;
            p[1] = colours[i].g;
            p[2] = colours[i].b;
        }
    }
    return image;
}

std::set<std::vector<int>> AsSet(const Palette& palette) {
    std::set<std::vector<int>> out;
    for (const PaletteEntry& e : palette) out.insert({e.r, e.g, e.b});
    return out;
}

TEST(PaletteReduction, FewColoursEachGetTheirOwnEntry) {
    std::vector<PaletteEntry> colours;
    std::set<std::vector<int>> rounded;
    for (int i = 0; i < 10; ++i) {
        PaletteEntry c{std::uint8_t(i * 25 + 3), std::uint8_t(250 - i * 20),
                       std::uint8_t(i * i * 2 + 5)};
        colours.push_back(c);
        rounded.insert({c.r / 8 * 8, c.g / 8 * 8, c.b / 8 * 8});
    }
    ImageBuffer image = Colours(colours, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    Palette palette;
    auto indexed = ReduceToPalette(image, 256, palette);
    ASSERT_TRUE(indexed);
    EXPECT_EQ(indexed->BitsPerPixel(), 8);
    EXPECT_EQ(indexed->Width(), image.Width());
    ASSERT_EQ(palette.size(), 10u);
    EXPECT_EQ(AsSet(palette), rounded);
    for (int x = 0; x < image.Width(); ++x) {
        const std::uint8_t* p = image.Pixels() + 3 * x;
        PaletteEntry e = palette[indexed->Pixels()[x]];
        EXPECT_EQ(e, (PaletteEntry{std::uint8_t(p[0] / 8 * 8), std::uint8_t(p[1] / 8 * 8),
                                   std::uint8_t(p[2] / 8 * 8)}));
    }
}

TEST(PaletteReduction, OneColourIsOneBoxAndStillA256EntryFile) {
    ImageBuffer image = Colours({{77, 77, 77}}, {20});
    Palette palette;
    auto indexed = ReduceToPalette(image, 256, palette);
    ASSERT_TRUE(indexed);
    EXPECT_EQ(palette, (Palette{{72, 72, 72}}));
    std::vector<std::uint8_t> file;
    ASSERT_EQ(EncodeBitmap(*indexed, palette, file), BitmapWriteStatus::Ok);
    EXPECT_EQ(file.size(), 54u + 1024u + 20u);
}

TEST(PaletteReduction, LongestSideDecidesTheAxis) {
    Palette palette;
    // Equal extents: blue first. Splitting by blue pairs black with green.
    ASSERT_TRUE(ReduceToPalette(
        Colours({{0, 0, 0}, {248, 0, 0}, {0, 248, 0}, {0, 0, 248}}, {10, 10, 10, 10}), 2, palette));
    EXPECT_EQ(AsSet(palette), (std::set<std::vector<int>>{{0, 124, 0}, {124, 0, 124}}));
    // Green and red equal, blue smaller: green.
    ASSERT_TRUE(
        ReduceToPalette(Colours({{0, 0, 0}, {248, 0, 0}, {0, 248, 0}}, {10, 10, 10}), 2, palette));
    EXPECT_EQ(AsSet(palette), (std::set<std::vector<int>>{{124, 0, 0}, {0, 248, 0}}));
    // Red longest: red.
    ASSERT_TRUE(
        ReduceToPalette(Colours({{0, 0, 0}, {248, 0, 0}, {0, 128, 0}}, {10, 10, 10}), 2, palette));
    EXPECT_EQ(AsSet(palette), (std::set<std::vector<int>>{{0, 64, 0}, {248, 0, 0}}));
}

TEST(PaletteReduction, SplitsAtThePixelMedianButNeverEmptiesAHalf) {
    Palette palette;
    // Half of 102 is 51: the walk reaches the last key first and stops before it.
    auto indexed =
        ReduceToPalette(Colours({{0, 0, 0}, {0, 0, 16}, {0, 0, 248}}, {1, 1, 100}), 2, palette);
    ASSERT_TRUE(indexed);
    EXPECT_EQ(AsSet(palette), (std::set<std::vector<int>>{{0, 0, 8}, {0, 0, 248}}));
    // Pixels of a merged box map to its entry.
    EXPECT_EQ(palette[indexed->Pixels()[0]], (PaletteEntry{0, 0, 8}));
    EXPECT_EQ(palette[indexed->Pixels()[1]], (PaletteEntry{0, 0, 8}));
    EXPECT_EQ(palette[indexed->Pixels()[2]], (PaletteEntry{0, 0, 248}));
    // Heavy first colour: it alone forms the first half.
    ASSERT_TRUE(
        ReduceToPalette(Colours({{0, 0, 0}, {0, 0, 16}, {0, 0, 248}}, {100, 1, 1}), 2, palette));
    EXPECT_EQ(AsSet(palette), (std::set<std::vector<int>>{{0, 0, 0}, {0, 0, 132}}));
}

TEST(PaletteReduction, ManyColoursFillTheLimit) {
    ImageBuffer image = test::TestPicture(64, 64);
    Palette palette;
    auto indexed = ReduceToPalette(image, 256, palette);
    ASSERT_TRUE(indexed);
    EXPECT_EQ(palette.size(), 256u);
    ImageBuffer back(*indexed, palette);
    EXPECT_LT(test::MeanDifference(image, back, false), 8.0);
}

TEST(PaletteReduction, NoResultWithoutRgbPixels) {
    Palette palette{{1, 1, 1}};
    EXPECT_FALSE(ReduceToPalette(ImageBuffer(), 256, palette));
    EXPECT_TRUE(palette.empty());
    ImageBuffer indexed;
    indexed.Allocate(2, 2, 1, 8);
    EXPECT_FALSE(ReduceToPalette(indexed, 256, palette));
}

}  // namespace
}  // namespace quillon
