#include "engine/synthesis_job.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <limits>
#include <new>

#include "engine/parallel.h"
#include "engine/texture_map.h"

namespace quillon {

namespace {

// Extreme settings (numbers near the float limit, multiplied together) can
// overflow to infinity and then to NaN. The picture leaves the engine
// finite: NaN becomes 0 and infinities the largest float of their sign,
// which shows exactly as they would have (clamped to 0..1 for display).
void MakeFinite(float* values, std::size_t count) {
    constexpr float kMax = std::numeric_limits<float>::max();
    // Every value on its own: on the pool, the same at any thread count.
    ParallelFor(count, kPixelGrain, [values](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            const float v = values[i];
            if (std::isfinite(v)) continue;
            values[i] = std::isnan(v) ? 0.0f : (v > 0.0f ? kMax : -kMax);
        }
    });
}

}  // namespace

SynthesisJob::~SynthesisJob() {
    Cancel();
}

bool SynthesisJob::RunHere() {
    RenderContext context;
    context.rgb = rgb;
    context.alpha = alpha;
    context.scale = scale;
    context.xScale = xScale;
    context.yScale = yScale;
    context.wantColour = true;
    context.sink = sink;
    context.onComposite = onComposite;
    context.job = this;
    context.callbackArg = callbackArg;

    m_outOfMemory = false;
    if (prepare) prepare();
    try {
        m_succeeded = texture->Render(context);
    } catch (const std::bad_alloc&) {
        // A layer's work space that could not be had; the locks were
        // released on the way out and the done event still comes.
        m_succeeded = false;
        m_outOfMemory = true;
    }
    if (m_succeeded) {
        const std::size_t pixels = static_cast<std::size_t>(texture->Size());
        MakeFinite(rgb, 3 * pixels);
        MakeFinite(alpha, pixels);
        if (onComposite) onComposite(context, rgb, callbackArg);
        if (sink) sink->Post(Notification::SynthesisDone);
    }
    m_done.Set();
    return m_succeeded;
}

bool SynthesisJob::Start() {
    Join();  // a finished worker is joined, never dropped
    m_cancel.Reset();
    m_done.Reset();
    m_succeeded = false;
    m_outOfMemory = false;
    if (!texture || !rgb || !alpha) return false;
    m_thread = std::thread([this] {
        // Below normal priority, so that the user interface stays responsive.
        setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), kWorkerNiceness);
        RunHere();
    });
    return true;
}

void SynthesisJob::Cancel() {
    if (!m_thread.joinable()) return;
    if (!m_done.IsSet()) {
        m_cancel.Set();
        m_done.Wait();
    }
    Join();
}

void SynthesisJob::Wait() {
    if (!m_thread.joinable()) return;
    m_done.Wait();
    Join();
}

bool SynthesisJob::IsRunning() const {
    return m_thread.joinable() && !m_done.IsSet();
}

void SynthesisJob::Join() {
    if (m_thread.joinable()) m_thread.join();
}

}  // namespace quillon
