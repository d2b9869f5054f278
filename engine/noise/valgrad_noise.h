#pragma once

#include "engine/noise/gradient_noise.h"
#include "engine/noise/value_noise.h"

namespace quillon {

// The mean of a value noise and a gradient noise, each with its own tables.
class ValGradNoise3D : public Noise3D {
  public:
    explicit ValGradNoise3D(std::uint32_t requested);

    void Randomize() override;
    double EvaluateAt(double x, double y, double z) const override;
    void EvaluateMany(const double* x, const double* y, const double* z, double* out,
                      std::size_t n) const override;
    std::unique_ptr<Noise3D> Clone() const override;
    NoiseFunction Kind() const override { return NoiseFunction::ValGrad; }

    const ValueNoise3D& ValuePart() const { return m_value; }
    const GradientNoise3D& GradientPart() const { return m_gradient; }

  private:
    // Declaration order is construction order: the value tables are drawn first.
    ValueNoise3D m_value;
    GradientNoise3D m_gradient;
};

}  // namespace quillon
