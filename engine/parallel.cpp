#include "engine/parallel.h"

#include <tbb/blocked_range.h>
#include <tbb/global_control.h>
#include <tbb/info.h>
#include <tbb/parallel_for.h>

#include <memory>
#include <mutex>

namespace quillon {

namespace {

std::mutex g_controlMutex;
std::unique_ptr<tbb::global_control> g_control;
int g_maxThreads = 0;

}  // namespace

void SetMaxThreads(int threads) {
    std::lock_guard<std::mutex> hold(g_controlMutex);
    g_control.reset();
    g_maxThreads = threads > 0 ? threads : 0;
    if (g_maxThreads > 0) {
        g_control = std::make_unique<tbb::global_control>(
            tbb::global_control::max_allowed_parallelism, static_cast<std::size_t>(g_maxThreads));
    }
}

int MaxThreads() {
    std::lock_guard<std::mutex> hold(g_controlMutex);
    return g_maxThreads > 0 ? g_maxThreads : tbb::info::default_concurrency();
}

void ParallelFor(std::size_t count, std::size_t grain,
                 const std::function<void(std::size_t, std::size_t)>& body) {
    if (count == 0) return;
    if (grain == 0) grain = 1;
    if (count <= grain) {
        body(0, count);
        return;
    }
    tbb::parallel_for(tbb::blocked_range<std::size_t>(0, count, grain),
                      [&body](const tbb::blocked_range<std::size_t>& r) { body(r.begin(), r.end()); });
}

}  // namespace quillon
