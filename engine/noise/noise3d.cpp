#include "engine/noise/noise3d.h"

#include <cmath>
#include <utility>

#include "engine/noise/convolution_noise.h"
#include "engine/noise/gradient_noise.h"
#include "engine/noise/grid_noise.h"
#include "engine/noise/noise_simd.h"
#include "engine/noise/valgrad_noise.h"
#include "engine/noise/value_noise.h"

namespace quillon {

int Noise3D::TableSizeFor(std::uint32_t requested) {
    int size = 1;
    while (static_cast<std::uint32_t>(size) < requested && size < kMaxTableSize) size *= 2;
    return size;
}

Noise3D::Axis Noise3D::SplitWide(double c) {
    if (!std::isfinite(c)) return {0, 0.0};
    const double f = std::floor(c);
    // Wrap to 32 bits in double first: exact for every representable integer.
    double wrapped = std::fmod(f, 4294967296.0);
    if (wrapped < 0.0) wrapped += 4294967296.0;
    const auto cell = static_cast<std::int32_t>(static_cast<std::uint32_t>(wrapped));
    return {cell, c - f};
}

void Noise3D::SplitBlock(const double* c, std::int32_t* cell, double* fraction, std::size_t n) {
    bool wide = false;
    std::size_t done = SplitMany(c, cell, fraction, n, wide);
    if (wide) done = 0;
    for (std::size_t i = done; i < n; ++i) {
        const Axis a = Split(c[i]);
        cell[i] = a.cell;
        fraction[i] = a.fraction;
    }
}

int Noise3D::DrawIndex(RandomGenerator::Batch& batch, int n) {
    const int index = static_cast<int>(batch.Uniform(0.0, static_cast<double>(n)));
    return index < n ? index : (n > 0 ? n - 1 : 0);
}

Noise3D::Noise3D(double rangeLow, double rangeHigh, std::uint32_t requested, int valuesPerEntry)
    : m_requestedSize(requested),
      m_valuesPerEntry(
          valuesPerEntry < 1
              ? 1
              : (valuesPerEntry > kMaxValuesPerEntry ? kMaxValuesPerEntry : valuesPerEntry)),
      m_rangeLow(rangeLow),
      m_rangeHigh(rangeHigh) {
    const int tableSize = TableSizeFor(requested);
    m_entryCount = tableSize * m_valuesPerEntry;
    m_mask = tableSize - 1;
    m_values.resize(static_cast<std::size_t>(m_entryCount));
    m_permutation.resize(static_cast<std::size_t>(tableSize));
    for (int j = 0; j < tableSize; ++j) m_permutation[static_cast<std::size_t>(j)] = j;
}

void Noise3D::DrawTables(RandomGenerator::Batch& batch) {
    RedrawValues(batch);
    const int tableSize = TableSize();
    for (int j = 0; j < tableSize; ++j) m_permutation[static_cast<std::size_t>(j)] = j;
    for (int n = 0; n < 4 * tableSize + 1; ++n) {
        const int a = DrawIndex(batch, tableSize);
        const int b = DrawIndex(batch, tableSize);
        std::swap(m_permutation[static_cast<std::size_t>(a)],
                  m_permutation[static_cast<std::size_t>(b)]);
    }
}

void Noise3D::RedrawValues(RandomGenerator::Batch& batch) {
    for (double& v : m_values) v = batch.Uniform(m_rangeLow, m_rangeHigh);
}

void Noise3D::Randomize() {
    RandomGenerator::Batch batch(RandomGenerator::Instance());
    RedrawValues(batch);
}

void Noise3D::EvaluateMany(const double* x, const double* y, const double* z, double* out,
                           std::size_t n) const {
    for (std::size_t i = 0; i < n; ++i) out[i] = EvaluateAt(x[i], y[i], z[i]);
}

double Noise3D::Evaluate(const Matrix& point) const {
    if (point.Rows() < 3 || point.Columns() < 1) return 0.0;
    return EvaluateAt(point.Element(0, 0), point.Element(1, 0), point.Element(2, 0));
}

std::unique_ptr<Noise3D> MakeNoise(NoiseFunction kind) {
    switch (kind) {
        case NoiseFunction::Value:
            return std::make_unique<ValueNoise3D>(-1.0, 1.0, 256);
        case NoiseFunction::ValGrad:
            return std::make_unique<ValGradNoise3D>(256);
        case NoiseFunction::Convolution:
            return std::make_unique<ConvolutionNoise3D>(-1.0, 1.0, 256, 100.0, 1);
        case NoiseFunction::SparseConv:
            return std::make_unique<SparseConvolution3D>(256, 100.0);
        case NoiseFunction::Grid:
            return std::make_unique<GridNoise3D>(0.0, 256);
        case NoiseFunction::Gradient:
        default:
            return std::make_unique<GradientNoise3D>(256);
    }
}

}  // namespace quillon
