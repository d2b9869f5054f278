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

// Strips the trailing line feed the readers' and writers' texts carry.
std::string Sentence(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

void SetError(std::string* error, std::string text) {
    if (error) *error = Sentence(std::move(text));
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

std::unique_ptr<ImageBuffer> ReadPictureRgb(const std::string& path, PictureFormat format,
                                            std::string* error) {
    if (format == PictureFormat::Unknown) format = DetectPictureFormat(path);
    switch (format) {
        case PictureFormat::Bmp: {
            BitmapReadResult result = ReadBitmapFile(path);
            if (!result.Ok()) {
                SetError(error, BitmapStatusText(result.status) + ": " + path);
                return nullptr;
            }
            if (result.image->BytesPerPixel() == 3) return std::move(result.image);
            auto rgb = std::make_unique<ImageBuffer>(*result.image, result.palette);
            if (rgb->Empty()) {
                SetError(error, "Not enough memory for the image");
                return nullptr;
            }
            return rgb;
        }
        case PictureFormat::Jpeg: {
            JpegReader reader;
            auto image = reader.Read(path);
            if (!image) {
                SetError(error, reader.LastError());
                return nullptr;
            }
            if (image->BytesPerPixel() == 3) return image;
            Palette grey(256);
            for (int i = 0; i < 256; ++i) {
                auto v = static_cast<std::uint8_t>(i);
                grey[i] = {v, v, v};
            }
            auto rgb = std::make_unique<ImageBuffer>(*image, grey);
            if (rgb->Empty()) {
                SetError(error, "Not enough memory for the image");
                return nullptr;
            }
            return rgb;
        }
        case PictureFormat::Png: {
            PngReader reader;
            auto image = reader.Read(path);
            if (!image) SetError(error, reader.LastError());
            return image;
        }
        case PictureFormat::Unknown:
            break;
    }
    std::FILE* probe = std::fopen(path.c_str(), "rb");
    if (!probe) {
        SetError(error, "Unable to open file " + path);
    } else {
        std::fclose(probe);
        SetError(error, "Not a bitmap, JPEG or PNG file: " + path);
    }
    return nullptr;
}

bool SavePicture(const DisplayBitmap& picture, const std::string& path, SaveFormat format,
                 int jpegQuality, std::string* error) {
    if (picture.Empty() || picture.BitsPerPixel() != 24) {
        SetError(error, "Nothing to save");
        return false;
    }
    if (format == SaveFormat::Bitmap24) {
        std::string reason;
        bool ok = picture.SaveAsBitmapFile(path, &reason);
        if (!ok) SetError(error, reason);
        return ok;
    }
    // The writers take the top row first, which is what ToImage gives.
    auto image = picture.ToImage();
    if (!image) {
        SetError(error, "Not enough memory to save the picture");
        return false;
    }
    switch (format) {
        case SaveFormat::Bitmap256: {
            Palette palette;
            auto indexed = ReduceToPalette(*image, 256, palette);
            if (!indexed) {
                SetError(error, "Not enough memory to save the picture");
                return false;
            }
            std::string reason;
            if (WriteBitmapFile(*indexed, palette, path, &reason) != BitmapWriteStatus::Ok) {
                SetError(error, reason);
                return false;
            }
            return true;
        }
        case SaveFormat::Jpeg: {
            JpegWriter writer(jpegQuality);
            if (!writer.Write(*image, path)) {
                SetError(error, writer.LastError());
                return false;
            }
            return true;
        }
        case SaveFormat::Png: {
            PngWriter writer;
            if (!writer.Write(*image, path)) {
                SetError(error, writer.LastError());
                return false;
            }
            return true;
        }
        case SaveFormat::Bitmap24:
            break;
    }
    return false;
}

}  // namespace quillon
