#include "engine/texture_map.h"

#include <mutex>

#include "engine/noise_function_layer.h"

namespace quillon {

// A new texture (and so a new mask) starts with one noise-function layer.
TextureMap::TextureMap() {
    SetName("default_texture");
    AddLast(std::make_unique<NoiseFunctionLayer>());
}

TextureMap::TextureMap(const TextureMap& other)
    : MultiBaseLayer(other), m_zoom(other.m_zoom), m_screenSaverType(other.m_screenSaverType) {}

std::unique_ptr<BaseLayer> TextureMap::Clone() const {
    return std::make_unique<TextureMap>(*this);
}

bool TextureMap::IsSameKind(const BaseLayer& other) const {
    return dynamic_cast<const TextureMap*>(&other) != nullptr;
}

void TextureMap::SetSize(int width, int height) {
    if (width == Width() && height == Height()) return;
    MultiBaseLayer::SetSize(width, height);
    std::lock_guard<LayerLock> hold(Lock());
    m_scratch.Release();
}

bool TextureMap::AllocateBuffers() {
    m_scratch.Release();
    return m_scratch.Allocate(3 * static_cast<std::size_t>(Size()));
}

void TextureMap::FreeBuffers() {
    m_scratch.Release();
}

bool TextureMap::Render(RenderContext& context) {
    if (!IsEnabled()) return true;
    bool plainResult = false;
    std::unique_lock<LayerLock> hold = BeginRender(context, plainResult);
    if (!hold.owns_lock()) return plainResult;
    m_scratch.Fill(0.0f);

    ChildContextScope scope(context, m_scratch.Data(), true);
    float* const savedRgb = scope.CallerRgb();
    const float z = static_cast<float>(m_zoom.Evaluate());
    context.scale *= z;
    context.xScale *= z;
    context.yScale *= z;

    const std::size_t pixels = static_cast<std::size_t>(Size());
    const bool finished = ApplyChildren(context, [&](BaseLayer& child) {
        const float w = child.DrawCompositeTransparency();
        CompositeColor(child.GetCombineFunc(), savedRgb, m_scratch.Data(), context.alpha,
                       context.mask ? context.mask.Data() : nullptr, pixels, w);
        context.mask.Release();
        if (context.onComposite) context.onComposite(context, savedRgb, context.callbackArg);
        context.Post(Notification::LayerComposited);
    });

    scope.Restore();
    if (!finished) return false;
    if (!context.wantColour) LuminanceInPlace(savedRgb, pixels);
    FreeBuffers();
    return true;
}

MaskLayer::MaskLayer() {
    SetCombineFunc(CombineFunc::Disable);
}

std::unique_ptr<BaseLayer> MaskLayer::Clone() const {
    return std::make_unique<MaskLayer>(*this);
}

bool MaskLayer::IsSameKind(const BaseLayer& other) const {
    return dynamic_cast<const MaskLayer*>(&other) != nullptr;
}

void MaskLayer::NormalizeCombine() {
    SetCombineFunc(CombineFunc::Disable);
}

bool MaskLayer::Render(RenderContext& context) {
    if (!IsEnabled()) return true;
    const std::size_t pixels = static_cast<std::size_t>(Size());
    FloatBuffer buffer;
    {
        std::lock_guard<LayerLock> hold(Lock());
        if (!buffer.Allocate(3 * pixels)) return false;
        buffer.Fill(0.0f);
    }
    float* const savedRgb = context.rgb;
    const bool savedWantColour = context.wantColour;
    context.rgb = buffer.Data();
    context.wantColour = true;

    // The inherited rendering takes the lock itself.
    const bool rendered = TextureMap::Render(context);
    if (!rendered) {
        context.rgb = savedRgb;
        context.wantColour = savedWantColour;
        return false;
    }

    std::lock_guard<LayerLock> hold(Lock());
    context.wantColour = savedWantColour;
    context.mask.Release();  // an unconsumed mask is replaced
    if (!context.wantColour) {
        LuminanceInPlace(buffer.Data(), pixels);
    } else if (m_greyify) {
        float* rgb = buffer.Data();
        for (std::size_t p = pixels; p-- > 0;) {
            const float y = 0.299f * rgb[3 * p] + 0.587f * rgb[3 * p + 1] + 0.114f * rgb[3 * p + 2];
            rgb[3 * p] = y;
            rgb[3 * p + 1] = y;
            rgb[3 * p + 2] = y;
        }
    }
    context.mask = std::move(buffer);
    context.rgb = savedRgb;
    return true;
}

}  // namespace quillon
