// Reading and writing texture documents: a large document of white-noise
// layers, each with a full 256-entry random colour map, parsed from memory
// and written back; and the lexer's number reading alone.
#include <benchmark/benchmark.h>

#include <memory>
#include <sstream>
#include <string>

#include "engine/color.h"
#include "engine/texture_map.h"
#include "engine/white_noise_layer.h"
#include "format/layer_parser.h"
#include "format/texture_files.h"

using namespace quillon;

namespace {

std::string LargeDocument(int layers) {
    TextureMap texture;
    texture.RemoveAll();
    texture.SetSize(512, 512);
    for (int k = 0; k < layers; ++k) {
        auto layer = std::make_unique<WhiteNoiseLayer>();
        layer->SetName("layer " + std::to_string(k));
        layer->SetCombineFunc(CombineFunc::Transparent);
        layer->SetTransparency(RandomNumber::Random({0.2f, 0.6f}));
        ColorMap& map = layer->GetColorMap();
        map.RemoveAllEntries();
        map.SetRandom(true);
        for (int i = 0; i < 256; ++i) {
            const double v = i / 255.0;
            map.AddEntry(IndexedColor(i, Color(v, 1 - v, 0.5, RandomNumber::Random({0.5f, 1.0f})),
                                      Color(1 - v, v, 0.25)));
        }
        texture.AddLast(std::move(layer));
    }
    return DocumentText(texture);
}

}  // namespace

static void BM_ParseDocument(benchmark::State& state) {
    const std::string text = LargeDocument(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        TextureMap target;
        LayerParser parser(std::make_unique<std::istringstream>(text), "bench.qln",
                           LineEnds::Bytes);
        benchmark::DoNotOptimize(parser.ParseFile(&target));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long long>(text.size()));
}
BENCHMARK(BM_ParseDocument)->Arg(1)->Arg(64)->Unit(benchmark::kMillisecond);

static void BM_WriteDocument(benchmark::State& state) {
    TextureMap texture;
    LayerParser parser(std::make_unique<std::istringstream>(LargeDocument(64)), "bench.qln",
                       LineEnds::Bytes);
    parser.ParseFile(&texture);
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string text = DocumentText(texture);
        bytes += text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<long long>(bytes));
}
BENCHMARK(BM_WriteDocument)->Unit(benchmark::kMillisecond);

static void BM_LexNumbers(benchmark::State& state) {
    std::string text;
    for (int k = 0; k < 100000; ++k) text += "12.5e-3 ";
    for (auto _ : state) {
        SimpleLexer lexer(std::make_unique<std::istringstream>(text), "n", LineEnds::Text);
        int count = 0;
        while (lexer.ReadNumber() == TokenStatus::Real) ++count;
        benchmark::DoNotOptimize(count);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long long>(text.size()));
}
BENCHMARK(BM_LexNumbers)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
