#include "engine/noise/gradient_noise.h"

#include <cmath>

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

double Lerp(double t, double a, double b) { return a + t * (b - a); }

}  // namespace

double GradientNoise3D::EvaluateAt(double x, double y, double z) const {
    const Axis ax = Split(x), ay = Split(y), az = Split(z);
    const double fx0 = ax.fraction, fy0 = ay.fraction, fz0 = az.fraction;
    const double fx1 = fx0 - 1.0, fy1 = fy0 - 1.0, fz1 = fz0 - 1.0;
    const double wx = fx0 * fx0 * (3.0 - 2.0 * fx0);
    const double wy = fy0 * fy0 * (3.0 - 2.0 * fy0);
    const double wz = fz0 * fz0 * (3.0 - 2.0 * fz0);
    const std::int32_t ix = ax.cell, iy = ay.cell, iz = az.cell;
    const std::int32_t ix1 = WrapAdd(ix, 1), iy1 = WrapAdd(iy, 1), iz1 = WrapAdd(iz, 1);

    const auto g = [this](std::int32_t i, std::int32_t j, std::int32_t k, double a, double b, double c) {
        const double* v = &m_values[3 * static_cast<std::size_t>(Index(i, j, k))];
        return v[0] * a + v[1] * b + v[2] * c;
    };

    double ya = Lerp(wx, g(ix, iy, iz, fx0, fy0, fz0), g(ix1, iy, iz, fx1, fy0, fz0));
    double yb = Lerp(wx, g(ix, iy1, iz, fx0, fy1, fz0), g(ix1, iy1, iz, fx1, fy1, fz0));
    const double vz0 = Lerp(wy, ya, yb);
    ya = Lerp(wx, g(ix, iy, iz1, fx0, fy0, fz1), g(ix1, iy, iz1, fx1, fy0, fz1));
    yb = Lerp(wx, g(ix, iy1, iz1, fx0, fy1, fz1), g(ix1, iy1, iz1, fx1, fy1, fz1));
    const double vz1 = Lerp(wy, ya, yb);
    return Lerp(wz, vz0, vz1);
}

std::unique_ptr<Noise3D> GradientNoise3D::Clone() const {
    return std::make_unique<GradientNoise3D>(m_requestedSize);
}

}  // namespace quillon
