#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "engine/combine_layer.h"
#include "engine/texture_map.h"
#include "engine/tiling_layer.h"
#include "engine/white_noise_layer.h"
#include "test_layers.h"

namespace quillon {
namespace {

using testing::RampLayer;
using testing::SolidLayer;

// Renders a layer on its own at its size; returns rgb (colour) or values.
struct Rendered {
    std::vector<float> rgb, alpha;
    bool ok = false;
};
Rendered RenderAlone(BaseLayer& layer, bool wantColour, float fill = 0.0f) {
    Rendered out;
    const std::size_t n = static_cast<std::size_t>(layer.Size());
    out.rgb.assign(3 * n, fill);
    out.alpha.assign(n, 1.0f);
    RenderContext context;
    context.rgb = out.rgb.data();
    context.alpha = out.alpha.data();
    context.wantColour = wantColour;
    out.ok = layer.Render(context);
    return out;
}

std::unique_ptr<TextureMap> EmptyTexture(int w = 4, int h = 4) {
    auto t = std::make_unique<TextureMap>();
    t->RemoveAll();
    t->SetSize(w, h);
    return t;
}

TEST(BaseLayer, Defaults) {
    BaseLayer layer;
    EXPECT_EQ(layer.Name(), "layer");
    EXPECT_EQ(layer.Width(), 64);
    EXPECT_EQ(layer.Height(), 64);
    EXPECT_EQ(layer.Size(), 4096);
    EXPECT_EQ(layer.GetCombineFunc(), CombineFunc::Opaque);
    EXPECT_EQ(layer.Transparency(), RandomNumber(0.75f));
    EXPECT_EQ(layer.Usage(), RandomNumber(1.0f));
    EXPECT_EQ(layer.Reduction(), RandomNumber(0.0f));
    EXPECT_TRUE(layer.IsEnabled());
    EXPECT_NE(dynamic_cast<const ScaleColorFunctor*>(&layer.ColorFunction()), nullptr);
    EXPECT_EQ(layer.RowOffset(63), 63u * 64u);
}

TEST(BaseLayer, SetSizeRebuildsRowsAndRefusesNonsense) {
    BaseLayer layer;
    layer.SetSize(10, 3);
    EXPECT_EQ(layer.Size(), 30);
    EXPECT_EQ(layer.RowOffset(2), 20u);
    layer.SetSize(0, 5);
    layer.SetSize(-3, 5);
    layer.SetSize(100000, 100000);
    EXPECT_EQ(layer.Width(), 10);
    EXPECT_EQ(layer.Height(), 3);
}

TEST(BaseLayer, PlainRenderIsZeroThroughTheColourMap) {
    BaseLayer layer(2, 2, "plain");
    layer.GetColorMap().RemoveAllEntries();
    layer.GetColorMap().AddEntry(IndexedColor(0, Color(0, 0, 1)));
    layer.GetColorMap().AddEntry(IndexedColor(255, Color(1, 1, 1)));
    Rendered r = RenderAlone(layer, true, 0.5f);
    ASSERT_TRUE(r.ok);
    for (std::size_t p = 0; p < 4; ++p) EXPECT_NEAR(r.rgb[3 * p + 2], 1.0f, 1e-6);
    EXPECT_EQ(layer.Values(), nullptr);  // buffers released after a rendering
    EXPECT_FALSE(layer.IsBusy());
}

TEST(BaseLayer, DisabledLayerTouchesNothing) {
    WhiteNoiseLayer layer;
    layer.SetSize(3, 3);
    layer.SetEnabled(false);
    Rendered r = RenderAlone(layer, true, 0.25f);
    EXPECT_TRUE(r.ok);
    for (float v : r.rgb) EXPECT_EQ(v, 0.25f);
    for (float a : r.alpha) EXPECT_EQ(a, 1.0f);
}

TEST(BaseLayer, CopyKeepsOnlyTheMortarBitAndAssignTakesAll) {
    BaseLayer layer(8, 8, "source");
    layer.SetFlags(kLayerTilingSubLayer | kLayerMortar);
    layer.SetDescription("rock");
    layer.SetColorFunction(std::make_unique<CosineColorFunctor>());
    BaseLayer copy(layer);
    EXPECT_EQ(copy.Flags(), kLayerMortar);
    EXPECT_EQ(copy.Name(), "source");
    EXPECT_EQ(copy.Parent(), nullptr);
    EXPECT_NE(dynamic_cast<const CosineColorFunctor*>(&copy.ColorFunction()), nullptr);

    WhiteNoiseLayer other;
    other.Assign(layer);
    EXPECT_EQ(other.Flags(), kLayerTilingSubLayer | kLayerMortar);
    EXPECT_EQ(other.Width(), 8);
    EXPECT_EQ(other.Description(), "rock");
}

TEST(BaseLayer, NormalizeCombine) {
    BaseLayer layer;
    layer.SetCombineFunc(CombineFunc::Disable);
    layer.NormalizeCombine();
    EXPECT_EQ(layer.GetCombineFunc(), CombineFunc::Opaque);
    MaskLayer mask;
    EXPECT_EQ(mask.GetCombineFunc(), CombineFunc::Disable);
    mask.SetCombineFunc(CombineFunc::Additive);
    mask.NormalizeCombine();
    EXPECT_EQ(mask.GetCombineFunc(), CombineFunc::Disable);
}

TEST(Kinds, IsSameKind) {
    TextureMap t;
    MaskLayer m;
    WhiteNoiseLayer w;
    CombineLayer c;
    EXPECT_TRUE(t.IsSameKind(m));  // a mask is a texture map
    EXPECT_FALSE(m.IsSameKind(t));
    EXPECT_TRUE(w.IsSameKind(WhiteNoiseLayer()));
    EXPECT_FALSE(w.IsSameKind(c));
    EXPECT_FALSE(BaseLayer().IsSameKind(BaseLayer()));
    // Both ways tells every kind apart, derived ones included.
    EXPECT_FALSE(SameKind(t, m));
    EXPECT_TRUE(SameKind(m, MaskLayer()));
    EXPECT_FALSE(SameKind(BumpMapLayer(), TilingLayer()));
    EXPECT_TRUE(SameKind(TilingLayer(), TilingLayer()));
}

TEST(Container, InsertRemoveReplace) {
    auto t = EmptyTexture(5, 7);
    EXPECT_FALSE(t->InsertAt(std::make_unique<BaseLayer>(), 1));  // past count
    EXPECT_FALSE(t->InsertAt(std::make_unique<BaseLayer>(), -1));
    EXPECT_FALSE(t->InsertAt(nullptr, 0));
    EXPECT_EQ(t->Count(), 0);

    for (int k = 0; k < 17; ++k) {
        auto layer = std::make_unique<BaseLayer>();
        layer->SetName("L" + std::to_string(k));
        ASSERT_TRUE(t->InsertAt(std::move(layer), t->Count()));
    }
    EXPECT_EQ(t->Count(), 17);
    EXPECT_EQ(t->Child(16)->Name(), "L16");
    EXPECT_EQ(t->Child(0)->Width(), 5);  // adopted at the container's size
    EXPECT_EQ(t->Child(0)->Parent(), t.get());

    ASSERT_TRUE(t->AddFirst(std::make_unique<WhiteNoiseLayer>()));
    EXPECT_EQ(t->Child(1)->Name(), "L0");
    EXPECT_TRUE(t->RemoveAt(0));
    EXPECT_FALSE(t->RemoveAt(17));
    EXPECT_FALSE(t->RemoveAt(-1));
    EXPECT_EQ(t->Count(), 17);

    auto replacement = std::make_unique<WhiteNoiseLayer>();
    replacement->SetSize(99, 99);
    EXPECT_TRUE(t->ReplaceAt(3, std::move(replacement)));
    EXPECT_EQ(t->Child(3)->Width(), 5);
    EXPECT_FALSE(t->ReplaceAt(17, std::make_unique<BaseLayer>()));

    auto taken = t->TakeAt(0);
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->Parent(), nullptr);
    EXPECT_EQ(t->Count(), 16);
}

TEST(Container, ResizePropagatesRecursively) {
    auto t = EmptyTexture(4, 4);
    auto combine = std::make_unique<CombineLayer>();
    combine->RemoveAll();
    combine->AddLast(std::make_unique<BaseLayer>());
    t->AddLast(std::move(combine));
    t->SetSize(8, 2);
    auto* inner = dynamic_cast<MultiBaseLayer*>(t->Child(0));
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(inner->Child(0)->Width(), 8);
    EXPECT_EQ(inner->Child(0)->Height(), 2);
}

TEST(Container, CloneIsDeep) {
    auto t = EmptyTexture(4, 4);
    t->AddLast(std::make_unique<WhiteNoiseLayer>());
    t->SetZoom(RandomNumber(2.0f));
    t->SetScreenSaverType(kScreenSaverXMirror | kScreenSaverTile);
    auto clone = t->Clone();
    auto* copy = dynamic_cast<TextureMap*>(clone.get());
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(copy->Count(), 1);
    EXPECT_NE(copy->Child(0), t->Child(0));
    EXPECT_EQ(copy->Child(0)->Parent(), copy);
    EXPECT_EQ(copy->ScreenSaverType(), 5);
    EXPECT_EQ(copy->Zoom(), RandomNumber(2.0f));
}

TEST(TextureMap, LastChildIsTheBottom) {
    auto t = EmptyTexture();
    t->AddLast(std::make_unique<SolidLayer>(1.0f, 0.0f, 0.0f));  // top
    t->AddLast(std::make_unique<SolidLayer>(0.0f, 1.0f, 0.0f));  // bottom
    Rendered r = RenderAlone(*t, true);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.rgb[0], 1.0f);
    EXPECT_EQ(r.rgb[1], 0.0f);
}

