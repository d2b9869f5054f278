#pragma once

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "image/byte_order.h"
#include "image/image_buffer.h"

namespace quillon::test {

using Bytes = std::vector<std::uint8_t>;

// A fresh folder under the system's temporary folder, removed afterwards.
class TempDir {
  public:
    TempDir() {
        static int counter = 0;
        m_path = std::filesystem::temp_directory_path() /
                 ("quillon-image-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    std::string File(const std::string& name) const { return (m_path / name).string(); }
    std::size_t Count() const {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(m_path),
                                                      std::filesystem::directory_iterator()));
    }

  private:
    std::filesystem::path m_path;
};

inline Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// While alive, writes that would make any file larger than `bytes` fail
// (as on a full disk).
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

  private:
    rlimit m_old{};
    void (*m_oldHandler)(int);
};

// A hand-made bitmap file: the headers are built from the fields, the
// palette and pixel bytes are given exactly as they stand in the file.
struct BmpFile {
    std::uint32_t headerSize = 40;
    std::int32_t width = 1;
    std::int32_t height = 1;
    std::uint16_t bits = 24;
    std::uint32_t compression = 0;
    std::uint32_t colorsUsed = 0;
    Bytes palette;
    Bytes pixels;
    std::int64_t pixelOffset = -1;  // -1: right after the palette

    Bytes Build() const {
        Bytes out(14 + headerSize, 0);
        out[0] = 'B';
        out[1] = 'M';
        std::uint8_t* h = &out[14];
        le::Put32(h, headerSize);
        if (headerSize == 12) {
            le::Put16(h + 4, static_cast<std::uint32_t>(width));
            le::Put16(h + 6, static_cast<std::uint32_t>(height));
            le::Put16(h + 8, 1);
            le::Put16(h + 10, bits);
        } else if (headerSize >= 40) {
            le::Put32(h + 4, static_cast<std::uint32_t>(width));
            le::Put32(h + 8, static_cast<std::uint32_t>(height));
            le::Put16(h + 12, 1);
            le::Put16(h + 14, bits);
            le::Put32(h + 16, compression);
            le::Put32(h + 32, colorsUsed);
        }
        out.insert(out.end(), palette.begin(), palette.end());
        std::uint32_t offset = pixelOffset < 0 ? static_cast<std::uint32_t>(out.size())
                                               : static_cast<std::uint32_t>(pixelOffset);
        le::Put32(&out[10], offset);
        out.insert(out.end(), pixels.begin(), pixels.end());
        le::Put32(&out[2], static_cast<std::uint32_t>(out.size()));
        return out;
    }
};

// Palette bytes as a file stores them: B, G, R (and 0 unless core).
inline Bytes PaletteBytes(std::initializer_list<PaletteEntry> entries, std::size_t total,
                          bool core = false) {
    Bytes out;
    std::size_t n = 0;
    for (const PaletteEntry& e : entries) {
        out.insert(out.end(), {e.b, e.g, e.r});
        if (!core) out.push_back(0);
        ++n;
    }
    for (; n < total; ++n) out.insert(out.end(), core ? 3u : 4u, std::uint8_t{0});
    return out;
}

// A deterministic RGB picture with gradients and some texture, row 0 first.
inline ImageBuffer TestPicture(int width, int height) {
    ImageBuffer image;
    image.Allocate(width, height, 3, 24);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = image.Row(y);
        for (int x = 0; x < width; ++x) {
            row[3 * x] = static_cast<std::uint8_t>(x * 255 / std::max(1, width - 1));
            row[3 * x + 1] = static_cast<std::uint8_t>(y * 255 / std::max(1, height - 1));
            row[3 * x + 2] = static_cast<std::uint8_t>(((x / 8 + y / 8) % 2) * 120 + 60);
        }
    }
    return image;
}

// Mean absolute difference of two same-sized 3-byte images, the second
// compared upside down when flipped.
inline double MeanDifference(const ImageBuffer& a, const ImageBuffer& b, bool flipped) {
    double total = 0;
    for (int y = 0; y < a.Height(); ++y) {
        const std::uint8_t* ra = a.Row(y);
        const std::uint8_t* rb = b.Row(flipped ? b.Height() - 1 - y : y);
        for (std::size_t i = 0; i < a.RowBytes(); ++i) total += std::abs(int(ra[i]) - int(rb[i]));
    }
    return total / static_cast<double>(a.Size());
}

}  // namespace quillon::test
