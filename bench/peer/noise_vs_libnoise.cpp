// Nanoseconds per noise sample, single thread: every Quillon basis at 1 and
// 4 octaves of turbulence, next to libnoise's Perlin module (standard
// quality) at the same octave counts. The points walk a row of pixels the
// way a layer does, so lattice cells repeat as they do in a real render.
#include <benchmark/benchmark.h>

#include <noise.h>

#include <cmath>
#include <vector>

#include "engine/noise/noise3d.h"
#include "engine/noise_function_layer.h"
#include "engine/parallel.h"

namespace quillon {
namespace {

constexpr std::size_t kRow = 1024;
constexpr const char* kNames[] = {"VALUE",       "GRADIENT",   "VALGRAD",
                                  "CONVOLUTION", "SPARSECONV", "GRID"};

// A row of kRow points of a slightly rotated plane, 8 lattice cells across.
struct Row {
    std::vector<double> x, y, z;
    explicit Row(int rowIndex) : x(kRow), y(kRow), z(kRow) {
        for (std::size_t i = 0; i < kRow; ++i) {
            const double u = 8.0 * static_cast<double>(i) / kRow;
            x[i] = u + 0.37;
            y[i] = 0.11 * u + 0.05 * rowIndex + 0.71;
            z[i] = 0.07 * u + 0.013 * rowIndex + 0.29;
        }
    }
};

const std::vector<Row>& Rows() {
    static const std::vector<Row> rows = [] {
        std::vector<Row> r;
        for (int i = 0; i < 64; ++i) r.emplace_back(i);
        return r;
    }();
    return rows;
}

// What a noise layer does per pixel: the turbulence sum over a row.
void BM_Quillon(benchmark::State& state) {
    SetMaxThreads(1);
    const auto kind = static_cast<NoiseFunction>(state.range(0));
    const int octaves = static_cast<int>(state.range(1));
    const auto noise = MakeNoise(kind);
    const TurbulenceType type = octaves == 1 ? TurbulenceType::Noise : TurbulenceType::Turbulence;
    const std::vector<Row>& rows = Rows();
    std::vector<double> out(kRow);
    std::size_t rowIndex = 0;
    for (auto _ : state) {
        const Row& row = rows[rowIndex++ % rows.size()];
        NoiseFunctionLayer::TurbulenceSumMany(*noise, type, row.x.data(), row.y.data(),
                                              row.z.data(), 1.0, 2.17, octaves, out.data(), kRow);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kRow));
    state.SetLabel(kNames[state.range(0)]);
    SetMaxThreads(0);
}
BENCHMARK(BM_Quillon)->ArgsProduct({{0, 1, 2, 3, 4, 5}, {1, 4}});

// High-frequency noise: every point of the row in a new lattice cell.
void BM_QuillonDense(benchmark::State& state) {
    const auto noise = MakeNoise(static_cast<NoiseFunction>(state.range(0)));
    const int octaves = static_cast<int>(state.range(1));
    const TurbulenceType type = octaves == 1 ? TurbulenceType::Noise : TurbulenceType::Turbulence;
    std::vector<double> x(kRow), y(kRow), z(kRow), out(kRow);
    for (std::size_t i = 0; i < kRow; ++i) {
        x[i] = 0.37 + 1.13 * static_cast<double>(i);
        y[i] = 0.71 + 0.29 * static_cast<double>(i);
        z[i] = 0.29;
    }
    for (auto _ : state) {
        NoiseFunctionLayer::TurbulenceSumMany(*noise, type, x.data(), y.data(), z.data(), 1.0, 2.17,
                                              octaves, out.data(), kRow);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kRow));
    state.SetLabel(kNames[state.range(0)]);
}
BENCHMARK(BM_QuillonDense)->ArgsProduct({{1}, {1, 4}});

// The same through the one-point call (what a caller outside a layer pays).
void BM_QuillonOnePoint(benchmark::State& state) {
    const auto kind = static_cast<NoiseFunction>(state.range(0));
    const int octaves = static_cast<int>(state.range(1));
    const auto noise = MakeNoise(kind);
    const TurbulenceType type = octaves == 1 ? TurbulenceType::Noise : TurbulenceType::Turbulence;
    const std::vector<Row>& rows = Rows();
    std::size_t rowIndex = 0;
    for (auto _ : state) {
        const Row& row = rows[rowIndex++ % rows.size()];
        double sum = 0.0;
        for (std::size_t i = 0; i < kRow; ++i) {
            sum += NoiseFunctionLayer::TurbulenceSum(*noise, type, row.x[i], row.y[i], row.z[i],
                                                     1.0, 2.17, octaves);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kRow));
    state.SetLabel(kNames[state.range(0)]);
}
BENCHMARK(BM_QuillonOnePoint)->ArgsProduct({{1}, {1, 4}});

void BM_LibnoisePerlin(benchmark::State& state) {
    noise::module::Perlin perlin;
    perlin.SetNoiseQuality(noise::QUALITY_STD);
    perlin.SetOctaveCount(static_cast<int>(state.range(0)));
    const std::vector<Row>& rows = Rows();
    std::size_t rowIndex = 0;
    for (auto _ : state) {
        const Row& row = rows[rowIndex++ % rows.size()];
        double sum = 0.0;
        for (std::size_t i = 0; i < kRow; ++i) sum += perlin.GetValue(row.x[i], row.y[i], row.z[i]);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kRow));
    state.SetLabel("PERLIN");
}
BENCHMARK(BM_LibnoisePerlin)->Arg(1)->Arg(4);

}  // namespace
}  // namespace quillon

BENCHMARK_MAIN();
