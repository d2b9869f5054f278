// Hard use of the engine: thousands of starts and cancels landing anywhere
// in every kind of layer, draws from other threads while a rendering runs,
// and every kind at degenerate sizes. Kept to a few seconds in all.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/base_layer.h"
#include "engine/layer_kinds.h"
#include "engine/multi_base_layer.h"
#include "engine/random.h"
#include "engine/synthesis_job.h"
#include "engine/texture_map.h"

namespace quillon {
namespace {

using Clock = std::chrono::steady_clock;

// A texture holding one default layer of the kind, at width x height.
std::unique_ptr<TextureMap> TextureOf(const LayerKind& kind, int width, int height) {
    auto texture = std::make_unique<TextureMap>();
    texture->RemoveAll();
    texture->AddLast(kind.create());
    texture->SetSize(width, height);
    return texture;
}

std::vector<const LayerKind*> ListedKinds() {
    std::vector<const LayerKind*> kinds;
    for (const LayerKind& kind : LayerKinds())
        if (kind.inLayerLists) kinds.push_back(&kind);
    return kinds;
}

// Fails when any layer of the tree is still held.
void ExpectNoLockHeld(const BaseLayer& layer, const std::string& where) {
    EXPECT_FALSE(layer.IsBusy()) << where << ": " << layer.Keyword() << " left locked";
    if (const auto* multi = dynamic_cast<const MultiBaseLayer*>(&layer)) {
        for (int i = 0; i < multi->Count(); ++i) ExpectNoLockHeld(*multi->Child(i), where);
    }
}

struct Picture {
    Picture(int width, int height)
        : rgb(3 * static_cast<std::size_t>(width) * height, 0.0f),
          alpha(static_cast<std::size_t>(width) * height, 1.0f) {}
    void Reset() {
        std::fill(rgb.begin(), rgb.end(), 0.0f);
        std::fill(alpha.begin(), alpha.end(), 1.0f);
    }
    bool Finite() const {
        return std::all_of(rgb.begin(), rgb.end(), [](float v) { return std::isfinite(v); }) &&
               std::all_of(alpha.begin(), alpha.end(), [](float v) { return std::isfinite(v); });
    }
    std::vector<float> rgb, alpha;
};

void Attach(SynthesisJob& job, TextureMap& texture, Picture& picture) {
    job.texture = &texture;
    job.rgb = picture.rgb.data();
    job.alpha = picture.alpha.data();
}

TEST(EngineStress, StartAndCancelAtRandomMomentsInEveryKindOfLayer) {
    constexpr int kSide = 40;
    std::mt19937 pick(20261208);
    for (const LayerKind* kind : ListedKinds()) {
        const std::string name(kind->keyword);
        auto texture = TextureOf(*kind, kSide, kSide);
        Picture picture(kSide, kSide);
        SynthesisJob job;
        Attach(job, *texture, picture);

        // How long one whole rendering takes once its tables are built, so
        // that the cancels spread over all of it: the layer's set-up, its rows
        // and its colour map.
        long long whole = 0;
        for (int i = 0; i < 4; ++i) {
            const auto begin = Clock::now();
            ASSERT_TRUE(job.Start()) << name;
            job.Wait();
            ASSERT_TRUE(job.Succeeded()) << name;
            const long long took =
                std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - begin).count();
            if (i > 0) whole = i == 1 ? took : std::min(whole, took);
        }
        whole = std::max<long long>(whole, 1);
        std::uniform_int_distribution<long long> delay(0, whole);
        // About 200 runs a kind (2000 in all); fewer where a sanitizer makes
        // each rendering slow, so the test stays within seconds.
        const int runs = static_cast<int>(std::clamp<long long>(1'500'000 / whole, 40, 200));

        int cancelled = 0;
        for (int run = 0; run < runs; ++run) {
            picture.Reset();
            ASSERT_TRUE(job.Start()) << name;
            std::this_thread::sleep_for(std::chrono::microseconds(delay(pick)));
            // Sometimes the user cancels twice, or after the end.
            job.Cancel();
            if (run % 7 == 0) job.Cancel();
            ASSERT_FALSE(job.IsRunning()) << name;
            ASSERT_TRUE(job.DoneEvent().IsSet()) << name;
            if (!job.Succeeded()) ++cancelled;
            ExpectNoLockHeld(*texture, name);
        }
        // Starting again after all that gives a whole picture.
        picture.Reset();
        ASSERT_TRUE(job.Start());
        job.Wait();
        EXPECT_TRUE(job.Succeeded()) << name;
        EXPECT_TRUE(picture.Finite()) << name;
        EXPECT_GT(cancelled, 0) << name << ": no cancel of " << runs
                                << " landed inside a rendering of " << whole << " us";
        // The generator's lock was released by every cancelled draw.
        EXPECT_GE(RandomGenerator::Instance().Next(), 0.0);
    }
}

TEST(EngineStress, DestroyingARunningJobCancelsIt) {
    for (const LayerKind* kind : ListedKinds()) {
        auto texture = TextureOf(*kind, 64, 64);
        Picture picture(64, 64);
        for (int run = 0; run < 20; ++run) {
            SynthesisJob job;
            Attach(job, *texture, picture);
            ASSERT_TRUE(job.Start());
            std::this_thread::sleep_for(std::chrono::microseconds(run * 50));
        }  // the destructor cancels and joins
        ExpectNoLockHeld(*texture, std::string(kind->keyword));
    }
}

// The generator's sequence obeys x[n] = x[n - 1279] - x[n - 418] (mod 1).
// A run of draws taken under one hold of the lock is consecutive, so the
// relation holds inside it however many threads draw at the same time.
bool ConsecutiveRun(const std::vector<float>& run) {
    for (std::size_t k = RandomGenerator::kLagLong; k < run.size(); ++k) {
        double x = static_cast<double>(run[k - RandomGenerator::kLagLong]) -
                   static_cast<double>(run[k - RandomGenerator::kLagShort]);
        if (x < 0.0) x += 1.0;
        // The floats round the doubles they came from.
        if (std::abs(x - run[k]) > 1e-6 && std::abs(std::abs(x - run[k]) - 1.0) > 1e-6)
            return false;
    }
    return true;
}

TEST(EngineStress, ThreadsDrawingWhileARenderingRunsSeeWellFormedRuns) {
    // A texture that draws all the time: noise and tiling layers.
    auto texture = std::make_unique<TextureMap>();
    texture->RemoveAll();
    for (const LayerKind* kind : ListedKinds()) texture->AddLast(kind->create());
    texture->SetSize(64, 64);
    Picture picture(64, 64);
    SynthesisJob job;
    Attach(job, *texture, picture);

    std::atomic<bool> stop{false};
    std::atomic<int> badRuns{0};
    std::atomic<int> badDraws{0};
    std::atomic<long long> runs{0};
    auto drawer = [&](int variant) {
        std::vector<float> run(3000);
        while (!stop.load()) {
            if (variant == 0) {
                RandomGenerator::Instance().FillUniform(run.data(), run.size(), 0.0, 1.0);
            } else {
                RandomGenerator::Batch batch(RandomGenerator::Instance());
                for (float& v : run) v = static_cast<float>(batch.Next());
            }
            for (float v : run)
                if (!(v >= 0.0f && v <= 1.0f)) badDraws.fetch_add(1);
            if (!ConsecutiveRun(run)) badRuns.fetch_add(1);
            // Single draws between the runs interleave with the worker's.
            for (int i = 0; i < 50; ++i) {
                const double v = RandomGenerator::Instance().Next();
                if (!(v >= 0.0 && v < 1.0)) badDraws.fetch_add(1);
            }
            runs.fetch_add(1);
        }
    };
    std::thread a(drawer, 0);
    std::thread b(drawer, 1);
    for (int i = 0; i < 6; ++i) {
        picture.Reset();
        ASSERT_TRUE(job.Start());
        job.Wait();
        EXPECT_TRUE(job.Succeeded());
        EXPECT_TRUE(picture.Finite());
    }
    while (runs.load() < 20) std::this_thread::yield();
    stop.store(true);
    a.join();
    b.join();
    EXPECT_EQ(badDraws.load(), 0);
    EXPECT_EQ(badRuns.load(), 0);
}

TEST(EngineStress, EveryKindRendersAtDegenerateSizes) {
    const std::pair<int, int> sizes[] = {{1, 1}, {1, 9},   {9, 1},  {2, 2},
                                         {3, 3}, {1, 300}, {300, 1}};
    for (const LayerKind* kind : ListedKinds()) {
        for (auto [width, height] : sizes) {
            const std::string where = std::string(kind->keyword) + " at " + std::to_string(width) +
                                      " x " + std::to_string(height);
            auto texture = TextureOf(*kind, width, height);
            ASSERT_EQ(texture->Width(), width) << where;
            ASSERT_EQ(texture->Height(), height) << where;
            Picture picture(width, height);
            SynthesisJob job;
            Attach(job, *texture, picture);
            ASSERT_TRUE(job.Start()) << where;
            // Generous: a stuck rendering shows up as a failure, not a hang.
            if (!job.DoneEvent().WaitFor(std::chrono::seconds(20))) {
                job.Cancel();
                FAIL() << where << " did not finish";
            }
            job.Wait();
            EXPECT_TRUE(job.Succeeded()) << where;
            EXPECT_TRUE(picture.Finite()) << where;
            ExpectNoLockHeld(*texture, where);
        }
    }
}

}  // namespace
}  // namespace quillon
