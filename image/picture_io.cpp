#include "image/picture_io.h"

#include <sys/stat.h>

#include <new>
#include <vector>

#include "image/format_text.h"

namespace quillon {

std::uint64_t FileLength(std::FILE* file) {
    struct stat info {};
    if (::fstat(::fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) return UINT64_MAX;
    return static_cast<std::uint64_t>(info.st_size);
}

std::FILE* OpenForReading(const std::string& path, ImageResult& result) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        result = ImageResult::Failure(ImageStatus::kCannotOpen,
                                      FormatText("Unable to open file %s\n", path.c_str()));
    }
    return file;
}

ImageResult WriteEncodedFile(const ImageBuffer& image, const std::string& path,
                             const char* notRgbText, const EncodeRows& encode) {
    if (image.BitsPerPixel() != 24 || image.Empty()) {
        return ImageResult::Failure(ImageStatus::kUnsupported, notRgbText);
    }
    try {
        AtomicFile file(path);
        if (!file.Open()) {
            return ImageResult::Failure(ImageStatus::kCannotOpen, file.Error() + "\n");
        }
        std::vector<std::uint8_t*> rows(static_cast<std::size_t>(image.Height()));
        for (int r = 0; r < image.Height(); ++r) rows[r] = const_cast<std::uint8_t*>(image.Row(r));
        std::string failure = encode(file, rows.data());
        if (!failure.empty()) {
            // The temporary file is dropped, the old file stays.
            return ImageResult::Failure(ImageStatus::kWriteFailed,
                                        file.Failed() ? file.Error() + "\n" : failure);
        }
        if (!file.Commit()) {
            return ImageResult::Failure(ImageStatus::kWriteFailed, file.Error() + "\n");
        }
        return {};
    } catch (const std::bad_alloc&) {
        return ImageResult::Failure(ImageStatus::kNoMemory,
                                    "Not enough memory to write the image\n");
    }
}

}  // namespace quillon
