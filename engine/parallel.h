#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>

namespace quillon {

struct RenderContext;

// Runs body(begin, end) over sub-ranges covering [0, count) on the worker
// pool. Every element must be computed independently of how the range is
// split, so that a picture comes out the same at any thread count.
// Pixels per task for cheap per-pixel loops.
inline constexpr std::size_t kPixelGrain = 16384;

void ParallelFor(std::size_t count, std::size_t grain,
                 const std::function<void(std::size_t begin, std::size_t end)>& body);

// ParallelFor that polls the cancel event every `grain` items and stops
// handing out work once it is set. Returns false when cancelled, in which
// case an unknown part of the range was left undone.
bool ParallelCancellableFor(const RenderContext& context, std::size_t count, std::size_t grain,
                            const std::function<void(std::size_t begin, std::size_t end)>& body);

// Sets count values on the pool (a fresh buffer's pages are then first
// touched by every thread instead of one), polling the cancel event.
// False when cancelled, with the values partly set.
template <class T>
bool ParallelFill(const RenderContext& context, T* data, std::size_t count, T value) {
    return ParallelCancellableFor(context, count, 4 * kPixelGrain,
                                  [data, value](std::size_t begin, std::size_t end) {
                                      std::fill(data + begin, data + end, value);
                                  });
}

// A generator's pixel loop on the pool: items [0, count) are computed in
// slices of count / 100, one slice after the other, each spread over the
// threads; one ProgressStep is posted per completed slice, in order, as a
// serial loop would post them. The cancel event is polled every `grain`
// items, so a cancel stops the loop within a few milliseconds. Returns
// false when cancelled.
bool ParallelProgressLoop(const RenderContext& context, std::size_t count, std::size_t grain,
                          const std::function<void(std::size_t begin, std::size_t end)>& body);

// Limits the threads parallel loops use (0: all cores). Tests compare one
// thread against many; the command line offers it as an option.
void SetMaxThreads(int threads);
int MaxThreads();

// Pool threads lower their own priority to this niceness the first time
// they run a loop's work (0, the default: left as they are). The GUI
// programs set their render worker's niceness, so that the pool does not
// take the cores from the user-interface thread. It cannot be raised again.
void SetPoolNiceness(int niceness);

}  // namespace quillon
