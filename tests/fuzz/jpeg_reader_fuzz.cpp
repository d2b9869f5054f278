// JPEG files from anywhere, cut or damaged: a picture or a refusal, never a
// crash, never an error escaping the reader.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "image/jpeg_file.h"
#include "image/picture_file.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillon;
    const std::string& path = fuzz::ScratchPath(".jpg");
    if (!fuzz::WriteScratch(path, data, size)) return 0;
    const PictureRead read = JpegReader().Read(path);
    if (read.Ok() != (read.image != nullptr)) std::abort();
    if (const ImageBuffer* image = read.image.get()) {
        const int bits = image->BitsPerPixel();
        if (bits != 8 && bits != 24) std::abort();
        if (image->Size() != image->RowBytes() * static_cast<std::size_t>(image->Height()))
            std::abort();
    } else if (read.message.empty()) {
        std::abort();  // a refusal always says why
    }
    // The path the bitmap layer imports through (greys expanded to R G B).
    const PictureRead rgb = ReadPictureRgb(path, PictureFormat::Jpeg);
    if (rgb.Ok() && rgb.image->BitsPerPixel() != 24) std::abort();
    if (!rgb.Ok() && (rgb.message.empty() || rgb.image)) std::abort();
    return 0;
}
