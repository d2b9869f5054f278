#include "image/bmp_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <new>

#include "image/atomic_file.h"
#include "image/byte_order.h"

namespace quillon {

namespace {

// Random access to the bytes of a bitmap file, wherever they are.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // Reads up to n bytes at the current position; fewer at the end or on error.
    virtual std::size_t Read(void* dst, std::size_t n) = 0;
    virtual bool Seek(std::uint64_t pos) = 0;
    std::uint64_t Size() const { return m_size; }

  protected:
    std::uint64_t m_size = 0;
};

class MemorySource : public ByteSource {
  public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {
        m_size = bytes.size();
    }
    std::size_t Read(void* dst, std::size_t n) override {
        std::size_t count = std::min<std::size_t>(n, m_bytes.size() - m_pos);
        if (count) std::memcpy(dst, m_bytes.data() + m_pos, count);
        m_pos += count;
        return count;
    }
    bool Seek(std::uint64_t pos) override {
        if (pos > m_bytes.size()) return false;
        m_pos = static_cast<std::size_t>(pos);
        return true;
    }

  private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_pos = 0;
};

class FileSource : public ByteSource {
  public:
    explicit FileSource(const std::string& path) : m_file(std::fopen(path.c_str(), "rb")) {
        struct stat st {};
        if (m_file && ::fstat(::fileno(m_file), &st) == 0 && S_ISREG(st.st_mode)) {
            m_size = static_cast<std::uint64_t>(st.st_size);
        } else if (m_file) {
            std::fclose(m_file);
            m_file = nullptr;
        }
    }
    ~FileSource() override {
        if (m_file) std::fclose(m_file);
    }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;
    bool IsOpen() const { return m_file != nullptr; }
    std::size_t Read(void* dst, std::size_t n) override { return std::fread(dst, 1, n, m_file); }
    bool Seek(std::uint64_t pos) override {
        return pos <= m_size && ::fseeko(m_file, static_cast<off_t>(pos), SEEK_SET) == 0;
    }

  private:
    std::FILE* m_file;
};

// Byte-at-a-time reading for the run-length decoders.
class BufferedReader {
  public:
    explicit BufferedReader(ByteSource& source) : m_source(source) {}
    bool Get(std::uint8_t& byte) {
        if (m_pos == m_len) {
            m_len = m_source.Read(m_buffer, sizeof m_buffer);
            m_pos = 0;
            if (m_len == 0) return false;
        }
        byte = m_buffer[m_pos++];
        return true;
    }
    bool Skip(std::size_t n) {
        std::uint8_t ignored;
        for (std::size_t i = 0; i < n; ++i)
            if (!Get(ignored)) return false;
        return true;
    }

