// Reaction-diffusion and bitmap layers: a full simulation, one grid step,
// and stretching a picture to four times its size.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "engine/bitmap_layer.h"
#include "engine/reaction_diffusion_layer.h"

using namespace quillon;

namespace {

std::vector<float> g_rgb;
std::vector<float> g_alpha;

RenderContext ValueContext(std::size_t pixels, bool colour) {
    g_rgb.assign((colour ? 3 : 1) * pixels, 0.0f);
    g_alpha.assign(pixels, 1.0f);
    RenderContext context;
    context.rgb = g_rgb.data();
    context.alpha = g_alpha.data();
    context.wantColour = colour;
    return context;
}

}  // namespace

// The default spots at 256 x 256 over 1000 iterations, colour map included.
static void BM_ReactionDiffusion256x1000(benchmark::State& state) {
    ReactionDiffusionLayer layer;
    layer.SetSize(256, 256);
    layer.SetIterations(1000);
    RandomGenerator::Instance().Seed(1);
    for (auto _ : state) {
        RenderContext context = ValueContext(256 * 256, true);
        benchmark::DoNotOptimize(layer.Render(context));
    }
    state.SetItemsProcessed(state.iterations() * 256LL * 256LL * 1000LL);
}
BENCHMARK(BM_ReactionDiffusion256x1000)->Unit(benchmark::kMillisecond);

// One simultaneous update of a square grid, by side.
static void BM_ReactionDiffusionStep(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    const std::size_t n = static_cast<std::size_t>(side) * static_cast<std::size_t>(side);
    std::vector<float> a(n), b(n), na(n), nb(n);
    RandomGenerator::Instance().Seed(2);
    RandomGenerator::Instance().FillUniform(a.data(), n, 0.0, 12.0);
    RandomGenerator::Instance().FillUniform(b.data(), n, 0.0, 12.0);
    const Stencil sa = ReactionDiffusionLayer::BuildStencil(1.0f, 2.0f, 0.5, 0.0);
    const Stencil sb = ReactionDiffusionLayer::BuildStencil(16.0f, 16.0f, 0.0, 0.0);
    for (auto _ : state) {
        ReactionDiffusionLayer::StepGrid(a.data(), b.data(), na.data(), nb.data(), side, side, sa,
                                         sb, 0.01f);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long long>(n));
}
BENCHMARK(BM_ReactionDiffusionStep)->Arg(64)->Arg(256)->Arg(1024);

// A 512 x 512 picture stretched to 2048 x 2048 (the windowed sinc along
// both directions) and delivered in colour.
static void BM_BitmapStretch512To2048(benchmark::State& state) {
    RgbPicture picture;
    picture.Allocate(512, 512);
    for (std::size_t k = 0; k < picture.ByteCount(); ++k) {
        picture.Bytes()[k] = static_cast<std::uint8_t>((k * 2654435761u) >> 24);
    }
    BitmapLayer layer;
    layer.SetSize(2048, 2048);
    layer.SetPicture(std::move(picture));
    for (auto _ : state) {
        RenderContext context = ValueContext(2048 * 2048, true);
        benchmark::DoNotOptimize(layer.Render(context));
    }
    state.SetItemsProcessed(state.iterations() * 2048LL * 2048LL);
}
BENCHMARK(BM_BitmapStretch512To2048)->Unit(benchmark::kMillisecond);

// The other way: 2048 x 2048 averaged down to 512 x 512.
static void BM_BitmapReduce2048To512(benchmark::State& state) {
    RgbPicture picture;
    picture.Allocate(2048, 2048);
    for (std::size_t k = 0; k < picture.ByteCount(); ++k) {
        picture.Bytes()[k] = static_cast<std::uint8_t>((k * 2654435761u) >> 24);
    }
    BitmapLayer layer;
    layer.SetSize(512, 512);
    layer.SetPicture(std::move(picture));
    for (auto _ : state) {
        RenderContext context = ValueContext(512 * 512, true);
        benchmark::DoNotOptimize(layer.Render(context));
    }
    state.SetItemsProcessed(state.iterations() * 512LL * 512LL);
}
BENCHMARK(BM_BitmapReduce2048To512)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
