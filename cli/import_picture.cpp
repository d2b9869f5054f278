#include "cli/import_picture.h"

#include <cstdio>
#include <filesystem>
#include <new>

#include "engine/bitmap_layer.h"
#include "engine/texture_map.h"
#include "format/texture_files.h"
#include "image/image_buffer.h"
#include "image/picture_file.h"

namespace fs = std::filesystem;

namespace quillon {

namespace {

// Text from a file or the command line, safe to show on a terminal.
std::string Printable(const std::string& text) {
    std::string out;
    for (unsigned char c : text) out += (c < 0x20 || c == 0x7f) ? '?' : static_cast<char>(c);
    return out;
}

std::string Quoted(const std::string& text) {
    return "'" + Printable(text) + "'";
}

void PrintError(const RunIo& io, const std::string& message) {
    std::fprintf(io.err, "quillon-render: %s\n", message.c_str());
    std::fflush(io.err);
}

}  // namespace

std::unique_ptr<TextureMap> TextureFromPicture(const ImageBuffer& picture,
                                               const std::string& textureName,
                                               const std::string& layerName, std::string& error) {
    if (picture.Empty() || picture.BytesPerPixel() != 3) {
        error = "the picture holds no RGB pixels";
        return nullptr;
    }
    try {
        auto bitmap = std::make_unique<BitmapLayer>();
        RgbPicture pixels;
        if (!pixels.Assign(picture.Width(), picture.Height(), picture.Pixels())) {
            error = "not enough memory for a picture of " + std::to_string(picture.Width()) +
                    " x " + std::to_string(picture.Height()) + " pixels";
            return nullptr;
        }
        bitmap->SetName(layerName);
        bitmap->SetPicture(std::move(pixels));

        auto texture = std::make_unique<TextureMap>();
        texture->RemoveAll();  // a new texture starts with a noise layer
        texture->SetName(textureName);
        texture->SetSize(picture.Width(), picture.Height());
        if (texture->Width() != picture.Width() || texture->Height() != picture.Height()) {
            error = "a texture cannot be " + std::to_string(picture.Width()) + " x " +
                    std::to_string(picture.Height()) + " pixels";
            return nullptr;
        }
        if (!texture->AddLast(std::move(bitmap))) {
            error = "the bitmap layer could not be added";
            return nullptr;
        }
        return texture;
    } catch (const std::bad_alloc&) {
        error = "not enough memory for the texture";
        return nullptr;
    }
}

int RunImport(const RenderOptions& options, const RunIo& io) {
    const std::string& source = options.importPicture;
    const std::string& document = options.outputFile;
    std::error_code ec;
    if (fs::exists(document, ec) && fs::equivalent(source, document, ec)) {
        PrintError(io, "refusing to write the document over the picture " + Quoted(source));
        return kExitUsage;
    }
    if (fs::is_directory(source, ec)) {
        PrintError(io, Quoted(source) + " is a folder, not a picture");
        return kExitReadError;
    }

    std::string error;
    const std::unique_ptr<ImageBuffer> picture =
        ReadPictureRgb(source, PictureFormat::Unknown, &error);
    if (!picture) {
        PrintError(
            io, "cannot read the picture " + Quoted(source) + (error.empty() ? "" : ": " + error));
        return kExitReadError;
    }
    const fs::path sourcePath(source);
    std::unique_ptr<TextureMap> texture = TextureFromPicture(*picture, sourcePath.stem().string(),
                                                             sourcePath.filename().string(), error);
    if (!texture) {
        PrintError(io, Quoted(source) + ": " + error);
        return kExitRenderError;
    }
    if (!SaveDocument(document, *texture, &error)) {
        PrintError(io, "cannot write " + Quoted(document) + ": " + Printable(error));
        return kExitWriteError;
    }
    if (!options.quiet) {
        std::fprintf(io.out, "wrote %s (%d x %d, one bitmap layer)\n", Printable(document).c_str(),
                     texture->Width(), texture->Height());
        std::fflush(io.out);
    }
    return kExitOk;
}

}  // namespace quillon
