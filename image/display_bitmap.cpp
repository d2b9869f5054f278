#include "image/display_bitmap.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "image/atomic_file.h"
#include "image/byte_order.h"

namespace quillon {

namespace {

int RoundBits(int bits) {
    if (bits <= 1) return 1;
    if (bits <= 4) return 4;
    if (bits <= 8) return 8;
    return 24;
}

std::size_t StrideFor(int width, int bits) {
    return (static_cast<std::size_t>(bits) * static_cast<std::size_t>(width) + 31) / 32 * 4;
}

// Selects rather than branches so the loop vectorises; NaN fails v > 0.
inline std::uint8_t FloatToByte(float v) {
    v = v > 0.0f ? v : 0.0f;
    v = v < 1.0f ? v : 1.0f;
    return static_cast<std::uint8_t>(static_cast<int>(v * 255.0f));
}

}  // namespace

DisplayBitmap::DisplayBitmap(const DisplayBitmap& other) {
    Assign(other);
}

DisplayBitmap& DisplayBitmap::operator=(const DisplayBitmap& other) {
    if (this != &other && !Assign(other)) Clear();
    return *this;
}

DisplayBitmap::DisplayBitmap(DisplayBitmap&& other) noexcept {
    *this = std::move(other);
}

DisplayBitmap& DisplayBitmap::operator=(DisplayBitmap&& other) noexcept {
    if (this == &other) return *this;
    m_data = std::move(other.m_data);
    m_dataSize = std::exchange(other.m_dataSize, 0);
    m_width = std::exchange(other.m_width, 0);
    m_height = std::exchange(other.m_height, 0);
    m_stride = std::exchange(other.m_stride, 0);
    m_bitsPerPixel = std::exchange(other.m_bitsPerPixel, 0);
    return *this;
}

std::size_t DisplayBitmap::ColorTableEntries() const {
    return m_bitsPerPixel > 0 && m_bitsPerPixel <= 8 ? std::size_t{1} << m_bitsPerPixel : 0;
}

bool DisplayBitmap::Create(int width, int height, int bitsPerPixel) {
    if (!IsValidImageSize(width, height)) return false;
    const int bits = RoundBits(bitsPerPixel);
    const std::size_t stride = StrideFor(width, bits);
    const std::size_t table = bits <= 8 ? 4 * (std::size_t{1} << bits) : 0;
    const std::size_t size = kInfoHeaderSize + table + stride * static_cast<std::size_t>(height);
    std::unique_ptr<std::uint8_t[]> data(new (std::nothrow) std::uint8_t[size]);
    if (!data) return false;
    // The rows are cleared on the worker threads, which maps their pages there.
    std::memset(data.get(), 0, kInfoHeaderSize + table);
    std::uint8_t* rows = data.get() + kInfoHeaderSize + table;
    ForEachRowBand(height, stride, [rows, stride](int first, int end) {
        std::memset(rows + static_cast<std::size_t>(first) * stride, 0,
                    static_cast<std::size_t>(end - first) * stride);
    });
    std::uint8_t* h = data.get();
    le::Put32(h, kInfoHeaderSize);
    le::Put32(h + 4, static_cast<std::uint32_t>(width));
    le::Put32(h + 8, static_cast<std::uint32_t>(height));
    le::Put16(h + 12, 1);
    le::Put16(h + 14, static_cast<std::uint32_t>(bits));
    m_data = std::move(data);
    m_dataSize = size;
    m_width = width;
    m_height = height;
    m_stride = stride;
    m_bitsPerPixel = bits;
    return true;
}

bool DisplayBitmap::Assign(const DisplayBitmap& other) {
    if (this == &other) return true;
    if (!other.m_data) {
        Clear();
        return true;
    }
    std::unique_ptr<std::uint8_t[]> data(new (std::nothrow) std::uint8_t[other.m_dataSize]);
    if (!data) return false;
    std::memcpy(data.get(), other.m_data.get(), other.m_dataSize);
    m_data = std::move(data);
    m_dataSize = other.m_dataSize;
    m_width = other.m_width;
    m_height = other.m_height;
    m_stride = other.m_stride;
    m_bitsPerPixel = other.m_bitsPerPixel;
    return true;
}

void DisplayBitmap::Clear() {
    m_data.reset();
    m_dataSize = 0;
    m_width = m_height = m_bitsPerPixel = 0;
    m_stride = 0;
}

std::uint8_t* DisplayBitmap::BitmapRow(int r) {
    if (!m_data || r < 0 || r >= m_height) return nullptr;
    return m_data.get() + PixelOffset() + static_cast<std::size_t>(r) * m_stride;
}

const std::uint8_t* DisplayBitmap::BitmapRow(int r) const {
    return const_cast<DisplayBitmap*>(this)->BitmapRow(r);
}

bool DisplayBitmap::FillFromImage(const ImageBuffer& image) {
    if (!m_data || m_bitsPerPixel != 24 || image.Empty() || image.BytesPerPixel() != 3)
        return false;
    const int rows = std::min(m_height, image.Height());
    const int cols = std::min(m_width, image.Width());
    ForEachRowBand(rows, m_stride, [&](int first, int end) {
        for (int r = first; r < end; ++r) {
            const std::uint8_t* src = image.Row(r);
            std::uint8_t* dst = BitmapRow(r);
            for (int x = 0; x < cols; ++x, src += 3, dst += 3) {
                dst[0] = src[2];
                dst[1] = src[1];
                dst[2] = src[0];
            }
        }
    });
    return true;
}

bool DisplayBitmap::FillFromFloats(std::span<const float> rgb) {
    if (!FillRowsFromFloats(rgb, 0, 0)) return false;  // checks the sizes
    ForEachRowBand(m_height, m_stride,
                   [&](int first, int end) { FillRowsFromFloats(rgb, first, end); });
    return true;
}

bool DisplayBitmap::FillRowsFromFloats(std::span<const float> rgb, int firstRow, int endRow) {
    if (!m_data || m_bitsPerPixel != 24) return false;
    if (firstRow < 0 || endRow > m_height || firstRow > endRow) return false;
    const std::size_t rowFloats = static_cast<std::size_t>(m_width) * 3;
    if (rgb.size() / rowFloats < static_cast<std::size_t>(m_height)) return false;
    const float* src = rgb.data() + static_cast<std::size_t>(firstRow) * rowFloats;
    for (int r = firstRow; r < endRow; ++r) {
        std::uint8_t* dst = BitmapRow(r);
        for (int x = 0; x < m_width; ++x, src += 3, dst += 3) {
            dst[0] = FloatToByte(src[2]);
            dst[1] = FloatToByte(src[1]);
            dst[2] = FloatToByte(src[0]);
        }
    }
    return true;
}

bool DisplayBitmap::SetColorTable(const Palette& palette) {
    const std::size_t entries = ColorTableEntries();
    if (!m_data || entries == 0) return false;
    std::uint8_t* table = m_data.get() + kInfoHeaderSize;
    for (std::size_t i = 0; i < entries; ++i, table += 4) {
        PaletteEntry c = i < palette.size() ? palette[i] : PaletteEntry{};
        table[0] = c.b;
        table[1] = c.g;
        table[2] = c.r;
        table[3] = 0;
    }
    return true;
}

std::unique_ptr<ImageBuffer> DisplayBitmap::ToImage(Palette* palette) const {
    if (!m_data) return nullptr;
    auto image = std::make_unique<ImageBuffer>();
    const bool rgb = m_bitsPerPixel == 24;
    const std::size_t rowBytes = static_cast<std::size_t>(m_width) * (rgb ? 3 : 1);
    const std::size_t size = rowBytes * static_cast<std::size_t>(m_height);
    // Every byte is written below, so the array starts unwritten.
    std::unique_ptr<std::uint8_t[]> pixels(new (std::nothrow) std::uint8_t[size]);
    if (!pixels) return nullptr;
    std::uint8_t* const out = pixels.get();
    ForEachRowBand(m_height, rowBytes, [&](int first, int end) {
        for (int r = first; r < end; ++r) {
            const std::uint8_t* src = BitmapRow(m_height - 1 - r);
            std::uint8_t* dst = out + static_cast<std::size_t>(r) * rowBytes;
            for (int x = 0; x < m_width; ++x) {
                switch (m_bitsPerPixel) {
                    case 24:
                        dst[3 * x] = src[3 * x + 2];
                        dst[3 * x + 1] = src[3 * x + 1];
                        dst[3 * x + 2] = src[3 * x];
                        break;
                    case 8:
                        dst[x] = src[x];
                        break;
                    case 4:
                        dst[x] = (src[x / 2] >> (x % 2 == 0 ? 4 : 0)) & 0x0F;
                        break;
                    default:
                        dst[x] = (src[x / 8] >> (7 - x % 8)) & 1;
                        break;
                }
            }
        }
    });
    if (!image->Adopt(std::move(pixels), size, m_width, m_height, rgb ? 3 : 1, m_bitsPerPixel))
        return nullptr;
    if (palette) {
        palette->clear();
        const std::uint8_t* table = m_data.get() + kInfoHeaderSize;
        for (std::size_t i = 0; i < ColorTableEntries(); ++i, table += 4) {
            palette->push_back({table[2], table[1], table[0]});
        }
    }
    return image;
}

bool DisplayBitmap::Pixel(int x, int y, PaletteEntry& color) const {
    if (!m_data || m_bitsPerPixel != 24 || x < 0 || x >= m_width || y < 0 || y >= m_height)
        return false;
    const std::uint8_t* p = BitmapRow(m_height - 1 - y) + 3 * static_cast<std::size_t>(x);
    color = {p[2], p[1], p[0]};
    return true;
}

ImageResult DisplayBitmap::SaveAsBitmapFile(const std::string& path) const {
    if (!m_data || le::Get32(m_data.get()) != kInfoHeaderSize) {
        return ImageResult::Failure(ImageStatus::kUnsupported, "Nothing to save");
    }
    const std::size_t imageSize = m_stride * static_cast<std::size_t>(m_height);
    const std::size_t fileSize = 14 + m_dataSize;
    if (fileSize > 0xFFFFFFFFu) {
        return ImageResult::Failure(ImageStatus::kUnsupported,
                                    "Picture too large for a bitmap file");
    }
    std::uint8_t head[14 + kInfoHeaderSize];
    head[0] = 'B';
    head[1] = 'M';
    le::Put32(head + 2, static_cast<std::uint32_t>(fileSize));
    le::Put32(head + 6, 0);
    le::Put32(head + 10, static_cast<std::uint32_t>(14 + PixelOffset()));
    std::memcpy(head + 14, m_data.get(), kInfoHeaderSize);
    le::Put32(head + 14 + 20, static_cast<std::uint32_t>(imageSize));

    try {
        AtomicFile file(path);
        if (!file.Open()) return ImageResult::Failure(ImageStatus::kCannotOpen, file.Error());
        if (!file.Write(head, sizeof head) ||
            !file.Write(m_data.get() + kInfoHeaderSize, m_dataSize - kInfoHeaderSize) ||
            !file.Commit()) {
            return ImageResult::Failure(ImageStatus::kWriteFailed, file.Error());
        }
        return {};
    } catch (const std::bad_alloc&) {
        return ImageResult::Failure(ImageStatus::kNoMemory, "Not enough memory to write " + path);
    }
}

bool MirrorExpand(const DisplayBitmap& source, bool mirrorX, bool mirrorY, DisplayBitmap& result) {
    if (source.Empty() || source.BitsPerPixel() != 24) return false;
    const int width = source.Width();
    const int height = source.Height();
    const int outWidth = mirrorX ? 2 * width : width;
    const int outHeight = mirrorY ? 2 * height : height;
    DisplayBitmap out;
    if (!out.Create(outWidth, outHeight, 24)) return false;
    // Rows are counted from the top here and stored bottom row first.
    ForEachRowBand(outHeight, out.Stride(), [&](int first, int end) {
        for (int r = first; r < end; ++r) {
            const int sourceTopRow = r < height ? r : 2 * height - 1 - r;
            const std::uint8_t* from = source.BitmapRow(height - 1 - sourceTopRow);
            std::uint8_t* to = out.BitmapRow(outHeight - 1 - r);
            std::memcpy(to, from, static_cast<std::size_t>(width) * 3);
            for (int c = width; c < outWidth; ++c) {
                std::memcpy(to + 3 * static_cast<std::size_t>(c),
                            from + 3 * static_cast<std::size_t>(2 * width - 1 - c), 3);
            }
        }
    });
    result = std::move(out);
    return true;
}

}  // namespace quillon
