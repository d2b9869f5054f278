#include "engine/base_layer.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>

#include "engine/parallel.h"
#include "engine/synthesis_job.h"

namespace quillon {

bool RenderContext::IsCancelled() const {
    return job != nullptr && job->CancelEvent().IsSet();
}

int TruncToInt(double value) {
    if (std::isnan(value)) return 0;
    if (value >= static_cast<double>(std::numeric_limits<int>::max())) {
        return std::numeric_limits<int>::max();
    }
    if (value <= static_cast<double>(std::numeric_limits<int>::min())) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(value);
}

BaseLayer::BaseLayer() : m_colorFunction(std::make_unique<ScaleColorFunctor>()) {}

BaseLayer::BaseLayer(int width, int height, std::string name) : BaseLayer() {
    m_name = std::move(name);
    SetSize(width, height);
}

// Render buffers are transient and never copied.
BaseLayer::BaseLayer(const BaseLayer& other)
    : m_name(other.m_name),
      m_width(other.m_width),
      m_height(other.m_height),
      m_size(other.m_size),
      m_flags(other.m_flags & kLayerMortar),
      m_colorMap(other.m_colorMap),
      m_colorFunction(other.m_colorFunction->Clone()),
      m_combineFunc(other.m_combineFunc),
      m_transparency(other.m_transparency),
      m_enabled(other.m_enabled),
      m_description(other.m_description),
      m_probability(other.m_probability),
      m_reduction(other.m_reduction),
      m_usage(other.m_usage),
      m_useProbability(other.m_useProbability) {}

BaseLayer::~BaseLayer() = default;

void BaseLayer::SetSize(int width, int height) {
    if (width < 1 || height < 1) return;
    if (static_cast<long long>(width) * height > kMaxLayerPixels) return;
    std::lock_guard<LayerLock> hold(m_lock);
    if (width * height != m_size) {
        m_values.Release();
        m_size = width * height;
    }
    m_width = width;
    m_height = height;
}

void BaseLayer::SetUsage(const RandomNumber& value) {
    RandomNumber capped;
    capped.SetRandom(value.IsRandom());
    for (int k = 0; k < value.Count(); ++k) {
        const float number = value.Number(k);
        capped.AddNumber(k < 2 && number > kMaxUsage ? static_cast<float>(kMaxUsage) : number);
    }
    m_usage = capped;
}

float BaseLayer::DrawCompositeTransparency() const {
    if (m_combineFunc != CombineFunc::Transparent) return 0.0f;
    return static_cast<float>(m_transparency.Evaluate());
}

std::unique_ptr<BaseLayer> BaseLayer::Clone() const {
    return std::make_unique<BaseLayer>(*this);
}

bool BaseLayer::IsSameKind(const BaseLayer&) const {
    return false;
}

void BaseLayer::NormalizeCombine() {
    if (m_combineFunc == CombineFunc::Disable) m_combineFunc = CombineFunc::Opaque;
}

void BaseLayer::SetColorFunction(std::unique_ptr<BaseColorFunctor> function) {
    if (function) m_colorFunction = std::move(function);
}

void BaseLayer::Assign(const BaseLayer& other) {
    if (&other == this) return;
    std::lock_guard<LayerLock> hold(m_lock);
    m_name = other.m_name;
    if (other.m_size != m_size) m_values.Release();
    m_width = other.m_width;
    m_height = other.m_height;
    m_size = other.m_size;
    m_colorMap.Assign(other.m_colorMap);
    m_colorFunction = other.m_colorFunction->Clone();
    m_combineFunc = other.m_combineFunc;
    m_transparency = other.m_transparency;
    m_parent = other.m_parent;
    m_description = other.m_description;
    m_enabled = other.m_enabled;
    m_flags = other.m_flags;
    m_probability = other.m_probability;
    m_reduction = other.m_reduction;
    m_usage = other.m_usage;
    m_useProbability = other.m_useProbability;
}

bool BaseLayer::AllocateBuffers() {
    if (m_values && m_values.Count() == static_cast<std::size_t>(m_size)) return true;
    return m_values.Allocate(static_cast<std::size_t>(m_size));
}

void BaseLayer::FreeBuffers() {
    m_values.Release();
}

bool BaseLayer::MapColors(const RenderContext& context) {
    const std::size_t n = static_cast<std::size_t>(m_size);
    const float* values = m_values.Data();
    float* rgb = context.rgb;
    float* alpha = context.alpha;
    if (!context.wantColour) {
        return ParallelCancellableFor(context, n, kPixelGrain,
                                      [&](std::size_t begin, std::size_t end) {
                                          std::copy(values + begin, values + end, rgb + begin);
                                          std::fill(alpha + begin, alpha + end, 1.0f);
                                      });
    }
    m_colorMap.BuildTable();
    const ColorMap& map = m_colorMap;
    auto lookup = [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = end; i-- > begin;) {
            const Color c = map.Lookup(values[i]);
            rgb[3 * i] = static_cast<float>(c.red);
            rgb[3 * i + 1] = static_cast<float>(c.green);
            rgb[3 * i + 2] = static_cast<float>(c.blue);
            alpha[i] = static_cast<float>(c.opacityValue);
        }
    };
    if (map.EntryCount() >= 2) {
        const ColorSpline spline(map);
        return ParallelCancellableFor(context, n, kPixelGrain,
                                      [&](std::size_t begin, std::size_t end) {
                                          for (std::size_t i = begin; i < end; ++i) {
                                              double c[4];
                                              spline.Lookup(values[i], c);
                                              rgb[3 * i] = static_cast<float>(c[0]);
                                              rgb[3 * i + 1] = static_cast<float>(c[1]);
                                              rgb[3 * i + 2] = static_cast<float>(c[2]);
                                              alpha[i] = static_cast<float>(c[3]);
                                          }
                                      });
    }
    if (map.LookupDraws()) {
        lookup(0, n);  // draws stay in pixel order
        return !context.IsCancelled();
    }
    return ParallelCancellableFor(context, n, kPixelGrain, lookup);
}

