// Cost of the noise bases per sample, and of a whole noise-function layer.
#include <benchmark/benchmark.h>

#include <cmath>

#include <vector>

#include "engine/noise/noise3d.h"
#include "engine/noise_function_layer.h"

namespace quillon {
namespace {

// One sample of a fractal sum over `octaves` octaves, as the layer does it.
void BM_NoiseSample(benchmark::State& state) {
    const auto kind = static_cast<NoiseFunction>(state.range(0));
    const int octaves = static_cast<int>(state.range(1));
    const auto noise = MakeNoise(kind);
    double x = 0.1234, y = 0.5678, z = 0.9012;
    for (auto _ : state) {
        double sum = 0.0, f = 1.0;
        for (int o = 0; o < octaves; ++o) {
            sum += noise->EvaluateAt(x * f, y * f, z * f) / f;
            f *= 2.17;
        }
        benchmark::DoNotOptimize(sum);
        x += 0.0137;
        y += 0.0071;
    }
    state.SetItemsProcessed(state.iterations());
    static const char* const kNames[] = {"VALUE",       "GRADIENT",   "VALGRAD",
                                         "CONVOLUTION", "SPARSECONV", "GRID"};
    state.SetLabel(kNames[state.range(0)]);
}
BENCHMARK(BM_NoiseSample)->ArgsProduct({{0, 1, 2, 3, 4, 5}, {1, 4}});

// The same through the batch path a layer takes: a row of 1024 points
// crossing `cells` lattice cells at the first octave (8: a 1024-pixel layer
// at scale 8; 1024: a new cell at every point, the worst case for sharing a
// cell's work), summed as TURBULENCE over `octaves` octaves (NOISE at 1) in
// blocks of 256. Per sample.
void BM_NoiseRow(benchmark::State& state) {
    const auto kind = static_cast<NoiseFunction>(state.range(0));
    const int octaves = static_cast<int>(state.range(1));
    const auto cells = static_cast<double>(state.range(2));
    const auto noise = MakeNoise(kind);
    const TurbulenceType type = octaves == 1 ? TurbulenceType::Noise : TurbulenceType::Turbulence;
    constexpr std::size_t kRow = 1024;
    constexpr int kRows = 16;
    std::vector<double> x(kRow * kRows), y(kRow * kRows), z(kRow * kRows), out(kRow);
    for (int r = 0; r < kRows; ++r) {
        for (std::size_t i = 0; i < kRow; ++i) {
            const double u = cells * static_cast<double>(i) / kRow;
            x[r * kRow + i] = u + 0.37;
            y[r * kRow + i] = 0.11 * u + 0.05 * r + 0.71;
            z[r * kRow + i] = 0.07 * u + 0.013 * r + 0.29;
        }
    }
    int r = 0;
    for (auto _ : state) {
        const std::size_t at = static_cast<std::size_t>(r) * kRow;
        NoiseFunctionLayer::TurbulenceSumMany(*noise, type, x.data() + at, y.data() + at,
                                              z.data() + at, 1.0, 2.17, octaves, out.data(), kRow);
        benchmark::DoNotOptimize(out.data());
        r = (r + 1) % kRows;
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kRow));
    static const char* const kNames[] = {"VALUE",       "GRADIENT",   "VALGRAD",
                                         "CONVOLUTION", "SPARSECONV", "GRID"};
    state.SetLabel(kNames[state.range(0)]);
}
BENCHMARK(BM_NoiseRow)->ArgsProduct({{0, 1, 2, 3, 4, 5}, {1, 4}, {8, 1024}});

// A whole 1024 x 1024 layer: 4 octaves of turbulence of a gradient noise,
// displaced by a gradient coordinate noise, coloured.
void BM_TurbulenceLayer1024(benchmark::State& state) {
    NoiseFunctionLayer layer;
    layer.SetSize(1024, 1024);
    layer.SetScale({8.0f, 8.0f, 8.0f});
    layer.SetMainTurbulence(
        {TurbulenceType::Turbulence, RandomNumber(1.0f), RandomNumber(2.17f), 4});
    layer.SetCoordTurbulence({TurbulenceType::Noise, RandomNumber(0.3f), RandomNumber(2.17f), 4});
    std::vector<float> rgb(3 * 1024 * 1024), alpha(1024 * 1024);
    for (auto _ : state) {
        RenderContext context;
        context.rgb = rgb.data();
        context.alpha = alpha.data();
        layer.Render(context);
        benchmark::DoNotOptimize(rgb.data());
    }
    state.SetItemsProcessed(state.iterations() * 1024 * 1024);
}
BENCHMARK(BM_TurbulenceLayer1024)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillon

BENCHMARK_MAIN();
