// Reading and writing large pictures in every format, the median cut of a
// photo-like picture, and the conversion of a synthesis result for display.
#include <benchmark/benchmark.h>

#include <tbb/global_control.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "image/bmp_file.h"
#include "image/display_bitmap.h"
#include "image/jpeg_file.h"
#include "image/palette_reduction.h"
#include "image/png_file.h"

namespace quillon {
namespace {

// Smooth colour fields with fine grain, like a photograph: many distinct
// colours, none dominant.
ImageBuffer PhotoLike(int size) {
    ImageBuffer image;
    image.Allocate(size, size, 3, 24);
    std::uint32_t seed = 12345;
    for (int y = 0; y < size; ++y) {
        std::uint8_t* row = image.Row(y);
        for (int x = 0; x < size; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int grain = static_cast<int>(seed >> 28) - 8;
            const double u = x / double(size), v = y / double(size);
            const double r = 128 + 100 * std::sin(6.0 * u + 2.0 * std::cos(5.0 * v));
            const double g = 128 + 90 * std::cos(4.0 * v - 3.0 * u * u);
            const double b = 120 + 80 * std::sin(9.0 * (u + v)) * std::cos(3.0 * u);
            const double c[3] = {r, g, b};
            for (int k = 0; k < 3; ++k) {
                row[3 * x + k] = static_cast<std::uint8_t>(std::clamp(c[k] + grain, 0.0, 255.0));
            }
        }
    }
    return image;
}

const ImageBuffer& Picture4096() {
    static const ImageBuffer picture = PhotoLike(4096);
    return picture;
}

std::string TempPath(const char* name) {
    return (std::filesystem::temp_directory_path() /
            ("quillon-bench-" + std::to_string(::getpid()) + "-" + name))
        .string();
}

void BM_BmpWrite24(benchmark::State& state) {
    Picture4096();  // built before timing
    const std::string path = TempPath("w.bmp");
    for (auto _ : state) {
        if (!WriteBitmapFile(Picture4096(), {}, path).Ok()) state.SkipWithError("write failed");
    }
    std::filesystem::remove(path);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(Picture4096().Size()));
}

void BM_BmpRead24(benchmark::State& state) {
    const std::string path = TempPath("r.bmp");
    (void)WriteBitmapFile(Picture4096(), {}, path);
    for (auto _ : state) {
        BitmapReadResult result = ReadBitmapFile(path);
        if (!result.Ok()) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(result.image->Pixels());
    }
    std::filesystem::remove(path);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(Picture4096().Size()));
}

void BM_JpegWrite(benchmark::State& state) {
    const std::string path = TempPath("w.jpg");
    JpegWriter writer(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        if (!writer.Write(Picture4096(), path).Ok()) state.SkipWithError("write failed");
    }
    state.counters["file_MB"] = std::filesystem::file_size(path) / 1e6;
    std::filesystem::remove(path);
}

void BM_JpegRead(benchmark::State& state) {
    const std::string path = TempPath("r.jpg");
    (void)JpegWriter(75).Write(Picture4096(), path);
    JpegReader reader;
    for (auto _ : state) {
        PictureRead read = reader.Read(path);
        if (!read.Ok()) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(read.image.get());
    }
    std::filesystem::remove(path);
}

// A turbulence render through a black-to-white colour map: R = G = B.
const ImageBuffer& Grey4096() {
    static const ImageBuffer picture = [] {
        ImageBuffer grey = PhotoLike(4096);
        std::uint8_t* p = grey.Pixels();
        for (std::size_t i = 0; i < grey.Size(); i += 3) p[i + 1] = p[i + 2] = p[i];
        return grey;
    }();
    return picture;
}

// Arguments: compression level, threads, grey picture (1) or colour (0).
void BM_PngWrite(benchmark::State& state) {
    const ImageBuffer& picture = state.range(2) ? Grey4096() : Picture4096();
    const std::string path = TempPath("w.png");
    PngWriter writer(static_cast<int>(state.range(0)));
    tbb::global_control threads(tbb::global_control::max_allowed_parallelism,
                                static_cast<std::size_t>(state.range(1)));
    for (auto _ : state) {
        if (!writer.Write(picture, path).Ok()) state.SkipWithError("write failed");
    }
    state.counters["file_MB"] = std::filesystem::file_size(path) / 1e6;
    std::filesystem::remove(path);
}

void BM_PngRead(benchmark::State& state) {
    const std::string path = TempPath("r.png");
    (void)PngWriter().Write(Picture4096(), path);
    PngReader reader;
    for (auto _ : state) {
        PictureRead read = reader.Read(path);
        if (!read.Ok()) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(read.image.get());
    }
    std::filesystem::remove(path);
}

void BM_MedianCut2048(benchmark::State& state) {
    static const ImageBuffer picture = PhotoLike(2048);
    Palette palette;
    for (auto _ : state) {
        auto indexed = ReduceToPalette(picture, 256, palette);
        benchmark::DoNotOptimize(indexed.get());
    }
    state.counters["colours"] = static_cast<double>(palette.size());
}

// What a synthesis does after every composite.
void BM_FillFromFloats4096(benchmark::State& state) {
    std::vector<float> rgb(std::size_t{4096} * 4096 * 3);
    for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<float>(i % 1000) / 999.0f;
    DisplayBitmap dib;
    dib.Create(4096, 4096, 24);
    for (auto _ : state) {
        dib.FillFromFloats(rgb);
        benchmark::DoNotOptimize(dib.Data());
    }
}

BENCHMARK(BM_BmpWrite24)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BmpRead24)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_JpegWrite)->Arg(75)->Arg(95)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_JpegRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PngWrite)
    ->ArgsProduct({{1, 2, 6}, {1, 2}, {0, 1}})
    ->ArgNames({"level", "threads", "grey"})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(BM_PngRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MedianCut2048)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillFromFloats4096)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillon

BENCHMARK_MAIN();
