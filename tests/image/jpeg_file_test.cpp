#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include <jpeglib.h>

#include "image/jpeg_file.h"
#include "test_support.h"

namespace quillon {
namespace {

using test::Bytes;

// Writes a JPEG straight through the library, for the kinds our writer
// never makes (greyscale, CMYK). Sample value = (x + y) * 8 in every component.
void WriteRawJpeg(const std::string& path, int width, int height, int components,
                  J_COLOR_SPACE space) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(file);
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = components;
    cinfo.in_color_space = space;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 100, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * components);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < components; ++c) row[x * components + c] = JSAMPLE((x + y) * 8);
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&cinfo, &p, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::fclose(file);
}

TEST(Jpeg, RoundTripWithinToleranceAndUpsideDown) {
    test::TempDir dir;
    const std::string path = dir.File("pic.jpg");
    ImageBuffer image = test::TestPicture(64, 48);
    JpegWriter writer(95);
    ASSERT_TRUE(writer.Write(image, path)) << writer.LastError();
    JpegReader reader;
    auto back = reader.Read(path);
    ASSERT_TRUE(back) << reader.LastError();
    EXPECT_EQ(back->Width(), 64);
    EXPECT_EQ(back->Height(), 48);
    EXPECT_EQ(back->BytesPerPixel(), 3);
    EXPECT_EQ(back->BitsPerPixel(), 24);
    // The writer takes the top row first, the reader stores it last.
    EXPECT_LT(test::MeanDifference(image, *back, true), 8.0);  // hard chroma edges cost most
    EXPECT_GT(test::MeanDifference(image, *back, false), 40.0);
    EXPECT_TRUE(reader.LastWarning().empty());
}

TEST(Jpeg, QualityChangesTheSize) {
    test::TempDir dir;
    ImageBuffer image = test::TestPicture(128, 128);
    ASSERT_TRUE(JpegWriter(10).Write(image, dir.File("low.jpg")));
    ASSERT_TRUE(JpegWriter(100).Write(image, dir.File("high.jpg")));
    EXPECT_LT(std::filesystem::file_size(dir.File("low.jpg")) * 2,
              std::filesystem::file_size(dir.File("high.jpg")));
}

TEST(Jpeg, GreyscaleReadsAsOneBytePerPixel) {
    test::TempDir dir;
    WriteRawJpeg(dir.File("grey.jpg"), 16, 8, 1, JCS_GRAYSCALE);
    JpegReader reader;
    auto image = reader.Read(dir.File("grey.jpg"));
    ASSERT_TRUE(image) << reader.LastError();
    EXPECT_EQ(image->BytesPerPixel(), 1);
    EXPECT_EQ(image->BitsPerPixel(), 8);
    EXPECT_NEAR(image->Row(7)[5], 5 * 8, 2);  // top scanline, x = 5
    EXPECT_NEAR(image->Row(0)[5], (5 + 7) * 8, 2);

    WriteRawJpeg(dir.File("cmyk.jpg"), 8, 8, 4, JCS_CMYK);
    EXPECT_FALSE(reader.Read(dir.File("cmyk.jpg")));
    EXPECT_EQ(reader.LastError(), "Unsupported JPEG color format (4 components)\n");
}

TEST(Jpeg, WriterErrors) {
    test::TempDir dir;
    ImageBuffer indexed;
    indexed.Allocate(4, 4, 1, 8);
    JpegWriter writer(80);
    EXPECT_FALSE(writer.Write(indexed, dir.File("eight.jpg")));
    EXPECT_EQ(writer.LastError(),
              "Image must be a 24-bit per pixel image to use this JPEG compression algorithm\n");
    EXPECT_FALSE(std::filesystem::exists(dir.File("eight.jpg")));

    const std::string bad = dir.File("missing/dir.jpg");
    EXPECT_FALSE(writer.Write(test::TestPicture(4, 4), bad));
    EXPECT_EQ(writer.LastError(), "Unable to create file " + bad + ": No such file or directory\n");

    // A write that fails part-way (a full disk) keeps the old file.
    const std::string path = dir.File("old.jpg");
    test::WriteBytes(path, Bytes{1, 2, 3});
    {
        test::FileSizeLimit limit(4096);
        EXPECT_FALSE(writer.Write(test::TestPicture(512, 512), path));
    }
    // The system's reason, not the library's guess.
    EXPECT_EQ(writer.LastError(), "Error writing file " + path + ": File too large\n");
    EXPECT_EQ(test::ReadBytes(path), (Bytes{1, 2, 3}));
    EXPECT_EQ(dir.Count(), 1u);
}

TEST(Jpeg, ReaderErrorsAndTruncatedFiles) {
    test::TempDir dir;
    JpegReader reader;
    const std::string missing = dir.File("none.jpg");
    EXPECT_FALSE(reader.Read(missing));
    EXPECT_EQ(reader.LastError(), "Unable to open file " + missing + "\n");

    test::WriteBytes(dir.File("text.jpg"), Bytes{'h', 'e', 'l', 'l', 'o', '!'});
    EXPECT_FALSE(reader.Read(dir.File("text.jpg")));
    EXPECT_EQ(reader.LastError().rfind("Not a JPEG file", 0), 0u) << reader.LastError();
    EXPECT_EQ(reader.LastError().back(), '\n');

    ASSERT_TRUE(JpegWriter(90).Write(test::TestPicture(200, 150), dir.File("full.jpg")));
    const Bytes full = test::ReadBytes(dir.File("full.jpg"));
    for (std::size_t keep : {std::size_t{0}, std::size_t{2}, std::size_t{100}, std::size_t{400},
                             full.size() / 2, full.size() - 2}) {
        const std::string path = dir.File("cut.jpg");
        test::WriteBytes(path,
                         Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(keep)));
        auto image = reader.Read(path);
        // Either the library pads what is missing and warns, or it fails with a text.
        if (image) {
            EXPECT_EQ(image->Width(), 200);
            EXPECT_EQ(image->Height(), 150);
            EXPECT_FALSE(reader.LastWarning().empty()) << keep;
        } else {
            EXPECT_FALSE(reader.LastError().empty()) << keep;
        }
    }
}

}  // namespace
}  // namespace quillon
