#include "engine/reaction_diffusion_layer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <numbers>
#include <vector>

#include "engine/parallel.h"
#include "engine/synthesis_job.h"
#include "engine/texture_map.h"

namespace quillon {
namespace {

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

ReactionDiffusionLayer MakeLayer(int w, int h, int iterations) {
    ReactionDiffusionLayer layer;
    layer.SetSize(w, h);
    layer.SetIterations(iterations);
    // The identity colour function: the raw concentrations of A.
    layer.SetColorFunction(std::make_unique<BaseColorFunctor>());
    return layer;
}

struct Rendered {
    bool ok = false;
    std::vector<float> values;
};

Rendered RenderValues(ReactionDiffusionLayer& layer, CountingSink* sink = nullptr,
                      const SynthesisJob* job = nullptr) {
    Rendered r;
    r.values.assign(static_cast<std::size_t>(layer.Size()), -99.0f);
    std::vector<float> alpha(r.values.size(), 0.0f);
    RenderContext context;
    context.rgb = r.values.data();
    context.alpha = alpha.data();
    context.wantColour = false;
    context.sink = sink;
    context.job = job;
    r.ok = layer.Render(context);
    return r;
}

void ExpectStencil(const Stencil& actual, const Stencil& expected) {
    for (std::size_t k = 0; k < 9; ++k) EXPECT_NEAR(actual[k], expected[k], 1e-5f) << "entry " << k;
}

TEST(ReactionDiffusionLayer, DefaultsAndCopies) {
    ReactionDiffusionLayer layer;
    EXPECT_EQ(layer.ChemicalA(), (ChemicalParameters{1.0f, 1.0f, 0.0f, 0.0f}));
    EXPECT_EQ(layer.ChemicalB(), (ChemicalParameters{16.0f, 16.0f, 0.0f, 0.0f}));
    EXPECT_EQ(layer.Iterations(), 1000);
    EXPECT_EQ(layer.TimeStep(), 0.01f);
    EXPECT_EQ(layer.StencilA(), ReactionDiffusionLayer::kPlainLaplacian);
    EXPECT_EQ(layer.StencilB(), ReactionDiffusionLayer::kPlainLaplacian);
    EXPECT_EQ(layer.Keyword(), "REACTIONDIFFUSIONLAYER");

    layer.SetChemicalA({2.0f, RandomNumber::Random({1, 3}), 0.5f, 0.25f});
    layer.SetIterations(17);
    layer.SetTimeStep(0.02f);
    layer.SetSize(5, 4);
    layer.SetIterations(0);
    RenderValues(layer);  // rebuilds the stencils
    layer.SetIterations(17);
    const auto copy = layer.Clone();
    auto* rd = dynamic_cast<ReactionDiffusionLayer*>(copy.get());
    ASSERT_NE(rd, nullptr);
    EXPECT_EQ(rd->ChemicalA(), layer.ChemicalA());
    EXPECT_EQ(rd->ChemicalB(), layer.ChemicalB());
    EXPECT_EQ(rd->Iterations(), 17);
    EXPECT_EQ(rd->TimeStep(), 0.02f);
    EXPECT_EQ(rd->StencilA(), layer.StencilA());
    EXPECT_EQ(rd->Width(), 5);
    EXPECT_TRUE(rd->IsSameKind(layer));
    EXPECT_FALSE(layer.IsSameKind(BaseLayer()));

    layer.SetIterations(-5);
    EXPECT_EQ(layer.Iterations(), 0);
    layer.SetIterations(2000000000);
    EXPECT_EQ(layer.Iterations(), ReactionDiffusionLayer::kMaxIterations);
}

TEST(ReactionDiffusionLayer, Stencils) {
    // Angle 0: rates on the axes, the centre balancing them and the dissipation.
    ExpectStencil(ReactionDiffusionLayer::BuildStencil(2.0f, 1.0f, 0.0, 0.0), {0, 1, 0, 2, -6, 2, 0, 1, 0});
    ExpectStencil(ReactionDiffusionLayer::BuildStencil(2.0f, 1.0f, 0.0, 0.5),
                  {0, 1, 0, 2, -6.5f, 2, 0, 1, 0});
    // A quarter turn swaps the axes.
    ExpectStencil(ReactionDiffusionLayer::BuildStencil(2.0f, 1.0f, std::numbers::pi / 2, 0.0),
                  {0, 2, 0, 1, -6, 1, 0, 2, 0});
    // Half a turn changes nothing; an eighth mixes the axes through the diagonals.
    ExpectStencil(ReactionDiffusionLayer::BuildStencil(3.0f, 1.0f, std::numbers::pi, 0.0),
                  ReactionDiffusionLayer::BuildStencil(3.0f, 1.0f, 0.0, 0.0));
    ExpectStencil(ReactionDiffusionLayer::BuildStencil(3.0f, 1.0f, std::numbers::pi / 4, 0.0),
                  {0.5f, 2, -0.5f, 2, -8, 2, -0.5f, 2, 0.5f});
    // Diffusion conserves: without dissipation the weights sum to 0.
    const Stencil s = ReactionDiffusionLayer::BuildStencil(5.0f, 0.5f, 0.7, 0.0);
    float sum = 0.0f;
    for (float w : s) sum += w;
    EXPECT_NEAR(sum, 0.0f, 1e-5f);

    // A rendering draws its stencils from the parameters.
    ReactionDiffusionLayer layer = MakeLayer(4, 4, 1);
    layer.SetChemicalA({2.0f, 1.0f, 0.5f, 0.0f});
    layer.SetChemicalB({1.0f, 3.0f, 0.0f, static_cast<float>(std::numbers::pi / 2)});
    RenderValues(layer);
    ExpectStencil(layer.StencilA(), {0, 1, 0, 2, -6.5f, 2, 0, 1, 0});
    ExpectStencil(layer.StencilB(), {0, 1, 0, 3, -8, 3, 0, 1, 0});
}

TEST(ReactionDiffusionLayer, ZeroIterationsRenderTheRandomStartInDrawOrder) {
    RandomGenerator::Instance().Seed(4711);
    ReactionDiffusionLayer layer = MakeLayer(9, 7, 0);
    const Rendered r = RenderValues(layer);
    ASSERT_TRUE(r.ok);
    for (float v : r.values) {
        EXPECT_GE(v, 0.0f);
        EXPECT_LT(v, 12.0f);
    }
    EXPECT_GT(*std::max_element(r.values.begin(), r.values.end()), 6.0f);

    // From the last pixel to the first, A and then B for each.
    RandomGenerator::Instance().Seed(4711);
    for (std::size_t i = r.values.size(); i-- > 0;) {
        EXPECT_EQ(r.values[i], static_cast<float>(Uniform(0.0, 12.0))) << "pixel " << i;
        Uniform(0.0, 12.0);
    }
}

TEST(ReactionDiffusionLayer, ParametersAreDrawnAfterTheStart) {
    // DIFFA1, DIFFA2, THETAA, DISSA, then the same for B.
    ReactionDiffusionLayer layer = MakeLayer(3, 2, 1);
    layer.SetChemicalA({RandomNumber::Random({1, 2}), RandomNumber::Random({2, 3}),
                        RandomNumber::Random({0, 0.5f}), RandomNumber::Random({0, 1})});
    RandomGenerator::Instance().Seed(99);
    RenderValues(layer);
    RandomGenerator::Instance().Seed(99);
    for (int k = 0; k < 2 * 6; ++k) Uniform(0.0, 12.0);
    const float d1 = static_cast<float>(Uniform(1, 2));
    const float d2 = static_cast<float>(Uniform(2, 3));
    const double theta = Uniform(0, 1);
    const double m = Uniform(0, 0.5);
    ExpectStencil(layer.StencilA(), ReactionDiffusionLayer::BuildStencil(d1, d2, theta, m));
}

TEST(ReactionDiffusionLayer, SameSeedSamePatternAtEveryThreadCount) {
    // Tall enough for the rows to be shared among threads.
    ReactionDiffusionLayer layer = MakeLayer(16, 3000, 20);
    std::vector<std::vector<float>> results;
    for (const int threads : {1, 2, 3, 1}) {
        SetMaxThreads(threads);
        RandomGenerator::Instance().Seed(5);
        results.push_back(RenderValues(layer).values);
    }
    SetMaxThreads(0);
    for (std::size_t k = 1; k < results.size(); ++k) EXPECT_EQ(results[k], results[0]) << k;
}

// A grid shifted around the torus gives the same result shifted: every
// cell, at an edge or inside, sees its true wrapped neighbours.
TEST(ReactionDiffusionLayer, SeamsWrap) {
    for (const auto& [w, h] : {std::pair{13, 11}, std::pair{6, 5}, std::pair{1, 9}, std::pair{9, 1},
                              std::pair{2, 2}}) {
        SCOPED_TRACE(testing::Message() << w << " x " << h);
        const std::size_t n = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
        RandomGenerator::Instance().Seed(w * 100 + h);
        std::vector<float> a(n), b(n);
        RandomGenerator::Instance().FillUniform(a.data(), n, 0.0, 12.0);
        RandomGenerator::Instance().FillUniform(b.data(), n, 0.0, 12.0);
        const auto shifted = [&](const std::vector<float>& v, int dx, int dy) {
            std::vector<float> out(n);
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    out[static_cast<std::size_t>(((y + dy) % h) * w + (x + dx) % w)] =
                        v[static_cast<std::size_t>(y * w + x)];
                }
            }
            return out;
        };
        const Stencil sa = ReactionDiffusionLayer::BuildStencil(2.0f, 0.5f, 0.6, 0.1);
        const Stencil sb = ReactionDiffusionLayer::BuildStencil(12.0f, 16.0f, -0.3, 0.0);
        const auto run = [&](std::vector<float> va, std::vector<float> vb) {
            std::vector<float> na(n), nb(n);
            for (int k = 0; k < 20; ++k) {
                ReactionDiffusionLayer::StepGrid(va.data(), vb.data(), na.data(), nb.data(), w, h, sa, sb,
                                                 0.01f);
                va.swap(na);
                vb.swap(nb);
            }
            return std::pair{va, vb};
        };
        const auto plain = run(a, b);
        for (const auto& [dx, dy] : {std::pair{1, 0}, std::pair{0, 1}, std::pair{w - 1, h - 1},
                                    std::pair{w / 2, h / 3}}) {
            const auto moved = run(shifted(a, dx, dy), shifted(b, dx, dy));
            EXPECT_EQ(moved.first, shifted(plain.first, dx, dy)) << dx << ", " << dy;
            EXPECT_EQ(moved.second, shifted(plain.second, dx, dy)) << dx << ", " << dy;
        }
    }
}

