#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "image/bmp_file.h"
#include "image/byte_order.h"
#include "image/display_bitmap.h"
#include "test_support.h"

namespace quillon {
namespace {

using test::Bytes;

TEST(DisplayBitmap, BlockLayoutIsByteExact) {
    DisplayBitmap dib;
    ASSERT_TRUE(dib.Create(3, 2, 24));
    EXPECT_EQ(dib.Stride(), 12u);
    ASSERT_EQ(dib.DataSize(), 40u + 24u);
    const std::uint8_t* h = dib.Data();
    EXPECT_EQ(le::Get32(h), 40u);
    EXPECT_EQ(le::Get32(h + 4), 3u);
    EXPECT_EQ(le::Get32(h + 8), 2u);
    EXPECT_EQ(le::Get16(h + 12), 1u);
    EXPECT_EQ(le::Get16(h + 14), 24u);
    for (int i = 16; i < 64; ++i) EXPECT_EQ(h[i], 0) << i;

    // Requested bits round up to 1, 4, 8 or 24, with 2, 16 or 256 table entries.
    const int cases[][3] = {{1, 1, 2}, {2, 4, 16}, {5, 8, 256}, {16, 24, 0}, {32, 24, 0}};
    for (const auto& c : cases) {
        ASSERT_TRUE(dib.Create(33, 1, c[0]));
        EXPECT_EQ(dib.BitsPerPixel(), c[1]);
        EXPECT_EQ(dib.ColorTableEntries(), static_cast<std::size_t>(c[2]));
        EXPECT_EQ(dib.Stride(), (static_cast<std::size_t>(c[1]) * 33 + 31) / 32 * 4);
        EXPECT_EQ(dib.DataSize(), 40 + 4 * dib.ColorTableEntries() + dib.Stride());
    }
    EXPECT_FALSE(dib.Create(0, 5, 24));
    EXPECT_FALSE(dib.Create(70000, 1, 24));
    EXPECT_EQ(dib.Width(), 33);  // a refused Create keeps the old bitmap
}

TEST(DisplayBitmap, FloatsClampThenTruncateIntoBgrBottomRowFirst) {
    DisplayBitmap dib;
    ASSERT_TRUE(dib.Create(4, 2, 24));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<float> rgb = {
        0.5f,  1.0f, 0.0f, 1.5f, -0.2f, nan,  inf,  -inf, 0.999f, 1.0f / 255, 0.1f, 0.2f,
        0.25f, 0.0f, 0.0f, 0.0f, 0.0f,  0.0f, 0.0f, 0.0f, 0.0f,   0.0f,       0.0f, 0.75f,
    };
    ASSERT_TRUE(dib.FillFromFloats(rgb));
    const std::uint8_t* row0 = dib.BitmapRow(0);
    EXPECT_EQ(Bytes(row0, row0 + 12), (Bytes{0, 255, 127, 0, 0, 255, 254, 0, 255, 51, 25,
                                             std::uint8_t(1.0f / 255 * 255.0f)}));
    EXPECT_EQ(dib.BitmapRow(1)[2], 63);
    // The float picture's row 0 is the bottom: on screen it is row 1 from the top.
    PaletteEntry c;
    ASSERT_TRUE(dib.Pixel(0, 1, c));
    EXPECT_EQ(c, (PaletteEntry{127, 255, 0}));
    ASSERT_TRUE(dib.Pixel(3, 0, c));
    EXPECT_EQ(c, (PaletteEntry{0, 0, 191}));
    EXPECT_FALSE(dib.Pixel(4, 0, c));
    EXPECT_FALSE(dib.Pixel(0, -1, c));

    EXPECT_FALSE(dib.FillFromFloats(std::span<const float>(rgb.data(), rgb.size() - 1)));
    DisplayBitmap indexed;
    indexed.Create(4, 2, 8);
    EXPECT_FALSE(indexed.FillFromFloats(rgb));
}

TEST(DisplayBitmap, ImagesInAndOut) {
    ImageBuffer image = test::TestPicture(5, 3);
    DisplayBitmap dib;
    ASSERT_TRUE(dib.Create(5, 3, 24));
    ASSERT_TRUE(dib.FillFromImage(image));
    EXPECT_EQ(dib.BitmapRow(0)[0], image.Row(0)[2]);  // image row 0 is bitmap row 0, swapped
    // ToImage gives the top row first: the reverse of the fill's order.
    auto out = dib.ToImage();
    ASSERT_TRUE(out);
    EXPECT_EQ(out->BitsPerPixel(), 24);
    EXPECT_EQ(test::MeanDifference(image, *out, true), 0.0);

    // A copy is deep.
    DisplayBitmap copy = dib;
    copy.BitmapRow(0)[0] ^= 0xFF;
    EXPECT_NE(copy.BitmapRow(0)[0], dib.BitmapRow(0)[0]);

    // Indexed bitmaps unpack to one index per pixel, with their table.
    DisplayBitmap four;
    ASSERT_TRUE(four.Create(3, 2, 4));
    four.BitmapRow(1)[0] = 0xA5;  // top row
    four.BitmapRow(1)[1] = 0x30;
    ASSERT_TRUE(four.SetColorTable({{1, 2, 3}, {4, 5, 6}}));
    Palette palette;
    auto indexed = four.ToImage(&palette);
    ASSERT_TRUE(indexed);
    EXPECT_EQ(indexed->BitsPerPixel(), 4);
    EXPECT_EQ(Bytes(indexed->Row(0), indexed->Row(0) + 3), (Bytes{0xA, 0x5, 0x3}));
    ASSERT_EQ(palette.size(), 16u);
    EXPECT_EQ(palette[1], (PaletteEntry{4, 5, 6}));
    EXPECT_EQ(palette[2], (PaletteEntry{}));
    EXPECT_FALSE(DisplayBitmap().ToImage());
}

// Tall enough to be converted in several bands of rows: every row comes
// out as the one-row conversion makes it, and back to the writers' rows.
TEST(DisplayBitmap, ConversionsInBandsCoverEveryRowOnce) {
    const int width = 17;  // rows padded to 52 bytes
    const int height = 20000;
    std::vector<float> rgb(3 * static_cast<std::size_t>(width) * height);
    for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<float>(i % 1021) / 1000.0f;
    DisplayBitmap banded, rowByRow;
    ASSERT_TRUE(banded.Create(width, height, 24));
    ASSERT_TRUE(rowByRow.Create(width, height, 24));
    ASSERT_TRUE(banded.FillFromFloats(rgb));
    for (int r = 0; r < height; ++r) ASSERT_TRUE(rowByRow.FillRowsFromFloats(rgb, r, r + 1));
    ASSERT_EQ(banded.DataSize(), rowByRow.DataSize());
    EXPECT_EQ(0, std::memcmp(banded.Data(), rowByRow.Data(), banded.DataSize()));

    const auto image = banded.ToImage();
    ASSERT_TRUE(image);
    for (int y = 0; y < height; y += 997) {
        for (int x = 0; x < width; ++x) {
            PaletteEntry c;
            ASSERT_TRUE(banded.Pixel(x, y, c));
            const std::uint8_t* p = image->Row(y) + 3 * x;
            EXPECT_EQ((PaletteEntry{p[0], p[1], p[2]}), c) << x << ", " << y;
        }
    }
    DisplayBitmap back;
    ASSERT_TRUE(back.Create(width, height, 24));
    image->FlipRows();  // bottom row first, as FillFromImage takes it
    ASSERT_TRUE(back.FillFromImage(*image));
    EXPECT_EQ(0, std::memcmp(back.Data(), banded.Data(), banded.DataSize()));
}

TEST(DisplayBitmap, SavesAsBitmapFile) {
    test::TempDir dir;
    DisplayBitmap dib;
    ASSERT_TRUE(dib.Create(3, 2, 24));
    ImageBuffer image = test::TestPicture(3, 2);
    dib.FillFromImage(image);
    const std::string path = dir.File("texture.bmp");
    ASSERT_TRUE(dib.SaveAsBitmapFile(path).Ok());
    Bytes file = test::ReadBytes(path);
    ASSERT_EQ(file.size(), 14u + dib.DataSize());
    EXPECT_EQ(le::Get32(&file[2]), file.size());
    EXPECT_EQ(le::Get32(&file[10]), 54u);
    EXPECT_EQ(le::Get32(&file[34]), 24u);  // image size filled in
    EXPECT_TRUE(std::equal(file.begin() + 54, file.end(), dib.Data() + 40));
    BitmapReadResult r = ReadBitmapFile(path);
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(test::MeanDifference(image, *r.image, false), 0.0);

    DisplayBitmap eight;
    eight.Create(2, 2, 8);
    ASSERT_TRUE(eight.SaveAsBitmapFile(path).Ok());
    EXPECT_EQ(le::Get32(&test::ReadBytes(path)[10]), 54u + 1024u);
    EXPECT_FALSE(DisplayBitmap().SaveAsBitmapFile(path).Ok());
}

}  // namespace
}  // namespace quillon
