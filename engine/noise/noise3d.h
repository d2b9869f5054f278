#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/matrix.h"
#include "engine/random.h"

namespace quillon {

// The noise kinds a noise function layer can choose (values as stored).
enum class NoiseFunction {
    Value = 0,
    Gradient = 1,
    ValGrad = 2,
    Convolution = 3,
    SparseConv = 4,
    Grid = 5
};
// Tables indexed by the function check their size against this.
inline constexpr std::size_t kNoiseFunctionCount =
    static_cast<std::size_t>(NoiseFunction::Grid) + 1;

// A lattice noise of a three-dimensional point. The integer lattice is hashed
// through a shuffled permutation into a table of random values, which each
// kind combines in its own way. Tables are drawn from the shared generator
// at construction; Randomize redraws the values and keeps the permutation.
//
// Evaluation keeps its scratch on the stack, so one instance may be
// evaluated from several threads at once (construction and Randomize may
// not run alongside).
class Noise3D {
  public:
    virtual ~Noise3D() = default;
    Noise3D(const Noise3D&) = delete;
    Noise3D& operator=(const Noise3D&) = delete;

    virtual void Randomize();
    // x, y, z are rows 0..2 of column 0; a point with fewer than 3 rows or
    // no column evaluates to 0.
    double Evaluate(const Matrix& point) const;
    virtual double EvaluateAt(double x, double y, double z) const = 0;
    // out[i] = EvaluateAt(x[i], y[i], z[i]) for i < n, bit for bit; kinds
    // with a vector path override it.
    virtual void EvaluateMany(const double* x, const double* y, const double* z, double* out,
                              std::size_t n) const;
    // A fresh instance from the same construction parameters (new tables).
    virtual std::unique_ptr<Noise3D> Clone() const = 0;
    virtual NoiseFunction Kind() const = 0;

    int TableSize() const { return m_mask + 1; }
    int EntryCount() const { return m_entryCount; }
    std::uint32_t RequestedSize() const { return m_requestedSize; }
    int ValuesPerEntry() const { return m_valuesPerEntry; }
    double RangeLow() const { return m_rangeLow; }
    double RangeHigh() const { return m_rangeHigh; }
    const std::vector<double>& Values() const { return m_values; }
    const std::vector<std::int32_t>& Permutation() const { return m_permutation; }

    // Smallest power of two not below the request (1 for 0 and 1), capped
    // at kMaxTableSize so a wild request cannot allocate without bound.
    static int TableSizeFor(std::uint32_t requested);
    static constexpr int kMaxTableSize = 1 << 20;
    static constexpr int kMaxValuesPerEntry = 16;

    // Lattice cell and fraction of one coordinate: floor taken in double and
    // wrapped to 32 bits; non-finite coordinates count as 0.
    struct Axis {
        std::int32_t cell;
        double fraction;
    };
    static Axis Split(double c) {
        // Inside int's range the wrap is a plain conversion, and the floor
        // comes from truncation without a library call (-0 keeps its sign,
        // as floor's does). NaN fails both tests.
        if (c > -2147483648.0 && c < 2147483648.0) {
            auto cell = static_cast<std::int32_t>(c);
            double f = std::copysign(static_cast<double>(cell), c);
            if (f > c) {
                f -= 1.0;
                --cell;
            }
            return {cell, c - f};
        }
        return SplitWide(c);
    }

  protected:
    static Axis SplitWide(double c);
    // Split of c[0 .. n), vectorised.
    static void SplitBlock(const double* c, std::int32_t* cell, double* fraction, std::size_t n);

    // No tables (a kind built only from members).
    Noise3D() = default;
    // Sizes the tables; the concrete kind draws them (DrawTables) under one
    // hold of the generator together with its own draws.
    Noise3D(double rangeLow, double rangeHigh, std::uint32_t requested, int valuesPerEntry);

    // Every value in index order, then the 4 x size + 1 permutation swaps.
    void DrawTables(RandomGenerator::Batch& batch);
    void RedrawValues(RandomGenerator::Batch& batch);

    std::int32_t P(std::int32_t n) const {
        return m_permutation[static_cast<std::uint32_t>(n) & static_cast<std::uint32_t>(m_mask)];
    }
    // Lattice arithmetic wraps in 32 bits, like the two's-complement hash.
    static std::int32_t WrapAdd(std::int32_t a, std::int32_t b) {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) +
                                         static_cast<std::uint32_t>(b));
    }
    // Entry of lattice point (i, j, k).
    std::int32_t Index(std::int32_t i, std::int32_t j, std::int32_t k) const {
        return P(WrapAdd(i, P(WrapAdd(j, P(k)))));
    }
    // A random index below n: the draw over [0, n) truncated.
    static int DrawIndex(RandomGenerator::Batch& batch, int n);

    std::vector<double> m_values;
    int m_entryCount = 0;
    std::uint32_t m_requestedSize = 0;
    std::vector<std::int32_t> m_permutation;
    int m_mask = 0;
    int m_valuesPerEntry = 1;
    double m_rangeLow = 0.0;
    double m_rangeHigh = 0.0;
};

// The layer's standard instance of each kind (table size 256).
std::unique_ptr<Noise3D> MakeNoise(NoiseFunction kind);

}  // namespace quillon
