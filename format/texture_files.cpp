#include "format/texture_files.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <functional>
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

// What follows the VERSION line in a colour-map file.
void WriteColorMapFile(std::ostream& out, std::span<const IndexedColor> entries, bool isRandom) {
    ColorMap map;
    map.RemoveAllEntries();
    map.SetRandom(isRandom);
    for (const IndexedColor& entry : entries) map.AddEntry(entry);
    out << "COLORMAP ";
    map.Write(out, "");
}

// Streams a text form into the file, so that no copy of a large document is
// held in memory; memory running short while writing fails the save as a
// full disk does. The file is committed only after a complete write.
template <class WriteText>
bool SaveText(AtomicFile& file, bool crlf, WriteText&& write, std::string* error) {
    if (file.Open()) {
        try {
            AtomicFileStream out(file, crlf);
            StartText(out);
            write(out);
            if (!out.Finish()) file.Fail("the text could not be written");
        } catch (const std::bad_alloc&) {
            file.Fail("not enough memory");
        }
        if (!file.Failed() && file.Commit()) return true;
    }
    file.Discard();
    if (error) *error = file.Error();
    return false;
}

bool SaveText(const std::filesystem::path& path, bool crlf,
              const std::function<void(std::ostream&)>& write, std::string* error) {
    AtomicFile file(path.string());
    return SaveText(file, crlf, write, error);
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
        return LoadStatus::NoMemory;
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
    try {
        std::ostringstream out;
        StartText(out);
        layer.Write(out, "");
        // A string that could not grow leaves the stream bad, the text cut.
        if (!out) return {};
        return std::move(out).str();
    } catch (const std::bad_alloc&) {
        return {};
    }
}

std::string ColorMapFileText(std::span<const IndexedColor> entries, bool isRandom) {
    try {
        std::ostringstream out;
        StartText(out);
        WriteColorMapFile(out, entries, isRandom);
        if (!out) return {};
        return std::move(out).str();
    } catch (const std::bad_alloc&) {
        return {};
    }
}

bool SaveDocument(const std::filesystem::path& path, const TextureMap& texture,
                  std::string* error) {
    return SaveText(
        path, false, [&](std::ostream& out) { texture.Write(out, ""); }, error);
}

bool WriteDocument(std::FILE* stream, const std::string& name, const BaseLayer& layer,
                   std::string* error) {
    AtomicFile file(stream, name);
    return SaveText(
        file, false, [&](std::ostream& out) { layer.Write(out, ""); }, error);
}

bool SaveLayerFile(const std::filesystem::path& path, const BaseLayer& layer, std::string* error) {
    std::string reason;
    if (SaveText(
            path, true, [&](std::ostream& out) { layer.Write(out, ""); }, &reason))
        return true;
    ReportError("Unable to write layer file\n\n" + reason);
    if (error) *error = reason;
    return false;
}

bool SaveColorMapFile(const std::filesystem::path& path, std::span<const IndexedColor> entries,
                      bool isRandom, std::string* error) {
    std::string reason;
    if (SaveText(
            path, true, [&](std::ostream& out) { WriteColorMapFile(out, entries, isRandom); },
            &reason))
        return true;
    ReportError("Unable to write color map\n\n" + reason);
    if (error) *error = reason;
    return false;
}

bool SaveColorMapFile(const std::filesystem::path& path, const ColorMap& map, std::string* error) {
    return SaveColorMapFile(path, map.Entries(), map.IsRandom(), error);
}

LoadStatus LoadDocument(const std::filesystem::path& path, TextureMap& target) {
    return LoadDocument(OpenFile(path), path.filename().string(), target);
}

LoadStatus LoadDocument(std::unique_ptr<std::istream> input, const std::string& name,
                        TextureMap& target) {
    if (!input || !StartsWithV(*input)) return LoadStatus::NotDocument;
    LayerParser parser(std::move(input), name, LineEnds::Bytes);
    return Guarded(parser,
                   [&] { return parser.ParseFile(&target) ? LoadStatus::Ok : LoadStatus::Failed; });
}

LoadStatus LoadTextureDocument(const std::filesystem::path& path,
                               std::unique_ptr<TextureMap>& texture) {
    texture.reset();
    std::unique_ptr<std::istream> input = OpenFile(path);
    if (!StartsWithV(*input)) return LoadStatus::NotDocument;
    LayerParser parser(std::move(input), path.filename().string(), LineEnds::Bytes);
    return Guarded(parser, [&] {
        if (!parser.ParseFile(nullptr)) return LoadStatus::Failed;
        std::unique_ptr<BaseLayer> layer = parser.TakeResultLayer();
        // A mask layer is a texture map too, but not a document.
        if (!layer || layer->Keyword() != "TEXTURE") return LoadStatus::Empty;
        auto* map = dynamic_cast<TextureMap*>(layer.get());
        if (!map) return LoadStatus::Empty;
        layer.release();
        texture.reset(map);
        return LoadStatus::Ok;
    });
}

LoadStatus LoadLayerFile(const std::filesystem::path& path, std::unique_ptr<BaseLayer>& layer) {
    layer.reset();
    LayerParser parser(path, HasDocumentExtension(path) ? LineEnds::Bytes : LineEnds::Text);
    return Guarded(parser, [&] {
        if (!parser.ParseFile(nullptr)) return LoadStatus::Failed;
        layer = parser.TakeResultLayer();
        return layer ? LoadStatus::Ok : LoadStatus::Empty;
    });
}

LoadStatus LoadColorMapFile(const std::filesystem::path& path, ColorMap& map) {
    LayerParser parser(path, LineEnds::Text);
    return Guarded(parser, [&] {
        ColorMap read;
        if (!parser.ParseColorMapFile(read)) return LoadStatus::Failed;
        if (!parser.ColorMapRead()) return LoadStatus::Empty;
        map.Assign(read);
        return LoadStatus::Ok;
    });
}

}  // namespace quillon
