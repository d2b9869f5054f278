// Lumadrift's display loop measured in-process, offscreen:
//   lumadrift_bench timing [examples folder] [quillon-render]
//     the time from the start of a picture to its SynthesisDone for each
//     example in EXPAND at 1920 x 1080, beside quillon-render --size 1920x1080
//     run at the worker's niceness;
//   lumadrift_bench photo [runs]
//     the time from the pick of a 3000 x 2000 JPEG photo to its display at
//     1920 x 1080, through whichever image effect each run draws;
//   lumadrift_bench exit [examples folder]
//     how long closing the window takes while each example renders in
//     EXPAND at 1920 x 1080 (the worker is cancelled and joined);
//   lumadrift_bench memory [examples folder] [pictures]
//     resident memory while the window shows pictures (the examples and two
//     photos through the image effects) with a 1-second delay.
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/error_reporter.h"
#include "engine/parallel.h"
#include "engine/random.h"
#include "engine/synthesis_job.h"
#include "format/texture_files.h"
#include "image/display_bitmap.h"
#include "image/picture_file.h"
#include "saver/draw_window.h"

namespace fs = std::filesystem;
using namespace quillon;

namespace {

// CPU time of the calling (user-interface) thread: its share of a picture.
double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) * 1e-6;
}

long ResidentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return -1;
}

std::vector<fs::path> Examples(const fs::path& folder) {
    std::vector<fs::path> list;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == ".qln") list.push_back(entry.path());
    }
    std::sort(list.begin(), list.end());
    return list;
}

