#include "engine/bitmap_layer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <numbers>
#include <thread>
#include <vector>

#include "engine/parallel.h"
#include "engine/synthesis_job.h"
#include "engine/texture_map.h"

namespace quillon {
namespace {

constexpr float kByte = 0.003921569f;

class CountingSink : public NotificationSink {
public:
    void Post(Notification n) override {
        if (n == Notification::LayerStarted) ++started;
        if (n == Notification::ProgressStep) {
            ++steps;
            if (job && steps == cancelAfter) job->CancelEvent().Set();
        }
    }
    std::atomic<int> started{0};
    std::atomic<int> steps{0};
    SynthesisJob* job = nullptr;
    int cancelAfter = -1;
};

RgbPicture MakePicture(int w, int h, const std::vector<std::uint8_t>& rgb) {
    RgbPicture picture;
    EXPECT_TRUE(picture.Assign(w, h, rgb.data()));
    return picture;
}

// A picture whose pixel (x, y) is (x * 10 + y, 100 + y, 255 - x).
RgbPicture Gradient(int w, int h) {
    std::vector<std::uint8_t> rgb;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            rgb.push_back(static_cast<std::uint8_t>(x * 10 + y));
            rgb.push_back(static_cast<std::uint8_t>(100 + y));
            rgb.push_back(static_cast<std::uint8_t>(255 - x));
        }
    }
    return MakePicture(w, h, rgb);
}

struct Output {
    bool ok = false;
    std::vector<float> rgb;
    std::vector<float> alpha;
};

Output RenderLayer(BitmapLayer& layer, bool colour = true, NotificationSink* sink = nullptr,
                   const SynthesisJob* job = nullptr) {
    Output out;
    const std::size_t n = static_cast<std::size_t>(layer.Size());
    out.rgb.assign(colour ? 3 * n : n, -9.0f);
    out.alpha.assign(n, -9.0f);
    RenderContext context;
    context.rgb = out.rgb.data();
    context.alpha = out.alpha.data();
    context.wantColour = colour;
    context.sink = sink;
    context.job = job;
    out.ok = layer.Render(context);
    return out;
}

BitmapLayer LayerWith(RgbPicture picture, int w, int h) {
    BitmapLayer layer;
    layer.SetSize(w, h);
    layer.SetPicture(std::move(picture));
    return layer;
}

TEST(RgbPicture, SizesAreChecked) {
    RgbPicture picture;
    EXPECT_TRUE(picture.Allocate(2, 3));
    EXPECT_EQ(picture.ByteCount(), 18u);
    EXPECT_EQ(picture.PixelCount(), 6u);
    for (const auto& [w, h] : {std::pair{0, 1}, std::pair{1, 0}, std::pair{-2, 3}, std::pair{65536, 1},
                               std::pair{65535, 65535}}) {
        EXPECT_FALSE(picture.Allocate(w, h)) << w << " x " << h;
        EXPECT_FALSE(picture.Assign(w, h, picture.Bytes())) << w << " x " << h;
    }
    EXPECT_EQ(picture.Width(), 2);  // unchanged by the failures
    EXPECT_EQ(picture.Height(), 3);
    EXPECT_TRUE(RgbPicture::IsValidSize(65535, 4096));
    EXPECT_FALSE(RgbPicture::IsValidSize(65535, 4097));

    const RgbPicture g = Gradient(4, 3);
    EXPECT_EQ(g.Pixel(2, 1)[0], 21);
    EXPECT_EQ(g.Pixel(2, 1)[1], 101);
    EXPECT_EQ(g.Pixel(2, 1)[2], 253);
}

TEST(BitmapLayer, PictureOwnershipAndCopies) {
    BitmapLayer layer;
    EXPECT_EQ(layer.Picture(), nullptr);
    EXPECT_EQ(layer.ResamplingRadius(), 3);
    EXPECT_EQ(layer.Keyword(), "BITMAPLAYER");
    layer.SetPicture(Gradient(3, 2));
    ASSERT_NE(layer.Picture(), nullptr);
    ASSERT_TRUE(RenderLayer(layer).ok);
    ASSERT_NE(layer.WorkingBuffer(), nullptr);

    const auto copy = layer.Clone();
    auto* bitmap = dynamic_cast<BitmapLayer*>(copy.get());
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(*bitmap->Picture(), *layer.Picture());
    EXPECT_EQ(bitmap->WorkingBuffer(), nullptr);
    EXPECT_TRUE(bitmap->IsSameKind(layer));
    EXPECT_FALSE(layer.IsSameKind(BaseLayer()));

    // Replacing the copy's picture leaves the original's alone.
    bitmap->SetPicture(Gradient(1, 1));
    EXPECT_EQ(layer.Picture()->Width(), 3);
    // An empty picture removes it.
    bitmap->SetPicture(RgbPicture());
    EXPECT_EQ(bitmap->Picture(), nullptr);
}

