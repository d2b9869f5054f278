// quillon-render: renders texture documents to picture files.
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "cli/render_options.h"
#include "cli/render_run.h"

namespace {

std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

// The first Ctrl-C lets the run cancel the synthesis and finish a file it is
// writing; a second one ends the program at once.
extern "C" void OnSignal(int signal) {
    g_interrupted.store(true);
    std::signal(signal, SIG_DFL);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace quillon;
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    RenderOptions options;
    std::string error;
    if (!ParseRenderOptions(args, options, error)) {
        std::fprintf(stderr,
                     "quillon-render: %s\nTry 'quillon-render --help' for more information.\n",
                     error.c_str());
        return kExitUsage;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    // A closed terminal stops the run the same way, unless run under nohup.
    if (std::signal(SIGHUP, OnSignal) == SIG_IGN) std::signal(SIGHUP, SIG_IGN);

    RunIo io;
    io.progress = !options.quiet && options.mode == RunMode::Render && isatty(STDERR_FILENO);
    io.interrupted = &g_interrupted;
    try {
        return RunRenderCommand(options, io);
    } catch (const std::bad_alloc&) {
        // The run catches what it can name; this keeps any other place
        // from ending in an abort.
        std::fputs("quillon-render: not enough memory\n", stderr);
        return kExitRenderError;
    }
}