// Waits for n PictureShown signals; false after the timeout.
bool WaitForPictures(DrawWindow& window, int n, int timeoutMs,
                     const std::function<void(int)>& each) {
    int shown = 0;
    QEventLoop loop;
    QObject::connect(&window, &DrawWindow::PictureShown, &loop, [&] {
        ++shown;
        if (each) each(shown);
        if (shown >= n) loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return shown >= n;
}

bool ExpandedCopy(const fs::path& example, const QTemporaryDir& folder);

int Timing(const fs::path& examples, const QString& renderer) {
    std::printf("%-26s %12s %14s %8s %10s\n", "example (1920 x 1080)", "saver ms", "render ms",
                "ratio", "ui cpu ms");
    double saverTotal = 0, renderTotal = 0, uiTotal = 0;
    for (const fs::path& example : Examples(examples)) {
        QTemporaryDir dir;
        if (!ExpandedCopy(example, dir)) continue;

        SaverSettings settings;
        settings.path = dir.path();
        settings.recurse = 1;
        settings.delay = 180;
        RandomGenerator::Instance().Seed(1);
        DrawWindow window(settings, false);
        window.resize(1920, 1080);
        window.show();  // painted, as on a screen
        QElapsedTimer clock;
        clock.start();
        const double uiStart = ThreadCpuMs();
        window.Start();
        if (!WaitForPictures(window, 1, 600000, {})) continue;
        const double saverMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        const double uiMs = ThreadCpuMs() - uiStart;

        // The worker runs at niceness +5; so does the renderer here.
        clock.restart();
        const int code = QProcess::execute(
            "nice", {"-n", "5", renderer, "--seed", "1", "--size", "1920x1080", "--quiet",
                     QString::fromStdString(example.string()), "-o", dir.filePath("out.bmp")});
        const double renderMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        if (code != 0) continue;
        saverTotal += saverMs;
        renderTotal += renderMs;
        uiTotal += uiMs;
        std::printf("%-26s %12.0f %14.0f %8.3f %10.1f\n", example.filename().string().c_str(),
                    saverMs, renderMs, saverMs / renderMs, uiMs);
        std::fflush(stdout);
    }
    std::printf("%-26s %12.0f %14.0f %8.3f %10.1f\n", "total", saverTotal, renderTotal,
                renderTotal > 0 ? saverTotal / renderTotal : 0.0, uiTotal);
    return 0;
}

// Copies an example into folder with the EXPAND flag; false when it does not load.
bool ExpandedCopy(const fs::path& example, const QTemporaryDir& folder) {
    std::unique_ptr<TextureMap> texture;
    if (LoadTextureDocument(example, texture) != LoadStatus::Ok) return false;
    texture->SetScreenSaverType(kScreenSaverExpand);
    return SaveDocument(fs::path(folder.path().toStdString()) / example.filename(), *texture);
}

int Exit(const fs::path& examples) {
    std::printf("%-26s %16s\n", "example (1920 x 1080)", "close ms");
    double worst = 0;
    for (const fs::path& example : Examples(examples)) {
        QTemporaryDir dir;
        if (!ExpandedCopy(example, dir)) continue;
        SaverSettings settings;
        settings.path = dir.path();
        settings.recurse = 1;
        auto* window = new DrawWindow(settings, false);
        window->resize(1920, 1080);
        window->Start();
        QElapsedTimer wait;
        wait.start();
        while (!window->WorkerRunning() && wait.elapsed() < 60000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        // Well into the rendering, then the input that ends the run.
        QEventLoop settle;
        QTimer::singleShot(700, &settle, &QEventLoop::quit);
        settle.exec();
        const bool running = window->WorkerRunning();
        QElapsedTimer clock;
        clock.start();
        delete window;
        const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        worst = std::max(worst, ms);
        std::printf("%-26s %16.1f%s\n", example.filename().string().c_str(), ms,
                    running ? "" : "  (finished before the close)");
        std::fflush(stdout);
    }
    std::printf("%-26s %16.1f\n", "worst", worst);
    return 0;
}

int Photo(int runs) {
    QTemporaryDir dir;
    DisplayBitmap photo;
    photo.Create(3000, 2000, 24);
    for (int y = 0; y < photo.Height(); ++y) {
        std::uint8_t* row = photo.BitmapRow(y);
        for (int x = 0; x < 3 * photo.Width(); ++x) {
            row[x] = static_cast<std::uint8_t>((x / 3 + 2 * y + (x % 3) * 85) & 0xff);
        }
    }
    const std::string path = dir.filePath("photo.jpg").toStdString();
    if (!SavePicture(photo, path, SaveFormat::Jpeg, 90).Ok()) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    std::vector<double> times;
    std::printf("%6s %12s %10s\n", "run", "shown ms", "ui cpu ms");
    for (int run = 0; run < runs; ++run) {
        SaverSettings settings;
        settings.path = dir.path();
        settings.recurse = 1;
        settings.delay = 180;
        RandomGenerator::Instance().Seed(run + 1);
        DrawWindow window(settings, false);
        window.resize(1920, 1080);
        window.show();
        QElapsedTimer clock;
        clock.start();
        const double uiStart = ThreadCpuMs();
        window.Start();
        if (!WaitForPictures(window, 1, 600000, {})) continue;
        times.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        std::printf("%6d %12.0f %10.1f\n", run + 1, times.back(), ThreadCpuMs() - uiStart);
        std::fflush(stdout);
    }
    std::sort(times.begin(), times.end());
    if (!times.empty()) std::printf("%6s %12.0f\n", "median", times[times.size() / 2]);
    return 0;
}

int Memory(const fs::path& examples, int pictures) {
    QTemporaryDir dir;
    for (const fs::path& example : Examples(examples)) {
        fs::copy_file(example, fs::path(dir.path().toStdString()) / example.filename());
    }
    // Two photos, so that the image effects are in the loop too.
    for (int k = 0; k < 2; ++k) {
        DisplayBitmap photo;
        photo.Create(1600 - 400 * k, 1200, 24);
        for (int y = 0; y < photo.Height(); ++y) {
            std::uint8_t* row = photo.BitmapRow(y);
            for (int x = 0; x < 3 * photo.Width(); ++x) row[x] = static_cast<std::uint8_t>(x ^ y);
        }
        const std::string path = dir.filePath(QString("photo%1.jpg").arg(k)).toStdString();
        if (!SavePicture(photo, path, SaveFormat::Jpeg, 85).Ok()) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    SaverSettings settings;
    settings.path = dir.path();
    settings.recurse = 1;
    settings.delay = 1;
    RandomGenerator::Instance().Seed(1);
    DrawWindow window(settings, false);
    window.resize(1280, 720);
    std::printf("%8s %12s\n", "picture", "VmRSS kB");
    window.Start();
    QElapsedTimer clock;
    clock.start();
    const bool done = WaitForPictures(window, pictures, 3600000, [](int n) {
        if (n == 1 || n % 20 == 0) {
            std::printf("%8d %12ld\n", n, ResidentKilobytes());
            std::fflush(stdout);
        }
    });
    std::printf("%s after %.0f s\n", done ? "done" : "timed out",
                static_cast<double>(clock.elapsed()) / 1000.0);
    return done ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());  // the default weights, not the user's
    QApplication app(argc, argv);
    quillon::SetPoolNiceness(quillon::kWorkerNiceness);  // as the programs do
    CapturingErrorReporter quiet;
    ScopedErrorReporter scoped(quiet);
    const std::string mode = argc > 1 ? argv[1] : "timing";
    const fs::path examples = argc > 2 ? argv[2] : QUILLON_SOURCE_DIR "/examples";
    if (mode == "exit") return Exit(examples);
    if (mode == "photo") return Photo(argc > 2 ? std::atoi(argv[2]) : 8);
    if (mode == "memory") return Memory(examples, argc > 3 ? std::atoi(argv[3]) : 200);
    const QString renderer =
        argc > 3 ? QString(argv[3]) : QCoreApplication::applicationDirPath() + "/quillon-render";
    return Timing(examples, renderer);
}