TEST(TextureMap, UsageAndUseProbability) {
    auto t = EmptyTexture();
    auto twice = std::make_unique<SolidLayer>(0.25f, 0.25f, 0.25f);
    twice->SetUsage(RandomNumber(2.7f));
    twice->SetCombineFunc(CombineFunc::Additive);
    SolidLayer* twiceRaw = twice.get();
    auto never = std::make_unique<SolidLayer>(1.0f, 1.0f, 1.0f);
    never->SetUseProbability(RandomNumber(0.0f));
    SolidLayer* neverRaw = never.get();
    auto skipped = std::make_unique<SolidLayer>(1.0f, 1.0f, 1.0f);
    skipped->SetUsage(RandomNumber(0.9f));
    SolidLayer* skippedRaw = skipped.get();
    t->AddLast(std::move(twice));
    t->AddLast(std::move(never));
    t->AddLast(std::move(skipped));
    Rendered r = RenderAlone(*t, true);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(twiceRaw->renders, 2);
    EXPECT_EQ(neverRaw->renders, 0);
    EXPECT_EQ(skippedRaw->renders, 0);
    EXPECT_FLOAT_EQ(r.rgb[0], 0.5f);
}

TEST(TextureMap, UseProbabilityHalfAppliesAboutHalf) {
    auto t = EmptyTexture(1, 1);
    auto layer = std::make_unique<SolidLayer>(0.0f, 0.0f, 0.0f);
    layer->SetUsage(RandomNumber(1000.0f));
    layer->SetUseProbability(RandomNumber(0.5f));
    SolidLayer* raw = layer.get();
    t->AddLast(std::move(layer));
    RenderAlone(*t, true);
    EXPECT_GT(raw->renders, 400);
    EXPECT_LT(raw->renders, 600);
}

