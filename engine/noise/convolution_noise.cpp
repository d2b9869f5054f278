#include "engine/noise/convolution_noise.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/noise/noise_simd.h"

namespace quillon {

ConvolutionNoise3D::ConvolutionNoise3D(double rangeLow, double rangeHigh, std::uint32_t requested,
                                       double sampleRate, int valuesPerEntry)
    : ConvolutionNoise3D(rangeLow, rangeHigh, requested, sampleRate, valuesPerEntry, DeferDraw{}) {
    RandomGenerator::Batch batch(RandomGenerator::Instance());
    DrawTables(batch);
    UpdateReach();
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
    m_filter.assign(static_cast<std::size_t>(m_filterCount) + 1, 0.0);
    for (int i = 0; i < m_filterCount; ++i) {
        const double x = std::sqrt(i / sampleRate);
        m_filter[static_cast<std::size_t>(i)] = x < 1.0 ? 0.5 * (2.0 + x * x * (3.0 * x - 5.0))
                                                        : 0.5 * (4.0 + x * (-8.0 + x * (5.0 - x)));
    }
}

void ConvolutionNoise3D::UpdateReach() {
    // Filter(d2) is 0 once d2 * rate + 0.5 reaches the count; one more step
    // covers the rounding of d2 many times over.
    const bool finite =
        std::all_of(m_values.begin(), m_values.end(), [](double v) { return std::isfinite(v); });
    m_reach2 =
        finite ? (m_filterCount + 0.5) / m_sampleRate : std::numeric_limits<double>::infinity();
}

void ConvolutionNoise3D::Randomize() {
    Noise3D::Randomize();
    UpdateReach();
}

void ConvolutionNoise3D::FindTaps(std::int32_t ix, std::int32_t iy, std::int32_t iz,
                                  const double lo[3], const double hi[3], Taps& taps) const {
    // The 4 x 4 x 4 lattice points around the cell, z outermost.
    taps.count = 0;
    double gx[4], gy[4], gz[4];
    for (int d = -1; d <= 2; ++d) {
        gx[d + 1] = Gap2(d, d, lo[0], hi[0]);
        gy[d + 1] = Gap2(d, d, lo[1], hi[1]);
        gz[d + 1] = Gap2(d, d, lo[2], hi[2]);
    }
    for (int dz = -1; dz <= 2; ++dz) {
        const double gapZ = gz[dz + 1];
        if (gapZ >= m_reach2) continue;
        const std::int32_t pk = P(WrapAdd(iz, dz));
        for (int dy = -1; dy <= 2; ++dy) {
            const double gapYZ = gapZ + gy[dy + 1];
            if (gapYZ >= m_reach2) continue;
            // Index(i, j, k) = P(i + P(j + P(k))), the inner hashes shared along x.
            const std::int32_t pjk = P(WrapAdd(WrapAdd(iy, dy), pk));
            for (int dx = -1; dx <= 2; ++dx) {
                taps.offset[taps.count] = static_cast<std::uint8_t>(16 * dz + 4 * dy + dx + 21);
                taps.AddIf(gapYZ + gx[dx + 1] < m_reach2, dx, dy, dz,
                           m_values[static_cast<std::size_t>(P(WrapAdd(WrapAdd(ix, dx), pjk)))]);
            }
        }
    }
}

double ConvolutionNoise3D::EvaluateAt(double x, double y, double z) const {
    // One point: every tap, straight from the definition; the batch gives
    // the same sums.
    const Axis ax = Split(x), ay = Split(y), az = Split(z);
    double sum = 0.0;
    for (int dz = -1; dz <= 2; ++dz) {
        const double ez = dz - az.fraction;
        const std::int32_t pk = P(WrapAdd(az.cell, dz));
        for (int dy = -1; dy <= 2; ++dy) {
            const double ey = dy - ay.fraction;
            const std::int32_t pjk = P(WrapAdd(WrapAdd(ay.cell, dy), pk));
            for (int dx = -1; dx <= 2; ++dx) {
                const double ex = dx - ax.fraction;
                sum += FilterTap(ex * ex + ey * ey + ez * ez) *
                       m_values[static_cast<std::size_t>(P(WrapAdd(WrapAdd(ax.cell, dx), pjk)))];
            }
        }
    }
    return sum;
}

void ConvolutionNoise3D::EvaluateMany(const double* x, const double* y, const double* z,
                                      double* out, std::size_t n) const {
    // The points of a run in one lattice cell share its taps, found once for
    // the box their fractions span; a shorter run gives a tighter box and
    // fewer taps that reach it.
    constexpr std::size_t kBlock = 256;
    constexpr std::size_t kMaxRun = 64;
    double fx[kBlock], fy[kBlock], fz[kBlock];
    std::int32_t ix[kBlock], iy[kBlock], iz[kBlock];
    Taps taps;
    for (std::size_t start = 0; start < n; start += kBlock) {
        const std::size_t count = n - start < kBlock ? n - start : kBlock;
        SplitBlock(x + start, ix, fx, count);
        SplitBlock(y + start, iy, fy, count);
        SplitBlock(z + start, iz, fz, count);
        double* o = out + start;
        for (std::size_t i = 0; i < count;) {
            double lo[3] = {fx[i], fy[i], fz[i]}, hi[3] = {fx[i], fy[i], fz[i]};
            std::size_t end = i + 1;
            while (end < count && end - i < kMaxRun && ix[end] == ix[i] && iy[end] == iy[i] &&
                   iz[end] == iz[i]) {
                lo[0] = std::min(lo[0], fx[end]);
                hi[0] = std::max(hi[0], fx[end]);
                lo[1] = std::min(lo[1], fy[end]);
                hi[1] = std::max(hi[1], fy[end]);
                lo[2] = std::min(lo[2], fz[end]);
                hi[2] = std::max(hi[2], fz[end]);
                ++end;
            }
            if (end - i < ShortRun()) {
                for (; i < end; ++i) o[i] = EvaluateAt(x[start + i], y[start + i], z[start + i]);
                continue;
            }
            FindTaps(ix[i], iy[i], iz[i], lo, hi, taps);
            SumRun(taps, fx + i, fy + i, fz + i, o + i, end - i);
            for (; i < end; ++i) o[i] = Finish(o[i]);
        }
    }
}

void ConvolutionNoise3D::SumRun(const Taps& taps, const double* fx, const double* fy,
                                const double* fz, double* sum, std::size_t n) const {
    LatticeConvolutionSums(taps.offset, taps.w, taps.count, m_filter.data(), m_filterCount,
                           m_sampleRate, fx, fy, fz, sum, n);
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
    UpdateReach();
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
    // One point: the impulses of the cells within reach, in the order of the
    // definition (the cells out of reach add +-0).
    const Axis ax = Split(x), ay = Split(y), az = Split(z);
    const double f[3] = {ax.fraction, ay.fraction, az.fraction};
    double gx[5], gy[5], gz[5];
    for (int d = -2; d <= 2; ++d) {
        gx[d + 2] = Gap2(d, d + 1, f[0], f[0]);
        gy[d + 2] = Gap2(d, d + 1, f[1], f[1]);
        gz[d + 2] = Gap2(d, d + 1, f[2], f[2]);
    }
    const auto mask = static_cast<std::uint32_t>(m_mask);
    double sum = 0.0;
    for (int dx = -2; dx <= 2; ++dx) {
        for (int dy = -2; dy <= 2; ++dy) {
            const double gapXY = gx[dx + 2] + gy[dy + 2];
            for (int dz = -2; dz <= 2; ++dz) {
                if (gapXY + gz[dz + 2] >= m_reach2) continue;
                auto h = static_cast<std::uint32_t>(
                    Index(WrapAdd(ax.cell, dx), WrapAdd(ay.cell, dy), WrapAdd(az.cell, dz)));
                for (int n = 0; n < 3; ++n) {
                    const double* impulse = &m_values[4 * static_cast<std::size_t>(h)];
                    const double ex = f[0] - (dx + impulse[0]);
                    const double ey = f[1] - (dy + impulse[1]);
                    const double ez = f[2] - (dz + impulse[2]);
                    sum += Filter(ex * ex + ey * ey + ez * ez) * impulse[3];
                    h = (h + 1) & mask;
                }
            }
        }
    }
    return sum * 0.3333333333333333;
}

void SparseConvolution3D::FindTaps(std::int32_t ix, std::int32_t iy, std::int32_t iz,
                                   const double lo[3], const double hi[3], Taps& taps) const {
    // The three impulses of each of the 5 x 5 x 5 cells around, x outermost.
    // A cell's impulses lie in [d, d + 1] on each axis.
    taps.count = 0;
    double gx[5], gy[5], gz[5];
    std::int32_t pk[5];
    for (int d = -2; d <= 2; ++d) {
        gx[d + 2] = Gap2(d, d + 1, lo[0], hi[0]);
        gy[d + 2] = Gap2(d, d + 1, lo[1], hi[1]);
        gz[d + 2] = Gap2(d, d + 1, lo[2], hi[2]);
        pk[d + 2] = P(WrapAdd(iz, d));
    }
    const auto mask = static_cast<std::uint32_t>(m_mask);
    for (int dx = -2; dx <= 2; ++dx) {
        const double gapX = gx[dx + 2];
        if (gapX >= m_reach2) continue;
        const std::int32_t i = WrapAdd(ix, dx);
        for (int dy = -2; dy <= 2; ++dy) {
            const double gapXY = gapX + gy[dy + 2];
            if (gapXY >= m_reach2) continue;
            const std::int32_t j = WrapAdd(iy, dy);
            for (int dz = -2; dz <= 2; ++dz) {
                if (gapXY + gz[dz + 2] >= m_reach2) continue;
                auto h = static_cast<std::uint32_t>(P(WrapAdd(i, P(WrapAdd(j, pk[dz + 2])))));
                for (int n = 0; n < 3; ++n) {
                    const double* impulse = &m_values[4 * static_cast<std::size_t>(h)];
                    h = (h + 1) & mask;
                    const double cx = dx + impulse[0], cy = dy + impulse[1], cz = dz + impulse[2];
                    taps.AddIf(Gap2(cx, cx, lo[0], hi[0]) + Gap2(cy, cy, lo[1], hi[1]) +
                                       Gap2(cz, cz, lo[2], hi[2]) <
                                   m_reach2,
                               cx, cy, cz, impulse[3]);
                }
            }
        }
    }
}

void SparseConvolution3D::SumRun(const Taps& taps, const double* fx, const double* fy,
                                 const double* fz, double* sum, std::size_t n) const {
    ConvolutionSums(taps.cx, taps.cy, taps.cz, taps.w, taps.count, FilterTable(), FilterCount(),
                    SampleRate(), fx, fy, fz, sum, n);
}

std::unique_ptr<Noise3D> SparseConvolution3D::Clone() const {
    return std::make_unique<SparseConvolution3D>(m_requestedSize, std::trunc(SampleRate()));
}

}  // namespace quillon
