#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "image/image_buffer.h"
#include "image/image_result.h"

namespace quillon {

// A packed device-independent bitmap in one zero-initialised block: the
// 40-byte information header (size 40, width, height, 1 plane, bit count,
// compression 0, other fields 0), the colour table (2, 16 or 256 entries of
// B, G, R, 0 for 1, 4 or 8 bits; none for 24 bits), then the pixel rows,
// bottom row first, each padded to a multiple of 4 bytes, B G R for 24 bits.
// The GUI paints straight from Data(); a synthesis fills it from floats.
class DisplayBitmap {
  public:
    static constexpr std::size_t kInfoHeaderSize = 40;

    DisplayBitmap() = default;
    // Deep copies; an allocation failure leaves the copy empty.
    DisplayBitmap(const DisplayBitmap& other);
    DisplayBitmap& operator=(const DisplayBitmap& other);
    DisplayBitmap(DisplayBitmap&& other) noexcept;
    DisplayBitmap& operator=(DisplayBitmap&& other) noexcept;

    // A new zeroed bitmap; bits are rounded up to 1, 4, 8 or 24. False (and
    // the old bitmap kept) for sizes outside the image limits or short memory.
    bool Create(int width, int height, int bitsPerPixel);
    // Deep copy; false when memory is short (this bitmap is then unchanged).
    bool Assign(const DisplayBitmap& other);
    void Clear();

    // Copies image row r to bitmap row r (so the image's row 0 is the bottom
    // row), R G B to B G R. 24-bit bitmaps and 3-byte images only; a size
    // mismatch copies the common part.
    bool FillFromImage(const ImageBuffer& image);
    // The same from the engine's float picture: 3 floats per pixel, R G B,
    // row 0 the bottom row. Each value is clamped to 0..1 (NaN to 0), times
    // 255 and truncated. False when rgb holds fewer than width x height x 3
    // floats or the bitmap is not 24-bit.
    bool FillFromFloats(std::span<const float> rgb);
    // The same for bitmap rows [firstRow, endRow) only, rgb still holding
    // the whole picture: bands can be filled in parallel, or one at a time.
    bool FillRowsFromFloats(std::span<const float> rgb, int firstRow, int endRow);
    // Sets the colour table of a 1-, 4- or 8-bit bitmap (missing entries black).
    bool SetColorTable(const Palette& palette);

    // A new image with the bitmap's top row as row 0: 24-bit bitmaps give
    // R G B pixels; others give one index per pixel at the bitmap's bit
    // count, with the colour table in palette (when given). Null when the
    // bitmap is empty or memory is short.
    std::unique_ptr<ImageBuffer> ToImage(Palette* palette = nullptr) const;
    // The colour of pixel (x, y), y counted from the top row as on screen.
    // 24-bit bitmaps only; false outside the bitmap.
    bool Pixel(int x, int y, PaletteEntry& color) const;

    // Writes a bitmap file: the 14-byte file header, then the whole block.
    // The old file is replaced only after a complete write.
    ImageResult SaveAsBitmapFile(const std::string& path) const;

    bool Empty() const { return !m_data; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int BitsPerPixel() const { return m_bitsPerPixel; }
    std::size_t Stride() const { return m_stride; }
    std::size_t ColorTableEntries() const;
    // The whole block (header, colour table, rows) and its size.
    const std::uint8_t* Data() const { return m_data.get(); }
    std::size_t DataSize() const { return m_dataSize; }
    // First pixel byte of bitmap row r (0 = bottom), null outside.
    std::uint8_t* BitmapRow(int r);
    const std::uint8_t* BitmapRow(int r) const;

  private:
    std::size_t PixelOffset() const { return kInfoHeaderSize + 4 * ColorTableEntries(); }

    std::unique_ptr<std::uint8_t[]> m_data;
    std::size_t m_dataSize = 0;
    int m_width = 0;
    int m_height = 0;
    std::size_t m_stride = 0;
    int m_bitsPerPixel = 0;
};

// The preview's mirrored expansion: with mirrorX the picture doubles in
// width, its right half the left half reflected; with mirrorY it doubles in
// height, the lower half the upper half reflected. False (result untouched)
// for a picture that is not 24-bit, or when the result would be too large.
bool MirrorExpand(const DisplayBitmap& source, bool mirrorX, bool mirrorY, DisplayBitmap& result);

}  // namespace quillon
