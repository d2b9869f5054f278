#include <gtest/gtest.h>

#include "image/image_buffer.h"
#include "test_support.h"

namespace quillon {
namespace {

using test::Bytes;

ImageBuffer Rgb(int width, int height, const Bytes& pixels) {
    ImageBuffer image;
    EXPECT_TRUE(image.Allocate(width, height, 3, 24));
    image.Store(pixels.data(), 0, pixels.size());
    return image;
}

Bytes All(const ImageBuffer& image) { return Bytes(image.Pixels(), image.Pixels() + image.Size()); }

TEST(ImageBuffer, AllocationRowsAndStores) {
    ImageBuffer image;
    EXPECT_TRUE(image.Empty());
    EXPECT_EQ(image.Row(0), nullptr);
    ASSERT_TRUE(image.Allocate(4, 3, 3, 24));
    EXPECT_EQ(image.Size(), 36u);
    EXPECT_EQ(All(image), Bytes(36, 0));  // zero-filled
    EXPECT_EQ(image.Row(2), image.Pixels() + 24);
    EXPECT_EQ(image.Row(-1), nullptr);
    EXPECT_EQ(image.Row(3), nullptr);

    const std::uint8_t bytes[] = {9, 8, 7};
    EXPECT_TRUE(image.Store(bytes, 33, 3));
    EXPECT_FALSE(image.Store(bytes, 34, 3));
    EXPECT_FALSE(image.Store(bytes, SIZE_MAX, 3));
    EXPECT_EQ(image.Pixels()[35], 7);

    // Refused formats and sizes leave the image as it was.
    EXPECT_FALSE(image.Allocate(4, 3, 3, 8));
    EXPECT_FALSE(image.Allocate(32768, 16385, 1, 8));
    EXPECT_EQ(image.Width(), 4);
    EXPECT_FALSE(image.Adopt(std::make_unique<std::uint8_t[]>(5), 5, 2, 1, 3, 24));
}

TEST(ImageBuffer, CopiesAreDeep) {
    ImageBuffer image = Rgb(1, 1, {1, 2, 3});
    ImageBuffer copy(image);
    copy.Pixels()[0] = 50;
    EXPECT_EQ(image.Pixels()[0], 1);

    // An indexed image through its palette; indices past the palette are black.
    ImageBuffer indexed;
    indexed.Allocate(3, 1, 1, 8);
    const std::uint8_t idx[] = {1, 0, 200};
    indexed.Store(idx, 0, 3);
    ImageBuffer rgb(indexed, Palette{{10, 20, 30}, {40, 50, 60}});
    EXPECT_EQ(rgb.BitsPerPixel(), 24);
    EXPECT_EQ(All(rgb), (Bytes{40, 50, 60, 10, 20, 30, 0, 0, 0}));
}

TEST(ImageBuffer, ReducingAveragesWhatEachOutputCovers) {
    ImageBuffer image = Rgb(4, 1, {10, 20, 30, 21, 40, 61, 100, 0, 255, 50, 50, 50});
    ASSERT_TRUE(image.ResizeWidth(2));
    EXPECT_EQ(All(image), (Bytes{15, 30, 45, 75, 25, 152}));

    // Thirds: output 0 takes all of pixel 0 and half of pixel 1.
    ImageBuffer three = Rgb(3, 1, {0, 0, 0, 90, 90, 90, 180, 180, 180});
    ASSERT_TRUE(three.ResizeWidth(2));
    EXPECT_EQ(All(three), (Bytes{30, 30, 30, 150, 150, 150}));

    ImageBuffer column = Rgb(1, 4, {10, 10, 10, 20, 20, 20, 0, 0, 0, 255, 255, 255});
    ASSERT_TRUE(column.ResizeHeight(2));
    EXPECT_EQ(All(column), (Bytes{15, 15, 15, 127, 127, 127}));
}

TEST(ImageBuffer, EnlargingKeepsFlatAreasAndRange) {
    ImageBuffer flat = Rgb(3, 2, Bytes(18, 100));
    ASSERT_TRUE(flat.ResizeWidth(10));
    ASSERT_TRUE(flat.ResizeHeight(7));
    EXPECT_EQ(flat.Width(), 10);
    EXPECT_EQ(flat.Height(), 7);
    EXPECT_EQ(All(flat), Bytes(210, 100));

    // A hard edge rings; the result stays clamped to 0..255 and keeps the sides.
    ImageBuffer edge = Rgb(4, 1, {0, 0, 0, 0, 0, 0, 255, 255, 255, 255, 255, 255});
    ASSERT_TRUE(edge.ResizeWidth(16));
    EXPECT_LT(edge.Pixels()[0], 10);
    EXPECT_GT(edge.Pixels()[45], 245);
}

TEST(ImageBuffer, ResizingLeavesSomeImagesAlone) {
    ImageBuffer image = Rgb(2, 1, {1, 2, 3, 4, 5, 6});
    EXPECT_TRUE(image.ResizeWidth(2));
    EXPECT_TRUE(image.ResizeHeight(1));
    EXPECT_EQ(All(image), (Bytes{1, 2, 3, 4, 5, 6}));

    ImageBuffer indexed;
    indexed.Allocate(4, 4, 1, 8);
    EXPECT_FALSE(indexed.ResizeWidth(2));
    EXPECT_FALSE(indexed.ResizeHeight(8));
    EXPECT_EQ(indexed.Width(), 4);
}

TEST(ImageBuffer, FlipRowsSwapsTopAndBottom) {
    ImageBuffer image = Rgb(1, 3, {1, 1, 1, 2, 2, 2, 3, 3, 3});
    image.FlipRows();
    EXPECT_EQ(All(image), (Bytes{3, 3, 3, 2, 2, 2, 1, 1, 1}));
}

}  // namespace
}  // namespace quillon
