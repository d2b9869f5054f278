// The wallpaper's share of Generate Desktop and of the screen saver's
// Replace Desktop: building a screen-sized tile picture and writing the file
// at 24 bits and at 256 colours (the palette reduction dominates).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "image/display_bitmap.h"
#include "wallpaper/wallpaper_files.h"

namespace {

constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;

// A smooth, colourful tile, as a texture looks.
std::vector<float> Tile(int w, int h) {
    std::vector<float> rgb;
    rgb.reserve(static_cast<std::size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            rgb.insert(rgb.end(),
                       {0.5f + 0.5f * std::sin(x * 0.05f), 0.5f + 0.5f * std::cos(y * 0.07f),
                        0.5f + 0.5f * std::sin((x + y) * 0.03f)});
    return rgb;
}

void BM_TilePicture(benchmark::State& state) {
    const bool mirror = state.range(0) != 0;
    const std::vector<float> tile = Tile(256, 256);
    quillon::DisplayBitmap out;
    for (auto _ : state) {
        quillon::BuildTilePicture(tile, 256, 256, kScreenWidth, kScreenHeight, mirror, mirror, out);
        benchmark::DoNotOptimize(out.Data());
    }
    state.SetItemsProcessed(state.iterations() * kScreenWidth * kScreenHeight);
}
BENCHMARK(BM_TilePicture)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_WriteWallpaper(benchmark::State& state) {
    const int depth = static_cast<int>(state.range(0));
    const std::vector<float> tile = Tile(kScreenWidth, kScreenHeight);
    quillon::DisplayBitmap picture;
    picture.Create(kScreenWidth, kScreenHeight, 24);
    picture.FillFromFloats(tile);
    const std::string path = "/tmp/quillon_wallpaper_bench.bmp";
    for (auto _ : state) {
        if (!quillon::WriteWallpaperBitmap(picture, depth, path))
            state.SkipWithError("write failed");
    }
    std::remove(path.c_str());
}
BENCHMARK(BM_WriteWallpaper)->Arg(24)->Arg(8)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
