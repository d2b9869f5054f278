#include "engine/noise/gradient_noise.h"

#include <cmath>

#include "engine/noise/noise_simd.h"

namespace quillon {

GradientNoise3D::GradientNoise3D(std::uint32_t requested) : Noise3D(-1.0, 1.0, requested, 3) {
    RandomGenerator::Batch batch(RandomGenerator::Instance());
    DrawTables(batch);
    Normalize(batch);
}

void GradientNoise3D::Normalize(RandomGenerator::Batch& batch) {
    for (std::size_t e = 0; e + 2 < m_values.size(); e += 3) {
        double* g = &m_values[e];
        double len = std::sqrt(g[0] * g[0] + g[1] * g[1] + g[2] * g[2]);
        // A zero vector has no direction: draw again rather than divide by 0.
        while (len >= 1.0 || len == 0.0) {
            g[0] = batch.Uniform(-1.0, 1.0);
            g[1] = batch.Uniform(-1.0, 1.0);
            g[2] = batch.Uniform(-1.0, 1.0);
            len = std::sqrt(g[0] * g[0] + g[1] * g[1] + g[2] * g[2]);
        }
        g[0] /= len;
        g[1] /= len;
        g[2] /= len;
    }
}

void GradientNoise3D::Randomize() {
    RandomGenerator::Batch batch(RandomGenerator::Instance());
    RedrawValues(batch);
    Normalize(batch);
}

namespace {

double Lerp(double t, double a, double b) {
    return a + t * (b - a);
}

// The eight corner dot products blended trilinearly with smoothstep
// weights; cell[c] is the gradient of corner c = dx + 2 dy + 4 dz.
double BlendCorners(const double* const cell[8], double fx0, double fy0, double fz0) {
    const double fx1 = fx0 - 1.0, fy1 = fy0 - 1.0, fz1 = fz0 - 1.0;
    const double wx = fx0 * fx0 * (3.0 - 2.0 * fx0);
    const double wy = fy0 * fy0 * (3.0 - 2.0 * fy0);
    const double wz = fz0 * fz0 * (3.0 - 2.0 * fz0);
    const auto g = [cell](int c, double a, double b, double d) {
        const double* v = cell[c];
        return v[0] * a + v[1] * b + v[2] * d;
    };
    double ya = Lerp(wx, g(0, fx0, fy0, fz0), g(1, fx1, fy0, fz0));
    double yb = Lerp(wx, g(2, fx0, fy1, fz0), g(3, fx1, fy1, fz0));
    const double vz0 = Lerp(wy, ya, yb);
    ya = Lerp(wx, g(4, fx0, fy0, fz1), g(5, fx1, fy0, fz1));
    yb = Lerp(wx, g(6, fx0, fy1, fz1), g(7, fx1, fy1, fz1));
    const double vz1 = Lerp(wy, ya, yb);
    return Lerp(wz, vz0, vz1);
}

}  // namespace

void GradientNoise3D::FindCell(std::int32_t ix, std::int32_t iy, std::int32_t iz,
                               const double* cell[8]) const {
    // Index(i, j, k) = P(i + P(j + P(k))): the inner hashes are shared by corners.
    const std::int32_t ix1 = WrapAdd(ix, 1), iy1 = WrapAdd(iy, 1), iz1 = WrapAdd(iz, 1);
    const std::int32_t pk0 = P(iz), pk1 = P(iz1);
    const std::int32_t jk[4] = {P(WrapAdd(iy, pk0)), P(WrapAdd(iy1, pk0)), P(WrapAdd(iy, pk1)),
                                P(WrapAdd(iy1, pk1))};
    const double* values = m_values.data();
    for (int c = 0; c < 8; ++c) {
        cell[c] = values + 3 * static_cast<std::size_t>(P(WrapAdd((c & 1) ? ix1 : ix, jk[c >> 1])));
    }
}

double GradientNoise3D::EvaluateAt(double x, double y, double z) const {
    const Axis ax = Split(x), ay = Split(y), az = Split(z);
    const double* cell[8];
    FindCell(ax.cell, ay.cell, az.cell, cell);
    return BlendCorners(cell, ax.fraction, ay.fraction, az.fraction);
}

void GradientNoise3D::EvaluateMany(const double* x, const double* y, const double* z, double* out,
                                   std::size_t n) const {
    // Neighbouring points mostly share a lattice cell: its corners are
    // found once and the run of points in it is blended on whole vectors.
    constexpr std::size_t kBlock = 256;
    constexpr std::size_t kShortRun = 4;
    double fx[kBlock], fy[kBlock], fz[kBlock];
    std::int32_t ix[kBlock], iy[kBlock], iz[kBlock];
    const double* cell[8];
    for (std::size_t start = 0; start < n; start += kBlock) {
        const std::size_t count = n - start < kBlock ? n - start : kBlock;
        SplitBlock(x + start, ix, fx, count);
        SplitBlock(y + start, iy, fy, count);
        SplitBlock(z + start, iz, fz, count);
        double* o = out + start;
        for (std::size_t i = 0; i < count;) {
            std::size_t end = i + 1;
            while (end < count && ix[end] == ix[i] && iy[end] == iy[i] && iz[end] == iz[i]) ++end;
            FindCell(ix[i], iy[i], iz[i], cell);
            if (end - i >= kShortRun)
                i += GradientBlendRun(cell, fx + i, fy + i, fz + i, o + i, end - i);
            for (; i < end; ++i) o[i] = BlendCorners(cell, fx[i], fy[i], fz[i]);
        }
    }
}

std::unique_ptr<Noise3D> GradientNoise3D::Clone() const {
    return std::make_unique<GradientNoise3D>(m_requestedSize);
}

}  // namespace quillon
