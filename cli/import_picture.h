#pragma once

#include <memory>
#include <string>

#include "cli/render_options.h"
#include "cli/render_run.h"

namespace quillon {

class ImageBuffer;
class TextureMap;

// A texture of the picture's size holding one bitmap layer with the
// picture (a 3-byte image, row 0 the bottom row, as the picture readers
// deliver it). Null, with a message in error, when it cannot be built.
std::unique_ptr<TextureMap> TextureFromPicture(const ImageBuffer& picture,
                                               const std::string& textureName,
                                               const std::string& layerName, std::string& error);

// --import PICTURE -o DOCUMENT: reads a BMP, JPEG or PNG picture (by its
// content) and saves the texture document of TextureFromPicture; returns
// the exit status. A failed save leaves an existing document untouched.
int RunImport(const RenderOptions& options, const RunIo& io);

}  // namespace quillon
