#include "engine/combine_layer.h"

#include <mutex>

#include "engine/noise_function_layer.h"

namespace quillon {

// A new combine layer starts with one noise-function layer.
CombineLayer::CombineLayer() {
    AddLast(std::make_unique<NoiseFunctionLayer>());
}

std::unique_ptr<BaseLayer> CombineLayer::Clone() const {
    return std::make_unique<CombineLayer>(*this);
}

bool CombineLayer::IsSameKind(const BaseLayer& other) const {
    return dynamic_cast<const CombineLayer*>(&other) != nullptr;
}

void CombineLayer::SetSize(int width, int height) {
    if (width == Width() && height == Height()) return;
    MultiBaseLayer::SetSize(width, height);
    std::lock_guard<LayerLock> hold(Lock());
    m_scratch.Release();
}

bool CombineLayer::AllocateBuffers() {
    m_scratch.Release();
    if (!BaseLayer::AllocateBuffers()) return false;
    return m_scratch.Allocate(3 * static_cast<std::size_t>(Size()));
}

void CombineLayer::FreeBuffers() {
    BaseLayer::FreeBuffers();
    m_scratch.Release();
}

bool CombineLayer::Render(RenderContext& context) {
    if (!IsEnabled()) return true;
    bool plainResult = false;
    std::unique_lock<LayerLock> hold = BeginRender(context, plainResult);
    if (!hold.owns_lock()) return plainResult;
    m_values.Fill(0.0f);
    m_scratch.Fill(0.0f);

    ChildContextScope scope(context, m_scratch.Data(), false);

    const std::size_t pixels = static_cast<std::size_t>(Size());
    const bool finished = ApplyChildren(context, [&](BaseLayer& child) {
        const float w = child.DrawCompositeTransparency();
        CompositeValue(child.GetCombineFunc(), m_values.Data(), m_scratch.Data(),
                       context.mask ? context.mask.Data() : nullptr, pixels, w);
    });

    scope.Restore();
    if (!finished) return false;

    if (!MapColors(context)) return false;
    FreeBuffers();
    return true;
}

}  // namespace quillon
