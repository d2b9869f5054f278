#include "engine/noise_function_layer.h"
#include "test_layers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <functional>
#include <thread>
#include <vector>

#include "engine/combine_layer.h"
#include "engine/noise/gradient_noise.h"
#include "engine/synthesis_job.h"
#include "engine/texture_map.h"

namespace quillon {
namespace {

class CountingSink : public NotificationSink {
  public:
    void Post(Notification n) override {
        if (n == Notification::LayerStarted) ++started;
        if (n == Notification::ProgressStep) ++steps;
    }
    std::atomic<int> started{0};
    std::atomic<int> steps{0};
};

// Renders in value mode with the identity colour function: the raw values.
std::vector<float> RenderRaw(NoiseFunctionLayer& layer, CountingSink* sink = nullptr,
                             bool* ok = nullptr) {
    layer.SetColorFunction(std::make_unique<BaseColorFunctor>());
    testing::RenderedLayer out = testing::RenderLayer(layer, {false, -99.0f, 0.0f, sink, nullptr});
    if (ok) *ok = out.ok;
    return std::move(out.rgb);
}

NoiseFunctionLayer MakeLayer(int w, int h) {
    NoiseFunctionLayer layer;
    layer.SetSize(w, h);
    return layer;
}

TEST(NoiseFunctionLayer, Defaults) {
    NoiseFunctionLayer layer;
    EXPECT_EQ(layer.Name(), "layer");
    EXPECT_EQ(layer.GetNoiseFunction(), NoiseFunction::Gradient);
    EXPECT_EQ(layer.Noise().Kind(), NoiseFunction::Gradient);
    EXPECT_EQ(layer.Noise().RequestedSize(), 256u);
    EXPECT_EQ(layer.CoordNoise().Kind(), NoiseFunction::Gradient);
    EXPECT_EQ(layer.MainTurbulence().type, TurbulenceType::Noise);
    EXPECT_EQ(layer.MainTurbulence().magnitude, RandomNumber(1.0f));
    EXPECT_EQ(layer.MainTurbulence().variance, RandomNumber(2.17f));
    EXPECT_EQ(layer.MainTurbulence().iterations, 4);
    EXPECT_EQ(layer.CoordTurbulence().type, TurbulenceType::None);
    EXPECT_EQ(layer.CoordTurbulence().variance, RandomNumber(2.17f));
    EXPECT_EQ(layer.CoordTurbulence().iterations, 4);
    EXPECT_EQ(layer.GetCoordFunction(), CoordFunction::None);
    EXPECT_EQ(layer.Cut(), CutType::Plane);
    EXPECT_EQ(layer.NoiseParameter(), 0.0);
    EXPECT_EQ(layer.Translation(), (NoiseFunctionLayer::Triple{0.0f, 0.0f, 0.0f}));
    EXPECT_EQ(layer.Rotation(), (NoiseFunctionLayer::Triple{0.0f, 0.0f, 0.0f}));
    EXPECT_EQ(layer.Scale(), (NoiseFunctionLayer::Triple{1.0f, 1.0f, 1.0f}));

    MultiBaseLayer parent;
    NoiseFunctionLayer sized(40, 30, &parent);
    EXPECT_EQ(sized.Width(), 40);
    EXPECT_EQ(sized.Height(), 30);
    EXPECT_EQ(sized.Parent(), &parent);
    EXPECT_TRUE(sized.IsSameKind(layer));
    EXPECT_FALSE(sized.IsSameKind(BaseLayer()));
}

TEST(NoiseFunctionLayer, SettersAndCopies) {
    NoiseFunctionLayer layer;
    const NoiseFunction kinds[] = {NoiseFunction::Value,       NoiseFunction::ValGrad,
                                   NoiseFunction::Convolution, NoiseFunction::SparseConv,
                                   NoiseFunction::Grid,        NoiseFunction::Gradient};
    for (NoiseFunction k : kinds) {
        layer.SetNoiseFunction(k);
        layer.SetCoordNoiseFunction(k);
        EXPECT_EQ(layer.GetNoiseFunction(), k);
        EXPECT_EQ(layer.Noise().Kind(), k);
        EXPECT_EQ(layer.CoordNoise().Kind(), k);
    }
    layer.SetNoiseFunction(NoiseFunction::Value);
    EXPECT_EQ(layer.Noise().RangeLow(), -1.0);

    NoiseFunctionLayer::Turbulence t{TurbulenceType::Turbulence, RandomNumber(0.5f),
                                     RandomNumber(3.0f), 1000};
    layer.SetMainTurbulence(t);
    EXPECT_EQ(layer.MainTurbulence().iterations, NoiseFunctionLayer::kMaxTurbulenceIterations);
    layer.SetCut(CutType::Toroid);
    layer.SetTranslation({1.0f, 2.0f, RandomNumber::Random({0, 1})});

    const auto copy = layer.Clone();
    const auto& c = dynamic_cast<const NoiseFunctionLayer&>(*copy);
    EXPECT_EQ(c.Cut(), CutType::Toroid);
    EXPECT_EQ(c.MainTurbulence().type, TurbulenceType::Turbulence);
    EXPECT_EQ(c.Translation(), layer.Translation());
    EXPECT_EQ(c.Noise().Kind(), NoiseFunction::Value);
    // The noises are cloned: the same kind with tables of their own.
    EXPECT_NE(&c.Noise(), &layer.Noise());
    EXPECT_NE(c.Noise().Values(), layer.Noise().Values());
}

TEST(NoiseFunctionLayer, TransformTranslatesThenRotatesThenScales) {
    const double t[3] = {1, 0, 0}, r[3] = {0, 0, 90}, s[3] = {2, 2, 2};
    const Matrix m = NoiseFunctionLayer::BuildTransform(t, r, s);
    const Matrix p = m.Multiply(Matrix::Point(1, 2, 3));
    // (1,2,3) + (1,0,0) = (2,2,3); the z angle turns x into -z: (3,2,-2); doubled.
    EXPECT_NEAR(p.Element(0, 0), 6.0, 1e-12);
    EXPECT_NEAR(p.Element(1, 0), 4.0, 1e-12);
    EXPECT_NEAR(p.Element(2, 0), -4.0, 1e-12);
    EXPECT_EQ(p.Element(3, 0), 1.0);

    // The x angle turns within x and y.
    const double rx[3] = {90, 0, 0}, zero[3] = {0, 0, 0}, one[3] = {1, 1, 1};
    const Matrix q =
        NoiseFunctionLayer::BuildTransform(zero, rx, one).Multiply(Matrix::Point(0, 1, 0));
    EXPECT_NEAR(q.Element(0, 0), -1.0, 1e-12);
    EXPECT_NEAR(q.Element(1, 0), 0.0, 1e-12);
    EXPECT_NEAR(q.Element(2, 0), 0.0, 1e-12);

    EXPECT_EQ(NoiseFunctionLayer::BuildTransform(zero, zero, one), Matrix::Identity(4));
}

TEST(NoiseFunctionLayer, FrameDrawOrder) {
    NoiseFunctionLayer layer = MakeLayer(8, 8);
    layer.SetNoiseFunction(NoiseFunction::Value);
    layer.SetCoordNoiseFunction(NoiseFunction::Value);
    // Range k..k+1 for the k-th draw, so a swapped pair shows.
    RandomNumber r[13];
    for (int k = 0; k < 13; ++k)
        r[k] = RandomNumber::Random({static_cast<float>(k), static_cast<float>(k + 1)});
    layer.SetTranslation({r[0], r[1], r[2]});
    layer.SetRotation({r[3], r[4], r[5]});
    layer.SetScale({r[6], r[7], r[8]});
    layer.SetMainTurbulence({TurbulenceType::FractalSum, r[9], r[10], 3});
    layer.SetCoordTurbulence({TurbulenceType::Noise, r[11], r[12], 3});

    RandomGenerator& gen = RandomGenerator::Instance();
    gen.Seed(2024);
    const NoiseFunctionLayer::Frame frame = layer.PrepareFrame(0.5f);

    gen.Seed(2024);
    double d[13];
    for (int k = 0; k < 13; ++k) d[k] = gen.Uniform(k, k + 1);
    const double t[3] = {d[0], d[1], d[2]}, rot[3] = {d[3], d[4], d[5]};
    const double s[3] = {0.5 * d[6], 0.5 * d[7], 0.5 * d[8]};
    const Matrix expected = NoiseFunctionLayer::BuildTransform(t, rot, s);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            EXPECT_NEAR(frame.transform.Element(i, j), expected.Element(i, j), 1e-12);
    EXPECT_EQ(frame.turbulenceMagnitude, d[9]);
    EXPECT_EQ(frame.turbulenceVariance, d[10]);
    EXPECT_EQ(frame.coordMagnitude, d[11]);
    EXPECT_EQ(frame.coordVariance, d[12]);
    // Then the main noise's table, then the coordinate noise's.
    for (double v : layer.Noise().Values()) ASSERT_EQ(v, gen.Uniform(-1.0, 1.0));
    for (double v : layer.CoordNoise().Values()) ASSERT_EQ(v, gen.Uniform(-1.0, 1.0));
}

TEST(NoiseFunctionLayer, TurbulenceSums) {
    GradientNoise3D g(256);
    using NFL = NoiseFunctionLayer;
    EXPECT_EQ(NFL::TurbulenceSum(g, TurbulenceType::None, 0.3, 0.4, 0.5, 7.0, 2.0, 4), 1.0);
    EXPECT_EQ(NFL::TurbulenceSum(g, TurbulenceType::Noise, 0.3, 0.4, 0.5, 2.0, 2.0, 4),
              2.0 * g.EvaluateAt(0.3, 0.4, 0.5));
    EXPECT_EQ(NFL::TurbulenceSum(g, TurbulenceType::Turbulence, 0.3, 0.4, 0.5, 2.0, 2.0, 0), 0.0);
    EXPECT_EQ(NFL::TurbulenceSum(g, TurbulenceType::FractalSum, 0.3, 0.4, 0.5, 2.0, 2.0, -3), 0.0);
    double fractal = 0.0, turbulent = 0.0;
    for (int i = 0; i < 3; ++i) {
        const double f = std::pow(2.5, i);
        fractal += g.EvaluateAt(0.3 * f, 0.4 * f, 0.5 * f) / f;
        turbulent += std::abs(g.EvaluateAt(0.3 * f, 0.4 * f, 0.5 * f)) / f;
    }
    EXPECT_NEAR(NFL::TurbulenceSum(g, TurbulenceType::FractalSum, 0.3, 0.4, 0.5, 1.5, 2.5, 3),
                1.5 * fractal, 1e-12);
    EXPECT_NEAR(NFL::TurbulenceSum(g, TurbulenceType::Turbulence, 0.3, 0.4, 0.5, 1.5, 2.5, 3),
                1.5 * turbulent, 1e-12);
    // 64 octaves of a large variance reach coordinates past 32 bits.
    EXPECT_TRUE(std::isfinite(
        NFL::TurbulenceSum(g, TurbulenceType::Turbulence, 0.3, 0.4, 0.5, 1.0, 9.0, 64)));
}

TEST(NoiseFunctionLayer, RenderedValuesByTurbulenceAndCoordinateFunction) {
    NoiseFunctionLayer layer = MakeLayer(16, 8);
    layer.SetMainTurbulence({TurbulenceType::None, RandomNumber(1.0f), RandomNumber(2.17f), 4});
    for (float v : RenderRaw(layer)) EXPECT_EQ(v, 1.0f);

    layer.SetCoordFunction(CoordFunction::Linear);
    layer.SetTranslation({0.5f, 0.0f, 0.0f});
    auto values = RenderRaw(layer);
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 16; ++c) EXPECT_FLOAT_EQ(values[r * 16 + c], 1.0f + c / 16.0f + 0.5f);