// USAGE is cut to kMaxUsage where it is set and where it is drawn.
TEST(TextureMap, UsageIsCapped) {
    BaseLayer layer;
    layer.SetUsage(RandomNumber(2147483647.0f));
    EXPECT_EQ(layer.Usage(), RandomNumber(1000.0f));
    layer.SetUsage(RandomNumber::Random({5.0f, 1e9f}));
    EXPECT_EQ(layer.Usage(), RandomNumber::Random({5.0f, 1000.0f}));

    auto t = EmptyTexture(1, 1);
    auto scaled = std::make_unique<SolidLayer>(0.0f, 0.0f, 0.0f);
    scaled->SetUsage(RandomNumber::Random({1000.0f, 1000.0f, 4.0f}));  // 4000 drawn
    SolidLayer* raw = scaled.get();
    t->AddLast(std::move(scaled));
    ASSERT_TRUE(RenderAlone(*t, true).ok);
    EXPECT_EQ(raw->renders, 1000);
}

TEST(TextureMap, ZoomScalesTheChildrenOnly) {
    struct ScaleSpy : BaseLayer {
        bool Render(RenderContext& c) override {
            seen = c.scale;
            seenX = c.xScale;
            return true;
        }
        float seen = 0, seenX = 0;
    };
    auto t = EmptyTexture();
    t->SetZoom(RandomNumber(0.5f));
    auto spy = std::make_unique<ScaleSpy>();
    ScaleSpy* raw = spy.get();
    t->AddLast(std::move(spy));
    std::vector<float> rgb(48), alpha(16, 1.0f);
    RenderContext context;
    context.rgb = rgb.data();
    context.alpha = alpha.data();
    context.scale = 2.0f;
    context.xScale = 4.0f;
    ASSERT_TRUE(t->Render(context));
    EXPECT_EQ(raw->seen, 1.0f);
    EXPECT_EQ(raw->seenX, 2.0f);
    EXPECT_EQ(context.scale, 2.0f);  // restored
}

