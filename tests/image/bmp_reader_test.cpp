#include <gtest/gtest.h>

#include <random>

#include "image/bmp_file.h"
#include "test_support.h"

namespace quillon {
namespace {

using test::BmpFile;
using test::Bytes;
using test::PaletteBytes;

Bytes RowBytes(const std::uint8_t* row, std::size_t n) {
    return Bytes(row, row + n);
}

BitmapReadResult Read(const BmpFile& file) {
    Bytes bytes = file.Build();
    return ReadBitmapMemory(bytes);
}

TEST(BmpReader, TwentyFourBitRowsArePaddedAndSwappedToRgbBottomRowFirst) {
    BmpFile f;
    f.width = 2;
    f.height = 2;
    // Bottom row first in the file, B G R, each row padded to 8 bytes.
    f.pixels = {1, 2, 3, 4, 5, 6, 0xEE, 0xEE, 7, 8, 9, 10, 11, 12, 0xEE, 0xEE};
    BitmapReadResult r = Read(f);
    ASSERT_TRUE(r.Ok());
    EXPECT_TRUE(r.palette.empty());
    EXPECT_EQ(r.image->BitsPerPixel(), 24);
    EXPECT_EQ(RowBytes(r.image->Pixels(), 12), (Bytes{3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10}));

    f.headerSize = 12;  // the same pixels under the older core header
    r = Read(f);
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(r.image->Row(1)[0], 9);
}

TEST(BmpReader, IndexedDepthsUnpackMostSignificantFirstAndCarryTheirPalette) {
    BmpFile one;
    one.bits = 1;
    one.width = 10;
    one.height = 2;
    one.palette = PaletteBytes({{10, 20, 30}, {200, 210, 220}}, 2);
    one.pixels = {0b10110000, 0b01000000, 0xFF, 0xFF, 0b00000001, 0b11000000, 0, 0};
    BitmapReadResult r = Read(one);
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(r.image->BitsPerPixel(), 1);
    EXPECT_EQ(RowBytes(r.image->Row(0), 10), (Bytes{1, 0, 1, 1, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(RowBytes(r.image->Row(1), 10), (Bytes{0, 0, 0, 0, 0, 0, 0, 1, 1, 1}));
    ASSERT_EQ(r.palette.size(), 2u);
    EXPECT_EQ(r.palette[1], (PaletteEntry{200, 210, 220}));
    ImageBuffer rgb(*r.image, r.palette);
    EXPECT_EQ(RowBytes(rgb.Row(0), 6), (Bytes{200, 210, 220, 10, 20, 30}));

    BmpFile four;
    four.bits = 4;
    four.width = 3;
    four.height = 1;
    four.palette = PaletteBytes({}, 16);
    four.pixels = {0xA5, 0x3F, 0, 0};
    r = Read(four);
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(r.palette.size(), 16u);
    EXPECT_EQ(RowBytes(r.image->Row(0), 3), (Bytes{0xA, 0x5, 0x3}));

    // An 8-bit file that says 16 colours are used still has 256 entries read;
    // the core header's entries are 3 bytes.
    for (bool core : {false, true}) {
        BmpFile eight;
        eight.headerSize = core ? 12 : 40;
        eight.bits = 8;
        eight.width = 2;
        eight.colorsUsed = 16;
        Bytes palette = PaletteBytes({}, 256, core);
        palette[200 * (core ? 3 : 4) + 2] = 99;  // entry 200's red
        eight.palette = palette;
        eight.pixels = {200, 7, 0, 0};
        r = Read(eight);
        ASSERT_TRUE(r.Ok()) << core;
        ASSERT_EQ(r.palette.size(), 256u);
        EXPECT_EQ(r.palette[200].r, 99);
        EXPECT_EQ(RowBytes(r.image->Row(0), 2), (Bytes{200, 7}));
    }
}

TEST(BmpReader, LongerInformationHeadersAndPaletteCutAfterTheUsedColours) {
    BmpFile v5;
    v5.headerSize = 124;
    v5.pixels = {1, 2, 3, 0};
    BitmapReadResult r = Read(v5);
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(RowBytes(r.image->Pixels(), 3), (Bytes{3, 2, 1}));

    // Only the two used entries stand in the file before the pixels, which
    // end it: the rest of the table reads as black instead of failing.
    BmpFile small;
    small.bits = 8;
    small.colorsUsed = 2;
    small.palette = PaletteBytes({{1, 2, 3}, {4, 5, 6}}, 2);
    small.pixels = {1, 0, 0, 0};
    r = Read(small);
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(r.palette.size(), 256u);
    EXPECT_EQ(r.palette[1], (PaletteEntry{4, 5, 6}));
    small.colorsUsed = 0;  // all 256 needed then
    EXPECT_EQ(Read(small).status, BitmapStatus::PaletteUnreadable);
}

BmpFile Rle8(int width, int height, Bytes data) {
    BmpFile f;
    f.bits = 8;
    f.compression = 1;
    f.width = width;
    f.height = height;
    f.palette = PaletteBytes({}, 256);
    f.pixels = std::move(data);
    return f;
}

TEST(BmpReader, Rle8RunsEscapesAndPadding) {
    BitmapReadResult r = Read(
        Rle8(6, 3,
             {
                 3, 7, 0, 3, 1, 2, 3, 0,  // run of 3 sevens, absolute run of 3 padded to 4 bytes
                 0, 0,                    // end of line
                 9, 5,                    // a run past the row: only 6 pixels land
                 0, 0,                    //
                 0, 2, 2, 0,              // delta two to the right
                 0, 4, 8, 8, 8, 8,        // absolute run of 4, already even
                 0, 1,                    // end of bitmap
             }));
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(r.flags, BitmapFlags::kEndOfBitmap | BitmapFlags::kPositionJump);
    EXPECT_EQ(RowBytes(r.image->Row(0), 6), (Bytes{7, 7, 7, 1, 2, 3}));
    EXPECT_EQ(RowBytes(r.image->Row(1), 6), (Bytes{5, 5, 5, 5, 5, 5}));
    EXPECT_EQ(RowBytes(r.image->Row(2), 6), (Bytes{0, 0, 8, 8, 8, 8}));

    // End of bitmap early leaves the rest zero; a delta upward past the top ends it too.
    r = Read(Rle8(2, 3, {2, 4, 0, 1}));
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(RowBytes(r.image->Pixels(), 6), (Bytes{4, 4, 0, 0, 0, 0}));
    r = Read(Rle8(2, 3, {2, 4, 0, 2, 0, 9}));
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(r.flags, BitmapFlags::kPositionJump);
    // An absolute run longer than the row is read whole and cut.
    r = Read(Rle8(2, 1, {0, 3, 1, 2, 3, 0, 0, 1}));
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(RowBytes(r.image->Row(0), 2), (Bytes{1, 2}));
    // Without a final mark after the last pixel is fine.
    EXPECT_TRUE(Read(Rle8(2, 1, {2, 9})).Ok());
}

TEST(BmpReader, Rle4AlternatesNibblesAndPadsAbsoluteRuns) {
    BmpFile f;
    f.bits = 4;
    f.compression = 2;
    f.width = 7;
    f.height = 2;
    f.palette = PaletteBytes({}, 16);
    f.pixels = {
        5, 0x12,                       // 1 2 1 2 1
        0, 0,                          //
        0, 5,    0x34, 0x56, 0x70, 0,  // 3 4 5 6 7: three bytes, padded
        2, 0xAB,                       // A B
        0, 1,
    };
    BitmapReadResult r = Read(f);
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(RowBytes(r.image->Row(0), 7), (Bytes{1, 2, 1, 2, 1, 0, 0}));
    EXPECT_EQ(RowBytes(r.image->Row(1), 7), (Bytes{3, 4, 5, 6, 7, 0xA, 0xB}));
}

TEST(BmpReader, BadHeadersGiveTheirStatus) {
    BmpFile good;
    good.pixels = {1, 2, 3, 0};
    struct Case {
        const char* what;
        Bytes bytes;
        BitmapStatus status;
    };
    auto with = [&](auto change) {
        BmpFile f = good;
        change(f);
        return f.Build();
    };
    Bytes notBm = good.Build();
    notBm[0] = 'P';
    Bytes shortCore = with([](BmpFile& f) { f.headerSize = 12; });
    shortCore.resize(14 + 8);
    Bytes shortInfo = good.Build();
    shortInfo.resize(14 + 30);
    const Case cases[] = {
        {"empty", {}, BitmapStatus::FileHeaderUnreadable},
        {"10 bytes", Bytes(10, 'B'), BitmapStatus::FileHeaderUnreadable},
        {"not BM", notBm, BitmapStatus::NotSupported},
        {"header size 64", with([](BmpFile& f) { f.headerSize = 64; }), BitmapStatus::NotSupported},
        {"short core header", shortCore, BitmapStatus::CoreHeaderUnreadable},
        {"short info header", shortInfo, BitmapStatus::InfoHeaderUnreadable},
        {"short palette", with([](BmpFile& f) {
             f.bits = 8;
             f.pixels = {};
         }),
         BitmapStatus::PaletteUnreadable},
        {"top-down", with([](BmpFile& f) { f.height = -1; }), BitmapStatus::NotSupported},
        {"16 bits", with([](BmpFile& f) { f.bits = 16; }), BitmapStatus::NotSupported},
        {"32 bits", with([](BmpFile& f) { f.bits = 32; }), BitmapStatus::NotSupported},
        {"2 bits", with([](BmpFile& f) { f.bits = 2; }), BitmapStatus::NotSupported},
        {"bit fields", with([](BmpFile& f) { f.compression = 3; }), BitmapStatus::NotSupported},
        {"RLE8 at 24 bits", with([](BmpFile& f) { f.compression = 1; }),
         BitmapStatus::NotSupported},
        {"width 0", with([](BmpFile& f) { f.width = 0; }), BitmapStatus::NotSupported},
        {"width 70000", with([](BmpFile& f) { f.width = 70000; }), BitmapStatus::NotSupported},
        {"2^30 pixels", with([](BmpFile& f) { f.width = f.height = 32768; }),
         BitmapStatus::NotSupported},
        {"offset past the end", with([](BmpFile& f) { f.pixelOffset = 1000; }),
         BitmapStatus::PixelDataTruncated},
        {"offset inside the header", with([](BmpFile& f) { f.pixelOffset = 20; }),
         BitmapStatus::PixelDataTruncated},
        // A large picture claimed by a tiny file is refused before allocating.
        {"missing rows", with([](BmpFile& f) { f.width = f.height = 16000; }),
         BitmapStatus::PixelDataTruncated},
    };
    for (const Case& c : cases) {
        BitmapReadResult r = ReadBitmapMemory(c.bytes);
        EXPECT_EQ(r.status, c.status) << c.what;
        EXPECT_EQ(r.image, nullptr) << c.what;
        EXPECT_FALSE(BitmapStatusText(r.status).empty());
    }
}

TEST(BmpReader, TruncatedRunLengthDataFailsWithStreamFailure) {
    const Bytes full = {2, 1, 0, 0, 0, 5, 1, 2, 3, 4, 5, 0, 0, 1};
    for (std::size_t keep : {0u, 1u, 3u, 5u, 8u, 10u}) {
        Bytes data(full.begin(), full.begin() + keep);
        BitmapReadResult r = Read(Rle8(5, 2, data));
        EXPECT_EQ(r.status, BitmapStatus::PixelDataTruncated) << keep;
        EXPECT_EQ(r.image, nullptr);
        if (keep >= 2) {
            EXPECT_TRUE(r.flags & BitmapFlags::kStreamFailure) << keep;
        }
    }
    EXPECT_TRUE(Read(Rle8(5, 2, full)).Ok());
    // A huge picture whose data stops early is refused before it is allocated.
    EXPECT_EQ(Read(Rle8(16000, 16000, {2, 1, 0, 0})).status, BitmapStatus::PixelDataTruncated);
}

// Random damage to valid files must give a status, never a crash or an
// access outside the buffers (run under the sanitizer presets too).
TEST(BmpReader, DamagedFilesNeverCrash) {
    std::vector<Bytes> seeds = {
        Rle8(6, 3, {3, 7, 0, 3, 1, 2, 3, 0, 0, 0, 9, 5, 0, 2, 2, 1, 0, 1}).Build()};
    BmpFile four;
    four.bits = 4;
    four.compression = 2;
    four.width = 7;
    four.height = 2;
    four.palette = PaletteBytes({}, 16);
    four.pixels = {5, 0x12, 0, 0, 0, 5, 0x34, 0x56, 0x70, 0, 0, 1};
    seeds.push_back(four.Build());
    BmpFile plain;
    plain.width = 3;
    plain.height = 3;
    plain.pixels.assign(36, 0x55);
    seeds.push_back(plain.Build());

    std::mt19937 rng(1234);
    for (int n = 0; n < 3000; ++n) {
        Bytes bytes = seeds[n % seeds.size()];
        int edits = 1 + static_cast<int>(rng() % 4);
        for (int e = 0; e < edits; ++e)
            bytes[rng() % bytes.size()] = static_cast<std::uint8_t>(rng());
        if (rng() % 4 == 0) bytes.resize(rng() % bytes.size());
        BitmapReadResult r = ReadBitmapMemory(bytes);
        if (r.Ok()) {
            EXPECT_TRUE(IsValidImageSize(r.image->Width(), r.image->Height()));
        }
    }
}

TEST(BmpReader, FilesOnDisk) {
    test::TempDir dir;
    EXPECT_EQ(ReadBitmapFile(dir.File("missing.bmp")).status, BitmapStatus::CannotOpen);
    EXPECT_EQ(ReadBitmapFile(dir.File("")).status, BitmapStatus::CannotOpen);  // a folder
    BmpFile f;
    f.pixels = {1, 2, 3, 0};
    test::WriteBytes(dir.File("one.bmp"), f.Build());
    BitmapReadResult r = ReadBitmapFile(dir.File("one.bmp"));
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(r.image->Pixels()[0], 3);
}

}  // namespace
}  // namespace quillon