TEST(ReactionDiffusionLayer, ConcentrationsNeverNegative) {
    // A strong dissipation and a large step drive values through zero; a
    // huge step blows up to infinities and NaN.
    for (const float dt : {0.01f, 0.2f, 1e30f}) {
        SCOPED_TRACE(dt);
        ReactionDiffusionLayer layer = MakeLayer(16, 16, 30);
        layer.SetChemicalA({1.0f, 4.0f, 3.0f, 0.4f});
        layer.SetTimeStep(dt);
        const Rendered r = RenderValues(layer);
        ASSERT_TRUE(r.ok);
        for (float v : r.values) EXPECT_TRUE(v >= 0.0f) << v;
    }
    // The grid update on its own clamps too.
    const float a[1] = {0.1f}, b[1] = {0.0f};
    float na[1], nb[1];
    const Stencil s = ReactionDiffusionLayer::kPlainLaplacian;
    ReactionDiffusionLayer::StepGrid(a, b, na, nb, 1, 1, s, s, 1.0f);
    EXPECT_EQ(na[0], 0.0f);  // 0.1 + (0 + 0 - 0.1 - 12) < 0
    EXPECT_FLOAT_EQ(nb[0], 16.0f);
}

TEST(ReactionDiffusionLayer, DefaultsGrowAPattern) {
    RandomGenerator::Instance().Seed(1);
    ReactionDiffusionLayer layer = MakeLayer(48, 48, 1000);
    const Rendered r = RenderValues(layer);
    ASSERT_TRUE(r.ok);
    double mean = 0.0;
    for (float v : r.values) mean += v;
    mean /= static_cast<double>(r.values.size());
    double var = 0.0;
    for (float v : r.values) var += (v - mean) * (v - mean);
    var /= static_cast<double>(r.values.size());
    // Neither washed out to a constant nor blown up: distinct spots of A.
    EXPECT_GT(std::sqrt(var), 0.5);
    EXPECT_LT(*std::max_element(r.values.begin(), r.values.end()), 100.0f);
    // Neighbours are alike (a smooth pattern, not noise).
    double step = 0.0;
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 48; ++x) {
            step += std::fabs(r.values[static_cast<std::size_t>(y * 48 + x)] -
                              r.values[static_cast<std::size_t>(y * 48 + (x + 1) % 48)]);
        }
    }
    EXPECT_LT(step / (48.0 * 48.0), std::sqrt(var));
}

