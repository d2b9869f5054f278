#include "image/png_file.h"

#include <png.h>
#include <sys/stat.h>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "image/atomic_file.h"
#include "image/format_text.h"

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

// Unknown (a pipe, a device) counts as unlimited.
std::uint64_t FileLength(std::FILE* file) {
    struct stat info {};
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) return UINT64_MAX;
    return static_cast<std::uint64_t>(info.st_size);
}

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

// Bytes go through the AtomicFile, which keeps the system's reason for a
// failed write ("No space left on device" rather than the library's words).
void WriteHook(png_structp png, png_bytep data, png_size_t length) {
    auto* file = static_cast<AtomicFile*>(png_get_io_ptr(png));
    if (!file->Write(data, length)) png_error(png, "Write Error");
}

void FlushHook(png_structp) {}  // the AtomicFile flushes when it commits

bool GuardedWrite(png_structp png, png_infop info, AtomicFile* file, int width, int height,
                  int level, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, file, WriteHook, FlushHook);
    png_set_compression_level(png, level);
    // Textures are continuous tone: the left-neighbour filter alone gives
    // smaller files than trying every filter per row, in half the time.
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, info);
    return true;
}

}  // namespace

std::unique_ptr<ImageBuffer> PngReader::Read(const std::string& path) {
    m_lastError.clear();
    m_lastWarning.clear();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        m_lastError = FormatText("Unable to open file %s\n", path.c_str());
        return nullptr;
    }
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
        m_lastError = "Not enough memory to read the image\n";
        return nullptr;
    }

    try {
        ReadInfo header;
        if (!GuardedReadInfo(png, info, file, &header)) {
            m_lastError = std::string(messages.error) + "\n";
            return nullptr;
        }
        if (header.storedBytes / kMaxInflateRatio > FileLength(file)) {
            m_lastError = FormatText("PNG image data too short for %u x %u pixels\n", header.width,
                                     header.height);
            return nullptr;
        }
        if (!IsValidImageSize(header.width, header.height) ||
            (header.channels != 3 && header.channels != 4)) {
            m_lastError = FormatText("Unsupported PNG image (%u x %u pixels, %d channels)\n",
                                     header.width, header.height, header.channels);
            return nullptr;
        }
        const int width = static_cast<int>(header.width);
        const int height = static_cast<int>(header.height);
        auto image = std::make_unique<ImageBuffer>();
        if (!image->Allocate(width, height, 3, 24)) {
            m_lastError = "Not enough memory for the image\n";
            return nullptr;
        }
        // With alpha, decode into a 4-byte buffer first and composite.
        std::unique_ptr<std::uint8_t[]> rgba;
        const std::size_t rowBytes = static_cast<std::size_t>(width) * header.channels;
        if (header.channels == 4) {
            rgba.reset(new (std::nothrow)
                           std::uint8_t[rowBytes * static_cast<std::size_t>(height)]);
            if (!rgba) {
                m_lastError = "Not enough memory for the image\n";
                return nullptr;
            }
        }
        std::vector<png_bytep> rows(static_cast<std::size_t>(height));
        for (int s = 0; s < height; ++s) {
            // Scanline s (from the top) goes to row height - 1 - s.
            int r = height - 1 - s;
            rows[s] = rgba ? rgba.get() + static_cast<std::size_t>(r) * rowBytes : image->Row(r);
        }
        if (!GuardedReadImage(png, rows.data())) {
            m_lastError = std::string(messages.error) + "\n";
            m_lastWarning = messages.warning;
            return nullptr;
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
        m_lastWarning = messages.warning;
        return image;
    } catch (const std::bad_alloc&) {
        m_lastError = "Not enough memory for the image\n";
        return nullptr;
    }
}

PngWriter::PngWriter(int compressionLevel)
    : m_compressionLevel(std::clamp(compressionLevel, 0, 9)) {}

bool PngWriter::Write(const ImageBuffer& image, const std::string& path) {
    m_lastError.clear();
    if (image.BitsPerPixel() != 24 || image.Empty()) {
        m_lastError = "Image must be a 24-bit per pixel image to write a PNG file\n";
        return false;
    }
    AtomicFile file(path);
    if (!file.Open()) {
        m_lastError = file.Error() + "\n";
        return false;
    }
    PngMessages messages{};
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &messages, ErrorHook, WarningHook);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    struct Cleanup {
        png_structp* png;
        png_infop* info;
        ~Cleanup() {
            if (*png) png_destroy_write_struct(png, info);
        }
    } cleanup{&png, &info};
    if (!info) {
        m_lastError = "Not enough memory to write the image\n";
        return false;
    }
    try {
        std::vector<png_bytep> rows(static_cast<std::size_t>(image.Height()));
        for (int r = 0; r < image.Height(); ++r) rows[r] = const_cast<std::uint8_t*>(image.Row(r));
        if (!GuardedWrite(png, info, &file, image.Width(), image.Height(), m_compressionLevel,
                          rows.data())) {
            m_lastError = (file.Failed() ? file.Error() : std::string(messages.error)) + "\n";
            return false;
        }
    } catch (const std::bad_alloc&) {
        m_lastError = "Not enough memory to write the image\n";
        return false;
    }
    if (!file.Commit()) {
        m_lastError = file.Error() + "\n";
        return false;
    }
    return true;
}

}  // namespace quillon
