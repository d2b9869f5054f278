#include "image/jpeg_file.h"

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>
#include <sys/stat.h>

#include "image/atomic_file.h"
#include "image/format_text.h"

namespace quillon {

namespace {

// libjpeg's error manager extended with where to jump on a fatal error.
// The error exit records the message and jumps back into the guarded
// function that made the failing call; the C++ code around it turns the
// failure into a JPEGException. No C++ exception ever unwinds through the
// library's C frames, and no object with a destructor lies between a
// setjmp and its longjmp.
struct ErrorManager {
    jpeg_error_mgr pub;  // must come first: libjpeg sees only this part
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    char warning[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings are kept for the caller, never printed.
void OutputMessage(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (err->warning[0] == '\0') (*cinfo->err->format_message)(cinfo, err->warning);
}

void InitErrorManager(ErrorManager& err) {
    std::memset(&err, 0, sizeof err);
    jpeg_std_error(&err.pub);
    err.pub.error_exit = ErrorExit;
    err.pub.output_message = OutputMessage;
}

JPEGException LibraryError(const ErrorManager& err) {
    return JPEGException(1, std::string(err.message) + "\n");
}

// Huffman coding spends at least one bit on every 8 x 8 block of every
// component. A file too short for that cannot hold the picture it claims:
// the library would spend seconds and a picture's worth of memory padding
// it. Arithmetic coding has no such floor.
std::uint64_t MinimumCodedBytes(const jpeg_decompress_struct& cinfo) {
    if (cinfo.arith_code) return 0;
    std::uint64_t blocks = 0;
    for (int c = 0; c < cinfo.num_components; ++c) {
        blocks +=
            std::uint64_t{cinfo.comp_info[c].width_in_blocks} * cinfo.comp_info[c].height_in_blocks;
    }
    return blocks / 8;
}

// Unknown (a pipe, a device) counts as unlimited.
std::uint64_t FileLength(std::FILE* file) {
    struct stat info {};
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) return UINT64_MAX;
    return static_cast<std::uint64_t>(info.st_size);
}

// --- Guarded steps: each returns false after a fatal library error. ---

bool GuardedStartReading(jpeg_decompress_struct* cinfo, ErrorManager* err, std::FILE* file) {
    if (setjmp(err->jump)) return false;
    jpeg_create_decompress(cinfo);
    jpeg_stdio_src(cinfo, file);
    jpeg_read_header(cinfo, TRUE);
    return true;
}

bool GuardedStartDecompress(jpeg_decompress_struct* cinfo, ErrorManager* err) {
    if (setjmp(err->jump)) return false;
    jpeg_start_decompress(cinfo);
    return true;
}

// Stores scanline s at row height - 1 - s, so row 0 is the bottom row.
bool GuardedReadLines(jpeg_decompress_struct* cinfo, ErrorManager* err, std::uint8_t* pixels,
                      std::size_t rowBytes, bool* stalled) {
    if (setjmp(err->jump)) return false;
    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW row =
            pixels +
            static_cast<std::size_t>(cinfo->output_height - 1 - cinfo->output_scanline) * rowBytes;
        if (jpeg_read_scanlines(cinfo, &row, 1) == 0) {
            *stalled = true;
            break;
        }
    }
    return true;
}

bool GuardedFinishDecompress(jpeg_decompress_struct* cinfo, ErrorManager* err) {
    if (setjmp(err->jump)) return false;
    jpeg_finish_decompress(cinfo);
    return true;
}

// A destination that writes through the AtomicFile, which keeps the
// system's reason for a failed write.
struct FileDestination {
    jpeg_destination_mgr pub;  // must come first: libjpeg sees only this part
    AtomicFile* file;
    JOCTET buffer[65536];
};

void InitDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<FileDestination*>(cinfo->dest);
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = sizeof dest->buffer;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<FileDestination*>(cinfo->dest);
    if (!dest->file->Write(dest->buffer, sizeof dest->buffer)) ERREXIT(cinfo, JERR_FILE_WRITE);
    InitDestination(cinfo);
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<FileDestination*>(cinfo->dest);
    const std::size_t used = sizeof dest->buffer - dest->pub.free_in_buffer;
    if (!dest->file->Write(dest->buffer, used)) ERREXIT(cinfo, JERR_FILE_WRITE);
}

bool GuardedStartWriting(jpeg_compress_struct* cinfo, ErrorManager* err, FileDestination* dest,
                         int width, int height, int quality) {
    if (setjmp(err->jump)) return false;
    jpeg_create_compress(cinfo);
    dest->pub.init_destination = InitDestination;
    dest->pub.empty_output_buffer = EmptyOutputBuffer;
    dest->pub.term_destination = TermDestination;
    cinfo->dest = &dest->pub;
    cinfo->image_width = static_cast<JDIMENSION>(width);
    cinfo->image_height = static_cast<JDIMENSION>(height);
    cinfo->input_components = 3;
    cinfo->in_color_space = JCS_RGB;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, quality, TRUE);
    jpeg_start_compress(cinfo, TRUE);
    return true;
}

bool GuardedWriteLines(jpeg_compress_struct* cinfo, ErrorManager* err, JSAMPARRAY rows,
                       JDIMENSION count) {
    if (setjmp(err->jump)) return false;
    while (cinfo->next_scanline < count) {
        JDIMENSION done = cinfo->next_scanline;
        if (jpeg_write_scanlines(cinfo, rows + done, count - done) == 0) break;
    }
    return true;
}

bool GuardedFinishCompress(jpeg_compress_struct* cinfo, ErrorManager* err) {
    if (setjmp(err->jump)) return false;
    jpeg_finish_compress(cinfo);
    return true;
}

