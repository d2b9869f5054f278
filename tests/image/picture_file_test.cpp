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
        ASSERT_TRUE(SavePicture(dib, dir.File("misnamed.txt"), save).Ok());
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
        const ImageResult saved = SavePicture(dib, path, save, 95);
        ASSERT_TRUE(saved.Ok()) << saved.message;
        const PictureRead read = ReadPictureRgb(path, PictureFormat::Unknown);
        ASSERT_TRUE(read.Ok()) << read.message;
        const auto& image = read.image;
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
    ASSERT_TRUE(WriteBitmapFile(indexed, {{1, 2, 3}, {4, 5, 6}}, dir.File("pal.bmp")).Ok());
    PictureRead read = ReadPictureRgb(dir.File("pal.bmp"), PictureFormat::Bmp);
    ASSERT_TRUE(read.Ok());
    EXPECT_TRUE(read.palette.empty());
    EXPECT_EQ(test::Bytes(read.image->Pixels(), read.image->Pixels() + 6),
              (test::Bytes{1, 2, 3, 4, 5, 6}));

    // Messages are one sentence, without the libraries' line feed.
    read = ReadPictureRgb(dir.File("pal.bmp"), PictureFormat::Jpeg);
    EXPECT_EQ(read.image, nullptr);
    EXPECT_EQ(read.message.rfind("Not a JPEG file", 0), 0u) << read.message;
    EXPECT_NE(read.message.back(), '\n');
    test::WriteBytes(dir.File("junk"), {1, 2, 3});
    read = ReadPictureRgb(dir.File("junk"), PictureFormat::Unknown);
    EXPECT_EQ(read.status, ImageStatus::kUnsupported);
    EXPECT_EQ(read.message, "Not a bitmap, JPEG or PNG file: " + dir.File("junk"));

    // Every save format names the file and the system's reason.
    DisplayBitmap dib;
    ASSERT_TRUE(dib.Create(64, 64, 24));
    for (SaveFormat save :
         {SaveFormat::Bitmap24, SaveFormat::Bitmap256, SaveFormat::Jpeg, SaveFormat::Png}) {
        const ImageResult full = SavePicture(dib, "/dev/full", save);
        EXPECT_EQ(full.status, ImageStatus::kWriteFailed);
        EXPECT_EQ(full.message, "Error writing file /dev/full: No space left on device");
        const ImageResult missing = SavePicture(dib, dir.File("no/pic"), save);
        EXPECT_EQ(missing.status, ImageStatus::kCannotOpen);
        EXPECT_EQ(missing.message,
                  "Unable to create file " + dir.File("no/pic") + ": No such file or directory");
    }
}

}  // namespace
}  // namespace quillon
