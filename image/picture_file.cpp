#include "image/picture_file.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "image/bmp_file.h"
#include "image/jpeg_file.h"
#include "image/palette_reduction.h"
#include "image/png_file.h"

namespace quillon {

namespace {

std::string LowerExtension(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

// The readers' and writers' texts may end in a line feed; messages here
// are one sentence.
template <class Result>
Result Sentence(Result result) {
    std::string& text = result.message;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return result;
}

// An indexed or grey image expanded through its palette.
PictureRead ExpandedToRgb(PictureRead read, const Palette& palette) {
    auto rgb = std::make_unique<ImageBuffer>(*read.image, palette);
    if (rgb->Empty()) {
        read.Fail(ImageStatus::kNoMemory, "Not enough memory for the image");
        return read;
    }
    read.image = std::move(rgb);
    read.palette.clear();
    return read;
}

}  // namespace

PictureFormat PictureFormatFromExtension(const std::string& path) {
    const std::string ext = LowerExtension(path);
    if (ext == "bmp" || ext == "dib") return PictureFormat::Bmp;
    if (ext == "jpg" || ext == "jpeg" || ext == "jpe") return PictureFormat::Jpeg;
    if (ext == "png") return PictureFormat::Png;
    return PictureFormat::Unknown;
}

PictureFormat DetectPictureFormat(const std::string& path) {
    unsigned char head[8] = {};
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return PictureFormat::Unknown;
    std::size_t n = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    static const unsigned char kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (n >= 8 && std::memcmp(head, kPng, 8) == 0) return PictureFormat::Png;
    if (n >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) return PictureFormat::Jpeg;
    if (n >= 2 && head[0] == 'B' && head[1] == 'M') return PictureFormat::Bmp;
    return PictureFormat::Unknown;
}

PictureRead ReadPictureRgb(const std::string& path, PictureFormat format) {
    if (format == PictureFormat::Unknown) format = DetectPictureFormat(path);
    switch (format) {
        case PictureFormat::Bmp: {
            BitmapReadResult bitmap = ReadBitmapFile(path);
            PictureRead read = std::move(bitmap);
            if (!read.Ok() || read.image->BytesPerPixel() == 3) return read;
            const Palette palette = read.palette;
            return ExpandedToRgb(std::move(read), palette);
        }
        case PictureFormat::Jpeg: {
            PictureRead read = Sentence(JpegReader().Read(path));
            if (!read.Ok() || read.image->BytesPerPixel() == 3) return read;
            Palette grey(256);
            for (int i = 0; i < 256; ++i) {
                auto v = static_cast<std::uint8_t>(i);
                grey[i] = {v, v, v};
            }
            return ExpandedToRgb(std::move(read), grey);
        }
        case PictureFormat::Png:
            return Sentence(PngReader().Read(path));
        case PictureFormat::Unknown:
            break;
    }
    PictureRead read;
    std::FILE* probe = std::fopen(path.c_str(), "rb");
    if (!probe) {
        read.Fail(ImageStatus::kCannotOpen, "Unable to open file " + path);
    } else {
        std::fclose(probe);
        read.Fail(ImageStatus::kUnsupported, "Not a bitmap, JPEG or PNG file: " + path);
    }
    return read;
}

ImageResult SavePicture(const DisplayBitmap& picture, const std::string& path, SaveFormat format,
                        int jpegQuality) {
    if (picture.Empty() || picture.BitsPerPixel() != 24) {
        return ImageResult::Failure(ImageStatus::kUnsupported, "Nothing to save");
    }
    if (format == SaveFormat::Bitmap24) return picture.SaveAsBitmapFile(path);
    // The writers take the top row first, which is what ToImage gives.
    auto image = picture.ToImage();
    if (!image) {
        return ImageResult::Failure(ImageStatus::kNoMemory,
                                    "Not enough memory to save the picture");
    }
    switch (format) {
        case SaveFormat::Bitmap256: {
            Palette palette;
            auto indexed = ReduceToPalette(*image, 256, palette);
            if (!indexed) {
                return ImageResult::Failure(ImageStatus::kNoMemory,
                                            "Not enough memory to save the picture");
            }
            return WriteBitmapFile(*indexed, palette, path);
        }
        case SaveFormat::Jpeg:
            return Sentence(JpegWriter(jpegQuality).Write(*image, path));
        case SaveFormat::Png:
            return Sentence(PngWriter().Write(*image, path));
        case SaveFormat::Bitmap24:
            break;
    }
    return ImageResult::Failure(ImageStatus::kUnsupported, "Nothing to save");
}

}  // namespace quillon
