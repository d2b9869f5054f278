#include "engine/noise/valgrad_noise.h"

namespace quillon {

ValGradNoise3D::ValGradNoise3D(std::uint32_t requested) : m_value(-1.0, 1.0, requested), m_gradient(requested) {
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

std::unique_ptr<Noise3D> ValGradNoise3D::Clone() const {
    return std::make_unique<ValGradNoise3D>(m_requestedSize);
}

}  // namespace quillon
