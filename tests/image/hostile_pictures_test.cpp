// Pictures from tests/data/hostile (and the crashing inputs the fuzzers
// found, kept there): each is refused with a reason or decoded into a
// buffer whose size matches what it says.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "image/bmp_file.h"
#include "image/jpeg_file.h"
#include "image/picture_file.h"
#include "image/png_file.h"
#include "tests/image/test_support.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> HostileFiles(const std::string& folder) {
    std::vector<fs::path> files;
    for (const auto& entry :
         fs::directory_iterator(fs::path(QUILLON_TEST_DATA_DIR) / "hostile" / folder))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

bool StartsWith(const std::string& name, std::initializer_list<const char*> prefixes) {
    return std::any_of(prefixes.begin(), prefixes.end(),
                       [&](const char* p) { return name.rfind(p, 0) == 0; });
}

void ExpectConsistent(const ImageBuffer& image, const std::string& name) {
    EXPECT_GT(image.Width(), 0) << name;
    EXPECT_GT(image.Height(), 0) << name;
    EXPECT_EQ(image.Size(), image.RowBytes() * static_cast<std::size_t>(image.Height())) << name;
}

TEST(HostilePictures, BitmapsAreRefusedOrDecodedWithinTheirBuffers) {
    const auto files = HostileFiles("bmp");
    ASSERT_GE(files.size(), 40u);
    for (const fs::path& path : files) {
        const std::string name = path.filename().string();
        const test::Bytes bytes = test::ReadBytes(path.string());
        const BitmapReadResult result = ReadBitmapMemory(std::span<const std::uint8_t>(bytes));
        // Claims the file cannot back, layouts we do not read and cut files.
        if (StartsWith(name, {"truncated_", "oversized_", "palette_past_", "offset_", "top_down_",
                              "negative_", "zero_", "depth_", "bitfields_", "rle8_with_",
                              "rle4_with_", "not_a_", "empty", "rle8_huge_"})) {
            EXPECT_FALSE(result.Ok()) << name;
            EXPECT_FALSE(BitmapStatusText(result.status).empty()) << name;
        }
        if (!result.Ok()) continue;
        ExpectConsistent(*result.image, name);
        const int bits = result.image->BitsPerPixel();
        if (bits == 24) continue;
        ASSERT_EQ(result.palette.size(), std::size_t{1} << bits) << name;
        for (std::size_t i = 0; i < result.image->Size(); ++i)
            ASSERT_LT(result.image->Pixels()[i], result.palette.size()) << name << " byte " << i;
    }
}

TEST(HostilePictures, RunLengthDataPastRowsAndImageStaysInside) {
    // The decoder clips runs at the row's end and stops at the image's; the
    // first row's first pixels are still those of the first run.
    const test::Bytes bytes = test::ReadBytes(
        (fs::path(QUILLON_TEST_DATA_DIR) / "hostile" / "bmp" / "rle8_runs_past_image.bmp")
            .string());
    const BitmapReadResult result = ReadBitmapMemory(std::span<const std::uint8_t>(bytes));
    if (result.Ok()) {
        ASSERT_EQ(result.image->Width(), 4);
        EXPECT_EQ(result.image->Row(0)[0], 1);
    } else {
        EXPECT_NE(result.status, BitmapStatus::Ok);
    }
}

TEST(HostilePictures, JpegsAreRefusedWithAReasonOrPadded) {
    const auto files = HostileFiles("jpeg");
    ASSERT_GE(files.size(), 15u);
    for (const fs::path& path : files) {
        const std::string name = path.filename().string();
        JpegReader reader;
        const auto image = reader.Read(path.string());
        if (StartsWith(
                name, {"cmyk_", "empty", "not_a_", "colour_cut_at_", "grey_cut_at_",
                       "progressive_cut_at_", "colour_zero_", "grey_zero_", "progressive_zero_"})) {
            EXPECT_EQ(image, nullptr) << name;
        }
        if (!image) {
            EXPECT_FALSE(reader.LastError().empty()) << name;
            continue;
        }
        ExpectConsistent(*image, name);
        // What the bitmap layer imports: always R G B.
        std::string error;
        const auto rgb = ReadPictureRgb(path.string(), PictureFormat::Unknown, &error);
        ASSERT_NE(rgb, nullptr) << name << ": " << error;
        EXPECT_EQ(rgb->BitsPerPixel(), 24) << name;
        EXPECT_EQ(rgb->Width(), image->Width()) << name;
    }
}

