#pragma once

// What the JPEG and PNG files share: opening a file to read, its length,
// and the open-encode-commit shape of writing. Internal to image/.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "image/atomic_file.h"
#include "image/image_result.h"

namespace quillon {

// The file's length; unknown (a pipe, a device) counts as unlimited.
std::uint64_t FileLength(std::FILE* file);

// Opens path for reading; null with "Unable to open file PATH\n" in result.
std::FILE* OpenForReading(const std::string& path, ImageResult& result);

// Writes a 24-bit image, row 0 the top row, through an AtomicFile: refuses
// other images with notRgbText, opens the target, lets encode write the
// rows into the file and commits. encode returns the library's message on
// failure and "" on success. Messages end in a line feed, as the
// libraries' own do; a failed write names the system's reason rather than
// the library's, and memory running short is a failure, never an abort.
using EncodeRows = std::function<std::string(AtomicFile& file, std::uint8_t** rows)>;
ImageResult WriteEncodedFile(const ImageBuffer& image, const std::string& path,
                             const char* notRgbText, const EncodeRows& encode);

}  // namespace quillon
