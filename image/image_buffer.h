#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quillon {

// Largest picture the library creates or reads: each side at most 65535
// pixels and at most 2^28 pixels in all.
inline constexpr int kMaxImageDimension = 65535;
inline constexpr std::int64_t kMaxImagePixels = std::int64_t{1} << 28;

// True when width x height is a picture the library accepts.
bool IsValidImageSize(std::int64_t width, std::int64_t height);

// Runs body(first, end) over bands of rows covering [0, rows) on the worker
// threads (within the process's thread limit), for conversions whose rows
// are independent of each other; rowBytes sizes the bands.
void ForEachRowBand(int rows, std::size_t rowBytes,
                    const std::function<void(int first, int end)>& body);

struct PaletteEntry {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const PaletteEntry&, const PaletteEntry&) = default;
};
// Travels beside an indexed image; entry i is the colour of index i.
using Palette = std::vector<PaletteEntry>;

// A picture as rows of 1-byte palette indices (bits per pixel 1, 4 or 8, as
// read from a file) or of 3-byte R, G, B pixels (24 bits), rows one after
// another without gaps. Which row is the top depends on who made it: the
// readers store the bottom row first, the writers expect the top row first.
class ImageBuffer {
  public:
    ImageBuffer() = default;
    // Deep copies; an allocation failure leaves the copy empty.
    ImageBuffer(const ImageBuffer& other);
    ImageBuffer& operator=(const ImageBuffer& other);
    ImageBuffer(ImageBuffer&& other) noexcept;
    ImageBuffer& operator=(ImageBuffer&& other) noexcept;
    // A 24-bit copy of an indexed image, each index replaced by its palette
    // entry (black for indices the palette lacks); a 24-bit source is copied.
    ImageBuffer(const ImageBuffer& indexed, const Palette& palette);
    ~ImageBuffer() = default;

    // Replaces the pixels by a new zero-filled array. bytesPerPixel 1 takes
    // bits 1, 4 or 8; bytesPerPixel 3 takes bits 24. False (image unchanged)
    // for other combinations, sizes outside the limits or short memory.
    bool Allocate(int width, int height, int bytesPerPixel, int bitsPerPixel);
    // Takes ownership of byteCount bytes that must hold exactly width x
    // height x bytesPerPixel; false (and the array is freed) otherwise.
    bool Adopt(std::unique_ptr<std::uint8_t[]> pixels, std::size_t byteCount, int width, int height,
               int bytesPerPixel, int bitsPerPixel);
    void Clear();

    // Row r, or null when r is outside 0 .. height - 1 or there are no pixels.
    std::uint8_t* Row(int r);
    const std::uint8_t* Row(int r) const;
    // Copies count bytes to offset when they fit inside the pixels;
    // otherwise nothing happens and the result is false.
    bool Store(const void* bytes, std::size_t offset, std::size_t count);

    // Resampling of 3-byte images: windowed sinc when enlarging, area
    // average when reducing. A 1-byte image, an image without pixels or a
    // size outside the limits is left alone (false); the same size is a
    // no-op (true).
    bool ResizeWidth(int newWidth);
    bool ResizeHeight(int newHeight);
    // Swaps the rows top to bottom (reader order <-> writer order).
    void FlipRows();

    bool Empty() const { return !m_pixels; }
    std::uint8_t* Pixels() { return m_pixels.get(); }
    const std::uint8_t* Pixels() const { return m_pixels.get(); }
    std::size_t Size() const { return m_size; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int BitsPerPixel() const { return m_bitsPerPixel; }
    int BytesPerPixel() const { return m_bytesPerPixel; }
    std::size_t RowBytes() const {
        return static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_bytesPerPixel);
    }
    int ResamplingRadius() const { return m_radius; }
    const std::string& Name() const { return m_name; }
    void SetName(std::string name) { m_name = std::move(name); }

  private:
    std::unique_ptr<std::uint8_t[]> m_pixels;
    std::string m_name;
    std::size_t m_size = 0;
    int m_height = 0;
    int m_width = 0;
    int m_bitsPerPixel = 0;
    int m_bytesPerPixel = 0;
    int m_radius = 3;
};

}  // namespace quillon
