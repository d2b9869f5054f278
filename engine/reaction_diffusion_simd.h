#pragma once

#include <cstddef>

namespace quillon {

// One reaction-diffusion row on the widest vectors the CPU has: updates
// columns 1, 2, ... of the row in whole vectors, stopping before column
// width - 1 (whose right neighbour wraps), and returns the first column it
// left. Every lane does the scalar update's arithmetic in the same order.
// sa and sb are the 3 x 3 stencils, row by row; up, mid and down the rows
// of A (a*) and B (b*) around the row.
int ReactionDiffusionRow(const float* sa, const float* sb, const float* aUp, const float* aMid,
                         const float* aDown, const float* bUp, const float* bMid,
                         const float* bDown, float dt, float decayA, float sourceB, int width,
                         float* nextA, float* nextB);

}  // namespace quillon
