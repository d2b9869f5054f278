#include "engine/noise/value_noise.h"

#include "engine/noise/noise_simd.h"

namespace quillon {

ValueNoise3D::ValueNoise3D(double rangeLow, double rangeHigh, std::uint32_t requested)
    : Noise3D(rangeLow, rangeHigh, requested, 1) {
    RandomGenerator::Batch batch(RandomGenerator::Instance());
    DrawTables(batch);
}

double ValueNoise3D::Spline(double t, const double* knots, int n) {
    if (n < 4) return 0.0;
    if (t < 0.0) t = 0.0;
    if (t > 1.0) t = 1.0;
    const double s = t * (n - 3);
    int span = static_cast<int>(s);
    if (span > n - 4) span = n - 4;
    const double u = s - span;
    const double a = knots[span], b = knots[span + 1], c = knots[span + 2], d = knots[span + 3];
    const double c3 = -0.5 * a + 1.5 * b - 1.5 * c + 0.5 * d;
    const double c2 = a - 2.5 * b + 2.0 * c - 0.5 * d;
    const double c1 = -0.5 * a + 0.5 * c;
    const double c0 = b;
    return ((c3 * u + c2) * u + c1) * u + c0;
}

double ValueNoise3D::EvaluateAt(double x, double y, double z) const {
    const Axis ax = Split(x), ay = Split(y), az = Split(z);
    double xKnots[4], yKnots[4], zKnots[4];
    for (int dz = -1; dz <= 2; ++dz) {
        for (int dy = -1; dy <= 2; ++dy) {
            for (int dx = -1; dx <= 2; ++dx) {
                const std::int32_t h =
                    Index(WrapAdd(ax.cell, dx), WrapAdd(ay.cell, dy), WrapAdd(az.cell, dz));
                xKnots[dx + 1] = m_values[static_cast<std::size_t>(h)];
            }
            yKnots[dy + 1] = Spline(ax.fraction, xKnots, 4);
        }
        zKnots[dz + 1] = Spline(ay.fraction, yKnots, 4);
    }
    return Spline(az.fraction, zKnots, 4);
}

void ValueNoise3D::EvaluateMany(const double* x, const double* y, const double* z, double* out,
                                std::size_t n) const {
    const LatticeTables tables{m_permutation.data(), m_mask, m_values.data()};
    std::size_t i = 0;
    while (i < n) {
        i += ValueNoiseMany(tables, x + i, y + i, z + i, out + i, n - i);
        if (i < n) {
            out[i] = EvaluateAt(x[i], y[i], z[i]);
            ++i;
        }
    }
}

std::unique_ptr<Noise3D> ValueNoise3D::Clone() const {
    return std::make_unique<ValueNoise3D>(m_rangeLow, m_rangeHigh, m_requestedSize);
}

}  // namespace quillon
