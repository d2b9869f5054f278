#pragma once

#include <string>

#include "image/image_buffer.h"
#include "image/image_result.h"

namespace quillon {

// Reads a JPEG file. Colour pictures give 3-byte R G B images (24 bits),
// greyscale ones 1-byte images (8 bits); other component counts are
// refused. Row 0 is the bottom row of the picture. A damaged file that the
// library can still decode (it pads missing data) gives an image and a
// warning (the library's first one).
class JpegReader {
  public:
    PictureRead Read(const std::string& path) const;
};

// Writes a 24-bit image, row 0 as the top scanline, as a baseline JPEG file
// at a quality of 1 (smallest) to 100 (best). The old file is replaced only
// after a complete write.
class JpegWriter {
  public:
    explicit JpegWriter(int quality = 75);

    ImageResult Write(const ImageBuffer& image, const std::string& path) const;
    int Quality() const { return m_quality; }

  private:
    int m_quality;
};

}  // namespace quillon
