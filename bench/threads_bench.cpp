// Wall time at one thread and at all threads, measured alternately in one
// process: a reaction-diffusion step, and the synthesis (no picture file)
// of the examples that exercise noise, bump mapping, reaction-diffusion and
// tiling at 1024 x 1024. Rates use wall time, so they count every thread.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/parallel.h"
#include "engine/random.h"
#include "engine/reaction_diffusion_layer.h"
#include "engine/synthesis_job.h"
#include "engine/texture_map.h"
#include "format/texture_files.h"

namespace quillon {
namespace {

// range(1): 0 for all threads, else that many.
void BM_ReactionDiffusionStep(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    SetMaxThreads(static_cast<int>(state.range(1)));
    const std::size_t n = static_cast<std::size_t>(side) * static_cast<std::size_t>(side);
    std::vector<float> a(n), b(n), na(n), nb(n);
    RandomGenerator::Instance().Seed(2);
    RandomGenerator::Instance().FillUniform(a.data(), n, 0.0, 12.0);
    RandomGenerator::Instance().FillUniform(b.data(), n, 0.0, 12.0);
    const Stencil sa = ReactionDiffusionLayer::BuildStencil(1.0f, 2.0f, 0.5, 0.0);
    const Stencil sb = ReactionDiffusionLayer::BuildStencil(16.0f, 16.0f, 0.0, 0.0);
    for (auto _ : state) {
        ReactionDiffusionLayer::StepGrid(a.data(), b.data(), na.data(), nb.data(), side, side, sa, sb, 0.01f);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long long>(n));
    SetMaxThreads(0);
}
BENCHMARK(BM_ReactionDiffusionStep)->ArgsProduct({{256, 1024}, {1, 0}})->UseRealTime();

const char* const kDocuments[] = {"clouds", "embossed", "leopard", "brick_wall"};

void BM_Synthesis1024(benchmark::State& state) {
    const std::string name = kDocuments[state.range(0)];
    SetMaxThreads(static_cast<int>(state.range(1)));
    TextureMap texture;
    const auto path = std::filesystem::path(__FILE__).parent_path().parent_path() / "examples" / (name + ".qln");
    if (LoadDocument(path, texture) != LoadStatus::Ok) {
        state.SkipWithError(("cannot read " + path.string()).c_str());
        return;
    }
    // The texture scaled to fill 1024 x 1024, as quillon-render --size does.
    const float xScale = 1024.0f / static_cast<float>(texture.Width());
    const float yScale = 1024.0f / static_cast<float>(texture.Height());
    texture.SetSize(1024, 1024);
    std::vector<float> rgb(3 * 1024 * 1024), alpha(1024 * 1024);
    for (auto _ : state) {
        RandomGenerator::Instance().Seed(1);
        std::fill(rgb.begin(), rgb.end(), 0.0f);
        std::fill(alpha.begin(), alpha.end(), 1.0f);
        SynthesisJob job;
        job.texture = &texture;
        job.rgb = rgb.data();
        job.alpha = alpha.data();
        job.xScale = xScale;
        job.yScale = yScale;
        job.scale = xScale < yScale ? xScale : yScale;
        benchmark::DoNotOptimize(job.RunHere());
    }
    state.SetLabel(name);
    SetMaxThreads(0);
}
BENCHMARK(BM_Synthesis1024)->ArgsProduct({{0, 1, 2, 3}, {1, 0}})->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillon

BENCHMARK_MAIN();
