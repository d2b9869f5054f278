// Documents with a layer of every kind, at degenerate sizes and with
// settings at their extremes (tests/data/hostile/documents/every_kind*.qln,
// written by tests/data/hostile/make_corpus.py): each finishes, or stops
// promptly when cancelled, and what it gives is finite.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "engine/error_reporter.h"
#include "engine/multi_base_layer.h"
#include "engine/random.h"
#include "engine/synthesis_job.h"
#include "engine/texture_map.h"
#include "tests/format/format_test_util.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using quillon::testing::Parse;
using quillon::testing::ReadBytes;

fs::path HostileDocuments() {
    return fs::path(QUILLON_TEST_DATA_DIR) / "hostile" / "documents";
}

std::vector<fs::path> EveryKindDocuments() {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(HostileDocuments()))
        if (entry.path().filename().string().rfind("every_kind", 0) == 0)
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

void CollectKinds(const BaseLayer& layer, std::set<std::string>& kinds) {
    kinds.insert(std::string(layer.Keyword()));
    if (const auto* multi = dynamic_cast<const MultiBaseLayer*>(&layer))
        for (int i = 0; i < multi->Count(); ++i) CollectKinds(*multi->Child(i), kinds);
}

struct Outcome {
    bool finished = false;
    bool succeeded = false;
    bool finite = true;
    double cancelSeconds = 0.0;
};

// Renders the texture at its size; after a second, cancels.
Outcome Render(TextureMap& texture) {
    const std::size_t pixels = static_cast<std::size_t>(texture.Size());
    std::vector<float> rgb(3 * pixels, 0.0f);
    std::vector<float> alpha(pixels, 1.0f);
    SynthesisJob job;
    job.texture = &texture;
    job.rgb = rgb.data();
    job.alpha = alpha.data();
    Outcome outcome;
    if (!job.Start()) return outcome;
    outcome.finished = job.DoneEvent().WaitFor(std::chrono::seconds(1));
    if (!outcome.finished) {
        const auto begin = Clock::now();
        job.Cancel();
        outcome.cancelSeconds = std::chrono::duration<double>(Clock::now() - begin).count();
    }
    job.Wait();
    outcome.succeeded = job.Succeeded();
    if (outcome.succeeded) {
        outcome.finite =
            std::all_of(rgb.begin(), rgb.end(), [](float v) { return std::isfinite(v); }) &&
            std::all_of(alpha.begin(), alpha.end(), [](float v) { return std::isfinite(v); });
    }
    return outcome;
}

TEST(StressDocuments, TheBaseDocumentHoldsEveryKind) {
    TextureMap texture;
    const auto parsed = Parse(ReadBytes(HostileDocuments() / "every_kind.qln"), &texture);
    ASSERT_TRUE(parsed.ok) << parsed.Message();
    std::set<std::string> kinds;
    CollectKinds(texture, kinds);
    for (const char* kind :
         {"BASELAYER", "TEXTURE", "WHITENOISELAYER", "NOISEFUNCTIONLAYER", "REACTIONDIFFUSIONLAYER",
          "BITMAPLAYER", "MASKLAYER", "NOISECOMBINELAYER", "BUMPMAPLAYER", "TILINGLAYER"})
        EXPECT_TRUE(kinds.count(kind)) << kind;
}

TEST(StressDocuments, ExtremeSettingsAtDegenerateSizesFinishFinite) {
    const auto files = EveryKindDocuments();
    ASSERT_GE(files.size(), 10u);
    const std::pair<int, int> sizes[] = {{1, 1}, {1, 7}, {7, 1}, {2, 2}, {3, 3}, {40, 30}};
    CapturingErrorReporter reporter;  // "No bricks defined" and the like
    ScopedErrorReporter scope(reporter);
    for (const fs::path& path : files) {
        const std::string text = ReadBytes(path);
        for (auto [width, height] : sizes) {
            const std::string where = path.filename().string() + " at " + std::to_string(width) +
                                      " x " + std::to_string(height);
            TextureMap texture;
            const auto parsed = Parse(text, &texture);
            ASSERT_TRUE(parsed.ok) << where << ": " << parsed.Message();
            texture.SetSize(width, height);
            ASSERT_EQ(texture.Width(), width) << where;
            RandomGenerator::Instance().Seed(width * 31 + height);
            const Outcome outcome = Render(texture);
            if (outcome.finished) {
                EXPECT_TRUE(outcome.succeeded) << where;
                EXPECT_TRUE(outcome.finite) << where;
            } else {
                // Meant to be well under a second; generous for loaded machines
                // and sanitizer builds.
                EXPECT_LT(outcome.cancelSeconds, 3.0) << where << " did not stop when cancelled";
            }
        }
    }
}

TEST(StressDocuments, ExtremeDocumentsSaveAndLoadAgain) {
    for (const fs::path& path : EveryKindDocuments()) {
        TextureMap texture;
        const auto parsed = Parse(ReadBytes(path), &texture);
        ASSERT_TRUE(parsed.ok) << path.filename() << ": " << parsed.Message();
        const std::string written = DocumentText(texture);
        TextureMap again;
        const auto reread = Parse(written, &again);
        ASSERT_TRUE(reread.ok) << path.filename() << ": " << reread.Message();
        EXPECT_EQ(DocumentText(again), written) << path.filename();
    }
}

TEST(StressDocuments, NanProducingSettingsGiveFiniteColours) {
    // Near-limit numbers multiplied together overflow inside the layers; the
    // picture that leaves the synthesis is finite and shows as before.
    TextureMap texture;
    const auto parsed =
        Parse(ReadBytes(HostileDocuments() / "every_kind_nan_params.qln"), &texture);
    ASSERT_TRUE(parsed.ok) << parsed.Message();
    texture.SetSize(16, 16);
    const Outcome outcome = Render(texture);
    ASSERT_TRUE(outcome.finished);
    EXPECT_TRUE(outcome.succeeded);
    EXPECT_TRUE(outcome.finite);
}

}  // namespace
}  // namespace quillon
