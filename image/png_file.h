#pragma once

#include <string>

#include "image/image_buffer.h"
#include "image/image_result.h"

namespace quillon {

// Reads a PNG file of any kind as a 3-byte R G B image (24 bits): palettes
// and greys are expanded, 16-bit channels scaled to 8, and transparency is
// composited onto black. Row 0 is the bottom row of the picture, as for the
// other readers. A damaged or truncated file is a failure.
class PngReader {
  public:
    PictureRead Read(const std::string& path) const;
};

// Writes a 24-bit image, row 0 as the top row, as an 8-bit PNG file: grey
// when every pixel has R = G = B, RGB otherwise. compressionLevel runs from
// 0 (fastest) to 9 (smallest). The default, 2, makes textures about as
// small as zlib's level 3 does, in half its time; 1 is a third faster still
// but makes them 3 percent larger. Bands of rows are compressed on the
// worker pool into one stream; the bytes depend only on the picture. The
// old file is replaced only after a complete write.
class PngWriter {
  public:
    // Rows per band compressed on its own: enough that the joins cost
    // nothing, few enough to share a picture among the threads. A constant,
    // so the file's bytes never depend on the thread count.
    static constexpr int kBandRows = 64;

    explicit PngWriter(int compressionLevel = 2);

    ImageResult Write(const ImageBuffer& image, const std::string& path) const;

  private:
    int m_compressionLevel;
};

}  // namespace quillon
