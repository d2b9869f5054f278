#include "engine/bump_map_layer.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "engine/noise_function_layer.h"
#include "engine/parallel.h"

namespace quillon {

bool BumpLightSrc::operator==(const BumpLightSrc& other) const {
    return xPos == other.xPos && yPos == other.yPos && zPos == other.zPos &&
           color[0] == other.color[0] && color[1] == other.color[1] && color[2] == other.color[2] &&
           finite == other.finite && on == other.on;
}

BumpMapLayer::BumpMapLayer() {
    AddLast(std::make_unique<NoiseFunctionLayer>());
    AddLight(std::make_shared<BumpLightSrc>());
}

BumpMapLayer::BumpMapLayer(const BumpMapLayer& other)
    : MultiBaseLayer(other),
      m_greyify(other.m_greyify),
      m_tileable(other.m_tileable),
      m_bumpScale(other.m_bumpScale) {
    for (const auto& light : other.m_lights) AddLight(std::make_shared<BumpLightSrc>(*light));
}

std::unique_ptr<BaseLayer> BumpMapLayer::Clone() const {
    return std::make_unique<BumpMapLayer>(*this);
}

bool BumpMapLayer::IsSameKind(const BaseLayer& other) const {
    return dynamic_cast<const BumpMapLayer*>(&other) != nullptr;
}

void BumpMapLayer::SetSize(int width, int height) {
    if (width == Width() && height == Height()) return;
    MultiBaseLayer::SetSize(width, height);
    std::lock_guard<LayerLock> hold(Lock());
    m_work.Release();
    m_scratch.Release();
}

bool BumpMapLayer::AllocateBuffers() {
    const std::size_t n = 3 * static_cast<std::size_t>(Size());
    m_work.Release();
    m_scratch.Release();
    return m_work.Allocate(n) && m_scratch.Allocate(n);
}

void BumpMapLayer::FreeBuffers() {
    m_work.Release();
    m_scratch.Release();
}

bool BumpMapLayer::AddLight(std::shared_ptr<BumpLightSrc> light) {
    if (!light) return false;
    std::lock_guard<LayerLock> hold(Lock());
    if (LightCount() >= kMaxLights) return false;
    light->m_owner = this;
    m_lights.push_back(std::move(light));
    return true;
}

bool BumpMapLayer::RemoveLight(const BumpLightSrc* light) {
    std::lock_guard<LayerLock> hold(Lock());
    if (LightCount() <= kMinLights) return false;
    const auto found = std::find_if(m_lights.begin(), m_lights.end(),
                                    [light](const auto& held) { return held.get() == light; });
    if (found == m_lights.end()) return false;
    (*found)->m_owner = nullptr;
    m_lights.erase(found);
    return true;
}

void BumpMapLayer::RemoveAllLights() {
    std::lock_guard<LayerLock> hold(Lock());
    for (auto& light : m_lights) light->m_owner = nullptr;
    m_lights.clear();
}

std::shared_ptr<BumpLightSrc> BumpMapLayer::Light(int index) const {
    if (index < 0 || index >= LightCount()) return nullptr;
    return m_lights[static_cast<std::size_t>(index)];
}

bool BumpMapLayer::Render(RenderContext& context) {
    if (!IsEnabled()) return true;
    std::unique_lock<LayerLock> hold(Lock());
    // The 3 x 3 neighbourhood needs more than two pixels each way.
    if (Width() <= 2 || Height() <= 2 || m_lights.empty() || !AllocateBuffers()) {
        FreeBuffers();
        hold.unlock();
        return RenderPlain(context);
    }
    context.Post(Notification::LayerStarted);
    // Shade writes every value of the work buffer; the scratch buffer is
    // zeroed for children that leave pixels alone.
    if (!ParallelFill(context, m_scratch.Data(), m_scratch.Count(), 0.0f)) return false;

    // The children composite onto the context's colour buffer as in a
    // texture map; each renders into the scratch buffer first.
    ChildContextScope scope(context, m_scratch.Data(), true);
    float* const colour = scope.CallerRgb();

    const std::size_t pixels = static_cast<std::size_t>(Size());
    const bool finished = ApplyChildren(context, [&](BaseLayer& child) {
        const float w = child.DrawCompositeTransparency();
        CompositeColor(child.GetCombineFunc(), colour, m_scratch.Data(), context.alpha,
                       context.mask ? context.mask.Data() : nullptr, pixels, w);
        context.mask.Release();
        context.Post(Notification::LayerComposited);
    });

    scope.Restore();  // drops a mask no child consumed
    if (!finished || context.IsCancelled()) return false;
    m_scratch.Release();  // the children are composited; it is read no more

    if (m_greyify) {
        const bool greyed = ParallelCancellableFor(
            context, pixels, kPixelGrain, [colour](std::size_t begin, std::size_t end) {
                for (std::size_t p = begin; p < end; ++p) {
                    float* c = colour + 3 * p;
                    const float y = 0.299f * c[0] + 0.587f * c[1] + 0.114f * c[2];
                    c[0] = y;
                    c[1] = y;
                    c[2] = y;
                }
            });
        if (!greyed) return false;
    }
    if (!Shade(colour, m_tileable, context)) return false;

    // The lit colours (or their luminance) back into the caller's buffer.
    const float* lit = m_work.Data();
    const bool wantColour = context.wantColour;
    float* const alpha = context.alpha;
    const bool copied = ParallelCancellableFor(
        context, pixels, kPixelGrain, [=](std::size_t begin, std::size_t end) {
            if (wantColour) {
                std::copy(lit + 3 * begin, lit + 3 * end, colour + 3 * begin);
            } else {
                for (std::size_t p = begin; p < end; ++p) {
                    colour[p] =
                        0.299f * lit[3 * p] + 0.587f * lit[3 * p + 1] + 0.114f * lit[3 * p + 2];
                }
            }
            std::fill(alpha + begin, alpha + end, 1.0f);
        });
    if (!copied) return false;
    FreeBuffers();
    return true;
}

namespace {

// A light as one rendering uses it: a position, or a unit direction.
struct LitSource {
    bool finite;
    float x, y, z;
    float color[3];
};

}  // namespace

bool BumpMapLayer::Shade(const float* heights, bool wrap, const RenderContext& context) {
    const int width = Width();
    const int height = Height();
    const float s = static_cast<float>(m_bumpScale.Evaluate());

    LitSource lit[kMaxLights];
    int litCount = 0;
    for (const auto& light : m_lights) {
        const float x = static_cast<float>(light->xPos.Evaluate());
        const float y = static_cast<float>(light->yPos.Evaluate());
        const float z = static_cast<float>(light->zPos.Evaluate());
        if (!light->on || litCount == kMaxLights) continue;
        LitSource& source = lit[litCount];
        source.finite = light->finite;
        source.x = x;
        source.y = y;
        source.z = z;
        if (!light->finite) {
            // A distant light at (0, 0, 0) has no direction and gives no light.
            const float length = std::sqrt(x * x + y * y + z * z);
            if (!(length > 0.0f)) continue;
            source.x = x / length;
            source.y = y / length;
            source.z = z / length;
            // Every pixel divides the vector by its length once more.
            const float again =
                std::sqrt(source.x * source.x + source.y * source.y + source.z * source.z);
            if (again != 0.0f) {
                source.x /= again;
                source.y /= again;
                source.z /= again;
            }
        }
        std::copy(light->color, light->color + 3, source.color);
        ++litCount;
    }

    float* const out = m_work.Data();
    return ParallelCancellableFor(
        context, static_cast<std::size_t>(height), 8,
        [&](std::size_t rowBegin, std::size_t rowEnd) {
            for (std::size_t row = rowBegin; row < rowEnd; ++row) {
                const int y = static_cast<int>(row);
                const int up = y > 0 ? y - 1 : (wrap ? height - 1 : y);
                const int down = y < height - 1 ? y + 1 : (wrap ? 0 : y);
                const float* hu = heights + 3 * static_cast<std::size_t>(up) * width;
                const float* hm = heights + 3 * static_cast<std::size_t>(y) * width;
                const float* hd = heights + 3 * static_cast<std::size_t>(down) * width;
                float* o = out + 3 * static_cast<std::size_t>(y) * width;

                for (int x = 0; x < width; ++x) {
                    const int left = x > 0 ? x - 1 : (wrap ? width - 1 : x);
                    const int right = x < width - 1 ? x + 1 : (wrap ? 0 : x);
                    float lx[kMaxLights], ly[kMaxLights], lz[kMaxLights];
                    for (int k = 0; k < litCount; ++k) {
                        const LitSource& source = lit[k];
                        if (!source.finite) {
                            lx[k] = source.x;
                            ly[k] = source.y;
                            lz[k] = source.z;
                            continue;
                        }
                        float vx = static_cast<float>(x) - source.x;
                        float vy = source.y - static_cast<float>(y);
                        float vz = source.z;
                        const float length = std::sqrt(vx * vx + vy * vy + vz * vz);
                        if (length != 0.0f) {
                            vx /= length;
                            vy /= length;
                            vz /= length;
                        }
                        lx[k] = vx;
                        ly[k] = vy;
                        lz[k] = vz;
                    }
                    float sum[3] = {0.0f, 0.0f, 0.0f};
                    for (int c = 0; c < 3; ++c) {
                        const int l = 3 * left + c;
                        const int m = 3 * x + c;
                        const int r = 3 * right + c;
                        const float gx = s * ((hu[r] + hm[r] + hd[r]) - (hu[l] + hm[l] + hd[l]));
                        const float gy = s * ((hu[l] + hu[m] + hu[r]) - (hd[l] + hd[m] + hd[r]));
                        const float norm = std::sqrt(gx * gx + gy * gy + 1.0f);
                        for (int k = 0; k < litCount; ++k) {
                            const float term =
                                lit[k].color[c] * (lz[k] + ly[k] * gy + lx[k] * gx) / norm;
                            if (term > 0.0f) sum[c] += term;
                        }
                    }
                    // Too bright: scale down, keeping the hue.
                    const float top = std::max(sum[0], std::max(sum[1], sum[2]));
                    if (top > 1.0f) {
                        sum[0] /= top;
                        sum[1] /= top;
                        sum[2] /= top;
                    }
                    std::copy(sum, sum + 3, o + 3 * x);
                }
            }
        });
}

}  // namespace quillon
