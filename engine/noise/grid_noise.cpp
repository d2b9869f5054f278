#include "engine/noise/grid_noise.h"

#include <algorithm>
#include <utility>

namespace quillon {

GridNoise3D::GridNoise3D(double weight, std::uint32_t requested)
    : Noise3D(0.0, 1.0, requested, 1), m_weight(weight) {
    RandomGenerator::Batch batch(RandomGenerator::Instance());
    DrawTables(batch);
    DrawGridValues(batch);

    // Shuffle even indices among themselves, then odd ones, so every entry
    // keeps the parity of its index.
    const auto requestedSize = static_cast<int>(
        std::min<std::uint32_t>(m_requestedSize, static_cast<std::uint32_t>(TableSize())));
    for (int i = 0; i < requestedSize; ++i) m_permutation[static_cast<std::size_t>(i)] = i;
    const int half = requestedSize / 2;
    const auto size = m_permutation.size();
    for (int parity = 0; parity < 2; ++parity) {
        for (int n = 0; n < requestedSize + 1; ++n) {
            const auto a = static_cast<std::size_t>(2 * DrawIndex(batch, half) + parity);
            const auto b = static_cast<std::size_t>(2 * DrawIndex(batch, half) + parity);
            // Sizes 0 and 1 have no odd slot; the draws are still taken.
            if (a < size && b < size) std::swap(m_permutation[a], m_permutation[b]);
        }
    }
}

void GridNoise3D::DrawGridValues(RandomGenerator::Batch& batch) {
    for (std::size_t i = 0; i < m_values.size(); ++i) {
        const double r = batch.Uniform(m_rangeLow, m_rangeHigh);
        m_values[i] = r * m_weight + (1.0 - m_weight) * ((i % 2 == 1) ? m_rangeLow : m_rangeHigh);
    }
}

void GridNoise3D::Randomize() {
    RandomGenerator::Batch batch(RandomGenerator::Instance());
    DrawGridValues(batch);
}

double GridNoise3D::EvaluateAt(double x, double y, double z) const {
    const Axis ax = Split(x), ay = Split(y), az = Split(z);
    return m_values[static_cast<std::size_t>(Index(ax.cell, ay.cell, az.cell))];
}

std::unique_ptr<Noise3D> GridNoise3D::Clone() const {
    return std::make_unique<GridNoise3D>(m_weight, m_requestedSize);
}

}  // namespace quillon
