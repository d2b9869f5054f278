#include "engine/noise/valgrad_noise.h"

namespace quillon {

ValGradNoise3D::ValGradNoise3D(std::uint32_t requested)
    : m_value(-1.0, 1.0, requested), m_gradient(requested) {
    m_requestedSize = requested;
}

void ValGradNoise3D::Randomize() {
    m_value.Randomize();
    m_gradient.Randomize();
}

double ValGradNoise3D::EvaluateAt(double x, double y, double z) const {
    const double v = m_value.EvaluateAt(x, y, z);
    return (v + m_gradient.EvaluateAt(x, y, z)) * 0.5;
}

void ValGradNoise3D::EvaluateMany(const double* x, const double* y, const double* z, double* out,
                                  std::size_t n) const {
    constexpr std::size_t kChunk = 256;
    double gradient[kChunk];
    for (std::size_t start = 0; start < n; start += kChunk) {
        const std::size_t count = n - start < kChunk ? n - start : kChunk;
        m_value.EvaluateMany(x + start, y + start, z + start, out + start, count);
        m_gradient.EvaluateMany(x + start, y + start, z + start, gradient, count);
        for (std::size_t i = 0; i < count; ++i)
            out[start + i] = (out[start + i] + gradient[i]) * 0.5;
    }
}

std::unique_ptr<Noise3D> ValGradNoise3D::Clone() const {
    return std::make_unique<ValGradNoise3D>(m_requestedSize);
}

}  // namespace quillon
