#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "engine/bump_map_layer.h"
#include "engine/synthesis_job.h"
#include "test_layers.h"

namespace quillon {
namespace {

using testing::SolidLayer;

// Delivers colour f(x, y) (the same for the three channels unless
// redOnly), alpha 1.
class PatternLayer : public BaseLayer {
  public:
    PatternLayer(std::function<float(int, int)> f, bool redOnly = false)
        : m_f(std::move(f)), m_redOnly(redOnly) {}
    bool Render(RenderContext& context) override {
        for (int y = 0; y < Height(); ++y) {
            for (int x = 0; x < Width(); ++x) {
                const std::size_t p = static_cast<std::size_t>(y) * Width() + x;
                const float v = m_f(x, y);
                context.rgb[3 * p] = v;
                context.rgb[3 * p + 1] = m_redOnly ? 0.0f : v;
                context.rgb[3 * p + 2] = m_redOnly ? 0.0f : v;
                context.alpha[p] = 1.0f;
            }
        }
        return true;
    }
    std::unique_ptr<BaseLayer> Clone() const override {
        return std::make_unique<PatternLayer>(*this);
    }

  private:
    std::function<float(int, int)> m_f;
    bool m_redOnly;
};

using Picture = testing::RenderedLayer;
Picture RenderLayer(BaseLayer& layer, bool wantColour = true, const SynthesisJob* job = nullptr) {
    return testing::RenderLayer(layer, {wantColour, 0.25f, 0.5f, nullptr, job});
}

// A bump map of w x h over one child, with the default light.
std::unique_ptr<BumpMapLayer> BumpOver(std::unique_ptr<BaseLayer> child, int w, int h) {
    auto bump = std::make_unique<BumpMapLayer>();
    bump->RemoveAll();
    bump->SetSize(w, h);
    bump->AddLast(std::move(child));
    return bump;
}

std::shared_ptr<BumpLightSrc> Directional(float x, float y, float z, float colour = 1.0f) {
    auto light = std::make_shared<BumpLightSrc>();
    light->xPos = x;
    light->yPos = y;
    light->zPos = z;
    for (float& c : light->color) c = colour;
    return light;
}

// The children render into a buffer of their own: a flat surface under
// the default light is 0.866 x 0.577 = one half, whatever its colour.
TEST(BumpMap, FlatImageUnderDefaultLightIsHalfGrey) {
    for (bool greyify : {true, false}) {
        auto bump = BumpOver(std::make_unique<SolidLayer>(0.2f, 0.7f, 0.9f, 1.0f), 6, 5);
        bump->SetGreyify(greyify);
        const Picture pic = RenderLayer(*bump);
        ASSERT_TRUE(pic.ok);
        for (float v : pic.rgb) EXPECT_NEAR(v, 0.5f, 1e-6f);
        for (float a : pic.alpha) EXPECT_EQ(a, 1.0f);
    }
    auto bump = BumpOver(std::make_unique<SolidLayer>(0.3f, 0.3f, 0.3f, 1.0f), 4, 4);
    const Picture values = RenderLayer(*bump, false);
    for (std::size_t p = 0; p < 16; ++p) EXPECT_NEAR(values.rgb[p], 0.5f, 1e-6f);
}

TEST(BumpMap, DarkLightsOffLightsAndDirectionlessLightsAddNothing) {
    auto bump = BumpOver(std::make_unique<SolidLayer>(0.5f, 0.5f, 0.5f, 1.0f), 5, 5);
    bump->AddLight(Directional(0.0f, 0.0f, 1.0f, 0.0f));  // black
    auto off = Directional(0.0f, 0.0f, 1.0f);
    off->on = false;
    bump->AddLight(off);
    bump->AddLight(Directional(0.0f, 0.0f, 0.0f));  // no direction at all
    const Picture pic = RenderLayer(*bump);
    ASSERT_TRUE(pic.ok);
    for (float v : pic.rgb) EXPECT_NEAR(v, 0.5f, 1e-6f);
}

TEST(BumpMap, TinyLayersAndLayersWithoutLightRenderAsABaseLayer) {
    const auto check = [](std::unique_ptr<BumpMapLayer> bump) {
        auto* child = static_cast<SolidLayer*>(bump->Child(0));
        const Picture pic = RenderLayer(*bump);
        EXPECT_TRUE(pic.ok);
        EXPECT_EQ(child->renders, 0);
        for (float v : pic.rgb) EXPECT_EQ(v, 0.0f);  // value 0 through the white map
    };
    check(BumpOver(std::make_unique<SolidLayer>(1, 1, 1, 1), 2, 9));
    check(BumpOver(std::make_unique<SolidLayer>(1, 1, 1, 1), 9, 2));
    check(BumpOver(std::make_unique<SolidLayer>(1, 1, 1, 1), 1, 1));
    auto dark = BumpOver(std::make_unique<SolidLayer>(1, 1, 1, 1), 8, 8);
    dark->RemoveAllLights();
    check(std::move(dark));
}

// Only the last column is high. A light from the right lights a slope
// falling to the left; column 0 sees that slope only when the borders wrap.
TEST(BumpMap, TileableBordersWrap) {
    const int w = 6;
    const int h = 4;
    const auto make = [&](bool tileable) {
        auto bump = BumpOver(
            std::make_unique<PatternLayer>([&](int x, int) { return x == w - 1 ? 1.0f : 0.0f; }), w,
            h);
        bump->RemoveAllLights();
        bump->AddLight(Directional(1.0f, 0.0f, 1.0f));
        bump->SetTileable(tileable);
        return RenderLayer(*bump);
    };
    const Picture clamped = make(false);
    const Picture wrapped = make(true);
    const float flat = 1.0f / std::sqrt(2.0f);
    // gx = 0 - 3 on column 0 when wrapped: (0.707 - 3 x 0.707) / sqrt(10) < 0.
    for (int y = 0; y < h; ++y) {
        EXPECT_NEAR(clamped.At(0, y, 0), flat, 1e-6f);
        EXPECT_EQ(wrapped.At(0, y, 0), 0.0f);
        EXPECT_NEAR(clamped.At(2, y, 1), flat, 1e-6f);
        EXPECT_NEAR(wrapped.At(2, y, 1), flat, 1e-6f);
        // The last column's right neighbour is column 0 (low) when wrapped,
        // itself (high) when not; its left neighbour is low either way.
        const float lit = (flat + 3.0f * flat) / std::sqrt(10.0f);
        EXPECT_NEAR(wrapped.At(w - 1, y, 2), flat, 1e-6f);
        EXPECT_NEAR(clamped.At(w - 1, y, 2), lit, 1e-6f);
        EXPECT_NEAR(wrapped.At(w - 2, y, 2), lit, 1e-6f);
    }
}

TEST(BumpMap, GreyifyShadesTheLuminanceInEveryChannel) {
    const auto make = [](bool greyify) {
        auto bump = BumpOver(
            std::make_unique<PatternLayer>([](int x, int y) { return 0.1f * x + 0.05f * y; }, true),
            7, 7);
        bump->SetGreyify(greyify);
        return RenderLayer(*bump);
    };
    const Picture grey = make(true);
    const Picture colour = make(false);
    for (std::size_t p = 0; p < 49; ++p) {
        EXPECT_EQ(grey.rgb[3 * p], grey.rgb[3 * p + 1]);
        EXPECT_EQ(grey.rgb[3 * p], grey.rgb[3 * p + 2]);
        EXPECT_NEAR(colour.rgb[3 * p + 1], 0.5f, 1e-6f);  // green and blue are flat
    }
    EXPECT_NE(colour.rgb[3 * 24], colour.rgb[3 * 24 + 1]);
}

// The bump scale and then every light's x, y and z are drawn after the
// children, off lights included. A flat surface under a point light at
// (px, py, pz) gets pz / |(x - px, py - y, pz)|.
TEST(BumpMap, DrawsScaleThenEveryLightsPositionInListOrder) {
    const int w = 5;
    auto bump = BumpOver(std::make_unique<SolidLayer>(0.4f, 0.4f, 0.4f, 1.0f), w, w);
    bump->SetBumpScale(RandomNumber::Random({0.0f, 2.0f}));
    bump->RemoveAllLights();
    auto off = Directional(0, 0, 1);
    off->xPos = RandomNumber::Random({0.0f, 1.0f});
    off->on = false;
    auto point = Directional(0, 0, 0);
    point->finite = true;
    point->xPos = RandomNumber::Random({0.0f, 5.0f});
    point->yPos = RandomNumber::Random({0.0f, 5.0f});
    point->zPos = RandomNumber::Random({1.0f, 3.0f});
    bump->AddLight(off);
    bump->AddLight(point);

    RandomGenerator::Instance().Seed(77);
    const Picture pic = RenderLayer(*bump);
    const double after = RandomGenerator::Instance().Next();

    RandomGenerator::Instance().Seed(77);
    RandomGenerator::Instance().Next();  // the child's use-probability draw
    bump->BumpScale().Evaluate();
    off->xPos.Evaluate();
    off->yPos.Evaluate();
    off->zPos.Evaluate();
    const float px = static_cast<float>(point->xPos.Evaluate());
    const float py = static_cast<float>(point->yPos.Evaluate());
    const float pz = static_cast<float>(point->zPos.Evaluate());
    EXPECT_EQ(RandomGenerator::Instance().Next(), after);
    for (int y = 0; y < w; ++y) {
        for (int x = 0; x < w; ++x) {
            const float dx = x - px;
            const float dy = py - y;
            EXPECT_NEAR(pic.At(x, y, 0), pz / std::sqrt(dx * dx + dy * dy + pz * pz), 1e-5f);
        }
    }
}

TEST(BumpMap, LightListLimitsAndIdentity) {
    BumpMapLayer bump;
    for (int k = 1; k < BumpMapLayer::kMaxLights; ++k) {
        EXPECT_TRUE(bump.AddLight(std::make_shared<BumpLightSrc>()));
    }
    auto ninth = std::make_shared<BumpLightSrc>();
    ninth->on = false;
    EXPECT_FALSE(bump.AddLight(ninth));
    EXPECT_EQ(bump.LightCount(), 8);
    EXPECT_EQ(ninth->Owner(), nullptr);
    for (int k = 0; k < 8; ++k) EXPECT_TRUE(bump.Light(k)->on);

    // All eight are equal; removal takes the very object given.
    const BumpLightSrc* third = bump.Light(2).get();
    EXPECT_FALSE(bump.RemoveLight(ninth.get()));
    EXPECT_TRUE(bump.RemoveLight(third));
    EXPECT_EQ(bump.LightCount(), 7);
    for (int k = 0; k < 7; ++k) EXPECT_NE(bump.Light(k).get(), third);

    while (bump.LightCount() > 1) EXPECT_TRUE(bump.RemoveLight(bump.Light(0).get()));
    EXPECT_FALSE(bump.RemoveLight(bump.Light(0).get()));
    EXPECT_EQ(bump.LightCount(), 1);
}

TEST(BumpMap, CopiesOwnNewLightsAndChildren) {
    BumpMapLayer bump;
    bump.SetTileable(true);
    bump.SetGreyify(false);
    bump.SetBumpScale(RandomNumber::Random({1.0f, 3.0f}));
    bump.AddLight(Directional(2.0f, 0.0f, 1.0f, 0.25f));
    auto copy = bump.Clone();
    auto* clone = dynamic_cast<BumpMapLayer*>(copy.get());
    ASSERT_NE(clone, nullptr);
    EXPECT_TRUE(clone->Tileable());
    EXPECT_FALSE(clone->Greyify());
    EXPECT_EQ(clone->BumpScale(), bump.BumpScale());
    EXPECT_EQ(clone->Count(), 1);
    ASSERT_EQ(clone->LightCount(), 2);
    for (int k = 0; k < 2; ++k) {
        EXPECT_NE(clone->Light(k), bump.Light(k));
        EXPECT_TRUE(*clone->Light(k) == *bump.Light(k));
        EXPECT_EQ(clone->Light(k)->Owner(), clone);
    }
    EXPECT_TRUE(bump.IsSameKind(*clone));
}

TEST(BumpMap, StopsWhenCancelled) {
    SynthesisJob job;
    job.CancelEvent().Set();
    auto bump = BumpOver(std::make_unique<SolidLayer>(1, 1, 1, 1), 8, 8);
    EXPECT_FALSE(RenderLayer(*bump, true, &job).ok);
    EXPECT_FALSE(bump->IsBusy());
}

// Sets the job's cancel event when a child has been composited.
class CancelOnComposite : public NotificationSink {
  public:
    explicit CancelOnComposite(SynthesisJob& job) : m_job(job) {}
    void Post(Notification n) override {
        if (n == Notification::LayerComposited) m_job.CancelEvent().Set();
    }

  private:
    SynthesisJob& m_job;
};

TEST(BumpMap, ACancelAfterTheChildrenSkipsTheWholeImagePasses) {
    SynthesisJob job;
    CancelOnComposite canceller(job);
    const int w = 1024, h = 512;
    auto bump = BumpOver(std::make_unique<PatternLayer>([](int x, int) { return x / 1024.0f; },
                                                        /*redOnly=*/true),
                         w, h);
    ASSERT_TRUE(bump->Greyify());
    const Picture out = testing::RenderLayer(*bump, {true, 0.0f, 1.0f, &canceller, &job});
    EXPECT_FALSE(out.ok);
    // Neither greyified, shaded nor copied back: the composite is all there is.
    for (int y = 0; y < h; y += 37) {
        for (int x = 0; x < w; x += 41) {
            ASSERT_EQ(out.At(x, y, 0), x / 1024.0f) << x << ", " << y;
            ASSERT_EQ(out.At(x, y, 1), 0.0f) << x << ", " << y;
        }
    }
    EXPECT_FALSE(bump->IsBusy());
}

}  // namespace
}  // namespace quillon