    // No iterations: only the coordinate function remains.
    layer.SetMainTurbulence(
        {TurbulenceType::Turbulence, RandomNumber(1.0f), RandomNumber(2.17f), 0});
    layer.SetCoordFunction(CoordFunction::Spherical);
    layer.SetTranslation({0.0f, 0.0f, 0.0f});
    values = RenderRaw(layer);
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 16; ++c)
            EXPECT_FLOAT_EQ(values[r * 16 + c], static_cast<float>(std::hypot(c / 16.0, r / 8.0)));
    layer.SetCoordFunction(CoordFunction::None);
    for (float v : RenderRaw(layer)) EXPECT_EQ(v, 0.0f);

    // Defaults: pixel (0, 0) is the lattice point (0, 0, 0) of a gradient noise.
    NoiseFunctionLayer plain = MakeLayer(16, 8);
    values = RenderRaw(plain);
    EXPECT_EQ(values[0], 0.0f);
    EXPECT_NE(values[5], 0.0f);

    // A context scale magnifies the pattern: the coordinate function sees it.
    layer.SetCoordFunction(CoordFunction::Linear);
    const auto frame = layer.PrepareFrame(4.0f);
    EXPECT_DOUBLE_EQ(layer.EvaluatePixel(frame, 3, 8), 4.0 * 8 / 16.0);
}

