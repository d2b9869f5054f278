// The BITMAPLAYER block: the picture's size and its bytes, planar (every R,
// then every G, then every B) since version 1.1, interleaved before.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <ostream>
#include <vector>

#include "engine/bitmap_layer.h"
#include "engine/block_io.h"

namespace quillon {

namespace {

constexpr const char* kInvalidSize = "Invalid bitmap size in Bitmap Layer";
constexpr const char* kMissingOpen = "Syntax Error(missing '{') in Bitmap Layer";
constexpr const char* kMissingClose = "Syntax Error(missing  '}') in Bitmap Layer";
constexpr const char* kNoMemory = "Not enough memory for the picture in Bitmap Layer";

// Files up to this version hold the bytes interleaved.
constexpr double kLastInterleavedVersion = 1.0;

void WritePlanar(std::ostream& out, const RgbPicture& picture) {
    const std::size_t n = picture.PixelCount();
    const std::uint8_t* bytes = picture.Bytes();
    char chunk[4096];
    for (std::size_t channel = 0; channel < 3; ++channel) {
        std::size_t filled = 0;
        for (std::size_t p = 0; p < n; ++p) {
            chunk[filled++] = static_cast<char>(bytes[3 * p + channel]);
            if (filled == sizeof chunk) {
                out.write(chunk, static_cast<std::streamsize>(filled));
                filled = 0;
            }
        }
        out.write(chunk, static_cast<std::streamsize>(filled));
    }
}

// Everything after the keyword BITMAP_DATA. The size is checked against
// the limits and against what the file can still hold before anything is
// allocated.
bool ReadPictureData(BlockReader& reader, int width, int height, RgbPicture& picture) {
    if (!RgbPicture::IsValidSize(width, height)) {
        reader.ReportError(kInvalidSize);
        return false;
    }
    const std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const std::size_t count = 3 * n;
    if (count > reader.RemainingBytesBound()) {
        reader.ReportError(kInvalidSize);
        return false;
    }
    if (reader.PeekChar() != '{') {
        reader.ReportError(kMissingOpen);
        return false;
    }
    reader.GetChar();

    // Read in pieces, so that memory follows the bytes that really come
    // even where the file's length is unknown.
    constexpr std::size_t kPiece = std::size_t{1} << 20;
    std::vector<std::uint8_t> data;
    try {
        while (data.size() < count) {
            const std::size_t have = data.size();
            const std::size_t want = std::min(kPiece, count - have);
            data.resize(have + want);
            // The file ends inside the bytes: the block is not closed.
            if (reader.ReadBytes(data.data() + have, want) != want) {
                reader.ReportError(kMissingClose);
                return false;
            }
        }
    } catch (const std::bad_alloc&) {
        reader.ReportError(kNoMemory);
        return false;
    }
    if (!picture.Allocate(width, height)) {
        reader.ReportError(kNoMemory);
        return false;
    }
    std::uint8_t* out = picture.Bytes();
    if (reader.Version() > kLastInterleavedVersion) {
        for (std::size_t p = 0; p < n; ++p) {
            out[3 * p] = data[p];
            out[3 * p + 1] = data[n + p];
            out[3 * p + 2] = data[2 * n + p];
        }
    } else {
        std::copy(data.begin(), data.end(), out);
    }
    if (reader.PeekChar() != '}') {
        reader.ReportError(kMissingClose);
        return false;
    }
    reader.GetChar();
    return true;
}

}  // namespace

void BitmapLayer::Write(std::ostream& out, const std::string& indent) const {
    WriteBlockStart(out, indent, "BITMAPLAYER", Name());
    WriteCommonProperties(out, indent);
    if (m_picture) {
        out << indent << "\tBITMAP_WIDTH " << m_picture->Width() << "\tBITMAP_HEIGHT "
            << m_picture->Height() << '\n';
        out << indent << "\tBITMAP_DATA {";
        WritePlanar(out, *m_picture);
        out << "}\n";
    }
    out << indent << "}\n";
}

bool BitmapLayer::ReadBlock(BlockReader& reader) {
    static constexpr BlockMessages kMessages = {
        "Syntax Error(expecting '{') in Bitmap Layer",
        "Invalid Token(%s) in Bitmap Layer",
        "Syntax Error(missing  '}') in Bitmap Layer",
    };
    // The size of the picture to come; BITMAP_DATA checks it.
    int width = 0;
    int height = 0;
    return reader.ReadLayerBlock(*this, kMessages, [&](std::string_view keyword) {
        if (keyword == "BITMAP_WIDTH") return ReadResult(reader.ReadInteger(width));
        if (keyword == "BITMAP_HEIGHT") return ReadResult(reader.ReadInteger(height));
        if (keyword == "BITMAP_DATA") {
            RgbPicture picture;
            if (!ReadPictureData(reader, width, height, picture)) return KeywordResult::Failed;
            SetPicture(std::move(picture));
            return KeywordResult::Read;
        }
        return KeywordResult::Unknown;
    });
}

}  // namespace quillon
