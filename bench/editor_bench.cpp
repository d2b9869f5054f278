// The editor's preview window against the command line, and how it keeps
// the user-interface thread free:
//   Synthesis/<example>   Synthesize to SynthesisDone at 1024 x 1024, in
//                         the preview window and in quillon-render's path
//   UiStall/<example>     the longest gap between two turns of the event
//                         loop (a 1 ms timer) while a 4096 x 4096 texture renders and grows
//                         on screen (counters: stall_ms, gaps_over_30ms, busy_ms =
//                         the most CPU time the thread itself spent in one turn,
//                         frames, conversions, open_ms = opening the window and
//                         starting the render; EDITOR_BENCH_GAPS=1 prints long gaps)
//   UiStall/idle          the same for 10 s with nothing rendering (the load)
//   Cancel/<example>      Cancel to the worker's end at 4096 x 4096
// Runs offscreen unless QT_QPA_PLATFORM says otherwise (xcb under Xvfb
// paints through a real X server).
#include <benchmark/benchmark.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>

#include "cli/render_run.h"
#include "editor/preview_window.h"
#include "engine/parallel.h"
#include "engine/random.h"
#include "engine/synthesis_job.h"
#include "engine/texture_map.h"
#include "format/texture_files.h"

namespace quillon {
namespace {

const char* const kExamples[] = {"clouds",       "marble",    "granite",      "brick_wall",
                                 "cobblestones", "embossed",  "leopard",      "zebra",
                                 "wood_grain",   "starfield", "seamless_tile"};

// CPU time of the calling thread: what the user-interface thread itself
// spent between two turns of its loop, whatever the scheduler did.
double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) * 1e-6;
}

std::unique_ptr<TextureMap> LoadExample(const std::string& name, int size) {
    RandomGenerator::Instance().Seed(1);
    auto texture = std::make_unique<TextureMap>();
    const std::string path = std::string(QUILLON_SOURCE_DIR "/examples/") + name + ".qln";
    if (LoadDocument(path, *texture) != LoadStatus::Ok) return nullptr;
    texture->SetSize(size, size);
    return texture;
}

// Opens a preview as the view does and starts it; null when it cannot.
QPointer<PreviewWindow> OpenPreview(TextureMap& texture) {
    QPointer<PreviewWindow> window = new PreviewWindow(nullptr, false, false);
    if (!window->Create(texture.Width(), texture.Height(), PreviewMode::kPreview, 24)) {
        delete window;
        return nullptr;
    }
    window->PlaceForImage();
    window->StartSynthesis(&texture);
    return window;
}

void Close(QPointer<PreviewWindow>& window) {
    if (window) window->Cancel();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void BM_EditorSynthesis(benchmark::State& state, std::string name) {
    for (auto _ : state) {
        auto texture = LoadExample(name, 1024);
        if (!texture) return state.SkipWithError("example missing");
        QEventLoop loop;
        QElapsedTimer clock;
        clock.start();
        auto window = OpenPreview(*texture);
        if (!window) return state.SkipWithError("no preview");
        QObject::connect(window, &PreviewWindow::SynthesisCompleted, &loop, &QEventLoop::quit);
        loop.exec();
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) * 1e-9);
        Close(window);
    }
}

void BM_CommandLineSynthesis(benchmark::State& state, std::string name) {
    for (auto _ : state) {
        auto texture = LoadExample(name, 1024);
        if (!texture) return state.SkipWithError("example missing");
        DisplayBitmap picture;
        std::string error;
        QElapsedTimer clock;
        clock.start();
        if (RenderTexture(*texture, RenderRequest{}, picture, error) != 0) {
            return state.SkipWithError(error.c_str());
        }
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) * 1e-9);
    }
}

