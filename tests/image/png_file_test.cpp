#include <gtest/gtest.h>

#include <png.h>
#include <tbb/global_control.h>
#include <tbb/task_arena.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
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
    const ImageResult written = PngWriter().Write(image, dir.File("pic.png"));
    ASSERT_TRUE(written.Ok()) << written.message;
    const PictureRead read = PngReader().Read(dir.File("pic.png"));
    ASSERT_TRUE(read.Ok()) << read.message;
    const auto& back = read.image;
    EXPECT_EQ(back->BitsPerPixel(), 24);
    EXPECT_EQ(test::MeanDifference(image, *back, true), 0.0);
}

// Fine grain, so that the compressor finds matches across band joins.
ImageBuffer Grainy(int width, int height, bool grey) {
    ImageBuffer image;
    image.Allocate(width, height, 3, 24);
    std::uint32_t seed = 99;
    for (std::size_t i = 0; i < image.Size(); i += 3) {
        seed = seed * 1664525u + 1013904223u;
        const auto base = static_cast<std::uint8_t>((i / 3) % 97 + (seed >> 29));
        image.Pixels()[i] = base;
        image.Pixels()[i + 1] = grey ? base : static_cast<std::uint8_t>(base + (seed >> 27));
        image.Pixels()[i + 2] = grey ? base : static_cast<std::uint8_t>(seed >> 24);
    }
    return image;
}

