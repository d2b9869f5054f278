#include "engine/white_noise_layer.h"

#include <algorithm>
#include <mutex>

namespace quillon {

std::unique_ptr<BaseLayer> WhiteNoiseLayer::Clone() const {
    return std::make_unique<WhiteNoiseLayer>(*this);
}

bool WhiteNoiseLayer::IsSameKind(const BaseLayer& other) const {
    return dynamic_cast<const WhiteNoiseLayer*>(&other) != nullptr;
}

bool WhiteNoiseLayer::Render(RenderContext& context) {
    if (!IsEnabled()) return true;
    bool plainResult = false;
    std::unique_lock<LayerLock> hold = BeginRender(context, plainResult);
    if (!hold.owns_lock()) return plainResult;

    // Pixels are drawn from the last to the first. Draws come in batches
    // under one hold of the generator's lock; the sequence is the same as
    // one draw per pixel, and cancellation is still seen within a batch.
    constexpr std::size_t kBatch = 4096;
    const std::size_t size = static_cast<std::size_t>(Size());
    float* values = m_values.Data();
    float batch[kBatch];
    ProgressCounter progress(context, size);
    std::size_t remaining = size;
    while (remaining > 0) {
        if (context.IsCancelled()) return false;
        const std::size_t n = std::min(kBatch, remaining);
        RandomGenerator::Instance().FillUniform(batch, n, 0.0, 1.0);
        for (std::size_t k = 0; k < n; ++k) values[remaining - 1 - k] = batch[k];
        progress.Advance(n);
        remaining -= n;
    }

    ColorFunction().Apply(values, size);
    if (!MapColors(context)) return false;
    FreeBuffers();
    return true;
}

}  // namespace quillon
