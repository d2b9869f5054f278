#include "image/png_file.h"

#include <libdeflate.h>
#include <png.h>

#include <algorithm>
#include <atomic>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "image/format_text.h"
#include "image/image_buffer.h"
#include "image/parallel_deflate.h"
#include "image/picture_io.h"

namespace quillon {

namespace {

// Where libpng's error and warning hooks leave their texts. The error hook
// jumps back to the guarded function that made the failing call (libpng's
// own setjmp protocol), so nothing unwinds through the library's C frames.
struct PngMessages {
    char error[256];
    char warning[256];
};

void ErrorHook(png_structp png, png_const_charp message) {
    auto* messages = static_cast<PngMessages*>(png_get_error_ptr(png));
    std::snprintf(messages->error, sizeof messages->error, "%s", message ? message : "PNG error");
    png_longjmp(png, 1);
}

void WarningHook(png_structp png, png_const_charp message) {
    auto* messages = static_cast<PngMessages*>(png_get_error_ptr(png));
    if (messages->warning[0] == '\0')
        std::snprintf(messages->warning, sizeof messages->warning, "%s", message ? message : "");
}

struct ReadInfo {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int channels = 0;  // 3, or 4 with alpha
    // The filtered rows the compressed data must inflate to, as stored.
    std::uint64_t storedBytes = 0;
};

// Deflate never inflates by more than about 1032 to 1: a file shorter than
// that share of its rows cannot hold them, so its size claim is refused
// before a picture's worth of memory is taken.
constexpr std::uint64_t kMaxInflateRatio = 1032;

bool GuardedReadInfo(png_structp png, png_infop info, std::FILE* file, ReadInfo* out) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_set_user_limits(png, kMaxImageDimension, kMaxImageDimension);
    png_set_chunk_malloc_max(png, 16u << 20);
    png_read_info(png, info);
    const std::uint64_t bitsPerRow = std::uint64_t{png_get_image_width(png, info)} *
                                     png_get_bit_depth(png, info) * png_get_channels(png, info);
    out->storedBytes = std::uint64_t{png_get_image_height(png, info)} * (1 + (bitsPerRow + 7) / 8);
    png_set_expand(png);
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    out->width = png_get_image_width(png, info);
    out->height = png_get_image_height(png, info);
    out->channels = png_get_channels(png, info);
    return true;
}

bool GuardedReadImage(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    return true;
}

// True when every pixel has R = G = B: such a picture is stored as grey,
// a third of the bytes to filter and compress, and decodes the same.
bool IsGrey(std::uint8_t* const* rows, int width, int height) {
    std::atomic<bool> colour{false};
    ForEachRowBand(height, 3 * static_cast<std::size_t>(width), [&](int begin, int end) {
        for (int r = begin; r < end && !colour.load(std::memory_order_relaxed); ++r) {
            const std::uint8_t* p = rows[r];
            unsigned differ = 0;
            for (int x = 0; x < width; ++x, p += 3) differ |= (p[0] ^ p[1]) | (p[1] ^ p[2]);
            if (differ) colour.store(true, std::memory_order_relaxed);
        }
    });
    return !colour.load();
}

// One stored row: the filter type byte, then each byte less the one a pixel
// before it. Textures are continuous tone: this left-neighbour filter alone
// gives smaller files than trying every filter per row, in half the time.
void FilterRow(const std::uint8_t* src, int width, bool grey, std::uint8_t* out) {
    *out++ = 1;  // Sub
    if (grey) {
        std::uint8_t before = 0;
        for (int x = 0; x < width; ++x, src += 3) {
            out[x] = static_cast<std::uint8_t>(src[0] - before);
            before = src[0];
        }
        return;
    }
    const std::size_t n = static_cast<std::size_t>(width) * 3;
    out[0] = src[0];
    out[1] = src[1];
    out[2] = src[2];
    for (std::size_t i = 3; i < n; ++i) out[i] = static_cast<std::uint8_t>(src[i] - src[i - 3]);
}

void PutBigEndian(std::uint8_t* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

// A chunk: length, type, data, and the CRC of type and data.
bool WriteChunk(AtomicFile& file, const char* type, const std::uint8_t* data, std::size_t size) {
    std::uint8_t head[8];
    PutBigEndian(head, static_cast<std::uint32_t>(size));
    std::memcpy(head + 4, type, 4);
    std::uint32_t crc = libdeflate_crc32(0, head + 4, 4);
    if (size > 0) crc = libdeflate_crc32(crc, data, size);
    std::uint8_t tail[4];
    PutBigEndian(tail, static_cast<std::uint32_t>(crc));
    return file.Write(head, 8) && (size == 0 || file.Write(data, size)) && file.Write(tail, 4);
}

std::string EncodePng(AtomicFile& file, std::uint8_t* const* rows, int width, int height,
                      int level) {
    const bool grey = IsGrey(rows, width, height);
    static const std::uint8_t kSignature[8] = {137, 'P', 'N', 'G', '\r', '\n', 26, '\n'};
    std::uint8_t header[13];
    PutBigEndian(header, static_cast<std::uint32_t>(width));
    PutBigEndian(header + 4, static_cast<std::uint32_t>(height));
    header[8] = 8;                             // bits per sample
    header[9] = grey ? 0 : 2;                  // grey or RGB
    header[10] = header[11] = header[12] = 0;  // deflate, adaptive filters, not interlaced
    if (!file.Write(kSignature, sizeof kSignature) || !WriteChunk(file, "IHDR", header, 13))
        return "Write Error\n";

    const std::size_t rowBytes = 1 + static_cast<std::size_t>(width) * (grey ? 1 : 3);
    const std::size_t rowCount = static_cast<std::size_t>(height);
    const std::size_t bandRows = PngWriter::kBandRows;
    const std::size_t bands = (rowCount + bandRows - 1) / bandRows;
    const std::string failure = ParallelDeflate(
        bands, level,
        [&](std::size_t index, std::vector<std::uint8_t>& band) {
            const std::size_t first = index * bandRows;
            const std::size_t end = std::min(rowCount, first + bandRows);
            band.resize((end - first) * rowBytes);
            for (std::size_t r = first; r < end; ++r)
                FilterRow(rows[r], width, grey, band.data() + (r - first) * rowBytes);
        },
        [&](const std::uint8_t* data, std::size_t size) {
            return WriteChunk(file, "IDAT", data, size);
        });
    if (!failure.empty()) return failure + "\n";
    if (!WriteChunk(file, "IEND", nullptr, 0)) return "Write Error\n";
    return std::string();
}

}  // namespace

PictureRead PngReader::Read(const std::string& path) const {
    PictureRead result;
    std::FILE* file = OpenForReading(path, result);
    if (!file) return result;
    PngMessages messages{};
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, &messages, ErrorHook, WarningHook);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    struct Cleanup {
        png_structp* png;
        png_infop* info;
        std::FILE* file;
        ~Cleanup() {
            if (*png) png_destroy_read_struct(png, info, nullptr);
            std::fclose(file);
        }
    } cleanup{&png, &info, file};
    if (!info) {
        result.Fail(ImageStatus::kNoMemory, "Not enough memory to read the image\n");
        return result;
    }

