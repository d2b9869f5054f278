#include "engine/noise/value_noise.h"

#include "engine/noise/noise_simd.h"

namespace quillon {

ValueNoise3D::ValueNoise3D(double rangeLow, double rangeHigh, std::uint32_t requested)
    : Noise3D(rangeLow, rangeHigh, requested, 1) {
    RandomGenerator::Batch batch(RandomGenerator::Instance());
    DrawTables(batch);
}

void ValueNoise3D::SplineCoefficients(const double* knots, double c[4]) {
    const double a = knots[0], b = knots[1], cc = knots[2], d = knots[3];
    c[0] = -0.5 * a + 1.5 * b - 1.5 * cc + 0.5 * d;
    c[1] = a - 2.5 * b + 2.0 * cc - 0.5 * d;
    c[2] = -0.5 * a + 0.5 * cc;
    c[3] = b;
}

double ValueNoise3D::Spline(double t, const double* knots, int n) {
    if (n < 4) return 0.0;
    if (t < 0.0) t = 0.0;
    if (t > 1.0) t = 1.0;
    const double s = t * (n - 3);
    int span = static_cast<int>(s);
    if (span > n - 4) span = n - 4;
    const double u = s - span;
    double c[4];
    SplineCoefficients(knots + span, c);
    return ((c[0] * u + c[1]) * u + c[2]) * u + c[3];
}

void ValueNoise3D::FindKnots(std::int32_t ix, std::int32_t iy, std::int32_t iz,
                             double knots[64]) const {
    for (int dz = -1; dz <= 2; ++dz) {
        const std::int32_t pk = P(WrapAdd(iz, dz));
        for (int dy = -1; dy <= 2; ++dy) {
            // Index(i, j, k) = P(i + P(j + P(k))), the inner hashes shared along x.
            const std::int32_t pjk = P(WrapAdd(WrapAdd(iy, dy), pk));
            for (int dx = -1; dx <= 2; ++dx) {
                knots[16 * (dz + 1) + 4 * (dy + 1) + dx + 1] =
                    m_values[static_cast<std::size_t>(P(WrapAdd(WrapAdd(ix, dx), pjk)))];
            }
        }
    }
}

double ValueNoise3D::Blend(const double knots[64], double fx, double fy, double fz) {
    double zKnots[4];
    for (int dz = 0; dz < 4; ++dz) {
        double yKnots[4];
        for (int dy = 0; dy < 4; ++dy) yKnots[dy] = Spline(fx, knots + 16 * dz + 4 * dy, 4);
        zKnots[dz] = Spline(fy, yKnots, 4);
    }
    return Spline(fz, zKnots, 4);
}

double ValueNoise3D::EvaluateAt(double x, double y, double z) const {
    const Axis ax = Split(x), ay = Split(y), az = Split(z);
    double knots[64];
    FindKnots(ax.cell, ay.cell, az.cell, knots);
    return Blend(knots, ax.fraction, ay.fraction, az.fraction);
}

void ValueNoise3D::EvaluateMany(const double* x, const double* y, const double* z, double* out,
                                std::size_t n) const {
    // As for gradient noise: knots found once per run of points in a cell,
    // the run evaluated on whole vectors from the x-splines' coefficients.
    constexpr std::size_t kBlock = 256;
    constexpr std::size_t kShortRun = 4;
    double fx[kBlock], fy[kBlock], fz[kBlock];
    std::int32_t ix[kBlock], iy[kBlock], iz[kBlock];
    double knots[64], rows[64];
    for (std::size_t start = 0; start < n; start += kBlock) {
        const std::size_t count = n - start < kBlock ? n - start : kBlock;
        SplitBlock(x + start, ix, fx, count);
        SplitBlock(y + start, iy, fy, count);
        SplitBlock(z + start, iz, fz, count);
        double* o = out + start;
        for (std::size_t i = 0; i < count;) {
            std::size_t end = i + 1;
            while (end < count && ix[end] == ix[i] && iy[end] == iy[i] && iz[end] == iz[i]) ++end;
            FindKnots(ix[i], iy[i], iz[i], knots);
            // Fractions lie in [0, 1], where the spline's parameter is the
            // fraction itself: the clamps and span choice change nothing.
            if (end - i >= kShortRun) {
                for (int r = 0; r < 16; ++r) SplineCoefficients(knots + 4 * r, rows + 4 * r);
                i += ValueRun(rows, fx + i, fy + i, fz + i, o + i, end - i);
            }
            for (; i < end; ++i) o[i] = Blend(knots, fx[i], fy[i], fz[i]);
        }
    }
}

std::unique_ptr<Noise3D> ValueNoise3D::Clone() const {
    return std::make_unique<ValueNoise3D>(m_rangeLow, m_rangeHigh, m_requestedSize);
}

}  // namespace quillon
