#include "image/image_buffer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <utility>

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

namespace quillon {

namespace {

// Cleared on the worker threads, which maps a large array's pages there.
std::unique_ptr<std::uint8_t[]> NewZeroedBytes(std::size_t count) {
    const std::size_t n = count == 0 ? 1 : count;
    std::unique_ptr<std::uint8_t[]> bytes(new (std::nothrow) std::uint8_t[n]);
    if (!bytes) return bytes;
    // Pictures hold at most 3 x 2^28 bytes: the chunks fit an int.
    constexpr std::size_t kChunk = std::size_t{1} << 16;
    std::uint8_t* const data = bytes.get();
    ForEachRowBand(static_cast<int>((n + kChunk - 1) / kChunk), kChunk, [&](int first, int end) {
        const std::size_t from = static_cast<std::size_t>(first) * kChunk;
        const std::size_t to = std::min(n, static_cast<std::size_t>(end) * kChunk);
        std::memset(data + from, 0, to - from);
    });
    return bytes;
}

bool ValidFormat(int bytesPerPixel, int bitsPerPixel) {
    if (bytesPerPixel == 1) return bitsPerPixel == 1 || bitsPerPixel == 4 || bitsPerPixel == 8;
    return bytesPerPixel == 3 && bitsPerPixel == 24;
}

// One source sample feeding an output sample.
struct Contribution {
    int source;
    double weight;
};

// For each of n outputs, the sources along a line of s samples that feed it
// and their weights (already including any normalisation).
struct ContributionTable {
    std::vector<std::size_t> begin;  // n + 1 offsets into list
    std::vector<Contribution> list;
};

// Windowed sinc for enlarging; the tap positions and weights are computed in
// single precision so that every machine picks the same source samples.
void BuildEnlargeTable(int s, int n, int radius, ContributionTable& table) {
    const float d = static_cast<float>(s) / static_cast<float>(n);
    const float pi = static_cast<float>(4.0 * std::atan(1.0));
    std::vector<float> tapWeight(2 * radius + 1);
    for (int t = -radius; t <= radius; ++t) {
        float x = static_cast<float>(t) * d;
        float w;
        if (std::fabs(x) > static_cast<float>(radius)) {
            w = 0.0f;
        } else if (std::fabs(x) < 0.000001f) {
            w = 1.0f;
        } else {
            float px = pi * x;
            w = std::sin(px) / px;
        }
        tapWeight[t + radius] = w;
    }
    table.begin.assign(1, 0);
    table.list.reserve(static_cast<std::size_t>(n) * (2 * radius + 1));
    for (int o = 0; o < n; ++o) {
        std::size_t first = table.list.size();
        double sum = 0.0;
        for (int t = -radius; t <= radius; ++t) {
            float pos = static_cast<float>(t) * d + static_cast<float>(o) * d;
            double index = std::floor(static_cast<double>(pos));
            if (index < 0.0 || index > s - 1) continue;
            table.list.push_back({static_cast<int>(index), tapWeight[t + radius]});
            sum += tapWeight[t + radius];
        }
        if (std::fabs(sum) < 1e-12) {
            // Cannot happen with the sinc taps (the centre tap is always
            // inside), but never divide by zero.
            table.list.resize(first);
            int centre = std::min(s - 1, static_cast<int>(static_cast<float>(o) * d));
            table.list.push_back({centre, 1.0});
        } else {
            for (std::size_t k = first; k < table.list.size(); ++k) table.list[k].weight /= sum;
        }
        table.begin.push_back(table.list.size());
    }
}

// Area average for reducing: each output covers [o c, (o + 1) c) of the source.
void BuildReduceTable(int s, int n, ContributionTable& table) {
    const double c = static_cast<double>(s) / static_cast<double>(n);
    const double scale = 1.0 / c;
    table.begin.assign(1, 0);
    table.list.reserve(static_cast<std::size_t>(s) + 2 * static_cast<std::size_t>(n));
    for (int o = 0; o < n; ++o) {
        double lo = o * c;
        double hi = (o + 1) * c;
        for (double i = std::floor(lo); i < hi; i += 1.0) {
            double overlap = std::min(i + 1.0, hi) - std::max(i, lo);
            if (overlap <= 0.0) continue;
            int index = std::min(static_cast<int>(i), s - 1);
            table.list.push_back({index, overlap * scale});
        }
        table.begin.push_back(table.list.size());
    }
}

// Truncates, forgiving the rounding noise of the weighted sums so that a flat
// area of 100 stays 100 rather than becoming 99.
std::uint8_t ToByte(double v) {
    v += 1e-6;
    if (!(v > 0.0)) return 0;
    if (v >= 255.0) return 255;
    return static_cast<std::uint8_t>(v);
}

}  // namespace

void ForEachRowBand(int rows, std::size_t rowBytes,
                    const std::function<void(int first, int end)>& body) {
    if (rows <= 0) return;
    // Bands of about 256 KB: large enough to outweigh handing them out.
    const int grain = static_cast<int>(
        std::clamp<std::size_t>((std::size_t{1} << 18) / std::max<std::size_t>(rowBytes, 1), 1,
                                static_cast<std::size_t>(rows)));
    // The thread sanitizer cannot see inside TBB (see engine/parallel.cpp).
#if defined(__SANITIZE_THREAD__)
    constexpr bool kSerial = true;
#else
    constexpr bool kSerial = false;
#endif
    if (rows <= grain || kSerial) {
        body(0, rows);
        return;
    }
    tbb::parallel_for(tbb::blocked_range<int>(0, rows, grain),
                      [&body](const tbb::blocked_range<int>& r) { body(r.begin(), r.end()); });
}

bool IsValidImageSize(std::int64_t width, std::int64_t height) {
    return width >= 1 && height >= 1 && width <= kMaxImageDimension &&
           height <= kMaxImageDimension && width * height <= kMaxImagePixels;
}

ImageBuffer::ImageBuffer(const ImageBuffer& other) {
    *this = other;
}

ImageBuffer& ImageBuffer::operator=(const ImageBuffer& other) {
    if (this == &other) return *this;
    Clear();
    m_name = other.m_name;
    m_radius = other.m_radius;
    if (other.m_pixels &&
        Allocate(other.m_width, other.m_height, other.m_bytesPerPixel, other.m_bitsPerPixel)) {
        std::memcpy(m_pixels.get(), other.m_pixels.get(), m_size);
    }
    return *this;
}

ImageBuffer::ImageBuffer(ImageBuffer&& other) noexcept {
    *this = std::move(other);
}

ImageBuffer& ImageBuffer::operator=(ImageBuffer&& other) noexcept {
    if (this == &other) return *this;
    m_pixels = std::move(other.m_pixels);
    m_name = std::move(other.m_name);
    m_size = std::exchange(other.m_size, 0);
    m_height = std::exchange(other.m_height, 0);
    m_width = std::exchange(other.m_width, 0);
    m_bitsPerPixel = std::exchange(other.m_bitsPerPixel, 0);
    m_bytesPerPixel = std::exchange(other.m_bytesPerPixel, 0);
    m_radius = other.m_radius;
    return *this;
}

ImageBuffer::ImageBuffer(const ImageBuffer& indexed, const Palette& palette) {
    if (indexed.Empty()) return;
    if (indexed.m_bytesPerPixel == 3) {
        *this = indexed;
        return;
    }
    if (!Allocate(indexed.m_width, indexed.m_height, 3, 24)) return;
    const std::size_t width = static_cast<std::size_t>(m_width);
    ForEachRowBand(m_height, RowBytes(), [&](int first, int end) {
        const std::uint8_t* src = indexed.Row(first);
        std::uint8_t* dst = Row(first);
        const std::size_t count = static_cast<std::size_t>(end - first) * width;
        for (std::size_t i = 0; i < count; ++i, dst += 3) {
            const std::size_t index = src[i];
            if (index < palette.size()) {
                dst[0] = palette[index].r;
                dst[1] = palette[index].g;
                dst[2] = palette[index].b;
            }  // else stays black
        }
    });
}

bool ImageBuffer::Allocate(int width, int height, int bytesPerPixel, int bitsPerPixel) {
    if (!ValidFormat(bytesPerPixel, bitsPerPixel) || !IsValidImageSize(width, height)) return false;
    std::size_t size = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                       static_cast<std::size_t>(bytesPerPixel);
    auto pixels = NewZeroedBytes(size);
    if (!pixels) return false;
    m_pixels = std::move(pixels);
    m_size = size;
    m_width = width;
    m_height = height;
    m_bytesPerPixel = bytesPerPixel;
    m_bitsPerPixel = bitsPerPixel;
    return true;
}

bool ImageBuffer::Adopt(std::unique_ptr<std::uint8_t[]> pixels, std::size_t byteCount, int width,
                        int height, int bytesPerPixel, int bitsPerPixel) {
    if (!pixels || !ValidFormat(bytesPerPixel, bitsPerPixel) || !IsValidImageSize(width, height))
        return false;
    std::size_t size = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                       static_cast<std::size_t>(bytesPerPixel);
    if (byteCount != size) return false;
    m_pixels = std::move(pixels);
    m_size = size;
    m_width = width;
    m_height = height;
    m_bytesPerPixel = bytesPerPixel;
    m_bitsPerPixel = bitsPerPixel;
    return true;
}

void ImageBuffer::Clear() {
    m_pixels.reset();
    m_size = 0;
    m_width = m_height = m_bitsPerPixel = m_bytesPerPixel = 0;
}

std::uint8_t* ImageBuffer::Row(int r) {
    if (!m_pixels || r < 0 || r >= m_height) return nullptr;
    return m_pixels.get() + static_cast<std::size_t>(r) * RowBytes();
}

const std::uint8_t* ImageBuffer::Row(int r) const {
    return const_cast<ImageBuffer*>(this)->Row(r);
}

bool ImageBuffer::Store(const void* bytes, std::size_t offset, std::size_t count) {
    if (!m_pixels || offset > m_size || count > m_size - offset) return false;
    if (count != 0) std::memcpy(m_pixels.get() + offset, bytes, count);
    return true;
}

bool ImageBuffer::ResizeWidth(int newWidth) {
    if (!m_pixels || m_bytesPerPixel != 3) return false;
    if (newWidth == m_width) return true;
    if (!IsValidImageSize(newWidth, m_height)) return false;
    ContributionTable table;
    try {
        if (newWidth > m_width) {
            BuildEnlargeTable(m_width, newWidth, m_radius, table);
        } else {
            BuildReduceTable(m_width, newWidth, table);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    const std::size_t outRow = static_cast<std::size_t>(newWidth) * 3;
    auto out = NewZeroedBytes(outRow * static_cast<std::size_t>(m_height));
    if (!out) return false;
    for (int y = 0; y < m_height; ++y) {
        const std::uint8_t* src = Row(y);
        std::uint8_t* dst = out.get() + static_cast<std::size_t>(y) * outRow;
        for (int o = 0; o < newWidth; ++o) {
            double r = 0.0, g = 0.0, b = 0.0;
            for (std::size_t k = table.begin[o]; k < table.begin[o + 1]; ++k) {
                const std::uint8_t* p = src + static_cast<std::size_t>(table.list[k].source) * 3;
                double w = table.list[k].weight;
                r += w * p[0];
                g += w * p[1];
                b += w * p[2];
            }
            dst[3 * o] = ToByte(r);
            dst[3 * o + 1] = ToByte(g);
            dst[3 * o + 2] = ToByte(b);
        }
    }
    m_pixels = std::move(out);
    m_width = newWidth;
    m_size = outRow * static_cast<std::size_t>(m_height);
    return true;
}

bool ImageBuffer::ResizeHeight(int newHeight) {
    if (!m_pixels || m_bytesPerPixel != 3) return false;
    if (newHeight == m_height) return true;
    if (!IsValidImageSize(m_width, newHeight)) return false;
    ContributionTable table;
    std::vector<double> sum;
    try {
        if (newHeight > m_height) {
            BuildEnlargeTable(m_height, newHeight, m_radius, table);
        } else {
            BuildReduceTable(m_height, newHeight, table);
        }
        sum.resize(RowBytes());
    } catch (const std::bad_alloc&) {
        return false;
    }
    const std::size_t rowBytes = RowBytes();
    auto out = NewZeroedBytes(rowBytes * static_cast<std::size_t>(newHeight));
    if (!out) return false;
    // Whole rows at a time, so the source is walked in memory order.
    for (int o = 0; o < newHeight; ++o) {
        std::fill(sum.begin(), sum.end(), 0.0);
        for (std::size_t k = table.begin[o]; k < table.begin[o + 1]; ++k) {
            const std::uint8_t* src = Row(table.list[k].source);
            double w = table.list[k].weight;
            for (std::size_t i = 0; i < rowBytes; ++i) sum[i] += w * src[i];
        }
        std::uint8_t* dst = out.get() + static_cast<std::size_t>(o) * rowBytes;
        for (std::size_t i = 0; i < rowBytes; ++i) dst[i] = ToByte(sum[i]);
    }
    m_pixels = std::move(out);
    m_height = newHeight;
    m_size = rowBytes * static_cast<std::size_t>(m_height);
    return true;
}

void ImageBuffer::FlipRows() {
    if (!m_pixels) return;
    const std::size_t rowBytes = RowBytes();
    for (int top = 0, bottom = m_height - 1; top < bottom; ++top, --bottom) {
        std::swap_ranges(Row(top), Row(top) + rowBytes, Row(bottom));
    }
}

}  // namespace quillon
