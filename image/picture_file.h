#pragma once

#include <memory>
#include <string>

#include "image/display_bitmap.h"
#include "image/image_buffer.h"
#include "image/image_result.h"

namespace quillon {

enum class PictureFormat { Unknown, Bmp, Jpeg, Png };

// By extension, without regard to case: .bmp/.dib, .jpg/.jpeg/.jpe, .png.
PictureFormat PictureFormatFromExtension(const std::string& path);
// By the file's first bytes; Unknown when it cannot be read or is none of the three.
PictureFormat DetectPictureFormat(const std::string& path);

// Reads a bitmap, JPEG or PNG file as a 3-byte R G B image with row 0 the
// bottom row, the form the bitmap layer keeps: palettes and greys are
// expanded to R = G = B. With format Unknown the file's content decides.
// Messages here are one sentence without a line feed.
PictureRead ReadPictureRgb(const std::string& path, PictureFormat format);

enum class SaveFormat {
    Bitmap24,   // 24-bit bitmap file
    Bitmap256,  // median cut to 256 colours, 8-bit bitmap file
    Jpeg,       // at the given quality, 1..100
    Png,        // 8-bit RGB
};

// Saves a 24-bit display bitmap (a synthesized picture) in one of the save
// formats. The old file is replaced only after a complete write; a failure
// names the file and the system's reason.
ImageResult SavePicture(const DisplayBitmap& picture, const std::string& path, SaveFormat format,
                        int jpegQuality = 75);

}  // namespace quillon
