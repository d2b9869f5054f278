#include "engine/noise/convolution_noise.h"

#include <cmath>

namespace quillon {

ConvolutionNoise3D::ConvolutionNoise3D(double rangeLow, double rangeHigh, std::uint32_t requested,
                                       double sampleRate, int valuesPerEntry)
    : ConvolutionNoise3D(rangeLow, rangeHigh, requested, sampleRate, valuesPerEntry, DeferDraw{}) {
    RandomGenerator::Batch batch(RandomGenerator::Instance());
    DrawTables(batch);
}

ConvolutionNoise3D::ConvolutionNoise3D(double rangeLow, double rangeHigh, std::uint32_t requested,
                                       double sampleRate, int valuesPerEntry, DeferDraw)
    : Noise3D(rangeLow, rangeHigh, requested, valuesPerEntry) {
    BuildFilter(sampleRate);
}

void ConvolutionNoise3D::BuildFilter(double sampleRate) {
    if (!(sampleRate >= kMinSampleRate)) sampleRate = kMinSampleRate;  // NaN too
    if (sampleRate > kMaxSampleRate) sampleRate = kMaxSampleRate;
    m_sampleRate = sampleRate;
    m_filterCount = static_cast<int>(4.0 * sampleRate + 1.0);
    m_filter.resize(static_cast<std::size_t>(m_filterCount));
    for (int i = 0; i < m_filterCount; ++i) {
        const double x = std::sqrt(i / sampleRate);
        m_filter[static_cast<std::size_t>(i)] = x < 1.0 ? 0.5 * (2.0 + x * x * (3.0 * x - 5.0))
                                                        : 0.5 * (4.0 + x * (-8.0 + x * (5.0 - x)));
    }
}

double ConvolutionNoise3D::EvaluateAt(double x, double y, double z) const {
    const Axis ax = Split(x), ay = Split(y), az = Split(z);
    double sum = 0.0;
    for (int dz = -1; dz <= 2; ++dz) {
        const double ez = dz - az.fraction;
        for (int dy = -1; dy <= 2; ++dy) {
            const double ey = dy - ay.fraction;
            for (int dx = -1; dx <= 2; ++dx) {
                const double ex = dx - ax.fraction;
                const double d2 = ex * ex + ey * ey + ez * ez;
                const std::int32_t h =
                    Index(WrapAdd(ax.cell, dx), WrapAdd(ay.cell, dy), WrapAdd(az.cell, dz));
                sum += Filter(d2) * m_values[static_cast<std::size_t>(h)];
            }
        }
    }
    return sum;
}

std::unique_ptr<Noise3D> ConvolutionNoise3D::Clone() const {
    return std::make_unique<ConvolutionNoise3D>(m_rangeLow, m_rangeHigh, m_requestedSize,
                                                std::trunc(m_sampleRate), m_valuesPerEntry);
}

SparseConvolution3D::SparseConvolution3D(std::uint32_t requested, double sampleRate)
    : ConvolutionNoise3D(-1.0, 1.0, requested, sampleRate, 4, DeferDraw{}) {
    RandomGenerator::Batch batch(RandomGenerator::Instance());
    DrawTables(batch);
    DrawPositions(batch);
}

void SparseConvolution3D::DrawPositions(RandomGenerator::Batch& batch) {
    for (std::size_t e = 0; e + 3 < m_values.size(); e += 4) {
        m_values[e] = batch.Uniform(0.0, 1.0);
        m_values[e + 1] = batch.Uniform(0.0, 1.0);
        m_values[e + 2] = batch.Uniform(0.0, 1.0);
    }
}

void SparseConvolution3D::Randomize() {
    RandomGenerator::Batch batch(RandomGenerator::Instance());
    DrawPositions(batch);
}

double SparseConvolution3D::EvaluateAt(double x, double y, double z) const {
    const Axis ax = Split(x), ay = Split(y), az = Split(z);
    const auto mask = static_cast<std::uint32_t>(m_mask);
    double sum = 0.0;
    for (int dx = -2; dx <= 2; ++dx) {
        for (int dy = -2; dy <= 2; ++dy) {
            for (int dz = -2; dz <= 2; ++dz) {
                auto h = static_cast<std::uint32_t>(
                    Index(WrapAdd(ax.cell, dx), WrapAdd(ay.cell, dy), WrapAdd(az.cell, dz)));
                for (int n = 0; n < 3; ++n) {
                    const double* impulse = &m_values[4 * static_cast<std::size_t>(h)];
                    const double ex = ax.fraction - (dx + impulse[0]);
                    const double ey = ay.fraction - (dy + impulse[1]);
                    const double ez = az.fraction - (dz + impulse[2]);
                    sum += Filter(ex * ex + ey * ey + ez * ez) * impulse[3];
                    h = (h + 1) & mask;
                }
            }
        }
    }
    return sum * 0.3333333333333333;
}

std::unique_ptr<Noise3D> SparseConvolution3D::Clone() const {
    return std::make_unique<SparseConvolution3D>(m_requestedSize, std::trunc(SampleRate()));
}

}  // namespace quillon