TEST(BitmapLayer, ImportIsRefusedWhileTheLayerRenders) {
    BitmapLayer layer;
    layer.SetPicture(Gradient(2, 2));
    std::mutex m;
    std::condition_variable cv;
    bool held = false, release = false;
    std::thread renderer([&] {
        std::lock_guard<LayerLock> hold(layer.Lock());
        std::unique_lock<std::mutex> lock(m);
        held = true;
        cv.notify_all();
        cv.wait(lock, [&] { return release; });
    });
    {
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [&] { return held; });
    }
    EXPECT_FALSE(layer.TrySetPicture(std::make_shared<const RgbPicture>(Gradient(5, 5))));
    EXPECT_EQ(layer.Picture()->Width(), 2);
    {
        std::lock_guard<std::mutex> lock(m);
        release = true;
    }
    cv.notify_all();
    renderer.join();
    EXPECT_TRUE(layer.TrySetPicture(std::make_shared<const RgbPicture>(Gradient(5, 5))));
    EXPECT_EQ(layer.Picture()->Width(), 5);
}

TEST(BitmapLayer, WithoutPictureRendersLikeABaseLayer) {
    BitmapLayer layer;
    layer.SetSize(3, 2);
    const Output values = RenderLayer(layer, false);
    ASSERT_TRUE(values.ok);
    for (float v : values.rgb) EXPECT_EQ(v, 0.0f);
    const Output colours = RenderLayer(layer, true);
    BaseLayer plain(3, 2, "plain");
    std::vector<float> rgb(18, -9.0f), alpha(6, -9.0f);
    RenderContext context;
    context.rgb = rgb.data();
    context.alpha = alpha.data();
    ASSERT_TRUE(plain.Render(context));
    EXPECT_EQ(colours.rgb, rgb);
    EXPECT_EQ(colours.alpha, alpha);
}

TEST(BitmapLayer, SameSizeDeliversThePictureInItsRowOrder) {
    BitmapLayer layer = LayerWith(Gradient(4, 3), 4, 3);
    CountingSink sink;
    const Output out = RenderLayer(layer, true, &sink);
    ASSERT_TRUE(out.ok);
    EXPECT_EQ(sink.started, 1);
    EXPECT_EQ(sink.steps, 0);
    const RgbPicture& picture = *layer.Picture();
    for (std::size_t k = 0; k < picture.ByteCount(); ++k) {
        EXPECT_EQ(out.rgb[k], static_cast<float>(picture.Bytes()[k]) * kByte) << k;
    }
    for (float a : out.alpha) EXPECT_EQ(a, 1.0f);
    EXPECT_EQ(layer.WorkingWidth(), 4);
    EXPECT_EQ(layer.WorkingHeight(), 3);
}

TEST(BitmapLayer, ValueModeDeliversLuminance) {
    std::vector<std::uint8_t> white(3 * 6, 255);
    BitmapLayer layer = LayerWith(MakePicture(3, 2, white), 3, 2);
    Output out = RenderLayer(layer, false);
    ASSERT_TRUE(out.ok);
    for (float v : out.rgb) EXPECT_FLOAT_EQ(v, 1.0f);
    for (float a : out.alpha) EXPECT_EQ(a, 1.0f);

    layer.SetPicture(MakePicture(3, 1, {255, 0, 0, 0, 255, 0, 0, 0, 255}));
    layer.SetSize(3, 1);
    out = RenderLayer(layer, false);
    ASSERT_EQ(out.rgb.size(), 3u);
    EXPECT_FLOAT_EQ(out.rgb[0], 0.299f);
    EXPECT_FLOAT_EQ(out.rgb[1], 0.587f);
    EXPECT_FLOAT_EQ(out.rgb[2], 0.114f);
}

