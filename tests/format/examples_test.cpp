// Every bundled example loads without a message, writes back as it was read
// and renders to a picture with detail.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/bitmap_layer.h"
#include "engine/error_reporter.h"
#include "engine/synthesis_job.h"
#include "engine/texture_map.h"
#include "format/texture_files.h"
#include "format_test_util.h"

namespace quillon {
namespace {

class Example : public ::testing::TestWithParam<std::filesystem::path> {};

TEST_P(Example, LoadsWritesBackAndRendersWithDetail) {
    CapturingErrorReporter reporter;
    ScopedErrorReporter scope(reporter);
    std::unique_ptr<TextureMap> texture;
    ASSERT_EQ(LoadTextureDocument(GetParam(), texture), LoadStatus::Ok) << reporter.Last();
    ASSERT_TRUE(texture);
    EXPECT_TRUE(reporter.Messages().empty()) << reporter.Last();

    TextureMap again;
    const testing::Parsed reread = testing::Parse(DocumentText(*texture), &again);
    ASSERT_TRUE(reread.ok) << reread.Message();
    EXPECT_EQ(DocumentText(again), DocumentText(*texture));

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

INSTANTIATE_TEST_SUITE_P(Bundled, Example, ::testing::ValuesIn(testing::ExampleDocuments()),
                         [](const ::testing::TestParamInfo<std::filesystem::path>& example) {
                             return example.param.stem().string();
                         });

TEST(PictureExample, HoldsItsBitmap) {
    std::unique_ptr<TextureMap> texture;
    ASSERT_EQ(LoadTextureDocument(
                  std::filesystem::path(QUILLON_SOURCE_DIR) / "examples" / "picture.qln", texture),
              LoadStatus::Ok);
    const BitmapLayer* bitmap = nullptr;
    for (int k = 0; k < texture->Count(); ++k) {
        if (auto* b = dynamic_cast<const BitmapLayer*>(texture->Child(k))) bitmap = b;
    }
    ASSERT_NE(bitmap, nullptr);
    ASSERT_NE(bitmap->Picture(), nullptr);
    EXPECT_EQ(bitmap->Picture()->Width(), 16);
    EXPECT_EQ(bitmap->Picture()->Height(), 16);
}

}  // namespace
}  // namespace quillon