TEST(NoiseFunctionLayer, CoordinateNoiseDisplacesAllThreeAxes) {
    NoiseFunctionLayer layer = MakeLayer(16, 8);
    layer.SetMainTurbulence({TurbulenceType::None, RandomNumber(1.0f), RandomNumber(2.17f), 4});
    layer.SetCoordFunction(CoordFunction::Spherical);
    layer.SetCoordTurbulence({TurbulenceType::Noise, RandomNumber(3.0f), RandomNumber(2.0f), 4});
    const auto frame = layer.PrepareFrame(1.0f);
    for (int c : {1, 5, 11}) {
        const double x = c / 16.0, y = 0.0, z = 2 / 8.0;
        const double d = 3.0 * layer.CoordNoise().EvaluateAt(x, y, z);
        EXPECT_NEAR(layer.EvaluatePixel(frame, 2, c),
                    1.0 + std::sqrt((x + d) * (x + d) + d * d + (z + d) * (z + d)), 1e-12);
    }
}

TEST(NoiseFunctionLayer, GridWithWeightZeroIsAnExactCheckerboard) {
    NoiseFunctionLayer layer = MakeLayer(32, 32);
    layer.SetNoiseFunction(NoiseFunction::Grid);
    layer.SetScale({4.0f, 4.0f, 4.0f});
    auto values = RenderRaw(layer);
    for (int r = 0; r < 32; ++r)
        for (int c = 0; c < 32; ++c) {
            // x = 4c/32, z = 4r/32; y = 0
            const int parity = (c / 8 + r / 8) % 2;
            ASSERT_EQ(values[r * 32 + c], parity ? 0.0f : 1.0f) << r << "," << c;
        }
    // NOISEPARM reaches the grid's weight at the next rendering.
    layer.SetNoiseParameter(1.0);
    values = RenderRaw(layer);
    int between = 0;
    for (float v : values) between += (v > 0.0f && v < 1.0f);
    EXPECT_GT(between, 900);
}

