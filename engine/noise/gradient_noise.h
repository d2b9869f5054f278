#pragma once

#include "engine/noise/noise3d.h"

namespace quillon {

// Random unit gradients at the lattice points; the eight corner dot
// products are blended trilinearly with smoothstep weights. Zero at every
// lattice point.
class GradientNoise3D : public Noise3D {
  public:
    explicit GradientNoise3D(std::uint32_t requested);

    void Randomize() override;
    double EvaluateAt(double x, double y, double z) const override;
    void EvaluateMany(const double* x, const double* y, const double* z, double* out,
                      std::size_t n) const override;
    std::unique_ptr<Noise3D> Clone() const override;
    NoiseFunction Kind() const override { return NoiseFunction::Gradient; }

  private:
    // Rejects gradients outside the unit ball, then normalises each one.
    void Normalize(RandomGenerator::Batch& batch);
    // The gradients of the eight corners of lattice cell (ix, iy, iz),
    // corner c = dx + 2 dy + 4 dz.
    void FindCell(std::int32_t ix, std::int32_t iy, std::int32_t iz, const double* cell[8]) const;
};

}  // namespace quillon
