#pragma once

#include "engine/noise/noise3d.h"

namespace quillon {

// One value per unit cell: a randomised three-dimensional checkerboard.
// The permutation keeps the parity of every index, so a lattice entry has
// the parity of i + j + k: odd cells take r x weight, even cells
// r x weight + 1 - weight. Weight 0 is an exact 0/1 checkerboard, weight 1
// an uncorrelated random value per cell.
class GridNoise3D : public Noise3D {
  public:
    GridNoise3D(double weight, std::uint32_t requested);

    // Redraws the cell values with the current weight.
    void Randomize() override;
    double EvaluateAt(double x, double y, double z) const override;
    std::unique_ptr<Noise3D> Clone() const override;
    NoiseFunction Kind() const override { return NoiseFunction::Grid; }

    double Weight() const { return m_weight; }
    // Takes effect at the next Randomize.
    void SetWeight(double weight) { m_weight = weight; }

  private:
    void DrawGridValues(RandomGenerator::Batch& batch);

    double m_weight;
};

}  // namespace quillon