TEST(ReactionDiffusionLayer, DegenerateSizes) {
    for (const auto& [w, h] : {std::pair{1, 1}, std::pair{2, 2}, std::pair{1, 5}, std::pair{5, 1},
                              std::pair{2, 1}}) {
        SCOPED_TRACE(testing::Message() << w << " x " << h);
        ReactionDiffusionLayer layer = MakeLayer(w, h, 120);
        const Rendered r = RenderValues(layer);
        EXPECT_TRUE(r.ok);
        for (float v : r.values) EXPECT_TRUE(std::isfinite(v) && v >= 0.0f) << v;
    }
    // Colour mode through the normalising default colour function.
    ReactionDiffusionLayer layer;
    layer.SetSize(1, 1);
    layer.SetIterations(10);
    float rgb[3] = {-1, -1, -1}, alpha[1] = {-1};
    RenderContext context;
    context.rgb = rgb;
    context.alpha = alpha;
    EXPECT_TRUE(layer.Render(context));
    EXPECT_EQ(alpha[0], 1.0f);
    EXPECT_GE(rgb[0], 0.0f);
}

TEST(ReactionDiffusionLayer, ProgressEveryHundredthOfTheIterations) {
    for (const auto& [iterations, expected] :
         {std::pair{0, 0}, std::pair{99, 0}, std::pair{100, 100}, std::pair{250, 125}, std::pair{1000, 100}}) {
        SCOPED_TRACE(iterations);
        ReactionDiffusionLayer layer = MakeLayer(3, 3, iterations);
        CountingSink sink;
        ASSERT_TRUE(RenderValues(layer, &sink).ok);
        EXPECT_EQ(sink.started, 1);
        EXPECT_EQ(sink.steps, expected);
    }
}

