// A reaction-diffusion step gives the same cells on every instruction set
// this build carries, at every width (vector bodies, four-lane and single
// tails, wrapped edges).
#include <gtest/gtest.h>

#include <hwy/targets.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "engine/random.h"
#include "engine/reaction_diffusion_layer.h"

namespace quillon {
namespace {

std::vector<float> Step(int width, int height, const std::vector<float>& a,
                        const std::vector<float>& b) {
    const Stencil sa = ReactionDiffusionLayer::BuildStencil(1.0f, 2.0f, 0.5, 0.01);
    const Stencil sb = ReactionDiffusionLayer::BuildStencil(16.0f, 12.0f, 0.3, 0.0);
    std::vector<float> na(a.size()), nb(b.size());
    ReactionDiffusionLayer::StepGrid(a.data(), b.data(), na.data(), nb.data(), width, height, sa,
                                     sb, 0.03f);
    na.insert(na.end(), nb.begin(), nb.end());
    return na;
}

// The update of one cell written out plainly, wrapping at the edges.
std::vector<float> Plain(int width, int height, const std::vector<float>& a,
                         const std::vector<float>& b) {
    const Stencil sa = ReactionDiffusionLayer::BuildStencil(1.0f, 2.0f, 0.5, 0.01);
    const Stencil sb = ReactionDiffusionLayer::BuildStencil(16.0f, 12.0f, 0.3, 0.0);
    const std::size_t n = a.size();
    std::vector<float> out(2 * n);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto at = [&](const std::vector<float>& g, int dx, int dy) {
                return g[static_cast<std::size_t>((y + dy + height) % height) * width +
                         (x + dx + width) % width];
            };
            const auto lap = [&](const Stencil& s, const std::vector<float>& g) {
                float sum = s[0] * at(g, -1, -1);
                sum = sum + s[1] * at(g, 0, -1);
                sum = sum + s[2] * at(g, 1, -1);
                sum = sum + s[3] * at(g, -1, 0);
                sum = sum + s[4] * at(g, 0, 0);
                sum = sum + s[5] * at(g, 1, 0);
                sum = sum + s[6] * at(g, -1, 1);
                sum = sum + s[7] * at(g, 0, 1);
                return sum + s[8] * at(g, 1, 1);
            };
            const float av = at(a, 0, 0), bv = at(b, 0, 0), ab = av * bv;
            const float na = av + 0.03f * (lap(sa, a) + ab - av - 12.0f);
            const float nb = bv + 0.03f * (lap(sb, b) + 16.0f - ab);
            const std::size_t i = static_cast<std::size_t>(y) * width + x;
            out[i] = na > 0.0f ? na : 0.0f;
            out[n + i] = nb > 0.0f ? nb : 0.0f;
        }
    }
    return out;
}

TEST(ReactionDiffusionVectors, EveryInstructionSetGivesTheSameCells) {
    RandomGenerator::Instance().Seed(5);
    for (const int width : {1, 2, 3, 5, 9, 17, 18, 33, 64, 100}) {
        const int height = 7;
        const std::size_t n = static_cast<std::size_t>(width) * height;
        std::vector<float> a(n), b(n);
        RandomGenerator::Instance().FillUniform(a.data(), n, 0.0, 12.0);
        RandomGenerator::Instance().FillUniform(b.data(), n, 0.0, 12.0);
        // A blown-up cell: its neighbours turn NaN and must come out 0 everywhere.
        if (n > 20) a[n / 2] = std::numeric_limits<float>::infinity();
        const std::vector<float> reference = Plain(width, height, a, b);
        for (const std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
            hwy::SetSupportedTargetsForTest(target);
            const std::vector<float> cells = Step(width, height, a, b);
            EXPECT_EQ(std::memcmp(cells.data(), reference.data(), cells.size() * sizeof(float)), 0)
                << hwy::TargetName(target) << " width " << width;
        }
        hwy::SetSupportedTargetsForTest(0);
    }
}

}  // namespace
}  // namespace quillon
