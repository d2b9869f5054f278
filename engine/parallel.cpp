#include "engine/parallel.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <tbb/blocked_range.h>
#include <tbb/global_control.h>
#include <tbb/info.h>
#include <tbb/parallel_for.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include "engine/render_context.h"

namespace quillon {

namespace {

// The thread sanitizer cannot see the hand-overs inside the (uninstrumented)
// TBB library and would report every loop body as a race. Its builds run the
// loops on the calling thread and check the threads the engine starts itself.
#if defined(__SANITIZE_THREAD__)
constexpr bool kSerialLoops = true;
#else
constexpr bool kSerialLoops = false;
#endif

std::mutex g_controlMutex;
std::unique_ptr<tbb::global_control> g_control;
int g_maxThreads = 0;
std::atomic<int> g_poolNiceness{0};

// A pool thread (not the loop's caller) takes the pool's niceness once.
void TakePoolNiceness(std::thread::id caller) {
    thread_local int own = 0;
    const int wanted = g_poolNiceness.load(std::memory_order_relaxed);
    if (own >= wanted || std::this_thread::get_id() == caller) return;
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), wanted);
    own = wanted;
}

}  // namespace

void SetPoolNiceness(int niceness) {
    g_poolNiceness.store(std::max(niceness, 0));
}

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
    if (count <= grain || kSerialLoops) {
        body(0, count);
        return;
    }
    const std::thread::id caller = std::this_thread::get_id();
    tbb::parallel_for(tbb::blocked_range<std::size_t>(0, count, grain),
                      [&body, caller](const tbb::blocked_range<std::size_t>& r) {
                          TakePoolNiceness(caller);
                          body(r.begin(), r.end());
                      });
}

bool ParallelCancellableFor(const RenderContext& context, std::size_t count, std::size_t grain,
                            const std::function<void(std::size_t, std::size_t)>& body) {
    if (grain == 0) grain = 1;
    std::atomic<bool> cancelled{false};
    ParallelFor(count, grain, [&](std::size_t b, std::size_t e) {
        for (std::size_t chunk = b; chunk < e; chunk += grain) {
            if (cancelled.load(std::memory_order_relaxed)) return;
            if (context.IsCancelled()) {
                cancelled.store(true, std::memory_order_relaxed);
                return;
            }
            body(chunk, std::min(e, chunk + grain));
        }
    });
    return !cancelled.load() && !context.IsCancelled();
}

bool ParallelProgressLoop(const RenderContext& context, std::size_t count, std::size_t grain,
                          const std::function<void(std::size_t, std::size_t)>& body) {
    if (grain == 0) grain = 1;
    const std::size_t step = count / 100;
    const std::size_t slice = step > 0 ? step : count;
    for (std::size_t start = 0; start < count; start += slice) {
        const std::size_t end = std::min(count, start + slice);
        if (context.IsCancelled()) return false;
        const bool finished = ParallelCancellableFor(
            context, end - start, grain,
            [&](std::size_t b, std::size_t e) { body(start + b, start + e); });
        if (!finished) return false;
        if (step > 0 && end - start == step) context.Post(Notification::ProgressStep);
    }
    return true;
}

}  // namespace quillon