TEST(HostilePictures, CutJpegsKeepTheirSizeAndWarn) {
    JpegReader reader;
    const auto image = reader.Read(
        (fs::path(QUILLON_TEST_DATA_DIR) / "hostile" / "jpeg" / "colour_cut_in_middle.jpg")
            .string());
    ASSERT_NE(image, nullptr) << reader.LastError();
    EXPECT_EQ(image->Width(), 40);
    EXPECT_EQ(image->Height(), 24);
    EXPECT_FALSE(reader.LastWarning().empty());
}

TEST(HostilePictures, JpegSizeClaimsBeyondTheDataAreRefusedBeforeDecoding) {
    for (const char* name : {"colour_claims_16000x16000_cut.jpg", "grey_claims_16000x16000_cut.jpg",
                             "progressive_claims_16000x16000_cut.jpg"}) {
        JpegReader reader;
        const auto image =
            reader.Read((fs::path(QUILLON_TEST_DATA_DIR) / "hostile" / "jpeg" / name).string());
        EXPECT_EQ(image, nullptr) << name;
        EXPECT_NE(reader.LastError().find("too short for 16000 x 16000"), std::string::npos)
            << name << ": " << reader.LastError();
    }
    // A large flat picture codes to little, but never below the floor.
    test::TempDir dir;
    const std::string path = dir.File("flat.jpg");
    ImageBuffer flat;
    ASSERT_TRUE(flat.Allocate(1600, 1200, 3, 24));
    std::fill_n(flat.Pixels(), flat.Size(), std::uint8_t{90});
    ASSERT_TRUE(JpegWriter(10).Write(flat, path));
    JpegReader reader;
    const auto image = reader.Read(path);
    ASSERT_NE(image, nullptr) << reader.LastError();
    EXPECT_EQ(image->Height(), 1200);
}

TEST(HostilePictures, DamagedPngsAreRefusedWithAReason) {
    const auto files = HostileFiles("png");
    ASSERT_GE(files.size(), 10u);
    for (const fs::path& path : files) {
        const std::string name = path.filename().string();
        PngReader reader;
        const auto image = reader.Read(path.string());
        // Every file here is damaged or claims more than it holds; indices
        // past a short palette are the library's to paint.
        if (name != "palette_index_past_palette.png") {
            EXPECT_EQ(image, nullptr) << name;
        }
        if (image) {
            ExpectConsistent(*image, name);
            continue;
        }
        EXPECT_FALSE(reader.LastError().empty()) << name;
    }
}

TEST(HostilePictures, PngSizeClaimsBeyondTheDataAreRefusedBeforeDecoding) {
    // 16384 x 16384 with alpha in a few dozen bytes: refused by its length,
    // not after taking a gigabyte for the rows.
    for (const char* name : {"claims_16384x16384_rgba.png", "fuzz_oom_rgba_claim.png"}) {
        PngReader reader;
        const auto image =
            reader.Read((fs::path(QUILLON_TEST_DATA_DIR) / "hostile" / "png" / name).string());
        EXPECT_EQ(image, nullptr) << name;
        EXPECT_NE(reader.LastError().find("too short"), std::string::npos)
            << name << ": " << reader.LastError();
    }
    // A large picture that deflate packs tightly is still read.
    test::TempDir dir;
    const std::string path = dir.File("flat.png");
    ImageBuffer flat;
    ASSERT_TRUE(flat.Allocate(2000, 1500, 3, 24));
    std::fill_n(flat.Pixels(), flat.Size(), std::uint8_t{200});
    ASSERT_TRUE(PngWriter(9).Write(flat, path));
    PngReader reader;
    const auto image = reader.Read(path);
    ASSERT_NE(image, nullptr) << reader.LastError();
    EXPECT_EQ(image->Width(), 2000);
    EXPECT_EQ(image->Row(700)[5], 200);
}

TEST(HostilePictures, FormatDetectionNeverReadsPastShortFiles) {
    for (const char* folder : {"bmp", "jpeg", "png"}) {
        for (const fs::path& path : HostileFiles(folder)) {
            std::string error;
            const auto image = ReadPictureRgb(path.string(), PictureFormat::Unknown, &error);
            if (image) {
                ExpectConsistent(*image, path.filename().string());
                EXPECT_EQ(image->BitsPerPixel(), 24);
            } else {
                EXPECT_FALSE(error.empty()) << path.filename();
            }
        }
    }
}

}  // namespace
}  // namespace quillon
