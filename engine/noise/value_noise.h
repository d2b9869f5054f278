#pragma once

#include "engine/noise/noise3d.h"

namespace quillon {

// Random values at the lattice points, a Catmull-Rom spline through the
// 4 x 4 x 4 of them around the point.
class ValueNoise3D : public Noise3D {
public:
    ValueNoise3D(double rangeLow, double rangeHigh, std::uint32_t requested);

    double EvaluateAt(double x, double y, double z) const override;
    void EvaluateMany(const double* x, const double* y, const double* z, double* out,
                      std::size_t n) const override;
    std::unique_ptr<Noise3D> Clone() const override;
    NoiseFunction Kind() const override { return NoiseFunction::Value; }

    // Catmull-Rom spline through n knots at t in [0, 1]; fewer than 4 knots
    // give 0.
    static double Spline(double t, const double* knots, int n);
};

}  // namespace quillon
