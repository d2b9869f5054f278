// Bitmap files from anywhere: the reader refuses or decodes, never reads or
// writes outside its buffers, and never allocates more than the file justifies.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "image/bmp_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillon;
    BitmapReadResult result = ReadBitmapMemory(std::span<const std::uint8_t>(data, size));
    if (!result.Ok()) return 0;
    const ImageBuffer& image = *result.image;
    const int bits = image.BitsPerPixel();
    if (image.Size() != image.RowBytes() * static_cast<std::size_t>(image.Height())) std::abort();
    if (bits == 24) {
        if (!result.palette.empty()) std::abort();
        return 0;
    }
    // An indexed image comes with the full palette of its depth, and every
    // index fits that depth.
    if (result.palette.size() != (std::size_t{1} << bits)) std::abort();
    // Run-length files may leave most of a large picture to the
    // end-of-bitmap mark; walking hundreds of megapixels per input would
    // only slow the search down.
    if (image.Size() > (std::size_t{1} << 22)) return 0;
    for (std::size_t i = 0; i < image.Size(); ++i) {
        if (image.Pixels()[i] >= result.palette.size()) std::abort();
    }
    // The expansion the bitmap layer uses.
    ImageBuffer rgb(image, result.palette);
    if (rgb.BitsPerPixel() != 24 || rgb.Width() != image.Width()) std::abort();
    return 0;
}