TEST(NoiseFunctionLayer, ToroidHeights) {
    for (int h : {16, 64, 100}) {
        const auto z = NoiseFunctionLayer::ToroidHeights(h);
        ASSERT_EQ(z.size(), static_cast<std::size_t>(h));
        EXPECT_EQ(z[0], 0.0);
        // Rows equally far from the middle share a height; the last row
        // comes back next to the first.
        for (int k = 0; k < h / 2; ++k)
            EXPECT_NEAR(z[h / 2 - k], z[(h / 2 + 1 + k) % h], 1e-12) << h << " " << k;
        EXPECT_NEAR(z[h - 1], z[2], 1e-12);
        EXPECT_GT(z[h / 2], 0.4);
    }
    EXPECT_TRUE(NoiseFunctionLayer::ToroidHeights(0).empty());
    EXPECT_EQ(NoiseFunctionLayer::ToroidHeights(1).size(), 1u);
}

// Mean step between neighbouring columns (rows) inside the picture, and
// across the seam from the last column (row) to the first.
struct Seams {
    double columnStep = 0.0;
    double rowStep = 0.0;
    double acrossColumns = 0.0;
    double acrossRows = 0.0;
};

Seams MeasureSeams(CutType cut) {
    RandomGenerator::Instance().Seed(11);
    const int w = 128, h = 96;
    NoiseFunctionLayer layer = MakeLayer(w, h);
    layer.SetCut(cut);
    layer.SetScale({4.0f, 4.0f, 4.0f});
    const auto v = RenderRaw(layer);
    const auto at = [&](int r, int c) { return static_cast<double>(v[r * w + c]); };
    Seams s;
    for (int r = 0; r < h; ++r) {
        for (int c = 0; c + 1 < w; ++c)
            s.columnStep += std::abs(at(r, c + 1) - at(r, c)) / ((w - 1) * h);
        s.acrossColumns += std::abs(at(r, 0) - at(r, w - 1)) / h;
    }
    for (int c = 0; c < w; ++c) {
        for (int r = 0; r + 1 < h; ++r)
            s.rowStep += std::abs(at(r + 1, c) - at(r, c)) / ((h - 1) * w);
        s.acrossRows += std::abs(at(0, c) - at(h - 1, c)) / w;
    }
    return s;
}

