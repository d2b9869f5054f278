// The vector paths of the noises give the scalar results bit for bit, on
// every instruction set this build carries.
#include <gtest/gtest.h>

#include <hwy/targets.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "engine/noise/convolution_noise.h"
#include "engine/noise/gradient_noise.h"
#include "engine/noise/noise3d.h"
#include "engine/noise_function_layer.h"
#include "engine/random.h"

namespace quillon {
namespace {

struct Points {
    std::vector<double> x, y, z;
    void Add(double a, double b, double c) {
        x.push_back(a);
        y.push_back(b);
        z.push_back(c);
    }
    std::size_t Size() const { return x.size(); }
};

// Rows as layers walk them (long runs in one cell, short ones, single
// points), awkward values and cells beyond int's range in between.
Points MixedPoints() {
    Points p;
    std::mt19937_64 gen(7);
    std::uniform_real_distribution<double> u(-40.0, 40.0);
    for (const double step : {0.001, 0.01, 0.3, 1.7, 13.0}) {
        const double x0 = u(gen), y0 = u(gen), z0 = u(gen);
        for (int i = 0; i < 301; ++i)
            p.Add(x0 + i * step, y0 + 0.1 * i * step, z0 - 0.05 * i * step);
    }
    const double inf = std::numeric_limits<double>::infinity();
    const double awkward[] = {
        0.0,  -0.0, -1e-300, 1e-17 - 1.0,  -1.0, 2147483647.5, -2147483648.0, 2147483648.0,
        -3e9, 5e15, 1e300,   std::nan(""), inf,  -inf,         -0.5,          0.999999999};
    for (const double a : awkward) {
        for (int i = 0; i < 9; ++i)
            p.Add(a, 0.25 * i, -0.75 * i);  // one bad coordinate in a vector
        for (int i = 0; i < 9; ++i) p.Add(0.3 * i, a, 1.5);
        for (int i = 0; i < 9; ++i) p.Add(-2.5, 0.1 * i, a);
    }
    for (int i = 0; i < 500; ++i) p.Add(u(gen), u(gen), u(gen));
    return p;
}

bool SameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void ExpectManyMatchesOneByOne(const Noise3D& noise, const Points& p, const char* target) {
    std::vector<double> many(p.Size());
    noise.EvaluateMany(p.x.data(), p.y.data(), p.z.data(), many.data(), p.Size());
    int failures = 0;
    for (std::size_t i = 0; i < p.Size() && failures < 5; ++i) {
        const double one = noise.EvaluateAt(p.x[i], p.y[i], p.z[i]);
        if (!SameBits(one, many[i])) {
            ++failures;
            ADD_FAILURE() << "kind " << static_cast<int>(noise.Kind()) << " on " << target
                          << " at (" << p.x[i] << ", " << p.y[i] << ", " << p.z[i] << "): " << one
                          << " one by one, " << many[i] << " in a batch";
        }
    }
    // Every prefix length exercises the tails of the vector loops.
    for (std::size_t n = 0; n < 20; ++n) {
        std::vector<double> part(n + 1, 42.0);
        noise.EvaluateMany(p.x.data() + 3, p.y.data() + 3, p.z.data() + 3, part.data(), n);
        for (std::size_t i = 0; i < n; ++i) EXPECT_TRUE(SameBits(part[i], many[i + 3])) << n;
        EXPECT_EQ(part[n], 42.0) << "wrote past the end";
    }
}

// The convolution sums as defined: every lattice point or impulse of the
// neighbourhood in turn, the filter looked up with its bounds test.
// Wide sums: cells next to the ends of the int range wrap as the noise's own do.
std::int32_t Entry(const Noise3D& n, std::int64_t i, std::int64_t j, std::int64_t k) {
    const auto p = [&](std::int64_t v) {
        return n.Permutation()[static_cast<std::uint32_t>(v) &
                               static_cast<std::uint32_t>(n.TableSize() - 1)];
    };
    return p(i + p(j + p(k)));
}

double DirectSum(const ConvolutionNoise3D& n, double x, double y, double z) {
    const Noise3D::Axis ax = Noise3D::Split(x), ay = Noise3D::Split(y), az = Noise3D::Split(z);
    const std::vector<double>& v = n.Values();
    double sum = 0.0;
    if (n.Kind() == NoiseFunction::Convolution) {
        for (int dz = -1; dz <= 2; ++dz)
            for (int dy = -1; dy <= 2; ++dy)
                for (int dx = -1; dx <= 2; ++dx) {
                    const double ex = dx - ax.fraction, ey = dy - ay.fraction,
                                 ez = dz - az.fraction;
                    sum += n.Filter(ex * ex + ey * ey + ez * ez) *
                           v[Entry(n, std::int64_t{ax.cell} + dx, std::int64_t{ay.cell} + dy,
                                   std::int64_t{az.cell} + dz)];
                }
        return sum;
    }
    for (int dx = -2; dx <= 2; ++dx)
        for (int dy = -2; dy <= 2; ++dy)
            for (int dz = -2; dz <= 2; ++dz) {
                const std::int32_t h =
                    Entry(n, std::int64_t{ax.cell} + dx, std::int64_t{ay.cell} + dy,
                          std::int64_t{az.cell} + dz);
                for (int k = 0; k < 3; ++k) {
                    const double* p = &v[4 * ((h + k) % n.TableSize())];
                    const double ex = ax.fraction - (dx + p[0]), ey = ay.fraction - (dy + p[1]),
                                 ez = az.fraction - (dz + p[2]);
                    sum += n.Filter(ex * ex + ey * ey + ez * ez) * p[3];
                }
            }
    return sum * 0.3333333333333333;
}

TEST(NoiseSplit, CellAndFractionAreThoseOfFloorBitForBit) {
    std::vector<double> values = {0.0,
                                  -0.0,
                                  1e-300,
                                  -1e-300,
                                  0.5,
                                  -0.5,
                                  1.0,
                                  -1.0,
                                  1.0 - 1e-16,
                                  -1e-17,
                                  2147483647.0,
                                  2147483647.75,
                                  -2147483647.5,
                                  -2147483647.0,
                                  123456.999999,
                                  -123456.000001,
                                  4503599627370495.5,
                                  std::nextafter(-2147483648.0, 0.0)};
    std::mt19937_64 gen(3);
    std::uniform_real_distribution<double> u(-3e9, 3e9);
    for (int i = 0; i < 10000; ++i) values.push_back(u(gen) / std::ldexp(1.0, i % 40));
    for (const double c : values) {
        const double f = std::floor(c);
        if (!(f >= -2147483648.0 && f < 2147483648.0)) continue;  // wrapped, tested elsewhere
        const Noise3D::Axis a = Noise3D::Split(c);
        EXPECT_EQ(a.cell, static_cast<std::int32_t>(f)) << c;
        EXPECT_TRUE(SameBits(a.fraction, c - f)) << c;
    }
}

class EveryTarget : public ::testing::Test {
  protected:
    void TearDown() override { hwy::SetSupportedTargetsForTest(0); }
};

TEST_F(EveryTarget, BatchedNoiseEqualsOnePointAtATime) {
    RandomGenerator::Instance().Seed(11);
    const Points points = MixedPoints();
    for (const std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
        hwy::SetSupportedTargetsForTest(target);
        for (int k = 0; k <= 5; ++k) {
            const auto noise = MakeNoise(static_cast<NoiseFunction>(k));
            ExpectManyMatchesOneByOne(*noise, points, hwy::TargetName(target));
        }
        // A small table wraps the hash often.
        const GradientNoise3D tiny(4);
        ExpectManyMatchesOneByOne(tiny, points, hwy::TargetName(target));
    }
}

// Taps out of reach are skipped, and the filter read without its bounds
// test: the sums stay those of the definition, at the layer's rates and the
// extreme ones, on small tables, at later octaves (shorter runs per cell)
// and with values so large that 0 times one of them is no longer 0.
TEST_F(EveryTarget, ConvolutionKindsEqualTheirDirectSums) {
    RandomGenerator::Instance().Seed(13);
    Points p = MixedPoints();
    const std::size_t base = p.Size();
    for (const double scale : {2.17, 2.17 * 2.17, 2.17 * 2.17 * 2.17})
        for (std::size_t i = 0; i < base; ++i)
            p.Add(p.x[i] * scale, p.y[i] * scale, p.z[i] * scale);
    std::vector<std::unique_ptr<ConvolutionNoise3D>> noises;
    noises.push_back(std::make_unique<ConvolutionNoise3D>(-1.0, 1.0, 256, 100.0, 1));
    noises.push_back(std::make_unique<ConvolutionNoise3D>(-3.0, 2.0, 4, 1.0, 2));
    noises.push_back(std::make_unique<ConvolutionNoise3D>(-1.0, 1.0, 16, 10000.0, 1));
    noises.push_back(std::make_unique<ConvolutionNoise3D>(-1e308, 1e308, 16, 2.5, 1));
    noises.push_back(std::make_unique<SparseConvolution3D>(256, 100.0));
    noises.push_back(std::make_unique<SparseConvolution3D>(2, 1.0));
    noises.push_back(std::make_unique<SparseConvolution3D>(16, 10000.0));
    for (const auto& noise : noises) {
        std::vector<double> direct(p.Size());
        for (std::size_t i = 0; i < p.Size(); ++i)
            direct[i] = DirectSum(*noise, p.x[i], p.y[i], p.z[i]);
        for (const std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
            hwy::SetSupportedTargetsForTest(target);
            std::vector<double> many(p.Size());
            noise->EvaluateMany(p.x.data(), p.y.data(), p.z.data(), many.data(), p.Size());
            for (std::size_t i = 0; i < p.Size(); ++i) {
                const double one = noise->EvaluateAt(p.x[i], p.y[i], p.z[i]);
                ASSERT_TRUE(SameBits(direct[i], one) && SameBits(direct[i], many[i]))
                    << hwy::TargetName(target) << " kind " << static_cast<int>(noise->Kind())
                    << " rate " << noise->SampleRate() << " at (" << p.x[i] << ", " << p.y[i]
                    << ", " << p.z[i] << "): " << direct[i] << " directly, " << one
                    << " one by one, " << many[i] << " in a batch";
            }
        }
    }
}

TEST_F(EveryTarget, BatchedTurbulenceEqualsOnePointAtATime) {
    RandomGenerator::Instance().Seed(12);
    const Points p = MixedPoints();
    for (const std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
        hwy::SetSupportedTargetsForTest(target);
        for (const NoiseFunction kind :
             {NoiseFunction::Gradient, NoiseFunction::Value, NoiseFunction::Grid,
              NoiseFunction::Convolution, NoiseFunction::SparseConv}) {
            const auto noise = MakeNoise(kind);
            for (const TurbulenceType type :
                 {TurbulenceType::None, TurbulenceType::Noise, TurbulenceType::Turbulence,
                  TurbulenceType::FractalSum}) {
                for (const int octaves : {0, 1, 5}) {
                    std::vector<double> many(p.Size());
                    NoiseFunctionLayer::TurbulenceSumMany(*noise, type, p.x.data(), p.y.data(),
                                                          p.z.data(), 0.7, 2.17, octaves,
                                                          many.data(), p.Size());
                    for (std::size_t i = 0; i < p.Size(); ++i) {
                        const double one = NoiseFunctionLayer::TurbulenceSum(
                            *noise, type, p.x[i], p.y[i], p.z[i], 0.7, 2.17, octaves);
                        ASSERT_TRUE(SameBits(one, many[i]))
                            << hwy::TargetName(target) << " type " << static_cast<int>(type)
                            << " octaves " << octaves << " point " << i;
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace quillon