TEST(TextureMap, NestedTextureDeliversLuminanceForValues) {
    auto t = EmptyTexture(2, 1);
    t->AddLast(std::make_unique<SolidLayer>(1.0f, 0.0f, 0.0f));
    Rendered r = RenderAlone(*t, false);
    ASSERT_TRUE(r.ok);
    EXPECT_FLOAT_EQ(r.rgb[0], 0.299f);
    EXPECT_FLOAT_EQ(r.rgb[1], 0.299f);
}

TEST(TextureMap, EmptyOrDisabledKeepsTheImage) {
    auto t = EmptyTexture(2, 2);
    Rendered r = RenderAlone(*t, true, 0.5f);
    ASSERT_TRUE(r.ok);
    for (float v : r.rgb) EXPECT_EQ(v, 0.5f);

    auto d = EmptyTexture(2, 2);
    auto child = std::make_unique<SolidLayer>(1.0f, 1.0f, 1.0f);
    child->SetEnabled(false);
    d->AddLast(std::move(child));
    Rendered black = RenderAlone(*d, true, 0.0f);
    for (float v : black.rgb) EXPECT_EQ(v, 0.0f);
}

// Mask layer holding one solid child of the given colour.
std::unique_ptr<MaskLayer> SolidMask(float r, float g, float b, bool greyify) {
    auto mask = std::make_unique<MaskLayer>();
    mask->RemoveAll();
    mask->SetGreyify(greyify);
    mask->AddLast(std::make_unique<SolidLayer>(r, g, b));
    return mask;
}

TEST(MaskLayer, WhiteHidesBlackShows) {
    for (float shade : {1.0f, 0.0f}) {
        auto t = EmptyTexture();
        t->AddLast(std::make_unique<SolidLayer>(1.0f, 1.0f, 1.0f));  // masked, drawn last
        t->AddLast(SolidMask(shade, shade, shade, true));
        t->AddLast(std::make_unique<SolidLayer>(0.2f, 0.2f, 0.2f));  // bottom
        Rendered r = RenderAlone(*t, true);
        ASSERT_TRUE(r.ok);
        EXPECT_FLOAT_EQ(r.rgb[0], shade == 1.0f ? 0.2f : 1.0f);
    }
}

