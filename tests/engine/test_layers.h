#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/base_layer.h"
#include "engine/notification.h"
#include "engine/render_context.h"

namespace quillon::testing {

// Delivers one fixed colour and alpha (colour mode) or one fixed value
// (value mode) everywhere, and counts how often it rendered.
class SolidLayer : public BaseLayer {
  public:
    SolidLayer(float r, float g, float b, float a = 1.0f) : m_rgb{r, g, b}, m_alpha(a) {}
    explicit SolidLayer(float value) : m_rgb{value, value, value}, m_alpha(1.0f), m_value(value) {}

    bool Render(RenderContext& context) override {
        if (!IsEnabled()) return true;
        ++renders;
        const std::size_t n = static_cast<std::size_t>(Size());
        for (std::size_t p = 0; p < n; ++p) {
            if (context.wantColour) {
                for (int c = 0; c < 3; ++c) context.rgb[3 * p + c] = m_rgb[c];
            } else {
                context.rgb[p] = m_value;
            }
            context.alpha[p] = context.wantColour ? m_alpha : 1.0f;
        }
        return true;
    }
    std::unique_ptr<BaseLayer> Clone() const override {
        return std::make_unique<SolidLayer>(*this);
    }

    int renders = 0;

  private:
    float m_rgb[3];
    float m_alpha;
    float m_value = 0.0f;
};

// Delivers a per-pixel pattern: value = pixel index / (size - 1).
class RampLayer : public BaseLayer {
  public:
    bool Render(RenderContext& context) override {
        const std::size_t n = static_cast<std::size_t>(Size());
        for (std::size_t p = 0; p < n; ++p) {
            const float v = n > 1 ? static_cast<float>(p) / static_cast<float>(n - 1) : 0.0f;
            if (context.wantColour) {
                for (int c = 0; c < 3; ++c) context.rgb[3 * p + c] = v;
            } else {
                context.rgb[p] = v;
            }
            context.alpha[p] = 1.0f;
        }
        return true;
    }
    std::unique_ptr<BaseLayer> Clone() const override { return std::make_unique<RampLayer>(*this); }
};

// Records the notifications of a rendering.
class RecordingSink : public NotificationSink {
  public:
    void Post(Notification n) override {
        std::lock_guard<std::mutex> hold(m_mutex);
        events.push_back(n);
    }
    int CountOf(Notification n) const {
        std::lock_guard<std::mutex> hold(m_mutex);
        int count = 0;
        for (Notification e : events) count += e == n;
        return count;
    }
    std::vector<Notification> events;

  private:
    mutable std::mutex m_mutex;
};

// One layer rendered on its own, at its size.
struct RenderedLayer {
    bool ok = false;
    int width = 0;
    std::vector<float> rgb;  // 3 floats per pixel in colour mode, the values in value mode
    std::vector<float> alpha;
    float At(int x, int y, int c = 0) const {
        return rgb[3 * (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                        static_cast<std::size_t>(x)) +
                   static_cast<std::size_t>(c)];
    }
};

struct RenderSetup {
    bool wantColour = true;
    float rgbFill = 0.0f;  // what the buffers hold before the rendering
    float alphaFill = 1.0f;
    NotificationSink* sink = nullptr;
    const SynthesisJob* job = nullptr;
};

inline RenderedLayer RenderLayer(BaseLayer& layer, const RenderSetup& setup = {}) {
    RenderedLayer out;
    out.width = layer.Width();
    const std::size_t n = static_cast<std::size_t>(layer.Size());
    // Room for colour in value mode too: a container rendering values may
    // use it, as it may in a parent's scratch buffer.
    out.rgb.assign(3 * n, setup.rgbFill);
    out.alpha.assign(n, setup.alphaFill);
    RenderContext context;
    context.rgb = out.rgb.data();
    context.alpha = out.alpha.data();
    context.wantColour = setup.wantColour;
    context.sink = setup.sink;
    context.job = setup.job;
    out.ok = layer.Render(context);
    if (!setup.wantColour) out.rgb.resize(n);
    return out;
}

}  // namespace quillon::testing