TEST(NoiseFunctionLayer, CutsWrapSeamlessly) {
    const Seams plane = MeasureSeams(CutType::Plane);
    // The measure can tell a seam: a plane does not wrap.
    EXPECT_GT(plane.acrossColumns, 4.0 * plane.columnStep);
    EXPECT_GT(plane.acrossRows, 4.0 * plane.rowStep);

    const Seams cylinder = MeasureSeams(CutType::Cylinder);
    EXPECT_LT(cylinder.acrossColumns, 1.5 * cylinder.columnStep);
    EXPECT_GT(cylinder.acrossRows, 4.0 * cylinder.rowStep);

    const Seams ycylinder = MeasureSeams(CutType::YCylinder);
    EXPECT_LT(ycylinder.acrossRows, 1.5 * ycylinder.rowStep);
    EXPECT_GT(ycylinder.acrossColumns, 4.0 * ycylinder.columnStep);

    const Seams toroid = MeasureSeams(CutType::Toroid);
    EXPECT_LT(toroid.acrossColumns, 1.5 * toroid.columnStep);
    EXPECT_LT(toroid.acrossRows, 1.5 * toroid.rowStep);
}

TEST(NoiseFunctionLayer, ProgressCancellationAndDisabled) {
    CountingSink sink;
    NoiseFunctionLayer layer = MakeLayer(20, 10);
    RenderRaw(layer, &sink);
    EXPECT_EQ(sink.started, 1);
    EXPECT_EQ(sink.steps, 100);

    CountingSink small;
    NoiseFunctionLayer tiny = MakeLayer(9, 11);
    RenderRaw(tiny, &small);
    EXPECT_EQ(small.started, 1);
    EXPECT_EQ(small.steps, 0);

    SynthesisJob job;
    job.CancelEvent().Set();
    std::vector<float> rgb(3 * 200, 0.25f), alpha(200, 1.0f);
    RenderContext context;
    context.rgb = rgb.data();
    context.alpha = alpha.data();
    context.job = &job;
    EXPECT_FALSE(layer.Render(context));
    EXPECT_FALSE(layer.IsBusy());
    for (float v : rgb) ASSERT_EQ(v, 0.25f);  // nothing delivered

    // A cancel after the last pixel stops the colouring too.
    class CancelOnLastStep : public NotificationSink {
      public:
        explicit CancelOnLastStep(SynthesisJob& job) : m_job(job) {}
        void Post(Notification n) override {
            if (n == Notification::ProgressStep && ++m_steps == 100) m_job.CancelEvent().Set();
        }

      private:
        SynthesisJob& m_job;
        int m_steps = 0;
    };
    SynthesisJob late;
    CancelOnLastStep canceller(late);
    context.job = &late;
    context.sink = &canceller;
    EXPECT_FALSE(layer.Render(context));
    EXPECT_FALSE(layer.IsBusy());
    for (float v : rgb) ASSERT_EQ(v, 0.25f);

    layer.SetEnabled(false);
    EXPECT_TRUE(layer.Render(context));
}