TEST(ReactionDiffusionLayer, CancellationStopsBetweenIterations) {
    SynthesisJob job;
    ReactionDiffusionLayer layer = MakeLayer(8, 8, 1000);
    CountingSink sink;
    sink.job = &job;
    sink.cancelAfter = 7;  // after iteration 70
    const Rendered r = RenderValues(layer, &sink, &job);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(sink.steps, 7);
    EXPECT_FALSE(layer.IsBusy());
    EXPECT_EQ(r.values.front(), -99.0f);  // nothing delivered

    // Cancelled before it starts; a later rendering works again.
    CountingSink idle;
    EXPECT_FALSE(RenderValues(layer, &idle, &job).ok);
    EXPECT_EQ(idle.steps, 0);
    job.CancelEvent().Reset();
    EXPECT_TRUE(RenderValues(layer, nullptr, &job).ok);
}

TEST(ReactionDiffusionLayer, DisabledLayerTouchesNothing) {
    ReactionDiffusionLayer layer = MakeLayer(4, 4, 10);
    layer.SetEnabled(false);
    CountingSink sink;
    const Rendered r = RenderValues(layer, &sink);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(sink.started, 0);
    for (float v : r.values) EXPECT_EQ(v, -99.0f);
}

TEST(ReactionDiffusionLayer, ResizingBetweenRenderings) {
    ReactionDiffusionLayer layer = MakeLayer(6, 6, 5);
    ASSERT_TRUE(RenderValues(layer).ok);
    layer.SetSize(10, 3);
    EXPECT_EQ(RenderValues(layer).values.size(), 30u);
    layer.SetSize(3, 10);  // same pixel count, rows rebuilt
    EXPECT_TRUE(RenderValues(layer).ok);

    // Inside a texture, as a document holds it.
    TextureMap texture;
    texture.RemoveAll();
    texture.SetSize(12, 12);
    auto child = std::make_unique<ReactionDiffusionLayer>();
    child->SetIterations(20);
    ASSERT_TRUE(texture.AddLast(std::move(child)));
    std::vector<float> rgb(12 * 12 * 3, 0.0f), alpha(12 * 12, 1.0f);
    RenderContext context;
    context.rgb = rgb.data();
    context.alpha = alpha.data();
    EXPECT_TRUE(texture.Render(context));
}

}  // namespace
}  // namespace quillon
