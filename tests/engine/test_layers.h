#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "engine/base_layer.h"
#include "engine/notification.h"

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
    std::unique_ptr<BaseLayer> Clone() const override { return std::make_unique<SolidLayer>(*this); }

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

}  // namespace quillon::testing
