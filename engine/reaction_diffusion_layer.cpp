#include "engine/reaction_diffusion_layer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <utility>

#include "engine/parallel.h"
#include "engine/reaction_diffusion_simd.h"

namespace quillon {

namespace {

// Start concentrations are drawn over [0, 12); a draw just below 12 can
// round up to 12 as a float.
constexpr float kStartRange = 12.0f;
const float kLargestStart = std::nextafter(kStartRange, 0.0f);

// The reaction's fixed terms.
constexpr float kDecayA = 12.0f;
constexpr float kSourceB = 16.0f;

// Four cells at once. Each lane does exactly the arithmetic of the scalar
// path, in the same order, so results do not depend on which path a cell
// takes.
using Lanes = float __attribute__((vector_size(16)));
constexpr int kLanes = 4;

struct LoadLanes {
    Lanes operator()(const float* p) const {
        Lanes v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
};
struct LoadOne {
    float operator()(const float* p) const { return *p; }
};
inline void Store(float* p, Lanes v) {
    std::memcpy(p, &v, sizeof v);
}
inline void Store(float* p, float v) {
    *p = v;
}

// Results not above 0 (NaN included, after a blow-up) become 0, so
// concentrations never turn negative.
inline float Positive(float v) {
    return v > 0.0f ? v : 0.0f;
}
inline Lanes Positive(Lanes v) {
    const Lanes zero = {0.0f, 0.0f, 0.0f, 0.0f};
    return v > zero ? v : zero;
}

// The rows above (y - 1), at and below (y + 1) a grid row, already wrapped.
struct Rows {
    const float* up;
    const float* mid;
    const float* down;
};

// One cell (T = float) or kLanes cells (T = Lanes) starting at column x;
// xl and xr are the columns left and right of x.
template <class T, class LoadFn>
inline void UpdateCells(const Stencil& sa, const Stencil& sb, const Rows& a, const Rows& b,
                        float dt, int xl, int x, int xr, float* nextA, float* nextB, LoadFn load) {
    const auto weighted = [&](const Stencil& s, const Rows& r) -> T {
        return s[0] * load(r.up + xl) + s[1] * load(r.up + x) + s[2] * load(r.up + xr) +
               s[3] * load(r.mid + xl) + s[4] * load(r.mid + x) + s[5] * load(r.mid + xr) +
               s[6] * load(r.down + xl) + s[7] * load(r.down + x) + s[8] * load(r.down + xr);
    };
    const T la = weighted(sa, a);
    const T lb = weighted(sb, b);
    const T av = load(a.mid + x);
    const T bv = load(b.mid + x);
    const T ab = av * bv;
    const T na = av + dt * (la + ab - av - kDecayA);
    const T nb = bv + dt * (lb + kSourceB - ab);
    Store(nextA + x, Positive(na));
    Store(nextB + x, Positive(nb));
}

inline void UpdateCell(const Stencil& sa, const Stencil& sb, const Rows& a, const Rows& b, float dt,
                       int xl, int x, int xr, float* nextA, float* nextB) {
    UpdateCells<float>(sa, sb, a, b, dt, xl, x, xr, nextA, nextB, LoadOne{});
}

// One row: the two edge columns wrap, the interior runs straight.
void UpdateRow(const Stencil sa, const Stencil sb, const Rows a, const Rows b, float dt, int width,
               float* nextA, float* nextB) {
    if (width == 1) {
        UpdateCell(sa, sb, a, b, dt, 0, 0, 0, nextA, nextB);
        return;
    }
    UpdateCell(sa, sb, a, b, dt, width - 1, 0, 1, nextA, nextB);
    // The widest vectors first, then four lanes and single cells for the rest.
    int x = ReactionDiffusionRow(sa.data(), sb.data(), a.up, a.mid, a.down, b.up, b.mid, b.down, dt,
                                 kDecayA, kSourceB, width, nextA, nextB);
    for (; x + kLanes <= width - 1; x += kLanes) {
        UpdateCells<Lanes>(sa, sb, a, b, dt, x - 1, x, x + 1, nextA, nextB, LoadLanes{});
    }
    for (; x < width - 1; ++x) UpdateCell(sa, sb, a, b, dt, x - 1, x, x + 1, nextA, nextB);
    UpdateCell(sa, sb, a, b, dt, width - 2, width - 1, 0, nextA, nextB);
}

}  // namespace

ReactionDiffusionLayer::ReactionDiffusionLayer() = default;

ReactionDiffusionLayer::ReactionDiffusionLayer(const ReactionDiffusionLayer& other)
    : BaseLayer(other),
      m_chemicalA(other.m_chemicalA),
      m_chemicalB(other.m_chemicalB),
      m_iterations(other.m_iterations),
      m_timeStep(other.m_timeStep),
      m_stencilB(other.m_stencilB),
      m_stencilA(other.m_stencilA) {}

std::unique_ptr<BaseLayer> ReactionDiffusionLayer::Clone() const {
    return std::make_unique<ReactionDiffusionLayer>(*this);
}

bool ReactionDiffusionLayer::IsSameKind(const BaseLayer& other) const {
    return dynamic_cast<const ReactionDiffusionLayer*>(&other) != nullptr;
}

void ReactionDiffusionLayer::SetIterations(int iterations) {
    m_iterations = std::clamp(iterations, 0, kMaxIterations);
}

void ReactionDiffusionLayer::SetSize(int width, int height) {
    BaseLayer::SetSize(width, height);
    std::lock_guard<LayerLock> hold(Lock());
    if (m_concentrationB && m_concentrationB.Count() != static_cast<std::size_t>(Size())) {
        FreeWorkingBuffers();
    }
}

bool ReactionDiffusionLayer::AllocateBuffers() {
    if (!BaseLayer::AllocateBuffers()) return false;
    const std::size_t size = static_cast<std::size_t>(Size());
    for (FloatBuffer* buffer : {&m_concentrationB, &m_nextA, &m_nextB}) {
        if (*buffer && buffer->Count() == size) continue;
        if (!buffer->Allocate(size)) return false;
    }
    return true;
}

void ReactionDiffusionLayer::FreeWorkingBuffers() {
    m_concentrationB.Release();
    m_nextA.Release();
    m_nextB.Release();
}

void ReactionDiffusionLayer::FreeBuffers() {
    BaseLayer::FreeBuffers();
    FreeWorkingBuffers();
}

Stencil ReactionDiffusionLayer::BuildStencil(float d1, float d2, double angle, double dissipation) {
    const float c = static_cast<float>(std::cos(angle));
    const float s = static_cast<float>(std::sin(angle));
    const float m = static_cast<float>(dissipation);
    const float kx = d1 * c * c + d2 * s * s;
    const float ky = d2 * c * c + d1 * s * s;
    const float half = s * c * (d2 - d1) / 2.0f;
    return {-half, ky, half, kx, -2.0f * (kx + ky) - m, kx, half, ky, -half};
}

Stencil ReactionDiffusionLayer::DrawStencil(const ChemicalParameters& chemical) {
    const float d1 = static_cast<float>(chemical.xRate.Evaluate());
    const float d2 = static_cast<float>(chemical.yRate.Evaluate());
    const double angle = chemical.angle.Evaluate();
    const double dissipation = chemical.dissipation.Evaluate();
    return BuildStencil(d1, d2, angle, dissipation);
}

void ReactionDiffusionLayer::StepGrid(const float* a, const float* b, float* nextA, float* nextB,
                                      int width, int height, const Stencil& stencilA,
                                      const Stencil& stencilB, float timeStep) {
    const std::size_t w = static_cast<std::size_t>(width);
    // Rows are independent, so splitting them among threads cannot change
    // a single cell.
    const std::size_t grain = std::max<std::size_t>(1, kPixelGrain / w);
    ParallelFor(static_cast<std::size_t>(height), grain, [&](std::size_t begin, std::size_t end) {
        for (std::size_t y = begin; y < end; ++y) {
            const std::size_t up = (y == 0 ? static_cast<std::size_t>(height) - 1 : y - 1) * w;
            const std::size_t mid = y * w;
            const std::size_t down = (y + 1 == static_cast<std::size_t>(height) ? 0 : y + 1) * w;
            const Rows ra{a + up, a + mid, a + down};
            const Rows rb{b + up, b + mid, b + down};
            UpdateRow(stencilA, stencilB, ra, rb, timeStep, width, nextA + mid, nextB + mid);
        }
    });
}

bool ReactionDiffusionLayer::Render(RenderContext& context) {
    if (!IsEnabled()) return true;
    bool plainResult = false;
    std::unique_lock<LayerLock> hold = BeginRender(context, plainResult);
    if (!hold.owns_lock()) return plainResult;

    // The random start, from the last pixel to the first, A before B. The
    // generator is held for a run of pixels at a time, not for the grid.
    const std::size_t size = static_cast<std::size_t>(Size());
    float* a = m_values.Data();
    float* b = m_concentrationB.Data();
    constexpr std::size_t kBatchPixels = 4096;
    for (std::size_t i = size; i > 0;) {
        if (context.IsCancelled()) return false;  // a large grid takes seconds
        RandomGenerator::Batch batch(RandomGenerator::Instance());
        for (std::size_t k = 0; k < kBatchPixels && i > 0; ++k) {
            --i;
            a[i] = std::min(static_cast<float>(batch.Uniform(0.0, kStartRange)), kLargestStart);
            b[i] = std::min(static_cast<float>(batch.Uniform(0.0, kStartRange)), kLargestStart);
        }
    }

    m_stencilA = DrawStencil(m_chemicalA);
    m_stencilB = DrawStencil(m_chemicalB);

    const int progressStep = m_iterations / 100;
    for (int j = 0; j < m_iterations; ++j) {
        if (context.IsCancelled()) return false;
        StepGrid(m_values.Data(), m_concentrationB.Data(), m_nextA.Data(), m_nextB.Data(), Width(),
                 Height(), m_stencilA, m_stencilB, m_timeStep);
        std::swap(m_values, m_nextA);
        std::swap(m_concentrationB, m_nextB);
        if (progressStep > 0 && (j + 1) % progressStep == 0)
            context.Post(Notification::ProgressStep);
    }

    ColorFunction().Apply(m_values.Data(), size);
    if (!MapColors(context)) return false;
    FreeBuffers();
    return true;
}

}  // namespace quillon
