#pragma once

#include <cstddef>
#include <cstdint>

namespace quillon {

// Lattice tables a vector kernel reads.
struct LatticeTables {
    const std::int32_t* permutation = nullptr;
    std::int32_t mask = 0;
    const double* values = nullptr;
};

// Vector paths of the noise kinds, dispatched at run time to the widest
// instruction set the CPU has. Each computes out[i] for a prefix of the n
// points, in whole vectors, and returns how many it did: it stops before a
// vector holding a coordinate whose cell is outside int's range (or is not
// finite), and before a tail shorter than a vector. The caller evaluates
// the next point itself and calls again. Results equal the scalar code bit
// for bit: the same operations in the same order, no fused multiply-adds.
std::size_t ValueNoiseMany(const LatticeTables& tables, const double* x, const double* y,
                           const double* z, double* out, std::size_t n);

// Noise3D::Split of c[0 .. m) for the largest whole-vector prefix m it
// returns. Sets wide when a cell there is outside int's range or not
// finite: the caller splits that prefix again with the scalar code.
std::size_t SplitMany(const double* c, std::int32_t* cell, double* fraction, std::size_t n, bool& wide);

// Gradient noise of a run of points in one lattice cell: fractions fx, fy,
// fz and the cell's corner gradients, cell[c] for corner c = dx + 2 dy +
// 4 dz (three values each). Blends the largest whole-vector prefix of the
// n points and returns its length.
std::size_t GradientBlendRun(const double* const cell[8], const double* fx, const double* fy, const double* fz,
                             double* out, std::size_t n);

}  // namespace quillon
