#include "engine/synthesis_job.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#include "engine/bump_map_layer.h"
#include "engine/combine_layer.h"
#include "engine/noise_function_layer.h"
#include "engine/parallel.h"
#include "engine/texture_map.h"
#include "engine/white_noise_layer.h"
#include "test_layers.h"

namespace quillon {
namespace {

using testing::RecordingSink;
using testing::SolidLayer;

// Blocks inside its rendering until released, so that a test can cancel
// a synthesis at a known point.
class GateLayer : public BaseLayer {
  public:
    bool Render(RenderContext& context) override {
        std::lock_guard<LayerLock> hold(Lock());
        entered.Set();
        while (!context.IsCancelled() && !release.IsSet()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (context.IsCancelled()) return false;
        const std::size_t n = static_cast<std::size_t>(Size());
        for (std::size_t p = 0; p < n; ++p) {
            for (int c = 0; c < 3; ++c) context.rgb[3 * p + c] = 0.5f;
            context.alpha[p] = 1.0f;
        }
        return true;
    }
    ManualResetEvent entered, release;
};

struct Picture {
    explicit Picture(const TextureMap& t)
        : rgb(3 * static_cast<std::size_t>(t.Size()), 0.0f),
          alpha(static_cast<std::size_t>(t.Size()), 1.0f) {}
    std::vector<float> rgb, alpha;
};

void Prepare(SynthesisJob& job, TextureMap& texture, Picture& picture, NotificationSink* sink) {
    job.texture = &texture;
    job.rgb = picture.rgb.data();
    job.alpha = picture.alpha.data();
    job.sink = sink;
}

TEST(SynthesisJob, NotificationsOfAWhiteNoiseTexture) {
    TextureMap texture;
    texture.RemoveAll();
    texture.AddLast(std::make_unique<WhiteNoiseLayer>());  // 64 x 64
    Picture picture(texture);
    RecordingSink sink;
    std::atomic<int> callbacks{0};
    SynthesisJob job;
    Prepare(job, texture, picture, &sink);
    job.onComposite = [&](RenderContext&, float* rgb, std::uintptr_t arg) {
        EXPECT_EQ(rgb, picture.rgb.data());
        EXPECT_EQ(arg, 7u);
        ++callbacks;
    };
    job.callbackArg = 7;
    ASSERT_TRUE(job.Start());
    job.Wait();
    EXPECT_TRUE(job.Succeeded());
    EXPECT_TRUE(job.DoneEvent().IsSet());
    EXPECT_EQ(sink.CountOf(Notification::ProgressStep), 102);
    EXPECT_EQ(sink.CountOf(Notification::LayerStarted), 2);  // texture, layer
    EXPECT_EQ(sink.CountOf(Notification::LayerComposited), 1);
    EXPECT_EQ(sink.CountOf(Notification::SynthesisDone), 1);
    EXPECT_EQ(sink.events.front(), Notification::LayerStarted);
    EXPECT_EQ(sink.events.back(), Notification::SynthesisDone);
    EXPECT_EQ(callbacks.load(), 2);  // after the composite and at the end
    EXPECT_FALSE(texture.IsBusy());
}

TEST(SynthesisJob, SmallLayersPostNoProgress) {
    TextureMap texture;
    texture.RemoveAll();
    texture.SetSize(9, 11);
    texture.AddLast(std::make_unique<WhiteNoiseLayer>());
    Picture picture(texture);
    RecordingSink sink;
    SynthesisJob job;
    Prepare(job, texture, picture, &sink);
    EXPECT_TRUE(job.RunHere());
    EXPECT_EQ(sink.CountOf(Notification::ProgressStep), 0);
}

TEST(SynthesisJob, CancelInTheMiddleKeepsTheLayersDone) {
    TextureMap texture;
    texture.RemoveAll();
    texture.SetSize(8, 8);
    auto top = std::make_unique<SolidLayer>(1.0f, 1.0f, 1.0f);
    auto gate = std::make_unique<GateLayer>();
    GateLayer* gateRaw = gate.get();
    texture.AddLast(std::move(top));
    texture.AddLast(std::move(gate));
    texture.AddLast(std::make_unique<SolidLayer>(0.25f, 0.0f, 0.0f));  // bottom

    Picture picture(texture);
    RecordingSink sink;
    SynthesisJob job;
    Prepare(job, texture, picture, &sink);
    ASSERT_TRUE(job.Start());
    ASSERT_TRUE(gateRaw->entered.WaitFor(std::chrono::seconds(10)));
    EXPECT_TRUE(job.IsRunning());
    EXPECT_TRUE(texture.IsBusy());
    EXPECT_TRUE(gateRaw->IsBusy());
    job.Cancel();

    EXPECT_TRUE(job.DoneEvent().IsSet());
    EXPECT_FALSE(job.Succeeded());
    EXPECT_FALSE(job.IsRunning());
    EXPECT_EQ(sink.CountOf(Notification::SynthesisDone), 0);
    EXPECT_EQ(sink.CountOf(Notification::LayerComposited), 1);
    EXPECT_FALSE(texture.IsBusy());
    EXPECT_FALSE(gateRaw->IsBusy());
    EXPECT_FLOAT_EQ(picture.rgb[0], 0.25f);  // the bottom layer only
    EXPECT_FLOAT_EQ(picture.rgb[1], 0.0f);

    // The job can run again: both events are reset at the start.
    gateRaw->entered.Reset();
    gateRaw->release.Set();
    ASSERT_TRUE(job.Start());
    job.Wait();
    EXPECT_TRUE(job.Succeeded());
    EXPECT_FALSE(job.CancelEvent().IsSet());
    EXPECT_FLOAT_EQ(picture.rgb[0], 1.0f);
}

TEST(SynthesisJob, CancelStopsALongWhiteNoiseQuickly) {
    TextureMap texture;
    texture.RemoveAll();
    texture.SetSize(4096, 4096);
    texture.AddLast(std::make_unique<WhiteNoiseLayer>());
    Picture picture(texture);
    RecordingSink sink;
    SynthesisJob job;
    Prepare(job, texture, picture, &sink);
    ASSERT_TRUE(job.Start());
    while (sink.CountOf(Notification::ProgressStep) < 3) std::this_thread::yield();
    job.Cancel();
    EXPECT_FALSE(job.Succeeded());
    EXPECT_LT(sink.CountOf(Notification::ProgressStep), 100);
    EXPECT_FALSE(texture.Child(0)->IsBusy());
}

TEST(SynthesisJob, NothingToRenderIsRefused) {
    SynthesisJob job;
    EXPECT_FALSE(job.Start());
    job.Cancel();  // no worker: nothing happens
    job.Wait();
}

TEST(SynthesisJob, EmptyTextureStillFinishes) {
    TextureMap texture;
    texture.RemoveAll();
    Picture picture(texture);
    picture.rgb.assign(picture.rgb.size(), 0.75f);
    RecordingSink sink;
    SynthesisJob job;
    Prepare(job, texture, picture, &sink);
    EXPECT_TRUE(job.RunHere());
    EXPECT_EQ(sink.CountOf(Notification::SynthesisDone), 1);
    EXPECT_EQ(picture.rgb[0], 0.75f);
}

TEST(SynthesisJob, DestroyingARunningJobCancelsIt) {
    TextureMap texture;
    texture.RemoveAll();
    auto gate = std::make_unique<GateLayer>();
    GateLayer* gateRaw = gate.get();
    texture.AddLast(std::move(gate));
    Picture picture(texture);
    {
        SynthesisJob job;
        Prepare(job, texture, picture, nullptr);
        ASSERT_TRUE(job.Start());
        ASSERT_TRUE(gateRaw->entered.WaitFor(std::chrono::seconds(10)));
    }
    EXPECT_FALSE(texture.IsBusy());
}

// Work space a layer cannot get ends the synthesis as a failure, with the
// done event set and the locks released, never the program.
TEST(SynthesisJob, RunningOutOfMemoryIsAFailureNotAnAbort) {
    class GreedyLayer : public BaseLayer {
      public:
        bool Render(RenderContext&) override {
            std::lock_guard<LayerLock> hold(Lock());
            throw std::bad_alloc();
        }
    };
    TextureMap texture;
    texture.RemoveAll();
    texture.AddLast(std::make_unique<GreedyLayer>());
    Picture picture(texture);
    SynthesisJob job;
    Prepare(job, texture, picture, nullptr);
    ASSERT_TRUE(job.Start());
    job.Wait();
    EXPECT_TRUE(job.DoneEvent().IsSet());
    EXPECT_FALSE(job.Succeeded());
    EXPECT_TRUE(job.RanOutOfMemory());
    EXPECT_FALSE(texture.IsBusy());
    EXPECT_FALSE(texture.Child(0)->IsBusy());

    texture.RemoveAll();
    texture.AddLast(std::make_unique<SolidLayer>(0.5f, 0.5f, 0.5f));
    EXPECT_TRUE(job.RunHere());
    EXPECT_FALSE(job.RanOutOfMemory());
}

// A picture handed over unwritten must come out as the cleared one does,
// whichever children may render straight into it, at one thread and more.
TEST(SynthesisJob, AnUnwrittenPictureRendersAsACleared) {
    const auto noise = [](CombineFunc f) {
        auto layer = std::make_unique<NoiseFunctionLayer>();
        layer->SetCombineFunc(f);
        layer->SetTransparency(RandomNumber::Random({0.2f, 0.8f}));
        return layer;
    };
    // Children bottom first.
    // A bump map whose child adds to what lies below, so that it shows.
    const auto bump = [] {
        auto layer = std::make_unique<BumpMapLayer>();
        layer->Child(0)->SetCombineFunc(CombineFunc::Additive);
        return layer;
    };
    const auto texture = [](std::vector<std::unique_ptr<BaseLayer>> children) {
        auto map = std::make_unique<TextureMap>();
        map->RemoveAll();
        map->SetSize(48, 40);
        for (auto& child : children) map->AddFirst(std::move(child));
        return map;
    };
    std::vector<std::unique_ptr<TextureMap>> cases;
    std::vector<std::unique_ptr<BaseLayer>> layers;
    layers.push_back(noise(CombineFunc::Opaque));
    cases.push_back(texture(std::move(layers)));
    layers.clear();
    layers.push_back(bump());  // reads what lies below
    layers.push_back(noise(CombineFunc::Transparent));
    cases.push_back(texture(std::move(layers)));
    layers.clear();
    layers.push_back(noise(CombineFunc::Multiply));  // a later bump map reads its colours
    layers.push_back(bump());
    cases.push_back(texture(std::move(layers)));
    layers.clear();
    layers.push_back(std::make_unique<MaskLayer>());
    layers.push_back(noise(CombineFunc::Shade));
    cases.push_back(texture(std::move(layers)));
    layers.clear();
    auto twice = noise(CombineFunc::Additive);
    twice->SetUsage(RandomNumber(2.0f));
    layers.push_back(std::move(twice));
    cases.push_back(texture(std::move(layers)));
    layers.clear();
    auto never = noise(CombineFunc::Opaque);
    never->SetUseProbability(RandomNumber(0.0f));
    layers.push_back(std::move(never));
    cases.push_back(texture(std::move(layers)));
    layers.clear();
    layers.push_back(noise(CombineFunc::Opaque));
    cases.push_back(texture(std::move(layers)));
    cases.back()->SetEnabled(false);

    for (int threads : {1, 4}) {
        SetMaxThreads(threads);
        for (std::size_t k = 0; k < cases.size(); ++k) {
            Picture cleared(*cases[k]);
            Picture unwritten(*cases[k]);
            unwritten.rgb.assign(unwritten.rgb.size(), 0.375f);  // NaN would be made finite
            unwritten.alpha.assign(unwritten.alpha.size(), -3.0f);
            for (Picture* picture : {&cleared, &unwritten}) {
                RandomGenerator::Instance().Seed(17);
                SynthesisJob job;
                Prepare(job, *cases[k], *picture, nullptr);
                job.unwrittenPicture = picture == &unwritten;
                ASSERT_TRUE(job.RunHere()) << k;
            }
            EXPECT_EQ(0, std::memcmp(cleared.rgb.data(), unwritten.rgb.data(),
                                     cleared.rgb.size() * sizeof(float)))
                << "case " << k << ", " << threads << " threads";
        }
    }
    SetMaxThreads(0);
}

// A stopped synthesis leaves no layer holding its buffers.
TEST(SynthesisJob, CancelFreesTheBuffersOfTheLayersItStopped) {
    TextureMap texture;
    texture.RemoveAll();
    texture.SetSize(8, 8);
    auto combine = std::make_unique<CombineLayer>();
    combine->RemoveAll();
    auto gate = std::make_unique<GateLayer>();
    GateLayer* gateRaw = gate.get();
    combine->AddLast(std::move(gate));
    CombineLayer* combineRaw = combine.get();
    texture.AddLast(std::move(combine));
    Picture picture(texture);
    SynthesisJob job;
    Prepare(job, texture, picture, nullptr);
    ASSERT_TRUE(job.Start());
    ASSERT_TRUE(gateRaw->entered.WaitFor(std::chrono::seconds(10)));
    EXPECT_NE(combineRaw->Values(), nullptr);
    job.Cancel();
    EXPECT_EQ(combineRaw->Values(), nullptr);
}

TEST(LayerLock, AnswersWithoutWaiting) {
    BaseLayer layer;
    EXPECT_FALSE(layer.IsBusy());
    layer.Lock().lock();
    EXPECT_TRUE(layer.IsBusy());
    std::thread other([&] { EXPECT_FALSE(layer.Lock().try_lock()); });
    other.join();
    layer.Lock().unlock();
    EXPECT_FALSE(layer.IsBusy());
}

}  // namespace
}  // namespace quillon
