#include <gtest/gtest.h>

#include <png.h>

#include <cstdio>
#include <filesystem>

#include "image/png_file.h"
#include "test_support.h"

namespace quillon {
namespace {

using test::Bytes;

// Writes a one-row PNG of any kind straight through the library.
void WriteRawPng(const std::string& path, int width, int colorType, int depth, const Bytes& row,
                 const std::vector<png_color>& palette = {}) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(file);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, width, 1, depth, colorType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    png_write_info(png, info);
    png_write_row(png, row.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

Bytes All(const ImageBuffer& image) {
    return Bytes(image.Pixels(), image.Pixels() + image.Size());
}

TEST(Png, RoundTripIsExactAndUpsideDown) {
    test::TempDir dir;
    ImageBuffer image = test::TestPicture(37, 21);
    PngWriter writer;
    ASSERT_TRUE(writer.Write(image, dir.File("pic.png"))) << writer.LastError();
    PngReader reader;
    auto back = reader.Read(dir.File("pic.png"));
    ASSERT_TRUE(back) << reader.LastError();
    EXPECT_EQ(back->BitsPerPixel(), 24);
    EXPECT_EQ(test::MeanDifference(image, *back, true), 0.0);
}

TEST(Png, OtherKindsBecomeRgb) {
    test::TempDir dir;
    PngReader reader;
    WriteRawPng(dir.File("grey.png"), 2, PNG_COLOR_TYPE_GRAY, 8, {10, 200});
    auto image = reader.Read(dir.File("grey.png"));
    ASSERT_TRUE(image) << reader.LastError();
    EXPECT_EQ(All(*image), (Bytes{10, 10, 10, 200, 200, 200}));

    WriteRawPng(dir.File("pal.png"), 2, PNG_COLOR_TYPE_PALETTE, 8, {1, 0}, {{1, 2, 3}, {4, 5, 6}});
    image = reader.Read(dir.File("pal.png"));
    ASSERT_TRUE(image) << reader.LastError();
    EXPECT_EQ(All(*image), (Bytes{4, 5, 6, 1, 2, 3}));

    // Transparency is composited onto black.
    WriteRawPng(dir.File("alpha.png"), 3, PNG_COLOR_TYPE_RGBA, 8,
                {200, 100, 50, 255, 200, 100, 50, 0, 200, 100, 50, 128});
    image = reader.Read(dir.File("alpha.png"));
    ASSERT_TRUE(image) << reader.LastError();
    EXPECT_EQ(All(*image), (Bytes{200, 100, 50, 0, 0, 0, 100, 50, 25}));
}

TEST(Png, ErrorsNeverGiveAnImage) {
    test::TempDir dir;
    PngReader reader;
    const std::string missing = dir.File("none.png");
    EXPECT_FALSE(reader.Read(missing));
    EXPECT_EQ(reader.LastError(), "Unable to open file " + missing + "\n");

    test::WriteBytes(dir.File("text.png"), Bytes{'n', 'o', 't', ' ', 'p', 'n', 'g', '!'});
    EXPECT_FALSE(reader.Read(dir.File("text.png")));
    EXPECT_FALSE(reader.LastError().empty());

    ASSERT_TRUE(PngWriter().Write(test::TestPicture(100, 80), dir.File("full.png")));
    const Bytes full = test::ReadBytes(dir.File("full.png"));
    for (std::size_t keep :
         {std::size_t{0}, std::size_t{8}, std::size_t{40}, full.size() / 2, full.size() - 4}) {
        test::WriteBytes(dir.File("cut.png"),
                         Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(keep)));
        EXPECT_FALSE(reader.Read(dir.File("cut.png"))) << keep;
        EXPECT_FALSE(reader.LastError().empty()) << keep;
    }

    ImageBuffer indexed;
    indexed.Allocate(2, 2, 1, 8);
    PngWriter writer;
    EXPECT_FALSE(writer.Write(indexed, dir.File("eight.png")));
    EXPECT_EQ(writer.LastError(), "Image must be a 24-bit per pixel image to write a PNG file\n");
    EXPECT_FALSE(std::filesystem::exists(dir.File("eight.png")));

    const std::string path = dir.File("old.png");
    test::WriteBytes(path, Bytes{1, 2, 3});
    {
        test::FileSizeLimit limit(2048);
        EXPECT_FALSE(writer.Write(test::TestPicture(300, 300), path));
    }
    // The system's reason, not the library's "Write Error".
    EXPECT_EQ(writer.LastError(), "Error writing file " + path + ": File too large\n");
    EXPECT_EQ(test::ReadBytes(path), (Bytes{1, 2, 3}));
}

}  // namespace
}  // namespace quillon
