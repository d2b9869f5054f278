#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "image/image_buffer.h"
#include "image/image_result.h"

namespace quillon {

// Results of reading a bitmap file. The numbers are stable: callers may
// store or compare them.
enum class BitmapStatus {
    Ok = 0,
    NoMemory = 1,
    FileHeaderUnreadable = 2,
    NotSupported = 3,  // not a bitmap, or a header size, depth or layout we do not read
    CoreHeaderUnreadable = 4,
    InfoHeaderUnreadable = 5,
    PaletteUnreadable = 6,
    CannotOpen = 7,
    PixelDataTruncated = 8,  // pixel data outside the file, or ending early
};

// What the decoder met on its way; informative, not failures.
struct BitmapFlags {
    static constexpr unsigned kEndOfBitmap = 1;    // the run-length end-of-bitmap mark
    static constexpr unsigned kPositionJump = 2;   // a run-length delta (skipped pixels stay 0)
    static constexpr unsigned kStreamFailure = 8;  // a read failed (with PixelDataTruncated)
};

// A bitmap read: the common result (its status, a message naming the file
// and the bitmap's reason) with the bitmap's own status and what the
// decoder met. When Ok, row 0 of the image is the bottom row; 24-bit files
// give R G B pixels, 1-, 4- and 8-bit files one index per pixel with the
// bit count of the file, and a palette of 2, 16 or 256 entries.
struct BitmapReadResult : PictureRead {
    BitmapStatus bitmapStatus = BitmapStatus::Ok;
    unsigned flags = 0;
};

// Reads 1-, 4-, 8- (uncompressed or run-length encoded) and 24-bit bitmap
// files with the 12-byte core header or the 40-byte information header (and
// its longer successors, whose extra fields are ignored). Everything read
// from the file is checked against the file's length and the image limits
// before anything is allocated; top-down, 16- and 32-bit files and other
// compressions are refused with NotSupported.
BitmapReadResult ReadBitmapFile(const std::string& path);
BitmapReadResult ReadBitmapMemory(std::span<const std::uint8_t> bytes);

// A short sentence for a status, for messages to the user.
std::string BitmapStatusText(BitmapStatus status);

// Writes an image whose row 0 is the top row as an uncompressed bitmap at the
// image's bit count (1, 4, 8 or 24). 4- and 8-bit files take their 16 or 256
// colour-table entries from the palette (black where it is short); 1-bit
// files are always black and white, a pixel being white when its byte is
// not 0. The old file is replaced only after a complete write.
ImageResult WriteBitmapFile(const ImageBuffer& image, const Palette& palette,
                            const std::string& path);
// The same file's bytes in memory.
ImageResult EncodeBitmap(const ImageBuffer& image, const Palette& palette,
                         std::vector<std::uint8_t>& out);

}  // namespace quillon