// Releases the file and the libjpeg object however Read or Write ends.
struct DecompressCleanup {
    jpeg_decompress_struct* cinfo;
    std::FILE* file;
    ~DecompressCleanup() {
        jpeg_destroy_decompress(cinfo);  // safe on a zeroed or half-built object
        if (file) std::fclose(file);
    }
};

struct CompressCleanup {
    jpeg_compress_struct* cinfo;
    ~CompressCleanup() { jpeg_destroy_compress(cinfo); }
};

}  // namespace

std::unique_ptr<ImageBuffer> JpegReader::Read(const std::string& path) {
    m_lastError.clear();
    m_lastWarning.clear();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        m_lastError = FormatText("Unable to open file %s\n", path.c_str());
        return nullptr;
    }
    jpeg_decompress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    ErrorManager err;
    InitErrorManager(err);
    cinfo.err = &err.pub;
    DecompressCleanup cleanup{&cinfo, file};

    try {
        if (!GuardedStartReading(&cinfo, &err, file)) throw LibraryError(err);
        if (cinfo.out_color_space != JCS_RGB && cinfo.out_color_space != JCS_GRAYSCALE) {
            m_lastError =
                FormatText("Unsupported JPEG color format (%d components)\n", cinfo.num_components);
            return nullptr;
        }
        if (!IsValidImageSize(cinfo.image_width, cinfo.image_height)) {
            m_lastError = FormatText("Image too large (%u x %u pixels)\n", cinfo.image_width,
                                     cinfo.image_height);
            return nullptr;
        }
        if (cinfo.image_width != 0 && cinfo.image_height != 0 &&
            MinimumCodedBytes(cinfo) > FileLength(file)) {
            m_lastError = FormatText("JPEG data too short for %u x %u pixels\n", cinfo.image_width,
                                     cinfo.image_height);
            return nullptr;
        }
        if (!GuardedStartDecompress(&cinfo, &err)) throw LibraryError(err);
        const int components = cinfo.output_components;
        if ((components != 1 && components != 3) ||
            !IsValidImageSize(cinfo.output_width, cinfo.output_height)) {
            m_lastError = FormatText("Unsupported JPEG color format (%d components)\n", components);
            return nullptr;
        }
        const std::size_t rowBytes =
            static_cast<std::size_t>(cinfo.output_width) * static_cast<std::size_t>(components);
        const std::size_t size = rowBytes * static_cast<std::size_t>(cinfo.output_height);
        std::unique_ptr<std::uint8_t[]> pixels(new (std::nothrow) std::uint8_t[size]);
        if (!pixels) {
            m_lastError = "Not enough memory for the image\n";
            return nullptr;
        }
        bool stalled = false;
        if (!GuardedReadLines(&cinfo, &err, pixels.get(), rowBytes, &stalled))
            throw LibraryError(err);
        if (stalled) {
            m_lastError = "Unable to scan a line";
            return nullptr;
        }
        if (!GuardedFinishDecompress(&cinfo, &err)) throw LibraryError(err);
        m_lastWarning = err.warning;

        auto image = std::make_unique<ImageBuffer>();
        if (!image->Adopt(std::move(pixels), size, static_cast<int>(cinfo.output_width),
                          static_cast<int>(cinfo.output_height), components, 8 * components)) {
            m_lastError = "Not enough memory for the image\n";
            return nullptr;
        }
        return image;
    } catch (const JPEGException& e) {
        m_lastError = e.Text();
        m_lastWarning = err.warning;
        return nullptr;
    } catch (const std::bad_alloc&) {
        m_lastError = "Not enough memory for the image\n";
        return nullptr;
    }
}

JpegWriter::JpegWriter(int quality) : m_quality(std::clamp(quality, 1, 100)) {}

bool JpegWriter::Write(const ImageBuffer& image, const std::string& path) {
    m_lastError.clear();
    if (image.BitsPerPixel() != 24 || image.Empty()) {
        m_lastError =
            "Image must be a 24-bit per pixel image to use this JPEG compression algorithm\n";
        return false;
    }
    AtomicFile file(path);
    if (!file.Open()) {
        m_lastError = file.Error() + "\n";
        return false;
    }
    std::unique_ptr<FileDestination> dest(new (std::nothrow) FileDestination);
    if (!dest) {
        m_lastError = "Not enough memory to write the image\n";
        return false;
    }
    dest->file = &file;
    jpeg_compress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    ErrorManager err;
    InitErrorManager(err);
    cinfo.err = &err.pub;
    CompressCleanup cleanup{&cinfo};

    try {
        std::vector<JSAMPROW> rows(static_cast<std::size_t>(image.Height()));
        for (int r = 0; r < image.Height(); ++r) rows[r] = const_cast<std::uint8_t*>(image.Row(r));

        if (!GuardedStartWriting(&cinfo, &err, dest.get(), image.Width(), image.Height(),
                                 m_quality))
            throw LibraryError(err);
        const auto height = static_cast<JDIMENSION>(image.Height());
        if (!GuardedWriteLines(&cinfo, &err, rows.data(), height)) throw LibraryError(err);
        if (cinfo.next_scanline < height) {
            m_lastError = FormatText("Only able to scan %d lines out of %d lines\n",
                                     static_cast<int>(cinfo.next_scanline), image.Height());
            return false;  // the temporary file is dropped, the old file stays
        }
        if (!GuardedFinishCompress(&cinfo, &err)) throw LibraryError(err);
    } catch (const JPEGException& e) {
        m_lastError = file.Failed() ? file.Error() + "\n" : e.Text();
        return false;
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