TEST(MaskLayer, ColourMaskWorksPerChannel) {
    auto t = EmptyTexture();
    t->AddLast(std::make_unique<SolidLayer>(1.0f, 1.0f, 1.0f));
    t->AddLast(SolidMask(1.0f, 0.0f, 0.0f, false));
    Rendered r = RenderAlone(*t, true);
    EXPECT_FLOAT_EQ(r.rgb[0], 0.0f);  // red masked off
    EXPECT_FLOAT_EQ(r.rgb[1], 1.0f);
    EXPECT_FLOAT_EQ(r.rgb[2], 1.0f);

    auto g = EmptyTexture();
    g->AddLast(std::make_unique<SolidLayer>(1.0f, 1.0f, 1.0f));
    g->AddLast(SolidMask(1.0f, 0.0f, 0.0f, true));  // greyified: 0.299 everywhere
    Rendered rg = RenderAlone(*g, true);
    EXPECT_NEAR(rg.rgb[0], 0.701f, 1e-6);
    EXPECT_NEAR(rg.rgb[1], 0.701f, 1e-6);
}

TEST(MaskLayer, SecondMaskReplacesTheFirst) {
    auto t = EmptyTexture();
    t->AddLast(std::make_unique<SolidLayer>(1.0f, 1.0f, 1.0f));
    t->AddLast(SolidMask(0.0f, 0.0f, 0.0f, true));  // upper mask: shows
    t->AddLast(SolidMask(1.0f, 1.0f, 1.0f, true));  // lower mask: would hide
    Rendered r = RenderAlone(*t, true);
    EXPECT_FLOAT_EQ(r.rgb[0], 1.0f);
}

TEST(MaskLayer, MaskIsConsumedByOneComposite) {
    auto t = EmptyTexture();
    t->AddLast(std::make_unique<SolidLayer>(1.0f, 1.0f, 1.0f));  // after the masked one: unmasked
    t->AddLast(std::make_unique<SolidLayer>(0.5f, 0.5f, 0.5f));  // masked (hidden)
    t->AddLast(SolidMask(1.0f, 1.0f, 1.0f, true));
    Rendered r = RenderAlone(*t, true);
    EXPECT_FLOAT_EQ(r.rgb[0], 1.0f);

    auto top = EmptyTexture();
    top->AddLast(SolidMask(1.0f, 1.0f, 1.0f, true));  // at index 0: consumed by nobody
    top->AddLast(std::make_unique<SolidLayer>(0.5f, 0.5f, 0.5f));
    Rendered rt = RenderAlone(*top, true);
    ASSERT_TRUE(rt.ok);
    EXPECT_FLOAT_EQ(rt.rgb[0], 0.5f);
}

TEST(MaskLayer, ValueModeGivesALuminanceMask) {
    auto combine = std::make_unique<CombineLayer>();
    combine->RemoveAll();
    combine->SetSize(2, 1);
    auto masked = std::make_unique<SolidLayer>(1.0f);
    combine->AddLast(std::move(masked));
    combine->AddLast(SolidMask(1.0f, 0.0f, 0.0f, false));
    Rendered r = RenderAlone(*combine, false);
    ASSERT_TRUE(r.ok);
    // V = 0, S = 1, mask 0.299: C(1 - u) + V u = 0.701.
    EXPECT_NEAR(r.rgb[0], 0.701f, 1e-6);
}