TEST(BitmapLayer, EnlargingWithTheWindowedSinc) {
    // A flat picture stays flat at any size: the weights are normalised.
    std::vector<std::uint8_t> flat(3 * 6, 0);
    for (std::size_t k = 0; k < flat.size(); k += 3) flat[k] = 200, flat[k + 1] = 10, flat[k + 2] = 99;
    for (const auto& [w, h] : {std::pair{7, 5}, std::pair{3, 9}, std::pair{64, 2}}) {
        BitmapLayer layer = LayerWith(MakePicture(3, 2, flat), w, h);
        const Output out = RenderLayer(layer);
        ASSERT_TRUE(out.ok);
        for (std::size_t p = 0; p < out.alpha.size(); ++p) {
            EXPECT_NEAR(out.rgb[3 * p], 200 * kByte, 1e-5f);
            EXPECT_NEAR(out.rgb[3 * p + 1], 10 * kByte, 1e-5f);
            EXPECT_NEAR(out.rgb[3 * p + 2], 99 * kByte, 1e-5f);
        }
    }

    // 2 -> 4 samples: d = 0.5, output 0 takes source 0 with the taps at 0
    // and 0.5, source 1 with those at 1 and 1.5.
    const auto sinc = [](double x) {
        const double px = std::numbers::pi * x;
        return x == 0.0 ? 1.0 : std::sin(px) / px;
    };
    const double w0 = sinc(0.0) + sinc(0.5), w1 = sinc(1.0) + sinc(1.5);
    BitmapLayer layer = LayerWith(MakePicture(2, 1, {102, 0, 255, 204, 255, 0}), 4, 1);
    const Output out = RenderLayer(layer);
    ASSERT_TRUE(out.ok);
    EXPECT_NEAR(out.rgb[0], (w0 * 0.4 + w1 * 0.8) / (w0 + w1), 1e-5);
    // The overshoot of a hard edge is clamped to 0 .. 1.
    EXPECT_EQ(out.rgb[1], 0.0f);
    EXPECT_EQ(out.rgb[2], 1.0f);
    for (float v : out.rgb) {
        EXPECT_GE(v, 0.0f);
        EXPECT_LE(v, 1.0f);
    }
}

TEST(BitmapLayer, ReducingAveragesTheCoveredArea) {
    // 4 -> 2: pairs; 3 -> 2: each output covers one and a half sources.
    BitmapLayer layer = LayerWith(MakePicture(4, 1, {0, 0, 0, 255, 255, 255, 51, 51, 51, 153, 153, 153}), 2, 1);
    Output out = RenderLayer(layer, false);
    ASSERT_TRUE(out.ok);
    EXPECT_NEAR(out.rgb[0], 0.5f, 1e-5f);
    EXPECT_NEAR(out.rgb[1], 0.4f, 1e-5f);

    layer.SetPicture(MakePicture(1, 3, {0, 0, 0, 255, 255, 255, 51, 51, 51}));
    layer.SetSize(1, 2);
    out = RenderLayer(layer, false);
    EXPECT_NEAR(out.rgb[0], (0.0 + 0.5) / 1.5, 1e-5);
    EXPECT_NEAR(out.rgb[1], (0.5 + 0.2) / 1.5, 1e-5);
}

TEST(BitmapLayer, StretchesBothWaysAndDegenerateSizes) {
    for (const auto& [pw, ph, w, h] : {std::array{1, 1, 1, 1}, std::array{2, 2, 1, 1}, std::array{1, 1, 3, 2},
                                      std::array{5, 1, 1, 5}, std::array{1, 7, 9, 1},
                                      std::array{16, 4, 3, 11}}) {
        SCOPED_TRACE(testing::Message() << pw << "x" << ph << " -> " << w << "x" << h);
        BitmapLayer layer = LayerWith(Gradient(pw, ph), w, h);
        const Output out = RenderLayer(layer);
        ASSERT_TRUE(out.ok);
        EXPECT_EQ(layer.WorkingWidth(), w);
        EXPECT_EQ(layer.WorkingHeight(), h);
        for (float v : out.rgb) {
            EXPECT_GE(v, 0.0f);
            EXPECT_LE(v, 1.0f);
        }
    }
    // One pixel fills any layer.
    BitmapLayer layer = LayerWith(MakePicture(1, 1, {255, 51, 0}), 5, 3);
    const Output out = RenderLayer(layer);
    for (std::size_t p = 0; p < 15; ++p) {
        EXPECT_FLOAT_EQ(out.rgb[3 * p], 1.0f);
        EXPECT_FLOAT_EQ(out.rgb[3 * p + 1], 0.2f);
        EXPECT_FLOAT_EQ(out.rgb[3 * p + 2], 0.0f);
    }
}