void BaseLayer::RenderBlack(RenderContext& context) {
    FillFloats(context.rgb, 3 * static_cast<std::size_t>(m_size), 0.0f);
}

bool BaseLayer::RenderPlain(RenderContext& context) {
    if (!m_enabled) return true;
    std::lock_guard<LayerLock> hold(m_lock);
    if (BaseLayer::AllocateBuffers()) {
        m_values.Fill(0.0f);
        MapColors(context);
    } else {
        RenderBlack(context);
    }
    if (context.IsCancelled()) return false;
    BaseLayer::FreeBuffers();
    return true;
}

bool BaseLayer::Render(RenderContext& context) {
    return RenderPlain(context);
}

std::unique_lock<LayerLock> BaseLayer::BeginRender(RenderContext& context, bool& plainResult) {
    std::unique_lock<LayerLock> hold(m_lock);
    if (!AllocateBuffers()) {
        FreeBuffers();
        hold.unlock();
        plainResult = RenderPlain(context);
        return hold;
    }
    context.Post(Notification::LayerStarted);
    return hold;
}

namespace {

float Clamp01(float x) {
    return x < 0.0f ? 0.0f : (x > 1.0f ? 1.0f : x);
}

// With kOntoBlack, src may be dst and what lies below is taken as zeros.
template <bool kOntoBlack, typename Formula>
void BlendColor(float* dst, const float* src, const float* alpha, const float* mask,
                std::size_t pixels, Formula formula) {
    ParallelFor(pixels, kPixelGrain, [&](std::size_t begin, std::size_t end) {
        for (std::size_t p = end; p-- > begin;) {
            const float a = alpha[p];
            for (std::size_t ch = 3; ch-- > 0;) {
                const std::size_t k = 3 * p + ch;
                const float b = kOntoBlack ? 0.0f : dst[k];
                const float c = formula(src[k], a, b);
                dst[k] = mask ? c * (1.0f - mask[k]) + b * mask[k] : c;
            }
        }
    });
}

template <typename Formula>
void BlendValue(float* dst, const float* src, const float* mask, std::size_t pixels,
                Formula formula) {
    ParallelFor(pixels, kPixelGrain, [&](std::size_t begin, std::size_t end) {
        for (std::size_t p = end; p-- > begin;) {
            const float v = dst[p];
            const float c = formula(src[p], v);
            dst[p] = mask ? c * (1.0f - mask[p]) + v * mask[p] : c;
        }
    });
}

}  // namespace