std::uint32_t BigEndian(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// Checks every chunk's CRC and inflates the joined IDAT data as one zlib
// stream (which checks its adler-32); gives the colour type and the rows.
struct Decoded {
    int colourType = -1;
    Bytes rows;
};
Decoded Inflate(const Bytes& file) {
    Decoded out;
    Bytes stream;
    for (std::size_t at = 8; at + 12 <= file.size();) {
        const std::uint32_t length = BigEndian(&file[at]);
        const std::uint8_t* type = &file[at + 4];
        EXPECT_EQ(crc32(0, type, length + 4), BigEndian(type + 4 + length));
        if (std::memcmp(type, "IHDR", 4) == 0) out.colourType = type[13];
        if (std::memcmp(type, "IDAT", 4) == 0)
            stream.insert(stream.end(), type + 4, type + 4 + length);
        at += 12 + length;
    }
    z_stream z{};
    inflateInit(&z);
    Bytes rows(std::size_t{1} << 24);
    z.next_in = stream.data();
    z.avail_in = static_cast<uInt>(stream.size());
    z.next_out = rows.data();
    z.avail_out = static_cast<uInt>(rows.size());
    EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
    EXPECT_EQ(z.avail_in, 0u);
    rows.resize(z.total_out);
    inflateEnd(&z);
    out.rows = std::move(rows);
    return out;
}

TEST(Png, BandedStreamDecodesToThePictureAtEveryHeight) {
    test::TempDir dir;
    const int band = PngWriter::kBandRows;
    for (const bool grey : {false, true}) {
        for (const auto& [width, height] : std::vector<std::pair<int, int>>{
                 {1, 1}, {5, band}, {300, band + 1}, {2000, 5 * band - 1}, {1, 3 * band}}) {
            SCOPED_TRACE(testing::Message() << width << " x " << height << (grey ? " grey" : ""));
            const ImageBuffer image = Grainy(width, height, grey);
            const std::string path = dir.File("band.png");
            ASSERT_TRUE(PngWriter().Write(image, path).Ok());
            const Decoded decoded = Inflate(test::ReadBytes(path));
            EXPECT_EQ(decoded.colourType, grey ? 0 : 2);
            const std::size_t channels = grey ? 1 : 3;
            ASSERT_EQ(decoded.rows.size(), (1 + channels * width) * height);
            const PictureRead read = PngReader().Read(path);
            ASSERT_TRUE(read.Ok()) << read.message;
            EXPECT_EQ(test::MeanDifference(image, *read.image, true), 0.0);
        }
    }
    // Stored blocks and the slowest search join as well.
    const ImageBuffer image = Grainy(90, 3 * band + 7, false);
    for (const int level : {0, 9}) {
        ASSERT_TRUE(PngWriter(level).Write(image, dir.File("level.png")).Ok());
        EXPECT_EQ(Inflate(test::ReadBytes(dir.File("level.png"))).rows.size(),
                  271u * image.Height());
    }
    // One coloured pixel at the very end keeps the picture in colour.
    ImageBuffer almost = Grainy(70, 2 * band + 3, true);
    almost.Pixels()[almost.Size() - 1] ^= 1;
    ASSERT_TRUE(PngWriter().Write(almost, dir.File("almost.png")).Ok());
    EXPECT_EQ(Inflate(test::ReadBytes(dir.File("almost.png"))).colourType, 2);
}

TEST(Png, BytesDoNotDependOnTheThreads) {
    test::TempDir dir;
    for (const bool grey : {false, true}) {
        const ImageBuffer image = Grainy(700, 9 * PngWriter::kBandRows + 5, grey);
        Bytes first;
        for (const int threads : {1, 2, 4}) {
            const std::string path = dir.File("t" + std::to_string(threads) + ".png");
            // Room for more workers than cores, so four threads really run.
            tbb::global_control limit(tbb::global_control::max_allowed_parallelism, threads);
            tbb::task_arena(threads).execute(
                [&] { ASSERT_TRUE(PngWriter().Write(image, path).Ok()); });
            const Bytes bytes = test::ReadBytes(path);
            if (first.empty()) first = bytes;
            EXPECT_EQ(bytes, first) << threads << " threads";
        }
    }
}

TEST(Png, OtherKindsBecomeRgb) {
    test::TempDir dir;
    PngReader reader;
    WriteRawPng(dir.File("grey.png"), 2, PNG_COLOR_TYPE_GRAY, 8, {10, 200});
    PictureRead read = reader.Read(dir.File("grey.png"));
    ASSERT_TRUE(read.Ok()) << read.message;
    EXPECT_EQ(All(*read.image), (Bytes{10, 10, 10, 200, 200, 200}));

    WriteRawPng(dir.File("pal.png"), 2, PNG_COLOR_TYPE_PALETTE, 8, {1, 0}, {{1, 2, 3}, {4, 5, 6}});
    read = reader.Read(dir.File("pal.png"));
    ASSERT_TRUE(read.Ok()) << read.message;
    EXPECT_EQ(All(*read.image), (Bytes{4, 5, 6, 1, 2, 3}));

    // Transparency is composited onto black.
    WriteRawPng(dir.File("alpha.png"), 3, PNG_COLOR_TYPE_RGBA, 8,
                {200, 100, 50, 255, 200, 100, 50, 0, 200, 100, 50, 128});
    read = reader.Read(dir.File("alpha.png"));
    ASSERT_TRUE(read.Ok()) << read.message;
    EXPECT_EQ(All(*read.image), (Bytes{200, 100, 50, 0, 0, 0, 100, 50, 25}));
}

TEST(Png, ErrorsNeverGiveAnImage) {
    test::TempDir dir;
    PngReader reader;
    const std::string missing = dir.File("none.png");
    PictureRead read = reader.Read(missing);
    EXPECT_EQ(read.status, ImageStatus::kCannotOpen);
    EXPECT_EQ(read.message, "Unable to open file " + missing + "\n");

    test::WriteBytes(dir.File("text.png"), Bytes{'n', 'o', 't', ' ', 'p', 'n', 'g', '!'});
    read = reader.Read(dir.File("text.png"));
    EXPECT_EQ(read.status, ImageStatus::kDamaged);
    EXPECT_FALSE(read.message.empty());

    ASSERT_TRUE(PngWriter().Write(test::TestPicture(100, 80), dir.File("full.png")).Ok());
    const Bytes full = test::ReadBytes(dir.File("full.png"));
    for (std::size_t keep :
         {std::size_t{0}, std::size_t{8}, std::size_t{40}, full.size() / 2, full.size() - 4}) {
        test::WriteBytes(dir.File("cut.png"),
                         Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(keep)));
        read = reader.Read(dir.File("cut.png"));
        EXPECT_FALSE(read.Ok()) << keep;
        EXPECT_EQ(read.image, nullptr) << keep;
        EXPECT_FALSE(read.message.empty()) << keep;
    }

    ImageBuffer indexed;
    indexed.Allocate(2, 2, 1, 8);
    PngWriter writer;
    ImageResult result = writer.Write(indexed, dir.File("eight.png"));
    EXPECT_EQ(result.status, ImageStatus::kUnsupported);
    EXPECT_EQ(result.message, "Image must be a 24-bit per pixel image to write a PNG file\n");
    EXPECT_FALSE(std::filesystem::exists(dir.File("eight.png")));

    const std::string path = dir.File("old.png");
    test::WriteBytes(path, Bytes{1, 2, 3});
    {
        test::FileSizeLimit limit(2048);
        result = writer.Write(test::TestPicture(300, 300), path);
    }
    // The system's reason, not the library's "Write Error".
    EXPECT_EQ(result.status, ImageStatus::kWriteFailed);
    EXPECT_EQ(result.message, "Error writing file " + path + ": File too large\n");
    EXPECT_EQ(test::ReadBytes(path), (Bytes{1, 2, 3}));
}

}  // namespace
}  // namespace quillon