TEST(NoiseFunctionLayer, ColourModeNormalisesThroughTheColourMap) {
    NoiseFunctionLayer layer = MakeLayer(32, 32);
    layer.GetColorMap().RemoveAllEntries();
    layer.GetColorMap().AddEntry(IndexedColor(0, Color(0, 0, 0)));
    layer.GetColorMap().AddEntry(IndexedColor(255, Color(1, 1, 1)));
    std::vector<float> rgb(3 * 1024, -1.0f), alpha(1024, 0.0f);
    RenderContext context;
    context.rgb = rgb.data();
    context.alpha = alpha.data();
    ASSERT_TRUE(layer.Render(context));
    float lo = 2, hi = -2;
    for (float v : rgb) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    EXPECT_NEAR(lo, 0.0f, 0.01f);
    EXPECT_NEAR(hi, 1.0f, 0.01f);
    EXPECT_EQ(alpha[17], 1.0f);
}

TEST(NoiseFunctionLayer, EveryNewContainerHoldsOneNoiseFunctionLayer) {
    TextureMap texture;
    texture.SetSize(50, 40);
    ASSERT_EQ(texture.Count(), 1);
    EXPECT_NE(dynamic_cast<NoiseFunctionLayer*>(texture.Child(0)), nullptr);
    EXPECT_EQ(texture.Child(0)->Width(), 50);
    EXPECT_EQ(texture.Child(0)->Parent(), &texture);

    MaskLayer mask;
    ASSERT_EQ(mask.Count(), 1);
    EXPECT_NE(dynamic_cast<NoiseFunctionLayer*>(mask.Child(0)), nullptr);
    CombineLayer combine;
    ASSERT_EQ(combine.Count(), 1);
    EXPECT_NE(dynamic_cast<NoiseFunctionLayer*>(combine.Child(0)), nullptr);

    // Copies hold copies of the children, not an extra default one.
    const auto copy = texture.Clone();
    EXPECT_EQ(dynamic_cast<const TextureMap&>(*copy).Count(), 1);
    const auto maskCopy = mask.Clone();
    EXPECT_EQ(dynamic_cast<const MaskLayer&>(*maskCopy).Count(), 1);
}

TEST(NoiseFunctionLayer, ConcurrentRowsMatchTheSerialRendering) {
    RandomGenerator::Instance().Seed(5);
    NoiseFunctionLayer layer = MakeLayer(64, 32);
    layer.SetNoiseFunction(NoiseFunction::ValGrad);
    layer.SetMainTurbulence(
        {TurbulenceType::Turbulence, RandomNumber(1.0f), RandomNumber(2.17f), 3});
    layer.SetCoordTurbulence(
        {TurbulenceType::FractalSum, RandomNumber(0.3f), RandomNumber(2.0f), 2});
    const auto frame = layer.PrepareFrame(1.0f);
    std::vector<double> serial(64 * 32), parallel(64 * 32);
    for (int r = 0; r < 32; ++r)
        for (int c = 0; c < 64; ++c) serial[r * 64 + c] = layer.EvaluatePixel(frame, r, c);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int r = t; r < 32; r += 4)
                for (int c = 0; c < 64; ++c)
                    parallel[r * 64 + c] = layer.EvaluatePixel(frame, r, c);
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(serial, parallel);
}

}  // namespace
}  // namespace quillon
