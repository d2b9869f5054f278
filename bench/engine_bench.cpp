// Core engine throughput: a white-noise layer through a colour map, the
// composite pass alone, colour-map lookups, and a whole synthesis into the
// display bitmap from freshly allocated buffers (page faults included).
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "engine/base_layer.h"
#include "engine/float_buffer.h"
#include "engine/noise_function_layer.h"
#include "engine/synthesis_job.h"
#include "engine/texture_map.h"
#include "engine/white_noise_layer.h"
#include "image/display_bitmap.h"

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

// The colour map as a rendering looks it up: through the segments' spline.
static void BM_ColorSplineLookup(benchmark::State& state) {
    ColorMap map;
    map.RemoveAllEntries();
    map.AddEntry(IndexedColor(0, Color(0, 0, 0)));
    map.AddEntry(IndexedColor(128, Color(1, 0, 0)));
    map.AddEntry(IndexedColor(255, Color(1, 1, 1)));
    map.BuildTable();
    const ColorSpline spline(map);
    double v = 0.0;
    for (auto _ : state) {
        double c[4];
        spline.Lookup(v, c);
        benchmark::DoNotOptimize(c);
        v += 0.000123;
        if (v > 1.0) v = 0.0;
    }
}
BENCHMARK(BM_ColorSplineLookup);

// One gradient-noise layer at 2048 x 2048, as quillon-render runs it:
// fresh buffers, the synthesis, the display bitmap. Argument 0 clears the
// picture first (the old way), 1 hands it over unwritten.
static void BM_SynthesisToBitmap2048(benchmark::State& state) {
    TextureMap texture;
    texture.RemoveAll();
    texture.SetSize(2048, 2048);
    texture.AddLast(std::make_unique<NoiseFunctionLayer>());
    const std::size_t n = static_cast<std::size_t>(texture.Size());
    const bool unwritten = state.range(0) != 0;
    for (auto _ : state) {
        FloatBuffer rgb, alpha;
        if (!rgb.Allocate(3 * n) || !alpha.Allocate(n)) state.SkipWithError("no memory");
        if (!unwritten) {
            rgb.Fill(0.0f);
            alpha.Fill(1.0f);
        }
        SynthesisJob job;
        job.rgb = rgb.Data();
        job.alpha = alpha.Data();
        job.texture = &texture;
        job.unwrittenPicture = unwritten;
        benchmark::DoNotOptimize(job.RunHere());
        alpha.Release();
        DisplayBitmap bitmap;
        benchmark::DoNotOptimize(bitmap.Create(2048, 2048, 24) &&
                                 bitmap.FillFromFloats({rgb.Data(), 3 * n}));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long long>(n));
}
BENCHMARK(BM_SynthesisToBitmap2048)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
