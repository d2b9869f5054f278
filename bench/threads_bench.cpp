// Wall time at one thread and at all threads, measured alternately in one
// process: a reaction-diffusion step, and the synthesis (no picture file)
// of the examples that exercise noise, bump mapping, reaction-diffusion and
// tiling at 1024 x 1024. Rates use wall time, so they count every thread.
// The syntheses also report CPU milliseconds per run: of the whole process
// and of the calling thread. On a busy machine these say more than the
// wall time: with two threads the caller's share falls towards one half
// as far as the work divides.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "engine/parallel.h"
#include "engine/random.h"
#include "engine/reaction_diffusion_layer.h"
#include "engine/synthesis_job.h"
#include "engine/texture_map.h"
#include "format/texture_files.h"

namespace quillon {
namespace {

double CpuMilliseconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

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
        ReactionDiffusionLayer::StepGrid(a.data(), b.data(), na.data(), nb.data(), side, side, sa,
                                         sb, 0.01f);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long long>(n));
    SetMaxThreads(0);
}
BENCHMARK(BM_ReactionDiffusionStep)->ArgsProduct({{256, 1024}, {1, 0}})->UseRealTime();

const char* const kDocuments[] = {"clouds", "embossed", "leopard", "brick_wall"};

// An example scaled to fill side x side, as quillon-render --size does,
// with the buffers of a synthesis.
struct Scene {
    TextureMap texture;
    float xScale = 1.0f, yScale = 1.0f;
    std::vector<float> rgb, alpha;

    bool Load(const std::string& name, int side) {
        // Found wherever the program is started from.
        const auto path = std::filesystem::path(QUILLON_SOURCE_DIR) / "examples" / (name + ".qln");
        if (LoadDocument(path, texture) != LoadStatus::Ok) return false;
        xScale = static_cast<float>(side) / static_cast<float>(texture.Width());
        yScale = static_cast<float>(side) / static_cast<float>(texture.Height());
        texture.SetSize(side, side);
        rgb.resize(3 * static_cast<std::size_t>(side) * side);
        alpha.resize(static_cast<std::size_t>(side) * side);
        return true;
    }
    void Prepare(SynthesisJob& job) {
        RandomGenerator::Instance().Seed(1);
        std::fill(rgb.begin(), rgb.end(), 0.0f);
        std::fill(alpha.begin(), alpha.end(), 1.0f);
        job.texture = &texture;
        job.rgb = rgb.data();
        job.alpha = alpha.data();
        job.xScale = xScale;
        job.yScale = yScale;
        job.scale = xScale < yScale ? xScale : yScale;
    }
};

void BM_Synthesis1024(benchmark::State& state) {
    const std::string name = kDocuments[state.range(0)];
    SetMaxThreads(static_cast<int>(state.range(1)));
    Scene scene;
    if (!scene.Load(name, 1024)) {
        state.SkipWithError(("cannot read " + name).c_str());
        return;
    }
    double process = 0.0, caller = 0.0;
    for (auto _ : state) {
        SynthesisJob job;
        scene.Prepare(job);
        const double process0 = CpuMilliseconds(CLOCK_PROCESS_CPUTIME_ID);
        const double caller0 = CpuMilliseconds(CLOCK_THREAD_CPUTIME_ID);
        benchmark::DoNotOptimize(job.RunHere());
        caller += CpuMilliseconds(CLOCK_THREAD_CPUTIME_ID) - caller0;
        process += CpuMilliseconds(CLOCK_PROCESS_CPUTIME_ID) - process0;
    }
    state.counters["cpu_ms"] = benchmark::Counter(process, benchmark::Counter::kAvgIterations);
    state.counters["caller_ms"] = benchmark::Counter(caller, benchmark::Counter::kAvgIterations);
    state.SetLabel(name);
    SetMaxThreads(0);
}
BENCHMARK(BM_Synthesis1024)
    ->ArgsProduct({{0, 1, 2, 3}, {1, 0}})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// How long a cancel takes to stop a synthesis on its worker, set at each
// tenth of a full rendering of the example at 2048 x 2048: the longest and
// the mean wait, in milliseconds.
void BM_CancelLatency(benchmark::State& state) {
    const std::string name = kDocuments[state.range(0)];
    Scene scene;
    if (!scene.Load(name, 2048)) {
        state.SkipWithError(("cannot read " + name).c_str());
        return;
    }
    using Clock = std::chrono::steady_clock;
    SynthesisJob full;
    scene.Prepare(full);
    const auto start = Clock::now();
    full.RunHere();
    const auto whole = Clock::now() - start;
    double longest = 0.0, sum = 0.0;
    int count = 0;
    for (auto _ : state) {
        for (int k = 1; k < 10; ++k) {
            SynthesisJob job;
            scene.Prepare(job);
            job.Start();
            std::this_thread::sleep_for(whole * k / 10);
            const auto set = Clock::now();
            job.Cancel();
            const double ms = std::chrono::duration<double, std::milli>(Clock::now() - set).count();
            longest = std::max(longest, ms);
            sum += ms;
            ++count;
        }
    }
    state.counters["longest_ms"] = longest;
    state.counters["mean_ms"] = count > 0 ? sum / count : 0.0;
    state.SetLabel(name);
}
BENCHMARK(BM_CancelLatency)->DenseRange(0, 3)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillon

BENCHMARK_MAIN();
