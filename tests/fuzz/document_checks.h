#pragma once

// The checks the texture fuzzers make, shared with the ordinary test suite
// so that every input kept in tests/data/hostile is checked the same way.
// Each returns an empty string when the input was handled soundly.

#include <algorithm>
#include <cmath>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/base_layer.h"
#include "engine/color.h"
#include "engine/random.h"
#include "engine/synthesis_job.h"
#include "engine/texture_map.h"
#include "format/layer_parser.h"
#include "format/texture_files.h"

namespace quillon::fuzz {

inline std::unique_ptr<LayerParser> ParserOn(const std::string& text, LineEnds lineEnds) {
    return std::make_unique<LayerParser>(std::make_unique<std::istringstream>(text), "fuzz",
                                         lineEnds);
}

// As a document: whatever loads saves, loads again and saves the same.
inline std::string CheckDocument(const std::string& input) {
    if (input.empty() || input[0] != 'V') return {};  // LoadDocument's own check
    TextureMap texture;
    if (!ParserOn(input, LineEnds::Bytes)->ParseFile(&texture)) return {};
    const std::string written = DocumentText(texture);
    TextureMap again;
    if (!ParserOn(written, LineEnds::Bytes)->ParseFile(&again))
        return "saved document does not load:\n" + written;
    if (DocumentText(again) != written) return "document changes on a second save:\n" + written;
    return {};
}

// As a layer file.
inline std::string CheckLayerFile(const std::string& input) {
    auto parser = ParserOn(input, LineEnds::Text);
    if (!parser->ParseFile(nullptr)) return {};
    std::unique_ptr<BaseLayer> layer = parser->TakeResultLayer();
    if (!layer) return {};
    const std::string written = DocumentText(*layer);
    auto reread = ParserOn(written, LineEnds::Bytes);
    if (!reread->ParseFile(nullptr)) return "saved layer does not load:\n" + written;
    std::unique_ptr<BaseLayer> again = reread->TakeResultLayer();
    if (!again) return "saved layer reads as nothing:\n" + written;
    if (DocumentText(*again) != written) return "layer changes on a second save:\n" + written;
    return {};
}

// As a colour-map file.
inline std::string CheckColorMapFile(const std::string& input) {
    auto parser = ParserOn(input, LineEnds::Text);
    ColorMap map;
    if (!parser->ParseColorMapFile(map) || !parser->ColorMapRead()) return {};
    const std::string written = ColorMapFileText(map.Entries(), map.IsRandom());
    auto reread = ParserOn(written, LineEnds::Text);
    ColorMap again;
    if (!reread->ParseColorMapFile(again) || !reread->ColorMapRead())
        return "saved colour map does not load:\n" + written;
    if (ColorMapFileText(again.Entries(), again.IsRandom()) != written)
        return "colour map changes on a second save:\n" + written;
    return {};
}

inline std::string CheckParsing(const std::string& input) {
    std::string problem = CheckDocument(input);
    if (problem.empty()) problem = CheckLayerFile(input);
    if (problem.empty()) problem = CheckColorMapFile(input);
    return problem;
}

// Small enough that one input renders in milliseconds, large enough that
// every layer kind has neighbours, bricks and rows to work with.
inline constexpr int kMaxFuzzSide = 24;

// Parses a document, renders it at most kMaxFuzzSide a side, and checks
// that the colours are finite.
inline std::string CheckRendering(const std::string& input, int seed) {
    if (input.empty() || input[0] != 'V') return {};
    TextureMap texture;
    if (!ParserOn(input, LineEnds::Bytes)->ParseFile(&texture)) return {};
    const int width = std::min(texture.Width(), kMaxFuzzSide);
    const int height = std::min(texture.Height(), kMaxFuzzSide);
    if (width < 1 || height < 1) return "a loaded texture has no pixels";
    texture.SetSize(width, height);
    RandomGenerator::Instance().Seed(seed);
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::vector<float> rgb(3 * pixels, 0.0f);
    std::vector<float> alpha(pixels, 1.0f);
    SynthesisJob job;
    job.rgb = rgb.data();
    job.alpha = alpha.data();
    job.texture = &texture;
    if (!job.RunHere()) return {};
    const auto finite = [](float v) { return std::isfinite(v); };
    if (!std::all_of(rgb.begin(), rgb.end(), finite) || !std::all_of(alpha.begin(), alpha.end(), finite))
        return "non-finite colour in the rendered texture";
    return {};
}

}  // namespace quillon::fuzz
