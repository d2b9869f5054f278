#include "cli/import_picture.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <vector>

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

namespace {

// The picture readers open a file more than once (to tell its kind, then to
// read it). A pipe or standard input is therefore first copied, once, into
// an unnamed temporary file, which the readers open by its /proc name.
class SpooledPicture {
  public:
    ~SpooledPicture() {
        if (m_fd >= 0) ::close(m_fd);
    }
    // Copies what `from` delivers, at most kLimit bytes; false with a
    // message in error.
    bool Copy(int from, std::string& error) {
        const char* folder = std::getenv("TMPDIR");
        std::string name = std::string(folder && *folder ? folder : "/tmp") + "/quillon-XXXXXX";
        m_fd = ::mkstemp(name.data());
        if (m_fd < 0) {
            error = std::string("cannot make a temporary file: ") + std::strerror(errno);
            return false;
        }
        ::unlink(name.c_str());
        std::vector<char> buffer(1 << 16);
        std::uint64_t total = 0;
        for (;;) {
            const ssize_t got = ::read(from, buffer.data(), buffer.size());
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) {
                error = std::strerror(errno);
                return false;
            }
            if (got == 0) break;
            total += static_cast<std::uint64_t>(got);
            if (total > kLimit) {
                error = "more than 1 GiB, larger than any picture that can be read";
                return false;
            }
            for (ssize_t done = 0; done < got;) {
                const ssize_t put =
                    ::write(m_fd, buffer.data() + done, static_cast<std::size_t>(got - done));
                if (put < 0 && errno == EINTR) continue;
                if (put <= 0) {
                    error = std::string("cannot keep a temporary copy: ") + std::strerror(errno);
                    return false;
                }
                done += put;
            }
        }
        return true;
    }
    std::string Path() const { return "/proc/self/fd/" + std::to_string(m_fd); }

  private:
    static constexpr std::uint64_t kLimit = 1ULL << 30;
    int m_fd = -1;
};

// Whether the picture must be copied before it can be read: standard input
// and anything that is not a regular file (pipes, terminals, sockets).
bool NeedsSpooling(const std::string& source) {
    if (source == kStandardInput) return true;
    struct stat info {};
    return ::stat(source.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
        text.replace(at, from.size(), to);
    }
}

}  // namespace

int RunImport(const RenderOptions& options, const RunIo& io) {
    const std::string& source = options.importPicture;
    const std::string& document = options.outputFile;
    std::error_code ec;
    if (source != kStandardInput && fs::exists(document, ec) &&
        fs::equivalent(source, document, ec)) {
        PrintError(io, "refusing to write the document over the picture " + Quoted(source));
        return kExitUsage;
    }
    if (fs::is_directory(source, ec)) {
        PrintError(io, Quoted(source) + " is a folder, not a picture");
        return kExitReadError;
    }

    std::string error;
    const bool standardInput = source == kStandardInput;
    const std::string label = standardInput ? "stdin" : source;
    std::string readPath = source;
    SpooledPicture spool;
    if (NeedsSpooling(source)) {
        const int from = standardInput ? 0 : ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
        const bool copied =
            from >= 0 ? spool.Copy(from, error) : (error = std::strerror(errno), false);
        if (from > 0) ::close(from);
        if (!copied) {
            PrintError(io, "cannot read the picture " + Quoted(label) + ": " + error);
            return kExitReadError;
        }
        readPath = spool.Path();
    }
    const std::unique_ptr<ImageBuffer> picture =
        ReadPictureRgb(readPath, PictureFormat::Unknown, &error);
    if (!picture) {
        ReplaceAll(error, readPath, label);
        PrintError(io, "cannot read the picture " + Quoted(label) +
                           (error.empty() ? "" : ": " + Printable(error)));
        return kExitReadError;
    }
    const fs::path sourcePath(label);
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
