// Core engine throughput: a white-noise layer through a colour map, and
// the composite pass alone.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "engine/base_layer.h"
#include "engine/texture_map.h"
#include "engine/white_noise_layer.h"

using namespace quillon;

static void BM_WhiteNoiseTexture1024(benchmark::State& state) {
    TextureMap texture;
    texture.RemoveAll();
    texture.SetSize(1024, 1024);
    auto layer = std::make_unique<WhiteNoiseLayer>();
    layer->GetColorMap().RemoveAllEntries();
    layer->GetColorMap().AddEntry(IndexedColor(0, Color(0.1, 0.2, 0.4)));
    layer->GetColorMap().AddEntry(IndexedColor(255, Color(1.0, 0.9, 0.7)));
    texture.AddLast(std::move(layer));
    const std::size_t n = static_cast<std::size_t>(texture.Size());
    std::vector<float> rgb(3 * n, 0.0f), alpha(n, 1.0f);
    for (auto _ : state) {
        RenderContext context;
        context.rgb = rgb.data();
        context.alpha = alpha.data();
        benchmark::DoNotOptimize(texture.Render(context));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long long>(n));
}
BENCHMARK(BM_WhiteNoiseTexture1024)->Unit(benchmark::kMillisecond);

static void BM_CompositePass1024(benchmark::State& state) {
    const std::size_t n = 1024 * 1024;
    std::vector<float> dst(3 * n, 0.25f), src(3 * n, 0.75f), alpha(n, 0.5f);
    const auto function = static_cast<CombineFunc>(state.range(0));
    for (auto _ : state) {
        CompositeColor(function, dst.data(), src.data(), alpha.data(), nullptr, n, 0.5f);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long long>(n));
}
BENCHMARK(BM_CompositePass1024)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);

static void BM_ColorMapLookup(benchmark::State& state) {
    ColorMap map;
    map.RemoveAllEntries();
    map.AddEntry(IndexedColor(0, Color(0, 0, 0)));
    map.AddEntry(IndexedColor(128, Color(1, 0, 0)));
    map.AddEntry(IndexedColor(255, Color(1, 1, 1)));
    map.BuildTable();
    double v = 0.0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(map.Lookup(v));
        v += 0.000123;
        if (v > 1.0) v = 0.0;
    }
}
BENCHMARK(BM_ColorMapLookup);

BENCHMARK_MAIN();