namespace {

template <bool kOntoBlack>
void CompositeColorWith(CombineFunc function, float* dst, const float* src, const float* alpha,
                        const float* mask, std::size_t pixels, float transparency) {
    const float w = transparency;
    switch (function) {
        case CombineFunc::Disable:
            return;
        case CombineFunc::Transparent:
            BlendColor<kOntoBlack>(dst, src, alpha, mask, pixels, [w](float l, float a, float b) {
                return (a * l + (1.0f - a) * b) * (1.0f - w) + w * b;
            });
            return;
        case CombineFunc::Shade:
            BlendColor<kOntoBlack>(dst, src, alpha, mask, pixels, [](float l, float a, float b) {
                return Clamp01(b + a * (l - 0.5f));
            });
            return;
        case CombineFunc::Additive:
            BlendColor<kOntoBlack>(dst, src, alpha, mask, pixels,
                                   [](float l, float a, float b) { return Clamp01(b + a * l); });
            return;
        case CombineFunc::Subtractive:
            BlendColor<kOntoBlack>(dst, src, alpha, mask, pixels,
                                   [](float l, float a, float b) { return Clamp01(b - a * l); });
            return;
        case CombineFunc::Multiply:
            BlendColor<kOntoBlack>(dst, src, alpha, mask, pixels, [](float l, float a, float b) {
                return (a * l + 1.0f - a) * b;
            });
            return;
        case CombineFunc::Opaque:
        default:
            BlendColor<kOntoBlack>(dst, src, alpha, mask, pixels, [](float l, float a, float b) {
                return a * l + (1.0f - a) * b;
            });
            return;
    }
}

}  // namespace

void CompositeColor(CombineFunc function, float* dst, const float* src, const float* alpha,
                    const float* mask, std::size_t pixels, float transparency) {
    CompositeColorWith<false>(function, dst, src, alpha, mask, pixels, transparency);
}

void CompositeColorOntoBlack(CombineFunc function, float* rgb, const float* alpha,
                             const float* mask, std::size_t pixels, float transparency) {
    CompositeColorWith<true>(function, rgb, rgb, alpha, mask, pixels, transparency);
}

void CompositeValue(CombineFunc function, float* dst, const float* src, const float* mask,
                    std::size_t pixels, float transparency) {
    const float w = transparency;
    switch (function) {
        case CombineFunc::Disable:
            return;
        case CombineFunc::Transparent:
            BlendValue(dst, src, mask, pixels,
                       [w](float s, float v) { return s * (1.0f - w) + w * v; });
            return;
        case CombineFunc::Shade:
            BlendValue(dst, src, mask, pixels, [](float s, float v) { return v + s - 0.5f; });
            return;
        case CombineFunc::Additive:
            BlendValue(dst, src, mask, pixels, [](float s, float v) { return v + s; });
            return;
        case CombineFunc::Subtractive:
            BlendValue(dst, src, mask, pixels, [](float s, float v) { return v - s; });
            return;
        case CombineFunc::Multiply:
            BlendValue(dst, src, mask, pixels, [](float s, float v) { return s * v; });
            return;
        case CombineFunc::Opaque:
        default:
            BlendValue(dst, src, mask, pixels, [](float s, float) { return s; });
            return;
    }
}

void LuminanceInPlace(float* rgb, std::size_t pixels) {
    // Pixel k reads elements 3k..3k+2 and writes element k. Pixels [L, 3L)
    // write below everything they read, and pixels before L wrote below L,
    // so each such wave may run in parallel once the waves before it are done.
    const auto luminance = [rgb](std::size_t begin, std::size_t end) {
        for (std::size_t k = begin; k < end; ++k) {
            const float r = rgb[3 * k];
            const float g = rgb[3 * k + 1];
            const float b = rgb[3 * k + 2];
            rgb[k] = 0.299f * r + 0.587f * g + 0.114f * b;
        }
    };
    if (pixels == 0) return;
    luminance(0, 1);
    for (std::size_t begin = 1; begin < pixels; begin *= 3) {
        const std::size_t end = pixels / 3 < begin ? pixels : std::min(pixels, 3 * begin);
        ParallelFor(end - begin, kPixelGrain,
                    [&](std::size_t b, std::size_t e) { luminance(begin + b, begin + e); });
    }
}

}  // namespace quillon
