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
    // c3, c2, c1, c0 of the Catmull-Rom segment through four knots.
    static void SplineCoefficients(const double* knots, double c[4]);

  private:
    // The 4 x 4 x 4 values around cell (ix, iy, iz), at 16 (dz + 1) +
    // 4 (dy + 1) + dx + 1.
    void FindKnots(std::int32_t ix, std::int32_t iy, std::int32_t iz, double knots[64]) const;
    static double Blend(const double knots[64], double fx, double fy, double fz);
};

}  // namespace quillon
