// Texture documents, layer files and colour-map files from anywhere. Every
// input is read all three ways. Whatever reads must also write out and read
// back: a saved file that cannot be opened again is lost work.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>

#include "engine/base_layer.h"
#include "engine/color.h"
#include "engine/texture_map.h"
#include "format/layer_parser.h"
#include "format/texture_files.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using namespace quillon;

std::unique_ptr<LayerParser> Parser(const std::string& text, LineEnds lineEnds) {
    return std::make_unique<LayerParser>(std::make_unique<std::istringstream>(text), "fuzz",
                                         lineEnds);
}

[[noreturn]] void Fail(const char* what, const std::string& text) {
    std::fprintf(stderr, "%s; written text:\n%s\n", what, text.c_str());
    std::abort();
}

void Document(const std::string& input) {
    if (input.empty() || input[0] != 'V') return;  // LoadDocument's own check
    TextureMap texture;
    if (!Parser(input, LineEnds::kBytes)->ParseFile(&texture)) return;
    const std::string written = DocumentText(texture);
    TextureMap again;
    if (!Parser(written, LineEnds::kBytes)->ParseFile(&again)) Fail("saved document does not load", written);
    if (DocumentText(again) != written) Fail("document changes on a second save", written);
}

void LayerFile(const std::string& input) {
    auto parser = Parser(input, LineEnds::kText);
    if (!parser->ParseFile(nullptr)) return;
    std::unique_ptr<BaseLayer> layer = parser->TakeResultLayer();
    if (!layer) return;
    const std::string written = DocumentText(*layer);
    auto reread = Parser(written, LineEnds::kBytes);
    if (!reread->ParseFile(nullptr)) Fail("saved layer does not load", written);
    std::unique_ptr<BaseLayer> again = reread->TakeResultLayer();
    if (!again) Fail("saved layer reads as nothing", written);
    if (DocumentText(*again) != written) Fail("layer changes on a second save", written);
}

void ColorMapFile(const std::string& input) {
    auto parser = Parser(input, LineEnds::kText);
    ColorMap map;
    if (!parser->ParseColorMapFile(map) || !parser->ColorMapRead()) return;
    map.BuildTable();
    const std::string written = ColorMapFileText(map.Entries(), map.IsRandom());
    auto reread = Parser(written, LineEnds::kText);
    ColorMap again;
    if (!reread->ParseColorMapFile(again) || !reread->ColorMapRead())
        Fail("saved colour map does not load", written);
    if (ColorMapFileText(again.Entries(), again.IsRandom()) != written)
        Fail("colour map changes on a second save", written);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quillon::fuzz::InstallDiscardingReporter();
    const std::string input(reinterpret_cast<const char*>(data), size);
    Document(input);
    LayerFile(input);
    ColorMapFile(input);
    return 0;
}
