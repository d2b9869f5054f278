// Parse, then render, small documents: any setting a file can carry must
// give finite colours and finish quickly at a small size.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/random.h"
#include "engine/synthesis_job.h"
#include "engine/texture_map.h"
#include "format/layer_parser.h"
#include "tests/fuzz/fuzz_support.h"

namespace {
// Small enough that one input renders in milliseconds, large enough that
// every layer kind has neighbours, bricks and rows to work with.
constexpr int kMaxSide = 24;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillon;
    fuzz::InstallDiscardingReporter();
    if (size == 0 || data[0] != 'V') return 0;
    TextureMap texture;
    LayerParser parser(std::make_unique<std::istringstream>(
                           std::string(reinterpret_cast<const char*>(data), size)),
                       "fuzz.qln", LineEnds::kBytes);
    if (!parser.ParseFile(&texture)) return 0;
    const int width = std::min(texture.Width(), kMaxSide);
    const int height = std::min(texture.Height(), kMaxSide);
    if (width < 1 || height < 1) std::abort();  // the parser refuses such sizes
    texture.SetSize(width, height);

    RandomGenerator::Instance().Seed(static_cast<int>(size));
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::vector<float> rgb(3 * pixels, 0.0f);
    std::vector<float> alpha(pixels, 1.0f);
    SynthesisJob job;
    job.rgb = rgb.data();
    job.alpha = alpha.data();
    job.texture = &texture;
    if (!job.RunHere()) return 0;
    for (float v : rgb) {
        if (!std::isfinite(v)) {
            std::fprintf(stderr, "non-finite colour in the rendered texture\n");
            std::abort();
        }
    }
    return 0;
}
