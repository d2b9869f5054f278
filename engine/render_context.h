#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "engine/float_buffer.h"
#include "engine/notification.h"

namespace quillon {

class SynthesisJob;
struct RenderContext;

// Called by a texture map after each composite with the image it built.
using CompositeCallback =
    std::function<void(RenderContext& context, float* rgb, std::uintptr_t arg)>;

// What is passed down the layer tree during one synthesis. A container may
// change fields for its children and restores them afterwards.
struct RenderContext {
    float* rgb = nullptr;    // 3 floats per pixel in colour mode, 1 in value mode
    float* alpha = nullptr;  // 1 float per pixel
    FloatBuffer mask;        // produced by a mask layer, consumed by the next composite
    float scale = 1.0f;
    float xScale = 1.0f;
    float yScale = 1.0f;
    bool wantColour = true;
    // rgb holds no picture yet and its memory may never have been written:
    // it counts as black, and whoever renders into it must write every value
    // before reading any (the top texture map composites its first layer
    // straight into it instead of through a scratch buffer).
    bool rgbUnwritten = false;
    NotificationSink* sink = nullptr;
    CompositeCallback onComposite;
    const SynthesisJob* job = nullptr;  // provides the cancel event
    std::uintptr_t callbackArg = 0;

    bool IsCancelled() const;
    void Post(Notification notification) const {
        if (sink) sink->Post(notification);
    }
};

// A container's hold on the context while its children render: points the
// context at the container's own buffer, with no mask, and puts back the
// caller's rgb, mask, scales and mode when it ends, also after a stop, so
// no caller is left pointing at a released buffer. A mask still held when
// it ends (one no child consumed) is dropped.
class ChildContextScope {
  public:
    ChildContextScope(RenderContext& context, float* childRgb, bool childWantColour)
        : m_context(context),
          m_rgb(context.rgb),
          m_mask(std::move(context.mask)),
          m_scale(context.scale),
          m_xScale(context.xScale),
          m_yScale(context.yScale),
          m_wantColour(context.wantColour),
          m_rgbUnwritten(context.rgbUnwritten) {
        context.rgb = childRgb;
        context.mask.Release();
        context.wantColour = childWantColour;
        context.rgbUnwritten = false;
    }
    ~ChildContextScope() { Restore(); }
    ChildContextScope(const ChildContextScope&) = delete;
    ChildContextScope& operator=(const ChildContextScope&) = delete;

    void Restore() {
        if (m_restored) return;
        m_restored = true;
        m_context.rgb = m_rgb;
        m_context.mask = std::move(m_mask);
        m_context.scale = m_scale;
        m_context.xScale = m_xScale;
        m_context.yScale = m_yScale;
        m_context.wantColour = m_wantColour;
        m_context.rgbUnwritten = m_rgbUnwritten;
    }
    float* CallerRgb() const { return m_rgb; }
    bool CallerWantsColour() const { return m_wantColour; }

  private:
    RenderContext& m_context;
    float* m_rgb;
    FloatBuffer m_mask;
    float m_scale, m_xScale, m_yScale;
    bool m_wantColour;
    bool m_rgbUnwritten;
    bool m_restored = false;
};

// Posts ProgressStep once per size / 100 values computed; nothing when the
// layer has fewer than 100 pixels.
class ProgressCounter {
  public:
    ProgressCounter(const RenderContext& context, std::size_t size)
        : m_context(context), m_step(size / 100) {}
    void Step() {
        if (m_step == 0) return;
        if (++m_count == m_step) {
            m_context.Post(Notification::ProgressStep);
            m_count = 0;
        }
    }
    // Accounts for n values at once, posting as many steps as they complete.
    void Advance(std::size_t n) {
        if (m_step == 0) return;
        m_count += n;
        while (m_count >= m_step) {
            m_context.Post(Notification::ProgressStep);
            m_count -= m_step;
        }
    }

  private:
    const RenderContext& m_context;
    std::size_t m_step;
    std::size_t m_count = 0;
};

}  // namespace quillon
