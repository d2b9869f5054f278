// The bundled noise examples load and render to a picture with detail.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/error_reporter.h"
#include "engine/synthesis_job.h"
#include "engine/texture_map.h"
#include "format/texture_files.h"

namespace quillon {
namespace {

class NoiseExample : public ::testing::TestWithParam<const char*> {};

TEST_P(NoiseExample, LoadsAndRendersWithDetail) {
    CapturingErrorReporter reporter;
    ScopedErrorReporter scope(reporter);
    const std::string path = std::string(QUILLON_SOURCE_DIR) + "/examples/" + GetParam();
    std::unique_ptr<TextureMap> texture;
    ASSERT_EQ(LoadTextureDocument(path, texture), LoadStatus::Ok) << reporter.Last();
    ASSERT_TRUE(texture);
    EXPECT_TRUE(reporter.Messages().empty()) << reporter.Last();

    texture->SetSize(64, 48);
    const std::size_t pixels = 64 * 48;
    std::vector<float> rgb(3 * pixels, 0.0f), alpha(pixels, 1.0f);
    RandomGenerator::Instance().Seed(1);
    SynthesisJob job;
    job.texture = texture.get();
    job.rgb = rgb.data();
    job.alpha = alpha.data();
    ASSERT_TRUE(job.RunHere());
    const auto [lo, hi] = std::minmax_element(rgb.begin(), rgb.end());
    // The colour map's spline may overshoot a little; picture files clamp.
    EXPECT_GE(*lo, -0.05f);
    EXPECT_LE(*hi, 1.05f);
    EXPECT_GT(*hi - *lo, 0.2f) << "a flat picture";
}

INSTANTIATE_TEST_SUITE_P(Examples, NoiseExample,
                         ::testing::Values("clouds.qln", "marble.qln", "wood_grain.qln", "granite.qln",
                                           "seamless_tile.qln", "checkerboard.qln", "sandstone_value.qln",
                                           "lava_valgrad.qln", "caustics_convolution.qln",
                                           "nebula_sparse.qln"));

}  // namespace
}  // namespace quillon
