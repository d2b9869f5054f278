#include "engine/texture_map.h"

#include <mutex>
#include <new>

#include "engine/noise_function_layer.h"
#include "engine/parallel.h"

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

bool TextureMap::ReadLater(const BaseLayer& child, bool mayRepeat) const {
    if (mayRepeat && child.ComposesOntoTarget()) return true;
    const int index = IndexOf(&child);
    for (int k = 0; k < index; ++k) {
        if (Child(k)->ComposesOntoTarget()) return true;
    }
    return false;
}

// Each child renders into the scratch buffer and is composited from there
// onto the caller's picture. Onto an unwritten picture, a child whose
// scratch colours no later child can read renders straight into the
// picture and is composited there in place: a single-layer texture then
// needs no scratch buffer at all, and its pixels are first written by the
// layer's own loop on the pool.
bool TextureMap::Render(RenderContext& context) {
    const std::size_t pixels = static_cast<std::size_t>(Size());
    if (!IsEnabled()) {
        if (context.rgbUnwritten) FillFloats(context.rgb, 3 * pixels, 0.0f);
        return true;
    }
    std::unique_lock<LayerLock> hold(Lock());
    bool blank = context.rgbUnwritten;  // black until the first composite
    if (!blank && !AllocateBuffers()) {
        FreeBuffers();
        hold.unlock();
        return RenderPlain(context);
    }
    context.Post(Notification::LayerStarted);
    if (m_scratch) m_scratch.Fill(0.0f);

    ChildContextScope scope(context, m_scratch.Data(), true);
    float* const target = scope.CallerRgb();
    const float z = static_cast<float>(m_zoom.Evaluate());
    context.scale *= z;
    context.xScale *= z;
    context.yScale *= z;

    bool direct = false;  // the application renders into target itself
    const auto prepare = [&](BaseLayer& child, bool mayRepeat) {
        const bool composited = child.GetCombineFunc() != CombineFunc::Disable;
        direct = blank && composited && !ReadLater(child, mayRepeat);
        if (direct) {
            // One that composites onto what lies below finds black there.
            if (child.ComposesOntoTarget()) FillFloats(target, 3 * pixels, 0.0f);
            context.rgb = target;
            return;
        }
        if (dynamic_cast<const MaskLayer*>(&child)) return;  // renders into a buffer of its own
        if (blank && composited) {
            FillFloats(target, 3 * pixels, 0.0f);
            blank = false;
        }
        if (!m_scratch) {
            if (!m_scratch.Allocate(3 * pixels)) throw std::bad_alloc();
            m_scratch.Fill(0.0f);
        }
        context.rgb = m_scratch.Data();
    };
    const bool finished = ApplyChildren(context, prepare, [&](BaseLayer& child) {
        const float w = child.DrawCompositeTransparency();
        const float* mask = context.mask ? context.mask.Data() : nullptr;
        if (direct) {
            CompositeColorOntoBlack(child.GetCombineFunc(), target, context.alpha, mask, pixels, w);
        } else {
            CompositeColor(child.GetCombineFunc(), target, m_scratch.Data(), context.alpha, mask,
                           pixels, w);
        }
        blank = false;
        direct = false;
        context.mask.Release();
        if (context.onComposite) context.onComposite(context, target, context.callbackArg);
        context.Post(Notification::LayerComposited);
    });

    scope.Restore();
    // Nothing composited, or a child stopped half way through the picture.
    if (blank || direct) FillFloats(target, 3 * pixels, 0.0f);
    FreeBuffers();
    if (!finished) return false;
    if (!context.wantColour) LuminanceInPlace(target, pixels);
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
    }
    float* const savedRgb = context.rgb;
    const bool savedWantColour = context.wantColour;
    const bool savedUnwritten = context.rgbUnwritten;
    context.rgb = buffer.Data();
    context.wantColour = true;
    context.rgbUnwritten = true;  // the texture map writes all of it

    // The inherited rendering takes the lock itself.
    const bool rendered = TextureMap::Render(context);
    context.rgbUnwritten = savedUnwritten;
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
        ParallelFor(pixels, kPixelGrain, [rgb](std::size_t begin, std::size_t end) {
            for (std::size_t p = begin; p < end; ++p) {
                const float y =
                    0.299f * rgb[3 * p] + 0.587f * rgb[3 * p + 1] + 0.114f * rgb[3 * p + 2];
                rgb[3 * p] = y;
                rgb[3 * p + 1] = y;
                rgb[3 * p + 2] = y;
            }
        });
    }
    context.mask = std::move(buffer);
    context.rgb = savedRgb;
    return true;
}

}  // namespace quillon
