#include "format/texture_files.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <locale>
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

bool StartsWithV(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    char first = 0;
    return in.get(first) && first == 'V';
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
    if (!StartsWithV(path)) return LoadStatus::NotDocument;
    LayerParser parser(path, LineEnds::Bytes);
    return parser.ParseFile(&target) ? LoadStatus::Ok : LoadStatus::Failed;
}

LoadStatus LoadTextureDocument(const std::filesystem::path& path,
                               std::unique_ptr<TextureMap>& texture) {
    texture.reset();
    if (!StartsWithV(path)) return LoadStatus::NotDocument;
    LayerParser parser(path, LineEnds::Bytes);
    if (!parser.ParseFile(nullptr)) return LoadStatus::Failed;
    std::unique_ptr<BaseLayer> layer = parser.TakeResultLayer();
    // A mask layer is a texture map too, but not a document.
    if (!layer || layer->Keyword() != TextureMap::kKeyword) return LoadStatus::Empty;
    auto* map = dynamic_cast<TextureMap*>(layer.get());
    if (!map) return LoadStatus::Empty;
    layer.release();
    texture.reset(map);
    return LoadStatus::Ok;
}

LoadStatus LoadLayerFile(const std::filesystem::path& path, std::unique_ptr<BaseLayer>& layer) {
    layer.reset();
    LayerParser parser(path, HasDocumentExtension(path) ? LineEnds::Bytes : LineEnds::Text);
    if (!parser.ParseFile(nullptr)) return LoadStatus::Failed;
    layer = parser.TakeResultLayer();
    return layer ? LoadStatus::Ok : LoadStatus::Empty;
}

LoadStatus LoadColorMapFile(const std::filesystem::path& path, ColorMap& map) {
    LayerParser parser(path, LineEnds::Text);
    ColorMap read;
    if (!parser.ParseColorMapFile(read)) return LoadStatus::Failed;
    if (!parser.ColorMapRead()) return LoadStatus::Empty;
    map.Assign(read);
    return LoadStatus::Ok;
}

}  // namespace quillon
