#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>
#include <utility>
#include <vector>

#include "engine/noise/convolution_noise.h"
#include "engine/noise/gradient_noise.h"
#include "engine/noise/grid_noise.h"
#include "engine/noise/valgrad_noise.h"
#include "engine/noise/value_noise.h"

namespace quillon {
namespace {

std::vector<std::unique_ptr<Noise3D>> AllKinds() {
    std::vector<std::unique_ptr<Noise3D>> kinds;
    for (int k = 0; k <= 5; ++k) kinds.push_back(MakeNoise(static_cast<NoiseFunction>(k)));
    return kinds;
}

// The lattice hash rebuilt from the public permutation.
int IndexOf(const Noise3D& n, std::int32_t i, std::int32_t j, std::int32_t k) {
    const auto& perm = n.Permutation();
    const auto mask = static_cast<std::uint32_t>(n.TableSize() - 1);
    const auto p = [&](std::int64_t v) { return perm[static_cast<std::uint32_t>(v) & mask]; };
    return p(i + p(j + p(k)));
}

TEST(Noise3D, TableSizesAndTheLayersKinds) {
    EXPECT_EQ(Noise3D::TableSizeFor(100), 128);
    EXPECT_EQ(Noise3D::TableSizeFor(256), 256);
    EXPECT_EQ(Noise3D::TableSizeFor(257), 512);
    EXPECT_EQ(Noise3D::TableSizeFor(0), 1);
    EXPECT_EQ(Noise3D::TableSizeFor(1), 1);
    EXPECT_EQ(Noise3D::TableSizeFor(0xFFFFFFFFu), Noise3D::kMaxTableSize);

    ValueNoise3D v(-1, 1, 100);
    EXPECT_EQ(v.TableSize(), 128);
    EXPECT_EQ(v.EntryCount(), 128);
    GradientNoise3D g(256);
    EXPECT_EQ(g.EntryCount(), 3 * 256);
    SparseConvolution3D s(256, 100);
    EXPECT_EQ(s.EntryCount(), 4 * 256);

    const auto kinds = AllKinds();
    for (int k = 0; k <= 5; ++k) {
        EXPECT_EQ(static_cast<int>(kinds[k]->Kind()), k);
        EXPECT_EQ(kinds[k]->RequestedSize(), 256u);
    }

    // Tiny tables still evaluate (every lattice point hashes to entry 0).
    for (std::uint32_t size : {0u, 1u}) {
        ValueNoise3D tiny(-1, 1, size);
        EXPECT_EQ(tiny.TableSize(), 1);
        EXPECT_DOUBLE_EQ(tiny.EvaluateAt(0.3, -5.2, 9.9),
                         tiny.Values()[0]);  // spline of equal knots
        GridNoise3D grid(0.0, size);
        EXPECT_EQ(grid.Permutation().size(), 1u);
        EXPECT_EQ(grid.EvaluateAt(0.5, 0.5, 0.5), 1.0);
    }
}

TEST(Noise3D, DegeneratePointsEvaluateToZero) {
    for (const auto& n : AllKinds()) {
        EXPECT_EQ(n->Evaluate(Matrix(2, 1, 0.3)), 0.0);
        EXPECT_EQ(n->Evaluate(Matrix()), 0.0);
        EXPECT_EQ(n->Evaluate(Matrix(4, 0)), 0.0);
        // Three rows are enough; row 3 plays no part.
        Matrix p3(3, 1, 0.37);
        Matrix p4(4, 1, 0.37);
        p4.Element(3, 0) = 42.0;
        EXPECT_EQ(n->Evaluate(p3), n->EvaluateAt(0.37, 0.37, 0.37));
        EXPECT_EQ(n->Evaluate(p4), n->EvaluateAt(0.37, 0.37, 0.37));
    }
}

TEST(Noise3D, NegativeHugeAndNonFiniteCoordinates) {
    const auto a = Noise3D::Split(-0.25);
    EXPECT_EQ(a.cell, -1);
    EXPECT_EQ(a.fraction, 0.75);
    const auto b = Noise3D::Split(-3.0);
    EXPECT_EQ(b.cell, -3);
    EXPECT_EQ(b.fraction, 0.0);
    EXPECT_EQ(Noise3D::Split(std::nan("")).cell, 0);
    EXPECT_EQ(Noise3D::Split(-std::numeric_limits<double>::infinity()).fraction, 0.0);
    // Past 32 bits the cell wraps instead of overflowing.
    EXPECT_EQ(Noise3D::Split(4294967296.0 + 5.5).cell, 5);
    EXPECT_EQ(Noise3D::Split(-4294967296.0 - 2.5).cell, -3);
    EXPECT_EQ(Noise3D::Split(1e300).fraction, 0.0);

    const double inf = std::numeric_limits<double>::infinity();
    for (const auto& n : AllKinds()) {
        // The hash wraps through the mask: the noise repeats every table size,
        // on the negative side too.
        for (double x : {-0.25, -17.6, -255.5, 3.3}) {
            EXPECT_NEAR(n->EvaluateAt(x, -2.7, 0.4),
                        n->EvaluateAt(x + 256.0, -2.7 + 512.0, 0.4 - 256.0), 1e-9)
                << static_cast<int>(n->Kind()) << " at " << x;
        }
        EXPECT_TRUE(std::isfinite(n->EvaluateAt(1e300, -1e300, 3e9)));
        EXPECT_EQ(n->EvaluateAt(inf, std::nan(""), -inf), n->EvaluateAt(0, 0, 0));
    }
}

TEST(ValueNoise3D, SplineAndLatticePoints) {
    const double knots[4] = {3.0, -1.0, 2.0, 7.0};
    EXPECT_EQ(ValueNoise3D::Spline(0.0, knots, 4), -1.0);
    EXPECT_EQ(ValueNoise3D::Spline(1.0, knots, 4), 2.0);
    EXPECT_EQ(ValueNoise3D::Spline(-3.0, knots, 4), -1.0);  // clamped
    EXPECT_EQ(ValueNoise3D::Spline(0.5, knots, 3), 0.0);
    const double line[4] = {0, 1, 2, 3};
    EXPECT_DOUBLE_EQ(ValueNoise3D::Spline(0.25, line, 4), 1.25);  // reproduces linear data

    ValueNoise3D n(-1.0, 1.0, 256);
    for (auto [i, j, k] : {std::tuple{0, 0, 0}, {5, -3, 12}, {-200, 77, -1}}) {
        EXPECT_EQ(n.EvaluateAt(i, j, k), n.Values()[static_cast<std::size_t>(IndexOf(n, i, j, k))]);
    }
    for (double v : n.Values()) {
        EXPECT_GE(v, -1.0);
        EXPECT_LT(v, 1.0);
    }
}

TEST(GradientNoise3D, UnitGradientsZeroAtLatticeAndContinuous) {
    GradientNoise3D n(256);
    for (int pass = 0; pass < 2; ++pass) {
        const auto& g = n.Values();
        for (std::size_t e = 0; e < g.size(); e += 3) {
            EXPECT_NEAR(std::sqrt(g[e] * g[e] + g[e + 1] * g[e + 1] + g[e + 2] * g[e + 2]), 1.0,
                        1e-12);
        }
        for (int i = -3; i <= 3; ++i) EXPECT_EQ(n.EvaluateAt(i, 2 * i, -i + 7), 0.0);
        n.Randomize();  // redraw keeps the gradients unit length
    }
    // Across a cell wall the value is continuous.
    const double eps = 1e-9;
    EXPECT_NEAR(n.EvaluateAt(2.0 - eps, 0.3, 0.6), n.EvaluateAt(2.0 + eps, 0.3, 0.6), 1e-7);
    // Values stay well inside [-1, 1] and are not all 0.
    double maxAbs = 0.0;
    for (int s = 0; s < 2000; ++s)
        maxAbs = std::max(maxAbs, std::abs(n.EvaluateAt(s * 0.131, s * 0.077, s * 0.051)));
    EXPECT_GT(maxAbs, 0.2);
    EXPECT_LT(maxAbs, 1.0);
}

TEST(ValGradNoise3D, MeanOfItsTwoMembers) {
    ValGradNoise3D n(256);
    for (double x : {0.2, -3.7, 11.05}) {
        const double expected =
            (n.ValuePart().EvaluateAt(x, 1.5, x * 2) + n.GradientPart().EvaluateAt(x, 1.5, x * 2)) *
            0.5;
        EXPECT_EQ(n.EvaluateAt(x, 1.5, x * 2), expected);
    }
    const std::vector<double> before = n.ValuePart().Values();
    n.Randomize();
    EXPECT_NE(before, n.ValuePart().Values());
}

TEST(ConvolutionNoise3D, FilterTable) {
    ConvolutionNoise3D n(-1.0, 1.0, 256, 100.0, 1);
    EXPECT_EQ(n.FilterCount(), 401);
    EXPECT_EQ(n.Filter(0.0), 1.0);
    EXPECT_EQ(n.Filter(1.0), 0.0);                // Catmull-Rom crosses 0 at distance 1
    EXPECT_NEAR(n.Filter(2.25), -0.0625, 1e-12);  // negative lobe at 1.5
    EXPECT_NEAR(n.Filter(3.999), 0.0, 1e-12);
    EXPECT_EQ(n.Filter(4.0), 0.0);
    EXPECT_EQ(n.Filter(4.01), 0.0);
    EXPECT_EQ(n.Filter(1e300), 0.0);
    EXPECT_EQ(n.Filter(std::numeric_limits<double>::infinity()), 0.0);
    EXPECT_EQ(n.Filter(std::nan("")), 0.0);

    // A wild rate stays bounded.
    ConvolutionNoise3D low(-1, 1, 4, 0.0, 1);
    EXPECT_EQ(low.FilterCount(), 5);
    ConvolutionNoise3D high(-1, 1, 4, 1e12, 1);
    EXPECT_EQ(high.FilterCount(), static_cast<int>(4 * ConvolutionNoise3D::kMaxSampleRate + 1));

    // At a lattice point only the point itself and its 6 face neighbours at
    // distance 1 (filter 0) and farther points at sqrt(2), sqrt(3) contribute.
    double expected = 0.0;
    for (int dz = -1; dz <= 2; ++dz)
        for (int dy = -1; dy <= 2; ++dy)
            for (int dx = -1; dx <= 2; ++dx)
                expected +=
                    n.Filter(dx * dx + dy * dy + dz * dz) *
                    n.Values()[static_cast<std::size_t>(IndexOf(n, 4 + dx, 5 + dy, 6 + dz))];
    EXPECT_DOUBLE_EQ(n.EvaluateAt(4, 5, 6), expected);
}

TEST(SparseConvolution3D, ImpulsesAndRandomize) {
    SparseConvolution3D n(256, 100.0);
    const std::vector<double> before = n.Values();
    for (std::size_t e = 0; e < before.size(); e += 4) {
        for (int a = 0; a < 3; ++a) {
            EXPECT_GE(before[e + a], 0.0);
            EXPECT_LT(before[e + a], 1.0);
        }
        EXPECT_GE(before[e + 3], -1.0);
    }
    const double v0 = n.EvaluateAt(0.5, 0.5, 0.5);
    n.Randomize();
    const std::vector<double>& after = n.Values();
    int moved = 0;
    for (std::size_t e = 0; e < after.size(); e += 4) {
        EXPECT_EQ(after[e + 3], before[e + 3]) << "magnitude of impulse " << e / 4;
        moved += after[e] != before[e];
        EXPECT_GE(after[e], 0.0);
        EXPECT_LT(after[e], 1.0);
    }
    EXPECT_GT(moved, 200);
    EXPECT_NE(n.EvaluateAt(0.5, 0.5, 0.5), v0);
}

TEST(GridNoise3D, CheckerboardAndParity) {
    GridNoise3D n(0.0, 256);
    for (std::size_t i = 0; i < n.Permutation().size(); ++i)
        EXPECT_EQ(n.Permutation()[i] % 2, static_cast<int>(i % 2));
    EXPECT_EQ(n.EvaluateAt(0.5, 0.5, 0.5), 1.0);
    EXPECT_EQ(n.EvaluateAt(1.5, 0.5, 0.5), 0.0);
    EXPECT_EQ(n.EvaluateAt(0.5, 1.5, 0.5), 0.0);
    for (int i = -4; i < 4; ++i)
        for (int j = -4; j < 4; ++j)
            EXPECT_EQ(n.EvaluateAt(i + 0.9, j + 0.1, 2.5), ((i + j + 2) % 2 == 0) ? 1.0 : 0.0)
                << i << "," << j;

    // The weight takes effect at the next Randomize; dark cells then lie in
    // [0, w), bright ones in [1 - w, 1).
    n.SetWeight(0.25);
    EXPECT_EQ(n.EvaluateAt(1.5, 0.5, 0.5), 0.0);
    n.Randomize();
    for (int i = -4; i < 4; ++i) {
        const double dark = n.EvaluateAt(i + 1.5, 0.5, i + 0.5);
        const double bright = n.EvaluateAt(i + 0.5, 0.5, i + 0.5);
        EXPECT_GE(dark, 0.0);
        EXPECT_LT(dark, 0.25);
        EXPECT_GE(bright, 0.75);
        EXPECT_LT(bright, 1.0);
    }
}

TEST(Noise3D, CloneIsSameKindWithNewTables) {
    for (const auto& n : AllKinds()) {
        const auto c = n->Clone();
        EXPECT_EQ(c->Kind(), n->Kind());
        EXPECT_EQ(c->RequestedSize(), n->RequestedSize());
        EXPECT_EQ(c->EntryCount(), n->EntryCount());
        if (n->Kind() == NoiseFunction::Grid) {
            // Weight 0 leaves only 0 and 1 as values; the shuffle still differs.
            EXPECT_NE(c->Permutation(), n->Permutation());
            continue;
        }
        if (n->Kind() != NoiseFunction::ValGrad) {
            EXPECT_NE(c->Values(), n->Values()) << static_cast<int>(n->Kind());
        }
        EXPECT_NE(c->EvaluateAt(0.3, 0.6, 0.2), n->EvaluateAt(0.3, 0.6, 0.2))
            << static_cast<int>(n->Kind());
    }
    auto conv = ConvolutionNoise3D(-2.0, 3.0, 64, 50.7, 2).Clone();
    const auto& cc = dynamic_cast<const ConvolutionNoise3D&>(*conv);
    EXPECT_EQ(cc.SampleRate(), 50.0);
    EXPECT_EQ(cc.ValuesPerEntry(), 2);
    EXPECT_EQ(cc.RangeLow(), -2.0);
    EXPECT_EQ(cc.RangeHigh(), 3.0);
    GridNoise3D grid(0.4, 16);
    EXPECT_EQ(dynamic_cast<const GridNoise3D&>(*grid.Clone()).Weight(), 0.4);
}

TEST(Noise3D, RandomizeKeepsThePermutation) {
    for (const auto& n : AllKinds()) {
        const auto perm = n->Permutation();
        const auto values = n->Values();
        const double before = n->EvaluateAt(0.41, 0.13, 0.77);
        n->Randomize();
        EXPECT_EQ(n->Permutation(), perm);
        if (n->Kind() != NoiseFunction::Grid && n->Kind() != NoiseFunction::ValGrad) {
            EXPECT_NE(n->Values(), values);
        }
        if (n->Kind() != NoiseFunction::Grid) {
            EXPECT_NE(n->EvaluateAt(0.41, 0.13, 0.77), before);
        }
    }
}

// Reproducible pictures depend on the exact order of draws.
TEST(Noise3D, ConstructionDrawOrder) {
    RandomGenerator& gen = RandomGenerator::Instance();
    const auto expectBase = [&](const Noise3D& n, int valuesPerEntry, double lo, double hi) {
        const int size = n.TableSize();
        std::vector<double> values(static_cast<std::size_t>(size * valuesPerEntry));
        for (double& v : values) v = gen.Uniform(lo, hi);
        std::vector<std::int32_t> perm(static_cast<std::size_t>(size));
        for (int j = 0; j < size; ++j) perm[j] = j;
        for (int s = 0; s < 4 * size + 1; ++s) {
            const int a = static_cast<int>(gen.Uniform(0, size));
            const int b = static_cast<int>(gen.Uniform(0, size));
            std::swap(perm[a], perm[b]);
        }
        return std::pair{values, perm};
    };

    gen.Seed(99);
    ValueNoise3D v(-1.0, 1.0, 16);
    gen.Seed(99);
    auto [vv, vp] = expectBase(v, 1, -1.0, 1.0);
    EXPECT_EQ(v.Values(), vv);
    EXPECT_EQ(v.Permutation(), vp);

    gen.Seed(7);
    GridNoise3D grid(0.5, 8);
    gen.Seed(7);
    auto [gv, gp] = expectBase(grid, 1, 0.0, 1.0);
    for (std::size_t i = 0; i < gv.size(); ++i)
        gv[i] = gen.Uniform(0, 1) * 0.5 + 0.5 * (i % 2 ? 0.0 : 1.0);
    for (int j = 0; j < 8; ++j) gp[j] = j;
    for (int parity = 0; parity < 2; ++parity) {
        for (int s = 0; s < 9; ++s) {
            const int a = static_cast<int>(gen.Uniform(0, 4));
            const int b = static_cast<int>(gen.Uniform(0, 4));
            std::swap(gp[2 * a + parity], gp[2 * b + parity]);
        }
    }
    EXPECT_EQ(grid.Values(), gv);
    EXPECT_EQ(grid.Permutation(), gp);

    gen.Seed(3);
    SparseConvolution3D sparse(4, 100);
    gen.Seed(3);
    auto [sv, sp] = expectBase(sparse, 4, -1.0, 1.0);
    for (std::size_t e = 0; e < sv.size(); e += 4)
        for (int a = 0; a < 3; ++a) sv[e + a] = gen.Uniform(0, 1);
    EXPECT_EQ(sparse.Values(), sv);
    EXPECT_EQ(sparse.Permutation(), sp);

    // Value member first, then the gradient member.
    gen.Seed(5);
    ValGradNoise3D vg(8);
    gen.Seed(5);
    ValueNoise3D sameValue(-1.0, 1.0, 8);
    GradientNoise3D sameGradient(8);
    EXPECT_EQ(vg.ValuePart().Values(), sameValue.Values());
    EXPECT_EQ(vg.GradientPart().Values(), sameGradient.Values());
    EXPECT_EQ(vg.GradientPart().Permutation(), sameGradient.Permutation());
}

TEST(Noise3D, ConcurrentEvaluationMatchesSerial) {
    for (const auto& n : AllKinds()) {
        std::vector<double> serial(4000);
        for (std::size_t s = 0; s < serial.size(); ++s)
            serial[s] = n->EvaluateAt(s * 0.013, s * 0.029, -0.5 * s);
        std::vector<std::vector<double>> results(4, std::vector<double>(serial.size()));
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&, t] {
                for (std::size_t s = 0; s < serial.size(); ++s)
                    results[t][s] = n->EvaluateAt(s * 0.013, s * 0.029, -0.5 * s);
            });
        }
        for (auto& th : threads) th.join();
        for (const auto& r : results) EXPECT_EQ(r, serial);
    }
}

}  // namespace
}  // namespace quillon
