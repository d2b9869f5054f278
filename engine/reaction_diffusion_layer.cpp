#include "engine/reaction_diffusion_layer.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <utility>

namespace quillon {

namespace {

// Start concentrations are drawn over [0, 12); a draw just below 12 can
// round up to 12 as a float.
constexpr float kStartRange = 12.0f;
const float kLargestStart = std::nextafter(kStartRange, 0.0f);

// The reaction's fixed terms.
constexpr float kDecayA = 12.0f;
constexpr float kSourceB = 16.0f;

// Neighbourhoods of one grid row: the rows above (y - 1) and below (y + 1),
// already wrapped.
struct Rows {
    const float* up;
    const float* mid;
    const float* down;
};

inline float Apply(const Stencil& s, const Rows& r, int xl, int x, int xr) {
    return s[0] * r.up[xl] + s[1] * r.up[x] + s[2] * r.up[xr] +
           s[3] * r.mid[xl] + s[4] * r.mid[x] + s[5] * r.mid[xr] +
           s[6] * r.down[xl] + s[7] * r.down[x] + s[8] * r.down[xr];
}

// The update of one cell. Results not above 0 (NaN included, after a
// blow-up) are stored as 0, so concentrations never turn negative.
inline void UpdateCell(const Stencil& sa, const Stencil& sb, const Rows& a, const Rows& b,
                       float dt, int xl, int x, int xr, float* __restrict nextA,
                       float* __restrict nextB) {
    const float la = Apply(sa, a, xl, x, xr);
    const float lb = Apply(sb, b, xl, x, xr);
    const float av = a.mid[x];
    const float bv = b.mid[x];
    const float ab = av * bv;
    const float na = av + dt * (la + ab - av - kDecayA);
    const float nb = bv + dt * (lb + kSourceB - ab);
    nextA[x] = na > 0.0f ? na : 0.0f;
    nextB[x] = nb > 0.0f ? nb : 0.0f;
}

// One row: the two edge columns wrap, the interior runs straight (and
// vectorises; each cell is computed the same way either path).
void UpdateRow(const Stencil& sa, const Stencil& sb, const Rows& a, const Rows& b, float dt,
               int width, float* __restrict nextA, float* __restrict nextB) {
    if (width == 1) {
        UpdateCell(sa, sb, a, b, dt, 0, 0, 0, nextA, nextB);
        return;
    }
    UpdateCell(sa, sb, a, b, dt, width - 1, 0, 1, nextA, nextB);
    for (int x = 1; x < width - 1; ++x) UpdateCell(sa, sb, a, b, dt, x - 1, x, x + 1, nextA, nextB);
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
    return {-half, ky, half,
            kx, -2.0f * (kx + ky) - m, kx,
            half, ky, -half};
}

Stencil ReactionDiffusionLayer::DrawStencil(const ChemicalParameters& chemical) {
    const float d1 = static_cast<float>(chemical.xRate.Evaluate());
    const float d2 = static_cast<float>(chemical.yRate.Evaluate());
    const double angle = chemical.angle.Evaluate();
    const double dissipation = chemical.dissipation.Evaluate();
    return BuildStencil(d1, d2, angle, dissipation);
}

void ReactionDiffusionLayer::Step() {
    const int w = Width();
    const int h = Height();
    const std::vector<int>& rows = RowOffsets();
    const float* a = m_values.Data();
    const float* b = m_concentrationB.Data();
    float* nextA = m_nextA.Data();
    float* nextB = m_nextB.Data();
    for (int y = 0; y < h; ++y) {
        const int up = rows[static_cast<std::size_t>(y == 0 ? h - 1 : y - 1)];
        const int mid = rows[static_cast<std::size_t>(y)];
        const int down = rows[static_cast<std::size_t>(y == h - 1 ? 0 : y + 1)];
        const Rows ra{a + up, a + mid, a + down};
        const Rows rb{b + up, b + mid, b + down};
        UpdateRow(m_stencilA, m_stencilB, ra, rb, m_timeStep, w, nextA + mid, nextB + mid);
    }
}

bool ReactionDiffusionLayer::Render(RenderContext& context) {
    if (!IsEnabled()) return true;
    std::unique_lock<LayerLock> hold(Lock());
    if (!AllocateBuffers()) {
        FreeBuffers();
        hold.unlock();
        return RenderPlain(context);
    }
    context.Post(Notification::LayerStarted);

    // The random start, from the last pixel to the first, A before B. The
    // generator is held for a run of pixels at a time, not for the grid.
    const std::size_t size = static_cast<std::size_t>(Size());
    float* a = m_values.Data();
    float* b = m_concentrationB.Data();
    constexpr std::size_t kBatchPixels = 4096;
    for (std::size_t i = size; i > 0;) {
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
        Step();
        std::swap(m_values, m_nextA);
        std::swap(m_concentrationB, m_nextB);
        if (progressStep > 0 && (j + 1) % progressStep == 0) context.Post(Notification::ProgressStep);
    }

    ColorFunction().Apply(m_values.Data(), size);
    MapColors(context.rgb, context.alpha, context.wantColour);
    FreeBuffers();
    return true;
}

}  // namespace quillon