    try {
        ReadInfo header;
        if (!GuardedReadInfo(png, info, file, &header)) {
            result.Fail(ImageStatus::kDamaged, std::string(messages.error) + "\n");
            return result;
        }
        if (header.storedBytes / kMaxInflateRatio > FileLength(file)) {
            result.Fail(ImageStatus::kDamaged,
                        FormatText("PNG image data too short for %u x %u pixels\n", header.width,
                                   header.height));
            return result;
        }
        if (!IsValidImageSize(header.width, header.height) ||
            (header.channels != 3 && header.channels != 4)) {
            result.Fail(ImageStatus::kUnsupported,
                        FormatText("Unsupported PNG image (%u x %u pixels, %d channels)\n",
                                   header.width, header.height, header.channels));
            return result;
        }
        const int width = static_cast<int>(header.width);
        const int height = static_cast<int>(header.height);
        auto image = std::make_unique<ImageBuffer>();
        if (!image->Allocate(width, height, 3, 24)) {
            result.Fail(ImageStatus::kNoMemory, "Not enough memory for the image\n");
            return result;
        }
        // With alpha, decode into a 4-byte buffer first and composite.
        std::unique_ptr<std::uint8_t[]> rgba;
        const std::size_t rowBytes = static_cast<std::size_t>(width) * header.channels;
        if (header.channels == 4) {
            rgba.reset(new (std::nothrow)
                           std::uint8_t[rowBytes * static_cast<std::size_t>(height)]);
            if (!rgba) {
                result.Fail(ImageStatus::kNoMemory, "Not enough memory for the image\n");
                return result;
            }
        }
        std::vector<png_bytep> rows(static_cast<std::size_t>(height));
        for (int s = 0; s < height; ++s) {
            // Scanline s (from the top) goes to row height - 1 - s.
            int r = height - 1 - s;
            rows[s] = rgba ? rgba.get() + static_cast<std::size_t>(r) * rowBytes : image->Row(r);
        }
        if (!GuardedReadImage(png, rows.data())) {
            result.Fail(ImageStatus::kDamaged, std::string(messages.error) + "\n");
            result.warning = messages.warning;
            return result;
        }
        if (rgba) {
            const std::uint8_t* src = rgba.get();
            std::uint8_t* dst = image->Pixels();
            const std::size_t pixels =
                static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
            for (std::size_t i = 0; i < pixels; ++i, src += 4, dst += 3) {
                const unsigned a = src[3];
                for (int c = 0; c < 3; ++c)
                    dst[c] = static_cast<std::uint8_t>((src[c] * a + 127) / 255);
            }
        }
        result.warning = messages.warning;
        result.image = std::move(image);
        return result;
    } catch (const std::bad_alloc&) {
        result.Fail(ImageStatus::kNoMemory, "Not enough memory for the image\n");
        return result;
    }
}

PngWriter::PngWriter(int compressionLevel)
    : m_compressionLevel(std::clamp(compressionLevel, 0, 9)) {}

ImageResult PngWriter::Write(const ImageBuffer& image, const std::string& path) const {
    const char* notRgb = "Image must be a 24-bit per pixel image to write a PNG file\n";
    return WriteEncodedFile(image, path, notRgb, [&](AtomicFile& file, std::uint8_t** rows) {
        return EncodePng(file, rows, image.Width(), image.Height(), m_compressionLevel);
    });
}

}  // namespace quillon