TEST(CombineLayer, CombinesValuesThroughItsOwnMap) {
    auto combine = std::make_unique<CombineLayer>();
    combine->RemoveAll();
    combine->SetSize(2, 2);
    auto a = std::make_unique<SolidLayer>(0.25f);
    a->SetCombineFunc(CombineFunc::Additive);
    combine->AddLast(std::move(a));
    combine->AddLast(std::make_unique<SolidLayer>(0.5f));
    Rendered values = RenderAlone(*combine, false);
    ASSERT_TRUE(values.ok);
    EXPECT_FLOAT_EQ(values.rgb[0], 0.75f);

    // With the default one-entry white map the colour is the value itself.
    Rendered colour = RenderAlone(*combine, true);
    EXPECT_NEAR(colour.rgb[0], 0.75f, 1e-6);
    EXPECT_NEAR(colour.rgb[5], 0.75f, 1e-6);
}

TEST(CombineLayer, AllChildrenSkippedGivesTheColourAtZero) {
    auto combine = std::make_unique<CombineLayer>();
    combine->RemoveAll();
    combine->SetSize(2, 2);
    auto off = std::make_unique<SolidLayer>(0.9f);
    off->SetUsage(RandomNumber(0.0f));
    combine->AddLast(std::move(off));
    combine->GetColorMap().RemoveAllEntries();
    combine->GetColorMap().AddEntry(IndexedColor(0, Color(0, 1, 0)));
    combine->GetColorMap().AddEntry(IndexedColor(255, Color(1, 0, 0)));
    Rendered r = RenderAlone(*combine, true);
    EXPECT_NEAR(r.rgb[1], 1.0f, 1e-6);
    EXPECT_NEAR(r.rgb[0], 0.0f, 1e-6);
}

TEST(CombineLayer, NegativeAndLargeValuesStayUnclampedInValueMode) {
    auto combine = std::make_unique<CombineLayer>();
    combine->RemoveAll();
    combine->SetSize(1, 1);
    auto sub = std::make_unique<SolidLayer>(0.75f);
    sub->SetCombineFunc(CombineFunc::Subtractive);
    combine->AddLast(std::move(sub));
    combine->AddLast(std::make_unique<SolidLayer>(0.25f));
    Rendered r = RenderAlone(*combine, false);
    EXPECT_FLOAT_EQ(r.rgb[0], -0.5f);
}

TEST(WhiteNoiseLayer, NormalisedGreyNoise) {
    WhiteNoiseLayer layer;
    layer.SetSize(16, 16);
    Rendered values = RenderAlone(layer, false);
    ASSERT_TRUE(values.ok);
    float lo = 1, hi = 0;
    for (std::size_t p = 0; p < 256; ++p) {
        lo = std::min(lo, values.rgb[p]);
        hi = std::max(hi, values.rgb[p]);
        EXPECT_EQ(values.alpha[p], 1.0f);
    }
    EXPECT_EQ(lo, 0.0f);
    EXPECT_NEAR(hi, 1.0f, 1e-6f);  // (max - min) * (1 / (max - min)) in float

    Rendered colour = RenderAlone(layer, true);
    for (std::size_t p = 0; p < 256; ++p) {
        EXPECT_EQ(colour.rgb[3 * p], colour.rgb[3 * p + 1]);
    }
}

TEST(WhiteNoiseLayer, SameSeedSameNoise) {
    WhiteNoiseLayer layer;
    layer.SetSize(8, 8);
    RandomGenerator::Instance().Seed(42);
    Rendered a = RenderAlone(layer, false);
    RandomGenerator::Instance().Seed(42);
    Rendered b = RenderAlone(layer, false);
    Rendered c = RenderAlone(layer, false);
    EXPECT_EQ(a.rgb, b.rgb);
    EXPECT_NE(b.rgb, c.rgb);

    // The last pixel takes the first draw.
    RandomGenerator::Instance().Seed(42);
    std::vector<double> draws;
    for (int k = 0; k < 64; ++k) draws.push_back(RandomGenerator::Instance().Next());
    const auto [lo, hi] = std::minmax_element(draws.begin(), draws.end());
    EXPECT_NEAR(a.rgb[63], static_cast<float>((draws[0] - *lo) / (*hi - *lo)), 1e-5);
}

}  // namespace
}  // namespace quillon
