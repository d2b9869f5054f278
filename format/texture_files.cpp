#include "format/texture_files.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <locale>
#include <new>
#include <sstream>

#include "engine/block_io.h"
#include "engine/color.h"
#include "engine/error_reporter.h"
#include "engine/texture_map.h"
#include "format/layer_parser.h"
#include "image/atomic_file.h"

namespace quillon {

namespace {

// Integers are written through the stream: never with a user's digit grouping.
void StartText(std::ostream& out) {
    out.imbue(std::locale::classic());
    out << "VERSION " << FormatReal(kFileVersion) << '\n';
}

// The Windows text-file convention of layer and colour-map files.
std::string WithCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size() + static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')));
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

bool WriteAtomically(const std::filesystem::path& path, const std::string& bytes) {
    return WriteFileAtomically(path.string(), bytes);
}

// A document's first byte is its VERSION's "V". The byte is looked at, not
// taken: a pipe cannot be opened a second time to read it again.
bool StartsWithV(std::istream& in) {
    std::streambuf* buffer = in ? in.rdbuf() : nullptr;
    return buffer && buffer->sgetc() == 'V';
}

std::unique_ptr<std::istream> OpenFile(const std::filesystem::path& path) {
    return std::make_unique<std::ifstream>(path, std::ios::in | std::ios::binary);
}

// Runs one parse. Running out of memory on the way (a hostile file can ask
// for a great deal) is told in the parser's one-line form and ends the read.
template <typename Parse>
LoadStatus Guarded(LayerParser& parser, Parse&& parse) {
    try {
        return parse();
    } catch (const std::bad_alloc&) {
        parser.ReportError("Not enough memory to read the file");
        return LoadStatus::kNoMemory;
    }
}

bool HasDocumentExtension(const std::filesystem::path& path) {
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".qln";
}

}  // namespace

std::string DocumentText(const BaseLayer& layer) {
    std::ostringstream out;
    StartText(out);
    layer.Write(out, "");
    return out.str();
}

std::string ColorMapFileText(std::span<const IndexedColor> entries, bool isRandom) {
    ColorMap map;
    map.RemoveAllEntries();
    map.SetRandom(isRandom);
    for (const IndexedColor& entry : entries) map.AddEntry(entry);
    std::ostringstream out;
    StartText(out);
    out << "COLORMAP ";
    map.Write(out, "");
    return out.str();
}

bool SaveDocument(const std::filesystem::path& path, const TextureMap& texture) {
    return WriteAtomically(path, DocumentText(texture));
}

bool SaveLayerFile(const std::filesystem::path& path, const BaseLayer& layer) {
    if (WriteAtomically(path, WithCrLf(DocumentText(layer)))) return true;
    ReportError("Unable to write layer file");
    return false;
}

bool SaveColorMapFile(const std::filesystem::path& path, std::span<const IndexedColor> entries,
                      bool isRandom) {
    if (WriteAtomically(path, WithCrLf(ColorMapFileText(entries, isRandom)))) return true;
    ReportError("Unable to write color map");
    return false;
}

bool SaveColorMapFile(const std::filesystem::path& path, const ColorMap& map) {
    return SaveColorMapFile(path, map.Entries(), map.IsRandom());
}

LoadStatus LoadDocument(const std::filesystem::path& path, TextureMap& target) {
    return LoadDocument(OpenFile(path), path.filename().string(), target);
}

LoadStatus LoadDocument(std::unique_ptr<std::istream> input, const std::string& name,
                        TextureMap& target) {
    if (!input || !StartsWithV(*input)) return LoadStatus::kNotDocument;
    LayerParser parser(std::move(input), name, LineEnds::kBytes);
    return Guarded(
        parser, [&] { return parser.ParseFile(&target) ? LoadStatus::kOk : LoadStatus::kFailed; });
}

LoadStatus LoadTextureDocument(const std::filesystem::path& path,
                               std::unique_ptr<TextureMap>& texture) {
    texture.reset();
    std::unique_ptr<std::istream> input = OpenFile(path);
    if (!StartsWithV(*input)) return LoadStatus::kNotDocument;
    LayerParser parser(std::move(input), path.filename().string(), LineEnds::kBytes);
    return Guarded(parser, [&] {
        if (!parser.ParseFile(nullptr)) return LoadStatus::kFailed;
        std::unique_ptr<BaseLayer> layer = parser.TakeResultLayer();
        // A mask layer is a texture map too, but not a document.
        if (!layer || layer->Keyword() != "TEXTURE") return LoadStatus::kEmpty;
        auto* map = dynamic_cast<TextureMap*>(layer.get());
        if (!map) return LoadStatus::kEmpty;
        layer.release();
        texture.reset(map);
        return LoadStatus::kOk;
    });
}

LoadStatus LoadLayerFile(const std::filesystem::path& path, std::unique_ptr<BaseLayer>& layer) {
    layer.reset();
    LayerParser parser(path, HasDocumentExtension(path) ? LineEnds::kBytes : LineEnds::kText);
    return Guarded(parser, [&] {
        if (!parser.ParseFile(nullptr)) return LoadStatus::kFailed;
        layer = parser.TakeResultLayer();
        return layer ? LoadStatus::kOk : LoadStatus::kEmpty;
    });
}

LoadStatus LoadColorMapFile(const std::filesystem::path& path, ColorMap& map) {
    LayerParser parser(path, LineEnds::kText);
    return Guarded(parser, [&] {
        ColorMap read;
        if (!parser.ParseColorMapFile(read)) return LoadStatus::kFailed;
        if (!parser.ColorMapRead()) return LoadStatus::kEmpty;
        map.Assign(read);
        return LoadStatus::kOk;
    });
}

}  // namespace quillon
