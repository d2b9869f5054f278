#include "engine/synthesis_job.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <limits>
#include <mutex>
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

// A stopped rendering leaves the buffers of the layers it was in; they go
// now rather than with the layers. One lock at a time, never nested.
void FreeTreeBuffers(BaseLayer& layer) {
    {
        std::lock_guard<LayerLock> hold(layer.Lock());
        layer.FreeBuffers();
    }
    if (auto* container = dynamic_cast<MultiBaseLayer*>(&layer)) {
        for (int k = 0; k < container->Count(); ++k) FreeTreeBuffers(*container->Child(k));
    }
}

// Only a texture map writes every value of an unwritten picture itself.
bool WritesUnwrittenPicture(const BaseLayer& layer) {
    return dynamic_cast<const TextureMap*>(&layer) && !dynamic_cast<const MaskLayer*>(&layer);
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

    if (prepare) prepare();
    const std::size_t pixels = static_cast<std::size_t>(texture->Size());
    if (unwrittenPicture) {
        FillFloats(alpha, pixels, 1.0f);
        if (WritesUnwrittenPicture(*texture)) {
            context.rgbUnwritten = true;
        } else {
            FillFloats(rgb, 3 * pixels, 0.0f);
        }
    }
    m_outOfMemory = false;
    try {
        m_succeeded = texture->Render(context);
    } catch (const std::bad_alloc&) {
        // A layer's work space that could not be had; the locks were
        // released on the way out and the done event still comes.
        m_succeeded = false;
        m_outOfMemory = true;
        if (context.rgbUnwritten) FillFloats(rgb, 3 * pixels, 0.0f);
    }
    if (!m_succeeded) FreeTreeBuffers(*texture);
    if (m_succeeded) {
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
