#pragma once

#include <memory>

#include "image/image_buffer.h"

namespace quillon {

// Median-cut reduction of a 3-byte image to at most maxColors (1..256)
// colours, for 256-colour bitmap files. Colours are first cut to 5 bits per
// channel; boxes of those colours are split at the pixel-count median of
// their longest side, breadth first, until there are maxColors boxes or no
// box holds two colours. Each box's colour is the count-weighted mean; each
// pixel takes the nearest box colour.
//
// Returns an 8-bit image of the same size (same row order) and sets palette
// to one entry per box; null (palette cleared) for an image without pixels,
// a 1-byte image or short memory.
std::unique_ptr<ImageBuffer> ReduceToPalette(const ImageBuffer& rgb, int maxColors,
                                             Palette& palette);

}  // namespace quillon
