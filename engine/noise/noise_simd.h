#pragma once

#include <cstddef>
#include <cstdint>

namespace quillon {

// Vector kernels of the noise kinds, dispatched at run time to the widest
// instruction set the CPU has. Results equal the scalar code bit for bit:
// the same operations in the same order, no fused multiply-adds.

// Noise3D::Split of c[0 .. m) for the largest whole-vector prefix m it
// returns. Sets wide when a cell there is outside int's range or not
// finite: the caller splits that prefix again with the scalar code.
std::size_t SplitMany(const double* c, std::int32_t* cell, double* fraction, std::size_t n,
                      bool& wide);

// Gradient noise of a run of points in one lattice cell: fractions fx, fy,
// fz and the cell's corner gradients, cell[c] for corner c = dx + 2 dy +
// 4 dz (three values each). Blends the largest whole-vector prefix of the
// n points and returns its length.
std::size_t GradientBlendRun(const double* const cell[8], const double* fx, const double* fy,
                             const double* fz, double* out, std::size_t n);
// Value noise of a run of points in one lattice cell: rows holds the
// Catmull-Rom coefficients (c3, c2, c1, c0) of the 16 x-splines of the
// cell, row (dy, dz) at 16 dz + 4 dy. Does the largest whole-vector prefix
// of the n points and returns its length.
std::size_t ValueRun(const double* rows, const double* fx, const double* fy, const double* fz,
                     double* out, std::size_t n);

// Convolution sums of points fx, fy, fz (all n of them, on vectors): for
// each point, the sum over taps t < taps of
// filter[min(floor(d2 * rate + 0.5), count)] w[t], starting at +0, with
// d2 = ((fx - cx[t])^2 + (fy - cy[t])^2) + (fz - cz[t])^2. filter holds
// count entries and a trailing 0.
void ConvolutionSums(const double* cx, const double* cy, const double* cz, const double* w,
                     int taps, const double* filter, double count, double rate, const double* fx,
                     const double* fy, const double* fz, double* sum, std::size_t n);
// The same for taps on the lattice points -1 .. 2 around the cell: tap t
// sits at (a - 1, b - 1, c - 1) for offset[t] = 16 c + 4 b + a.
void LatticeConvolutionSums(const std::uint8_t* offset, const double* w, int taps,
                            const double* filter, double count, double rate, const double* fx,
                            const double* fy, const double* fz, double* sum, std::size_t n);

}  // namespace quillon
