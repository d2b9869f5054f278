#pragma once

#include <memory>
#include <string>

#include "image/image_buffer.h"

namespace quillon {

// How reading or writing a picture file ended.
enum class ImageStatus {
    kOk,
    kCannotOpen,   // the file cannot be opened, or created
    kUnsupported,  // not a file of the format, or a kind of it that is not read
    kDamaged,      // the data is cut short or inconsistent
    kNoMemory,
    kWriteFailed,  // writing failed part-way (a full disk); the old file stays
};

// The one error style of the picture files: a status for code to test and
// a message for the user, empty when all went well.
struct [[nodiscard]] ImageResult {
    ImageStatus status = ImageStatus::kOk;
    std::string message;

    bool Ok() const { return status == ImageStatus::kOk; }
    static ImageResult Failure(ImageStatus status, std::string message) {
        return {status, std::move(message)};
    }
};

// A picture read from a file: when Ok its image, for indexed bitmaps their
// palette, and what the decoder repaired on the way (a JPEG cut short), if
// anything.
struct PictureRead : ImageResult {
    std::unique_ptr<ImageBuffer> image;
    Palette palette;
    std::string warning;

    void Fail(ImageStatus why, std::string text) {
        status = why;
        message = std::move(text);
        image.reset();
        palette.clear();
    }
};

}  // namespace quillon