  private:
    ByteSource& m_source;
    std::uint8_t m_buffer[65536];
    std::size_t m_pos = 0;
    std::size_t m_len = 0;
};

constexpr std::uint32_t kCompressionNone = 0;
constexpr std::uint32_t kCompressionRle8 = 1;
constexpr std::uint32_t kCompressionRle4 = 2;

struct Header {
    std::uint32_t pixelOffset = 0;
    std::uint32_t headerSize = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;
    int bits = 0;
    std::uint32_t compression = kCompressionNone;
    std::uint32_t colorsUsed = 0;
    bool core = false;
};

bool SupportedLayout(int bits, std::uint32_t compression) {
    switch (compression) {
        case kCompressionNone:
            return bits == 1 || bits == 4 || bits == 8 || bits == 24;
        case kCompressionRle8:
            return bits == 8;
        case kCompressionRle4:
            return bits == 4;
        default:
            return false;
    }
}

BitmapStatus ReadHeaders(ByteSource& src, Header& h) {
    std::uint8_t fileHeader[14];
    if (src.Read(fileHeader, sizeof fileHeader) != sizeof fileHeader)
        return BitmapStatus::FileHeaderUnreadable;
    if (fileHeader[0] != 'B' || fileHeader[1] != 'M') return BitmapStatus::NotSupported;
    h.pixelOffset = le::Get32(fileHeader + 10);

    std::uint8_t info[40];
    if (src.Read(info, 4) != 4) return BitmapStatus::InfoHeaderUnreadable;
    h.headerSize = le::Get32(info);
    if (h.headerSize == 12) {
        if (src.Read(info + 4, 8) != 8) return BitmapStatus::CoreHeaderUnreadable;
        h.core = true;
        h.width = le::Get16(info + 4);
        h.height = le::Get16(info + 6);
        h.bits = le::Get16(info + 10);
        return BitmapStatus::Ok;
    }
    // 40 bytes, or a longer header that begins with the same 40.
    if (h.headerSize != 40 && h.headerSize != 52 && h.headerSize != 56 && h.headerSize != 108 &&
        h.headerSize != 124)
        return BitmapStatus::NotSupported;
    if (src.Read(info + 4, 36) != 36) return BitmapStatus::InfoHeaderUnreadable;
    if (14 + std::uint64_t{h.headerSize} > src.Size()) return BitmapStatus::InfoHeaderUnreadable;
    h.width = static_cast<std::int32_t>(le::Get32(info + 4));
    h.height = static_cast<std::int32_t>(le::Get32(info + 8));
    h.bits = le::Get16(info + 14);
    h.compression = le::Get32(info + 16);
    h.colorsUsed = le::Get32(info + 32);
    return BitmapStatus::Ok;
}

// The colour table, 2^bits entries; entries the file lacks after the ones
// the header says are used are black.
BitmapStatus ReadPalette(ByteSource& src, const Header& h, Palette& palette) {
    const std::size_t entries = std::size_t{1} << h.bits;
    const std::size_t entrySize = h.core ? 3 : 4;
    std::vector<std::uint8_t> raw(entries * entrySize, 0);
    if (!src.Seek(14 + std::uint64_t{h.headerSize})) return BitmapStatus::PaletteUnreadable;
    std::size_t got = src.Read(raw.data(), raw.size());
    if (got < raw.size()) {
        std::size_t needed = h.colorsUsed >= 1 && h.colorsUsed <= entries ? h.colorsUsed : entries;
        if (got < needed * entrySize) return BitmapStatus::PaletteUnreadable;
        std::fill(raw.begin() + static_cast<std::ptrdiff_t>(got / entrySize * entrySize), raw.end(),
                  0);
    }
    palette.resize(entries);
    for (std::size_t i = 0; i < entries; ++i) {
        const std::uint8_t* e = raw.data() + i * entrySize;
        palette[i] = {e[2], e[1], e[0]};
    }
    return BitmapStatus::Ok;
}

bool DecodeUncompressed(ByteSource& src, const Header& h, ImageBuffer& image) {
    const std::size_t width = static_cast<std::size_t>(h.width);
    const std::size_t stride = (static_cast<std::size_t>(h.bits) * width + 31) / 32 * 4;
    const std::size_t used = (static_cast<std::size_t>(h.bits) * width + 7) / 8;
    std::vector<std::uint8_t> row(stride);
    for (int y = 0; y < image.Height(); ++y) {
        // The last row's padding may be missing from the file.
        std::size_t want = y == image.Height() - 1 ? used : stride;
        if (src.Read(row.data(), want) != want) return false;
        std::uint8_t* dst = image.Row(y);
        const std::uint8_t* in = row.data();
        switch (h.bits) {
            case 24:
                for (std::size_t x = 0; x < width; ++x, in += 3, dst += 3) {
                    dst[0] = in[2];
                    dst[1] = in[1];
                    dst[2] = in[0];
                }
                break;
            case 8:
                std::memcpy(dst, in, width);
                break;
            case 4:
                for (std::size_t x = 0; x < width; ++x)
                    dst[x] = (in[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F;
                break;
            default:
                for (std::size_t x = 0; x < width; ++x) dst[x] = (in[x / 8] >> (7 - x % 8)) & 1;
                break;
        }
    }
    return true;
}

// Run-length decoding. Rows end only at an end-of-line mark; pixels past the
// row's end are dropped, a jump past the last row ends the picture. Without
// an image it only checks that the data is complete.
bool DecodeRle(ByteSource& src, const Header& h, ImageBuffer* image, unsigned& flags) {
    BufferedReader in(src);
    const bool rle4 = h.compression == kCompressionRle4;
    const int width = static_cast<int>(h.width);
    const int height = static_cast<int>(h.height);
    int x = 0, y = 0;
    std::uint8_t* row = image ? image->Row(0) : nullptr;
    auto put = [&](std::uint8_t value) {
        if (x < width) {
            if (row) row[x] = value;
            ++x;
        }
    };
    while (y < height) {
        std::uint8_t count, value;
        if (!in.Get(count) || !in.Get(value)) {
            // A file may stop right after its last pixel without a final mark.
            return y == height - 1 && x >= width;
        }
        if (count > 0) {
            if (x >= width) continue;
            int n = std::min<int>(count, width - x);
            if (rle4) {
                std::uint8_t pair[2] = {static_cast<std::uint8_t>(value >> 4),
                                        static_cast<std::uint8_t>(value & 0x0F)};
                for (int i = 0; i < n; ++i) put(pair[i % 2]);
            } else {
                if (row) std::memset(row + x, value, static_cast<std::size_t>(n));
                x += n;
            }
            continue;
        }
        switch (value) {
            case 0:  // end of line
                ++y;
                x = 0;
                row = image ? image->Row(y) : nullptr;
                break;
            case 1:  // end of bitmap
                flags |= BitmapFlags::kEndOfBitmap;
                return true;
            case 2: {  // delta: move right and up, skipping pixels
                std::uint8_t dx, dy;
                if (!in.Get(dx) || !in.Get(dy)) return false;
                flags |= BitmapFlags::kPositionJump;
                x = std::min(x + dx, width);
                y += dy;
                if (y >= height) return true;
                row = image ? image->Row(y) : nullptr;
                break;
            }
            default: {  // absolute run of `value` pixels, padded to an even byte count
                const int n = value;
                const int bytes = rle4 ? (n + 1) / 2 : n;
                for (int i = 0; i < bytes; ++i) {
                    std::uint8_t b;
                    if (!in.Get(b)) return false;
                    if (rle4) {
                        put(b >> 4);
                        if (2 * i + 1 < n) put(b & 0x0F);
                    } else {
                        put(b);
                    }
                }
                if (bytes % 2 && !in.Skip(1)) return false;
                break;
            }
        }
    }
    return true;
}

BitmapReadResult ReadBitmap(ByteSource& src) {
    BitmapReadResult result;
    Header h;
    result.status = ReadHeaders(src, h);
    if (result.status != BitmapStatus::Ok) return result;

    if (h.width < 1 || h.height < 1 || !IsValidImageSize(h.width, h.height) ||
        !SupportedLayout(h.bits, h.compression)) {
        result.status = BitmapStatus::NotSupported;
        return result;
    }
    if (h.bits <= 8) {
        result.status = ReadPalette(src, h, result.palette);
        if (result.status != BitmapStatus::Ok) {
            result.palette.clear();
            return result;
        }
    }

    // The pixels must start after the headers and lie inside the file.
    const std::uint64_t stride = (static_cast<std::uint64_t>(h.bits) * h.width + 31) / 32 * 4;
    const std::uint64_t used = (static_cast<std::uint64_t>(h.bits) * h.width + 7) / 8;
    const std::uint64_t minimum = h.compression == kCompressionNone
                                      ? stride * static_cast<std::uint64_t>(h.height - 1) + used
                                      : 2;
    if (h.pixelOffset < 14 + std::uint64_t{h.headerSize} || h.pixelOffset > src.Size() ||
        src.Size() - h.pixelOffset < minimum || !src.Seek(h.pixelOffset)) {
        result.status = BitmapStatus::PixelDataTruncated;
        result.palette.clear();
        return result;
    }

    // Run-length data is checked whole before the picture is allocated, so a
    // truncated file costs no memory.
    if (h.compression != kCompressionNone) {
        unsigned flags = 0;
        if (!DecodeRle(src, h, nullptr, flags)) {
            result.status = BitmapStatus::PixelDataTruncated;
            result.flags = flags | BitmapFlags::kStreamFailure;
            result.palette.clear();
            return result;
        }
        if (!src.Seek(h.pixelOffset)) {
            result.status = BitmapStatus::PixelDataTruncated;
            result.palette.clear();
            return result;
        }
    }

    auto image = std::make_unique<ImageBuffer>();
    if (!image->Allocate(static_cast<int>(h.width), static_cast<int>(h.height),
                         h.bits == 24 ? 3 : 1, h.bits)) {
        result.status = BitmapStatus::NoMemory;
        result.palette.clear();
        return result;
    }
    bool complete = h.compression == kCompressionNone
                        ? DecodeUncompressed(src, h, *image)
                        : DecodeRle(src, h, image.get(), result.flags);
    if (!complete) {
        result.status = BitmapStatus::PixelDataTruncated;
        result.flags |= BitmapFlags::kStreamFailure;
        result.palette.clear();
        return result;
    }
    result.image = std::move(image);
    return result;
}

using ByteSink = std::function<bool(const void*, std::size_t)>;

BitmapWriteStatus WriteBitmap(const ImageBuffer& image, const Palette& palette,
                              const ByteSink& sink) {
    if (image.Empty()) return BitmapWriteStatus::UnsupportedImage;
    const int bits = image.BitsPerPixel();
    const std::size_t width = static_cast<std::size_t>(image.Width());
    const std::size_t stride = (static_cast<std::size_t>(bits) * width + 31) / 32 * 4;
    const std::size_t tableEntries = bits == 24 ? 0 : std::size_t{1} << bits;
    const std::size_t pixelOffset = 14 + 40 + 4 * tableEntries;
    const std::size_t imageSize = stride * static_cast<std::size_t>(image.Height());

    std::vector<std::uint8_t> head(pixelOffset, 0);
    head[0] = 'B';
    head[1] = 'M';
    le::Put32(&head[2], static_cast<std::uint32_t>(pixelOffset + imageSize));
    le::Put32(&head[10], static_cast<std::uint32_t>(pixelOffset));
    std::uint8_t* info = &head[14];
    le::Put32(info, 40);
    le::Put32(info + 4, static_cast<std::uint32_t>(image.Width()));
    le::Put32(info + 8, static_cast<std::uint32_t>(image.Height()));
    le::Put16(info + 12, 1);
    le::Put16(info + 14, static_cast<std::uint32_t>(bits));
    le::Put32(info + 20, static_cast<std::uint32_t>(imageSize));
    std::uint8_t* table = &head[54];
    for (std::size_t i = 0; i < tableEntries; ++i, table += 4) {
        PaletteEntry c;
        if (bits == 1) {
            c = i == 0 ? PaletteEntry{0, 0, 0} : PaletteEntry{255, 255, 255};
        } else if (i < palette.size()) {
            c = palette[i];
        }
        table[0] = c.b;
        table[1] = c.g;
        table[2] = c.r;
    }
    if (!sink(head.data(), head.size())) return BitmapWriteStatus::WriteFailed;

    // The file holds the bottom row first; the image's row 0 is the top.
    std::vector<std::uint8_t> row(stride);
    for (int y = image.Height() - 1; y >= 0; --y) {
        std::fill(row.begin(), row.end(), 0);
        const std::uint8_t* src = image.Row(y);
        switch (bits) {
            case 24:
                for (std::size_t x = 0; x < width; ++x) {
                    row[3 * x] = src[3 * x + 2];
                    row[3 * x + 1] = src[3 * x + 1];
                    row[3 * x + 2] = src[3 * x];
                }
                break;
            case 8:
                std::memcpy(row.data(), src, width);
                break;
            case 4:
                for (std::size_t x = 0; x < width; ++x)
                    row[x / 2] |= static_cast<std::uint8_t>((src[x] & 0x0F) << (x % 2 ? 0 : 4));
                break;
            default:
                for (std::size_t x = 0; x < width; ++x)
                    if (src[x] != 0) row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
                break;
        }
        if (!sink(row.data(), row.size())) return BitmapWriteStatus::WriteFailed;
    }
    return BitmapWriteStatus::Ok;
}

}  // namespace

BitmapReadResult ReadBitmapFile(const std::string& path) {
    try {
        FileSource src(path);
        if (!src.IsOpen()) {
            BitmapReadResult result;
            result.status = BitmapStatus::CannotOpen;
            return result;
        }
        return ReadBitmap(src);
    } catch (const std::bad_alloc&) {
        BitmapReadResult result;
        result.status = BitmapStatus::NoMemory;
        return result;
    }
}

BitmapReadResult ReadBitmapMemory(std::span<const std::uint8_t> bytes) {
    try {
        MemorySource src(bytes);
        return ReadBitmap(src);
    } catch (const std::bad_alloc&) {
        BitmapReadResult result;
        result.status = BitmapStatus::NoMemory;
        return result;
    }
}

std::string BitmapStatusText(BitmapStatus status) {
    switch (status) {
        case BitmapStatus::Ok:
            return "OK";
        case BitmapStatus::NoMemory:
            return "Not enough memory to read the bitmap";
        case BitmapStatus::FileHeaderUnreadable:
            return "Unable to read the bitmap file header";
        case BitmapStatus::NotSupported:
            return "Not a bitmap file, or a kind of bitmap that is not supported";
        case BitmapStatus::CoreHeaderUnreadable:
            return "Unable to read the bitmap core header";
        case BitmapStatus::InfoHeaderUnreadable:
            return "Unable to read the bitmap information header";
        case BitmapStatus::PaletteUnreadable:
            return "Unable to read the bitmap palette";
        case BitmapStatus::CannotOpen:
            return "Unable to open the file";
        case BitmapStatus::PixelDataTruncated:
            return "The bitmap's pixel data is missing or truncated";
    }
    return "Unknown bitmap error";
}

BitmapWriteStatus WriteBitmapFile(const ImageBuffer& image, const Palette& palette,
                                  const std::string& path, std::string* error) {
    if (image.Empty()) {
        if (error) *error = "Nothing to save";
        return BitmapWriteStatus::UnsupportedImage;
    }
    try {
        AtomicFile file(path);
        if (!file.Open()) {
            if (error) *error = file.Error();
            return BitmapWriteStatus::WriteFailed;
        }
        BitmapWriteStatus status =
            WriteBitmap(image, palette,
                        [&](const void* data, std::size_t size) { return file.Write(data, size); });
        if (status == BitmapWriteStatus::Ok && !file.Commit())
            status = BitmapWriteStatus::WriteFailed;
        if (status != BitmapWriteStatus::Ok && error) *error = file.Error();
        return status;
    } catch (const std::bad_alloc&) {
        if (error) *error = "Not enough memory to write " + path;
        return BitmapWriteStatus::WriteFailed;
    }
}

BitmapWriteStatus EncodeBitmap(const ImageBuffer& image, const Palette& palette,
                               std::vector<std::uint8_t>& out) {
    out.clear();
    try {
        return WriteBitmap(image, palette, [&](const void* data, std::size_t size) {
            const auto* p = static_cast<const std::uint8_t*>(data);
            out.insert(out.end(), p, p + size);
            return true;
        });
    } catch (const std::bad_alloc&) {
        out.clear();
        return BitmapWriteStatus::WriteFailed;
    }
}

}  // namespace quillon
