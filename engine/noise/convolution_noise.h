#pragma once

#include "engine/noise/noise3d.h"

namespace quillon {

// Random lattice values convolved with a radial Catmull-Rom filter of
// radius 2, looked up by squared distance.
class ConvolutionNoise3D : public Noise3D {
  public:
    ConvolutionNoise3D(double rangeLow, double rangeHigh, std::uint32_t requested,
                       double sampleRate, int valuesPerEntry);

    double EvaluateAt(double x, double y, double z) const override;
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

  private:
    void BuildFilter(double sampleRate);

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

  private:
    void DrawPositions(RandomGenerator::Batch& batch);
};

}  // namespace quillon
