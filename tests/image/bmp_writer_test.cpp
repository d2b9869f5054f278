#include <gtest/gtest.h>

#include "image/bmp_file.h"
#include "image/byte_order.h"
#include "test_support.h"

namespace quillon {
namespace {

using test::Bytes;

ImageBuffer Indexed(int width, int height, int bits, std::initializer_list<std::uint8_t> values) {
    ImageBuffer image;
    EXPECT_TRUE(image.Allocate(width, height, 1, bits));
    std::size_t i = 0;
    for (std::uint8_t v : values) image.Pixels()[i++] = v;
    return image;
}

TEST(BmpWriter, HeaderFieldsAndBottomRowFirst) {
    ImageBuffer image;
    image.Allocate(2, 2, 3, 24);
    const std::uint8_t pixels[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};  // row 0 = top
    image.Store(pixels, 0, sizeof pixels);
    Bytes out;
    ASSERT_EQ(EncodeBitmap(image, {}, out), BitmapWriteStatus::Ok);
    ASSERT_EQ(out.size(), 54u + 16u);
    EXPECT_EQ(out[0], 'B');
    EXPECT_EQ(out[1], 'M');
    EXPECT_EQ(le::Get32(&out[2]), 70u);
    EXPECT_EQ(le::Get32(&out[10]), 54u);
    EXPECT_EQ(le::Get32(&out[14]), 40u);
    EXPECT_EQ(le::Get16(&out[26]), 1u);
    EXPECT_EQ(le::Get16(&out[28]), 24u);
    EXPECT_EQ(le::Get32(&out[30]), 0u);
    EXPECT_EQ(le::Get32(&out[34]), 16u);
    // The image's last row comes first in the file, B G R, padded with zeros.
    EXPECT_EQ(Bytes(out.begin() + 54, out.end()),
              (Bytes{9, 8, 7, 12, 11, 10, 0, 0, 3, 2, 1, 6, 5, 4, 0, 0}));
}

TEST(BmpWriter, ColourTables) {
    // 8 bits: 256 entries from the palette, black where it is short.
    Bytes out;
    ASSERT_EQ(EncodeBitmap(Indexed(1, 1, 8, {0}), {{10, 20, 30}}, out), BitmapWriteStatus::Ok);
    EXPECT_EQ(out.size(), 54u + 1024u + 4u);
    EXPECT_EQ(le::Get32(&out[10]), 54u + 1024u);
    EXPECT_EQ(Bytes(out.begin() + 54, out.begin() + 62), (Bytes{30, 20, 10, 0, 0, 0, 0, 0}));
    // 1 bit: black and white whatever the palette; any non-zero byte is white.
    ASSERT_EQ(EncodeBitmap(Indexed(9, 1, 1, {0, 7, 0, 1, 0, 0, 0, 0, 255}), {{1, 2, 3}}, out),
              BitmapWriteStatus::Ok);
    EXPECT_EQ(Bytes(out.begin() + 54, out.begin() + 62), (Bytes{0, 0, 0, 0, 255, 255, 255, 0}));
    EXPECT_EQ(Bytes(out.begin() + 62, out.end()), (Bytes{0b01010000, 0b10000000, 0, 0}));
    // 4 bits: 16 entries, two pixels a byte, the first high.
    ASSERT_EQ(EncodeBitmap(Indexed(3, 1, 4, {1, 2, 15}), {}, out), BitmapWriteStatus::Ok);
    EXPECT_EQ(out.size(), 54u + 64u + 4u);
    EXPECT_EQ(Bytes(out.begin() + 118, out.end()), (Bytes{0x12, 0xF0, 0, 0}));

    EXPECT_EQ(EncodeBitmap(ImageBuffer(), {}, out), BitmapWriteStatus::UnsupportedImage);
}

TEST(BmpWriter, RoundTripsAtEveryDepth) {
    test::TempDir dir;
    Palette palette;
    for (int i = 0; i < 256; ++i) palette.push_back({std::uint8_t(i), std::uint8_t(255 - i), 7});
    for (int bits : {1, 4, 8, 24}) {
        ImageBuffer image;
        int bpp = bits == 24 ? 3 : 1;
        ASSERT_TRUE(image.Allocate(13, 5, bpp, bits));
        for (std::size_t i = 0; i < image.Size(); ++i) {
            image.Pixels()[i] =
                static_cast<std::uint8_t>((i * 37 + 11) % (bits == 24 ? 256 : 1 << bits));
        }
        std::string path = dir.File("depth" + std::to_string(bits) + ".bmp");
        ASSERT_EQ(WriteBitmapFile(image, palette, path), BitmapWriteStatus::Ok) << bits;
        BitmapReadResult r = ReadBitmapFile(path);
        ASSERT_TRUE(r.Ok()) << bits;
        EXPECT_EQ(r.image->BitsPerPixel(), bits);
        ASSERT_EQ(r.image->Size(), image.Size());
        // Written top row first, read bottom row first.
        for (int y = 0; y < 5; ++y) {
            EXPECT_EQ(Bytes(image.Row(y), image.Row(y) + image.RowBytes()),
                      Bytes(r.image->Row(4 - y), r.image->Row(4 - y) + image.RowBytes()))
                << bits << " row " << y;
        }
        Palette expected = bits == 8   ? palette
                           : bits == 4 ? Palette(palette.begin(), palette.begin() + 16)
                           : bits == 1 ? Palette{{0, 0, 0}, {255, 255, 255}}
                                       : Palette{};
        EXPECT_EQ(r.palette, expected) << bits;
    }
}

TEST(BmpWriter, FailedSaveKeepsTheOldFile) {
    test::TempDir dir;
    const std::string path = dir.File("keep.bmp");
    test::WriteBytes(path, Bytes{'o', 'l', 'd'});
    std::string error;
    {
        test::FileSizeLimit limit(1000);  // the picture needs about 30 kB
        EXPECT_EQ(WriteBitmapFile(test::TestPicture(100, 100), {}, path, &error),
                  BitmapWriteStatus::WriteFailed);
    }
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(test::ReadBytes(path), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(dir.Count(), 1u);  // no temporary file left behind
    EXPECT_EQ(WriteBitmapFile(test::TestPicture(2, 2), {}, dir.File("no/such/dir.bmp"), &error),
              BitmapWriteStatus::WriteFailed);
    EXPECT_NE(error.find("no/such/dir.bmp"), std::string::npos);
}

}  // namespace
}  // namespace quillon