TEST(BitmapLayer, ProgressAboutAHundredTimesPerDirection) {
    BitmapLayer layer = LayerWith(Gradient(10, 10), 200, 300);
    CountingSink sink;
    ASSERT_TRUE(RenderLayer(layer, true, &sink).ok);
    EXPECT_EQ(sink.started, 1);
    EXPECT_EQ(sink.steps, 200);
    // Too few output pixels for a step: none.
    BitmapLayer small = LayerWith(Gradient(2, 2), 4, 4);
    CountingSink quiet;
    ASSERT_TRUE(RenderLayer(small, true, &quiet).ok);
    EXPECT_EQ(quiet.steps, 0);
}

TEST(BitmapLayer, CancellingTheStretch) {
    SynthesisJob job;
    BitmapLayer layer = LayerWith(Gradient(10, 10), 200, 300);
    CountingSink sink;
    sink.job = &job;
    sink.cancelAfter = 150;  // inside the height step
    const Output out = RenderLayer(layer, true, &sink, &job);
    EXPECT_FALSE(out.ok);
    EXPECT_FALSE(layer.IsBusy());
    EXPECT_EQ(out.rgb.front(), -9.0f);  // nothing delivered
    // The working buffer is what it was before the failing step.
    EXPECT_EQ(layer.WorkingWidth(), 200);
    EXPECT_EQ(layer.WorkingHeight(), 10);

    sink.steps = 0;
    sink.cancelAfter = 30;  // inside the width step
    job.CancelEvent().Reset();
    EXPECT_FALSE(RenderLayer(layer, true, &sink, &job).ok);
    EXPECT_EQ(layer.WorkingWidth(), 10);
    EXPECT_EQ(layer.WorkingHeight(), 10);

    // Cancelled before the stretch; then a clean rendering.
    EXPECT_FALSE(RenderLayer(layer, true, nullptr, &job).ok);
    job.CancelEvent().Reset();
    EXPECT_TRUE(RenderLayer(layer, true, nullptr, &job).ok);
}

TEST(BitmapLayer, SameResultAtEveryThreadCount) {
    BitmapLayer layer = LayerWith(Gradient(16, 9), 300, 200);
    std::vector<Output> results;
    for (const int threads : {1, 2, 5}) {
        SetMaxThreads(threads);
        results.push_back(RenderLayer(layer, true));
        results.push_back(RenderLayer(layer, false));
    }
    SetMaxThreads(0);
    for (std::size_t k = 2; k < results.size(); ++k) EXPECT_EQ(results[k].rgb, results[k % 2].rgb) << k;
}

TEST(BitmapLayer, DisabledLayerTouchesNothing) {
    BitmapLayer layer = LayerWith(Gradient(3, 3), 3, 3);
    layer.SetEnabled(false);
    CountingSink sink;
    const Output out = RenderLayer(layer, true, &sink);
    EXPECT_TRUE(out.ok);
    EXPECT_EQ(sink.started, 0);
    for (float v : out.rgb) EXPECT_EQ(v, -9.0f);
    for (float a : out.alpha) EXPECT_EQ(a, -9.0f);
}

TEST(BitmapLayer, InsideATexture) {
    TextureMap texture;
    texture.RemoveAll();  // a new texture starts with a noise layer
    texture.SetSize(8, 6);
    auto child = std::make_unique<BitmapLayer>();
    child->SetPicture(MakePicture(1, 1, {0, 255, 0}));
    ASSERT_TRUE(texture.AddLast(std::move(child)));
    std::vector<float> rgb(8 * 6 * 3, 0.0f), alpha(8 * 6, 1.0f);
    RenderContext context;
    context.rgb = rgb.data();
    context.alpha = alpha.data();
    ASSERT_TRUE(texture.Render(context));
    for (std::size_t p = 0; p < 48; ++p) {
        EXPECT_FLOAT_EQ(rgb[3 * p], 0.0f);
        EXPECT_FLOAT_EQ(rgb[3 * p + 1], 1.0f);
    }
}

}  // namespace
}  // namespace quillon
