// Bump mapping and tiling at 1024 x 1024: whole layers over a noise child,
// and the same over a plain child so that the layer's own work shows.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "engine/bump_map_layer.h"
#include "engine/noise_function_layer.h"
#include "engine/tiling_layer.h"

using namespace quillon;

namespace {

constexpr int kSize = 1024;

// A child of one colour: costs next to nothing to render.
std::unique_ptr<BaseLayer> PlainChild() {
    auto layer = std::make_unique<BaseLayer>();
    layer->GetColorMap().RemoveAllEntries();
    layer->GetColorMap().AddEntry(IndexedColor(0, Color(0.6, 0.4, 0.3)));
    layer->GetColorMap().AddEntry(IndexedColor(255, Color(0.6, 0.4, 0.3)));
    return layer;
}

std::unique_ptr<BaseLayer> Child(bool noise) {
    if (noise) return std::make_unique<NoiseFunctionLayer>();
    return PlainChild();
}

void Run(benchmark::State& state, BaseLayer& layer) {
    const std::size_t n = static_cast<std::size_t>(layer.Size());
    std::vector<float> rgb(3 * n, 0.0f), alpha(n, 1.0f);
    RandomGenerator::Instance().Seed(1);
    for (auto _ : state) {
        RenderContext context;
        context.rgb = rgb.data();
        context.alpha = alpha.data();
        benchmark::DoNotOptimize(layer.Render(context));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long long>(n));
}

}  // namespace

// Argument: 1 with a noise child, 0 with a plain one.
static void BM_BumpMapTwoLights1024(benchmark::State& state) {
    BumpMapLayer bump;
    bump.RemoveAll();
    bump.SetSize(kSize, kSize);
    bump.AddLast(Child(state.range(0) != 0));
    bump.SetBumpScale(4.0f);
    auto second = std::make_shared<BumpLightSrc>();
    second->finite = true;
    second->xPos = 200.0f;
    second->yPos = 300.0f;
    second->zPos = 150.0f;
    second->color[1] = 0.3f;
    bump.AddLight(second);
    Run(state, bump);
}
BENCHMARK(BM_BumpMapTwoLights1024)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// 8 x 8 = 64 bricks with edges of radius 3. Arguments: noise child or not,
// rounded edges or square.
static void BM_TilingBricks64Edges1024(benchmark::State& state) {
    TilingLayer tiling;
    tiling.RemoveAll();
    tiling.SetSize(kSize, kSize);
    tiling.AddLast(Child(state.range(0) != 0));
    tiling.SetBricksWide(8.0f);
    tiling.SetBricksHigh(8.0f);
    tiling.SetOffset(0.5f);
    tiling.SetEdgeRadius(3.0f);
    tiling.SetRoundedEdges(state.range(1) != 0);
    Run(state, tiling);
}
BENCHMARK(BM_TilingBricks64Edges1024)
    ->Args({1, 0})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Unit(benchmark::kMillisecond);

// Edge cost against the radius, up to the picture's size (plain child).
// Arguments: radius, rounded edges or square.
static void BM_TilingEdgeRadius1024(benchmark::State& state) {
    TilingLayer tiling;
    tiling.RemoveAll();
    tiling.SetSize(kSize, kSize);
    tiling.AddLast(PlainChild());
    tiling.SetBricksWide(8.0f);
    tiling.SetBricksHigh(8.0f);
    tiling.SetEdgeRadius(static_cast<float>(state.range(0)));
    tiling.SetRoundedEdges(state.range(1) != 0);
    Run(state, tiling);
}
BENCHMARK(BM_TilingEdgeRadius1024)
    ->ArgsProduct({{3, 16, 64, 1024}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

// 64 rocks with smoothing and edges. Argument: growth rate in percent.
static void BM_TilingRocks64_1024(benchmark::State& state) {
    TilingLayer tiling;
    tiling.RemoveAll();
    tiling.SetSize(kSize, kSize);
    tiling.AddLast(PlainChild());
    tiling.SetRegular(false);
    tiling.SetNumberOfRocks(64.0f);
    tiling.SetGrowth(static_cast<float>(state.range(0)) / 100.0f);
    tiling.SetEdgeRadius(3.0f);
    tiling.SetRoundedEdges(true);
    Run(state, tiling);
}
BENCHMARK(BM_TilingRocks64_1024)->Arg(100)->Arg(30)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