void BM_UiStall(benchmark::State& state, std::string name) {
    double worst = 0.0;
    unsigned conversions = 0;
    int frames = 0;
    int over30 = 0;  // a loaded machine deschedules the thread now and then
    double busiest = 0.0;
    double openMs = 0.0;  // the opening of the window blocks the loop too
    for (auto _ : state) {
        auto texture = LoadExample(name, 4096);
        if (!texture) return state.SkipWithError("example missing");
        QEventLoop loop;
        QElapsedTimer clock;
        QElapsedTimer opening;
        opening.start();
        auto window = OpenPreview(*texture);
        if (!window) return state.SkipWithError("no 4096 x 4096 preview");
        openMs = std::max(openMs, static_cast<double>(opening.nsecsElapsed()) * 1e-6);
        QObject::connect(window, &PreviewWindow::SynthesisCompleted, &loop, &QEventLoop::quit);
        // A 1 ms timer fires at every turn of a free loop: the longest gap
        // between two runs is the longest the user waited for an answer.
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        tick.setInterval(1);
        qint64 last = 0;
        double longest = 0.0;
        double lastCpu = ThreadCpuMs();
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const double cpu = ThreadCpuMs();
            busiest = std::max(busiest, cpu - lastCpu);
            lastCpu = cpu;
            const qint64 now = clock.nsecsElapsed();
            const double gap = static_cast<double>(now - last) * 1e-6;
            if (gap > 30.0) {
                ++over30;
                if (qEnvironmentVariableIsSet("EDITOR_BENCH_GAPS")) {
                    std::fprintf(stderr, "gap %.1f ms at %.1f ms\n", gap,
                                 static_cast<double>(now) * 1e-6);
                }
            }
            longest = std::max(longest, gap);
            last = now;
        });
        clock.start();
        tick.start();
        loop.exec();
        tick.stop();
        worst = std::max(worst, longest);
        conversions = window->Frames().Conversions();
        frames = static_cast<int>(window->Frames().Serial());
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) * 1e-9);
        Close(window);
    }
    state.counters["stall_ms"] = worst;
    state.counters["conversions"] = conversions;
    state.counters["frames"] = frames;
    state.counters["gaps_over_30ms"] = over30;
    state.counters["busy_ms"] = busiest;
    state.counters["open_ms"] = openMs;
}

// The same measure with nothing rendering: what the machine's load alone
// does to the event loop, to read the figures above against.
void BM_UiStallIdle(benchmark::State& state) {
    double longest = 0.0;
    int over30 = 0;
    for (auto _ : state) {
        QEventLoop loop;
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        QElapsedTimer clock;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        tick.setInterval(1);
        qint64 last = 0;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            const double gap = static_cast<double>(now - last) * 1e-6;
            if (gap > 30.0) ++over30;
            longest = std::max(longest, gap);
            last = now;
        });
        clock.start();
        tick.start();
        loop.exec();
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) * 1e-9);
    }
    state.counters["stall_ms"] = longest;
    state.counters["gaps_over_30ms"] = over30;
}

void BM_Cancel(benchmark::State& state, std::string name) {
    double worst = 0.0;
    for (auto _ : state) {
        auto texture = LoadExample(name, 4096);
        if (!texture) return state.SkipWithError("example missing");
        auto window = OpenPreview(*texture);
        if (!window) return state.SkipWithError("no 4096 x 4096 preview");
        // Well into the rendering of a layer.
        QEventLoop loop;
        QTimer::singleShot(400, &loop, &QEventLoop::quit);
        loop.exec();
        if (!window->IsRendering()) return state.SkipWithError("finished before the cancel");
        QElapsedTimer clock;
        clock.start();
        window->Cancel();
        const double seconds = static_cast<double>(clock.nsecsElapsed()) * 1e-9;
        state.SetIterationTime(seconds);
        worst = std::max(worst, seconds * 1e3);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    state.counters["worst_ms"] = worst;
}

void RegisterAll() {
    for (const char* name : kExamples) {
        benchmark::RegisterBenchmark((std::string("Synthesis/editor/") + name).c_str(),
                                     BM_EditorSynthesis, std::string(name))
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(2);
        benchmark::RegisterBenchmark((std::string("Synthesis/quillon-render/") + name).c_str(),
                                     BM_CommandLineSynthesis, std::string(name))
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(2);
    }
    benchmark::RegisterBenchmark("UiStall/idle", BM_UiStallIdle)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
    for (const char* name : {"clouds", "granite", "brick_wall", "embossed", "leopard"}) {
        benchmark::RegisterBenchmark((std::string("UiStall/") + name).c_str(), BM_UiStall,
                                     std::string(name))
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
        benchmark::RegisterBenchmark((std::string("Cancel/") + name).c_str(), BM_Cancel,
                                     std::string(name))
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(3);
    }
}

}  // namespace
}  // namespace quillon

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // As the programs do; EDITOR_BENCH_POOL_NORMAL=1 measures without it.
    if (!qEnvironmentVariableIsSet("EDITOR_BENCH_POOL_NORMAL")) {
        quillon::SetPoolNiceness(quillon::kWorkerNiceness);
    }
    benchmark::Initialize(&argc, argv);
    quillon::RegisterAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
