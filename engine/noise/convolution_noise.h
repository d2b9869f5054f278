#pragma once

#include <algorithm>

#include "engine/noise/noise3d.h"

namespace quillon {

// Random lattice values convolved with a radial Catmull-Rom filter of
// radius 2, looked up by squared distance.
class ConvolutionNoise3D : public Noise3D {
  public:
    ConvolutionNoise3D(double rangeLow, double rangeHigh, std::uint32_t requested,
                       double sampleRate, int valuesPerEntry);

    void Randomize() override;
    double EvaluateAt(double x, double y, double z) const override;
    void EvaluateMany(const double* x, const double* y, const double* z, double* out,
                      std::size_t n) const override;
    std::unique_ptr<Noise3D> Clone() const override;
    NoiseFunction Kind() const override { return NoiseFunction::Convolution; }

    // The filter at squared distance d2: 0 from 4 on and for non-finite d2.
    double Filter(double d2) const {
        const double index = d2 * m_sampleRate + 0.5;
        if (!(index < static_cast<double>(m_filterCount))) return 0.0;
        return m_filter[static_cast<std::size_t>(index)];
    }
    int FilterCount() const { return m_filterCount; }
    double SampleRate() const { return m_sampleRate; }

    // Rates outside this range would give an empty or unbounded table.
    static constexpr double kMinSampleRate = 1.0;
    static constexpr double kMaxSampleRate = 10000.0;

  protected:
    struct DeferDraw {};
    // Sizes tables and builds the filter without drawing (the subclass draws).
    ConvolutionNoise3D(double rangeLow, double rangeHigh, std::uint32_t requested,
                       double sampleRate, int valuesPerEntry, DeferDraw);

    // The weighted filter taps around one lattice cell, in the order the sum
    // takes them: tap t sits at (cx, cy, cz) and weighs w. A point at cell
    // fractions (fx, fy, fz) sums Filter(d2) w over the taps, d2 the squared
    // distance ((fx - cx)^2 + (fy - cy)^2) + (fz - cz)^2.
    static constexpr int kMaxTaps = 375;
    struct Taps {
        double cx[kMaxTaps], cy[kMaxTaps], cz[kMaxTaps], w[kMaxTaps];
        // Lattice taps only: 16 (cz + 1) + 4 (cy + 1) + cx + 1.
        std::uint8_t offset[kMaxTaps];
        int count = 0;
        // Without a branch: whether a tap reaches is hard to predict.
        void AddIf(bool keep, double x, double y, double z, double weight) {
            cx[count] = x;
            cy[count] = y;
            cz[count] = z;
            w[count] = weight;
            count += keep ? 1 : 0;
        }
    };
    // The taps of cell (ix, iy, iz) that reach some point whose fractions lie
    // in the box lo .. hi. A dropped tap adds Filter(d2) w = +-0 at every
    // such point, which leaves the sum as it is: the sum starts at +0 and a
    // round-to-nearest sum is never -0.
    virtual void FindTaps(std::int32_t ix, std::int32_t iy, std::int32_t iz, const double lo[3],
                          const double hi[3], Taps& taps) const;
    // The sums over the taps of n points of the cell, on vectors.
    virtual void SumRun(const Taps& taps, const double* fx, const double* fy, const double* fz,
                        double* sum, std::size_t n) const;
    // The noise from the sum over the taps.
    virtual double Finish(double sum) const { return sum; }
    // Runs shorter than this are summed a point at a time: finding their
    // taps would cost more than it saves.
    virtual std::size_t ShortRun() const { return 3; }
    const double* FilterTable() const { return m_filter.data(); }
    // Smallest squared distance from an axis interval [a, b] to lo .. hi.
    static double Gap2(double a, double b, double lo, double hi) {
        const double g = std::max(0.0, std::max(a - hi, lo - b));
        return g * g;
    }
    // Squared distances from which every tap is 0, with a margin of a whole
    // table step over the rounding of the distance (infinite while a value
    // is not finite: 0 times it is no longer 0).
    double m_reach2 = 0.0;

    // Sets m_reach2 for the current values.
    void UpdateReach();

  private:
    void BuildFilter(double sampleRate);
    // Filter(d2) for a finite d2 >= 0, without a branch: the table ends in 0.
    double FilterTap(double d2) const {
        const double index = d2 * m_sampleRate + 0.5;
        const double count = static_cast<double>(m_filterCount);
        return m_filter[static_cast<std::size_t>(index < count ? index : count)];
    }

    // m_filterCount entries and a trailing 0.
    std::vector<double> m_filter;
    double m_sampleRate = 0.0;
    int m_filterCount = 0;
};

// Three randomly placed impulses of random strength per cell, convolved with
// the same filter. Each entry is one impulse: position x, y, z in [0, 1) and
// a magnitude in [-1, 1).
class SparseConvolution3D : public ConvolutionNoise3D {
  public:
    SparseConvolution3D(std::uint32_t requested, double sampleRate);

    // Moves the impulses; their magnitudes stay.
    void Randomize() override;
    double EvaluateAt(double x, double y, double z) const override;
    std::unique_ptr<Noise3D> Clone() const override;
    NoiseFunction Kind() const override { return NoiseFunction::SparseConv; }

  protected:
    void FindTaps(std::int32_t ix, std::int32_t iy, std::int32_t iz, const double lo[3],
                  const double hi[3], Taps& taps) const override;
    void SumRun(const Taps& taps, const double* fx, const double* fy, const double* fz, double* sum,
                std::size_t n) const override;
    double Finish(double sum) const override { return sum * 0.3333333333333333; }
    std::size_t ShortRun() const override { return 1; }

  private:
    void DrawPositions(RandomGenerator::Batch& batch);
};

}  // namespace quillon
