// PNG files from anywhere: a picture or a refusal with a reason.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "image/png_file.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillon;
    const std::string& path = fuzz::ScratchPath(".png");
    if (!fuzz::WriteScratch(path, data, size)) return 0;
    const PictureRead read = PngReader().Read(path);
    if (read.Ok() != (read.image != nullptr)) std::abort();
    if (const ImageBuffer* image = read.image.get()) {
        if (image->BitsPerPixel() != 24) std::abort();
        if (image->Size() != image->RowBytes() * static_cast<std::size_t>(image->Height()))
            std::abort();
    } else if (read.message.empty()) {
        std::abort();
    }
    return 0;
}
