#include <gtest/gtest.h>

#include "image/bmp_file.h"
#include "image/picture_file.h"
#include "test_support.h"

namespace quillon {
namespace {

TEST(PictureFile, FormatsByNameAndByContent) {
    EXPECT_EQ(PictureFormatFromExtension("a/B.JPEG"), PictureFormat::Jpeg);
    EXPECT_EQ(PictureFormatFromExtension("dir.png/file"), PictureFormat::Unknown);

    test::TempDir dir;
    DisplayBitmap dib;
    ASSERT_TRUE(dib.Create(8, 8, 24));
    const std::pair<SaveFormat, PictureFormat> kinds[] = {
        {SaveFormat::Bitmap24, PictureFormat::Bmp},
        {SaveFormat::Bitmap256, PictureFormat::Bmp},
        {SaveFormat::Jpeg, PictureFormat::Jpeg},
        {SaveFormat::Png, PictureFormat::Png}};
    for (const auto& [save, format] : kinds) {
        ASSERT_TRUE(SavePicture(dib, dir.File("misnamed.txt"), save));
        EXPECT_EQ(DetectPictureFormat(dir.File("misnamed.txt")), format);
    }
    EXPECT_EQ(DetectPictureFormat(dir.File("absent")), PictureFormat::Unknown);
}

// A synthesized float picture saved in each format and read back for a
// layer comes out the same way up (row 0 the bottom) and close in colour.
TEST(PictureFile, SavedPicturesReadBackTheSameWayUp) {
    const int w = 48, h = 32;
    std::vector<float> rgb(static_cast<std::size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float* p = &rgb[(static_cast<std::size_t>(y) * w + x) * 3];
            p[0] = x / float(w - 1);
            p[1] = y < h / 2 ? 0.9f : 0.1f;  // bright bottom half
            p[2] = 0.5f;
        }
    DisplayBitmap dib;
    ASSERT_TRUE(dib.Create(w, h, 24));
    ASSERT_TRUE(dib.FillFromFloats(rgb));

    test::TempDir dir;
    const std::pair<SaveFormat, double> kinds[] = {{SaveFormat::Bitmap24, 0.0},
                                                   {SaveFormat::Bitmap256, 8.0},
                                                   {SaveFormat::Jpeg, 6.0},
                                                   {SaveFormat::Png, 0.0}};
    for (const auto& [save, tolerance] : kinds) {
        const std::string path = dir.File("pic");
        std::string error;
        ASSERT_TRUE(SavePicture(dib, path, save, 95, &error)) << error;
        auto image = ReadPictureRgb(path, PictureFormat::Unknown, &error);
        ASSERT_TRUE(image) << error;
        ASSERT_EQ(image->BitsPerPixel(), 24);
        ASSERT_EQ(image->Width(), w);
        double total = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < 3; ++c) {
                    float v = rgb[(static_cast<std::size_t>(y) * w + x) * 3 + c];
                    total += std::abs(image->Row(y)[3 * x + c] - int(v * 255.0f));
                }
        EXPECT_LE(total / (w * h * 3), tolerance) << static_cast<int>(save);
        EXPECT_GT(image->Row(0)[1], 200) << static_cast<int>(save);
    }
}

TEST(PictureFile, IndexedAndGreyPicturesArriveAsRgb) {
    test::TempDir dir;
    ImageBuffer indexed;
    indexed.Allocate(2, 1, 1, 8);
    indexed.Pixels()[1] = 1;
    ASSERT_EQ(WriteBitmapFile(indexed, {{1, 2, 3}, {4, 5, 6}}, dir.File("pal.bmp")),
              BitmapWriteStatus::Ok);
    auto image = ReadPictureRgb(dir.File("pal.bmp"), PictureFormat::Bmp);
    ASSERT_TRUE(image);
    EXPECT_EQ(test::Bytes(image->Pixels(), image->Pixels() + 6), (test::Bytes{1, 2, 3, 4, 5, 6}));

    std::string error;
    EXPECT_FALSE(ReadPictureRgb(dir.File("pal.bmp"), PictureFormat::Jpeg, &error));
    EXPECT_EQ(error.rfind("Not a JPEG file", 0), 0u) << error;
    test::WriteBytes(dir.File("junk"), {1, 2, 3});
    EXPECT_FALSE(ReadPictureRgb(dir.File("junk"), PictureFormat::Unknown, &error));
    EXPECT_NE(error.find("Not a bitmap, JPEG or PNG file"), std::string::npos);
}

}  // namespace
}  // namespace quillon
