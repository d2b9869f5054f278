// The reaction-diffusion and picture examples load, render with detail and
// write back as they were read.
#include <gtest/gtest.h>

#include <algorithm>
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

class GeneratorExample : public ::testing::TestWithParam<const char*> {};

TEST_P(GeneratorExample, LoadsRendersAndWritesBack) {
    CapturingErrorReporter reporter;
    ScopedErrorReporter scope(reporter);
    const std::string path = std::string(QUILLON_SOURCE_DIR) + "/examples/" + GetParam();
    std::unique_ptr<TextureMap> texture;
    ASSERT_EQ(LoadTextureDocument(path, texture), LoadStatus::Ok) << reporter.Last();
    EXPECT_TRUE(reporter.Messages().empty()) << reporter.Last();

    // Saved by the writer, the document reads back to the same text.
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
    EXPECT_GE(*lo, -0.05f);
    EXPECT_LE(*hi, 1.05f);
    EXPECT_GT(*hi - *lo, 0.4f) << "a flat picture";
}

INSTANTIATE_TEST_SUITE_P(Examples, GeneratorExample,
                         ::testing::Values("leopard.qln", "zebra.qln", "picture.qln"));

TEST(GeneratorExamples, PictureHoldsItsBitmap) {
    std::unique_ptr<TextureMap> texture;
    ASSERT_EQ(LoadTextureDocument(std::string(QUILLON_SOURCE_DIR) + "/examples/picture.qln", texture),
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
