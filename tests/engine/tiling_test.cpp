#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <memory>
#include <vector>

#include "engine/error_reporter.h"
#include "engine/parallel.h"
#include "engine/synthesis_job.h"
#include "engine/tiling_layer.h"
#include "test_layers.h"

namespace quillon {
namespace {

using testing::RampLayer;
using testing::SolidLayer;

using Picture = testing::RenderedLayer;
Picture RenderLayer(BaseLayer& layer, bool wantColour = true) {
    return testing::RenderLayer(layer, {wantColour, 0.25f, 0.5f, nullptr, nullptr});
}

// A tiling layer without children or edges.
std::unique_ptr<TilingLayer> Tiling(int w, int h) {
    auto tiling = std::make_unique<TilingLayer>();
    tiling->RemoveAll();
    tiling->SetSize(w, h);
    tiling->SetEdgeRadius(0.0f);
    return tiling;
}

// A child of one grey level, chosen with the given budget and cost.
SolidLayer* AddStone(TilingLayer& tiling, float grey, float probability = 1.0f,
                     float reduction = 0.0f, bool mortar = false) {
    auto stone = std::make_unique<SolidLayer>(grey, grey, grey, 1.0f);
    stone->SetProbability(probability);
    stone->SetReduction(reduction);
    if (mortar) stone->SetFlags(stone->Flags() | kLayerMortar);
    SolidLayer* raw = stone.get();
    tiling.AddLast(std::move(stone));
    return raw;
}

// Lengths of the runs of equal red along row y.
std::vector<int> RunsOfRow(const Picture& pic, int y) {
    std::vector<int> runs;
    for (int x = 0; x < pic.width; ++x) {
        if (x > 0 && pic.At(x, y) == pic.At(x - 1, y)) {
            ++runs.back();
        } else {
            runs.push_back(1);
        }
    }
    return runs;
}

TEST(Tiling, DefaultsMakeOneBrickOfOneChild) {
    TilingLayer tiling;
    ASSERT_EQ(tiling.Count(), 1);
    EXPECT_TRUE(tiling.Child(0)->IsTilingSubLayer());

    auto one = Tiling(16, 8);
    one->AddLast(std::make_unique<RampLayer>());
    const Picture pic = RenderLayer(*one);
    ASSERT_TRUE(pic.ok);
    EXPECT_EQ(one->PieceCount(), 1);
    for (std::size_t p = 0; p < 128; ++p) EXPECT_EQ(pic.rgb[3 * p], static_cast<float>(p) / 127.0f);
}

TEST(Tiling, ChildrenAreMarkedAsSubLayersAndCopiesKeepTheMark) {
    auto tiling = Tiling(8, 8);
    tiling->AddLast(std::make_unique<SolidLayer>(1, 1, 1, 1));
    tiling->InsertAt(std::make_unique<SolidLayer>(1, 1, 1, 1), 0);
    tiling->ReplaceAt(1, std::make_unique<SolidLayer>(0, 0, 0, 1));
    tiling->Child(0)->SetFlags(tiling->Child(0)->Flags() | kLayerMortar);
    auto copy = tiling->Clone();
    auto* clone = dynamic_cast<TilingLayer*>(copy.get());
    ASSERT_NE(clone, nullptr);
    for (const TilingLayer* layer :
         {static_cast<const TilingLayer*>(tiling.get()), static_cast<const TilingLayer*>(clone)}) {
        ASSERT_EQ(layer->Count(), 2);
        EXPECT_TRUE(layer->Child(0)->IsTilingSubLayer());
        EXPECT_TRUE(layer->Child(1)->IsTilingSubLayer());
        EXPECT_TRUE(layer->Child(0)->IsMortar());
    }
    EXPECT_FALSE(SameKind(BumpMapLayer(), *clone));  // a kind of its own in the kind list
}

// Four children used once each: every brick of the row has its own grey.
TEST(Tiling, RegularBricksShareTheSpareColumnsFromTheLeft) {
    for (const auto& [width, expected] : std::vector<std::pair<int, std::vector<int>>>{
             {256, {64, 64, 64, 64}}, {258, {65, 65, 64, 64}}}) {
        auto tiling = Tiling(width, 8);
        tiling->SetBricksWide(4.0f);
        tiling->SetRandomPlacement(false);
        for (int k = 0; k < 4; ++k) AddStone(*tiling, 0.2f * (k + 1), 1.0f, 1.0f);
        const Picture pic = RenderLayer(*tiling);
        ASSERT_TRUE(pic.ok);
        EXPECT_EQ(tiling->PieceCount(), 4);
        EXPECT_EQ(RunsOfRow(pic, 0), expected);
        EXPECT_EQ(RunsOfRow(pic, 7), expected);
    }
}

TEST(Tiling, BrickCountsAreLimitedAndAtLeastOne) {
    auto wide = Tiling(256, 2);
    wide->SetBricksWide(1000.0f);
    AddStone(*wide, 0.5f);
    ASSERT_TRUE(RenderLayer(*wide).ok);
    EXPECT_EQ(wide->PieceCount(), 128);

    auto none = Tiling(10, 10);
    none->SetBricksWide(0.0f);
    none->SetBricksHigh(-3.0f);
    AddStone(*none, 0.5f);
    ASSERT_TRUE(RenderLayer(*none).ok);
    EXPECT_EQ(none->PieceCount(), 1);
}

TEST(Tiling, ProbabilityIsABudgetAndReductionItsCost) {
    for (int seed = 1; seed <= 20; ++seed) {
        RandomGenerator::Instance().Seed(seed);
        auto tiling = Tiling(64, 64);
        tiling->SetBricksWide(4.0f);
        tiling->SetBricksHigh(4.0f);
        tiling->SetRandomPlacement(false);
        AddStone(*tiling, 1.0f, 2.0f, 2.0f);  // one brick at most
        AddStone(*tiling, 0.5f, 3.0f, 0.0f);
        AddStone(*tiling, 0.0f, 0.0f, 0.0f);    // never
        AddStone(*tiling, 0.25f, -4.0f, 0.0f);  // never
        const Picture pic = RenderLayer(*tiling);
        ASSERT_TRUE(pic.ok);
        std::map<float, int> pixels;
        for (std::size_t p = 0; p < 64 * 64; ++p) ++pixels[pic.rgb[3 * p]];
        EXPECT_LE(pixels[1.0f], 16 * 16);
        EXPECT_EQ(pixels.count(0.0f), 0u);
        EXPECT_EQ(pixels.count(0.25f), 0u);
    }
}

TEST(Tiling, NoUsableChildIsReportedAndRendersAsABaseLayer) {
    CapturingErrorReporter reporter;
    ScopedErrorReporter scope(reporter);
    auto tiling = Tiling(8, 8);
    AddStone(*tiling, 1.0f, 1.0f, 0.0f, true);  // mortar only
    SolidLayer* off = AddStone(*tiling, 1.0f);
    off->SetEnabled(false);
    const Picture pic = RenderLayer(*tiling);
    EXPECT_TRUE(pic.ok);
    EXPECT_EQ(reporter.Messages(), std::vector<std::string>{"No bricks defined for tiling layer"});
    for (float v : pic.rgb) EXPECT_EQ(v, 0.0f);
}

// A random brick that would start more than a brick past its place is
// skipped and the last one closes the row: no pixel is left uncovered.
TEST(Tiling, RandomBricksAndNegativeOffsetsCoverEveryPixel) {
    RandomGenerator::Instance().Seed(5);
    for (float offset : {0.5f, -0.7f, -13.25f}) {
        auto tiling = Tiling(100, 64);
        tiling->SetBricksWide(25.0f);
        tiling->SetBricksHigh(32.0f);
        tiling->SetOffset(offset);
        AddStone(*tiling, 0.5f);
        AddStone(*tiling, 0.75f);
        const Picture pic = RenderLayer(*tiling);
        ASSERT_TRUE(pic.ok);
        for (float v : pic.rgb) ASSERT_NE(v, 0.0f);
    }
}

std::unique_ptr<TilingLayer> Rocks(int w, int h, float count, bool random, float growth) {
    auto tiling = Tiling(w, h);
    tiling->SetRegular(false);
    tiling->SetNumberOfRocks(count);
    tiling->SetRandomPlacement(random);
    tiling->SetGrowth(growth);
    return tiling;
}

// With growth 1 all rocks grow a ring of four-neighbours per step, so each
// pixel belongs to the seed nearest in |dx| + |dy| (the pixels that
// smoothing may move, near the borders, left aside).
TEST(Tiling, RocksOfGrowthOneGrowAsDiamonds) {
    const int size = 120;
    auto tiling = Rocks(size, size, 5.0f, false, 1.0f);
    for (int k = 0; k < 5; ++k) AddStone(*tiling, 0.1f * (k + 1), 1.0f, 1.0f);
    const Picture pic = RenderLayer(*tiling);
    ASSERT_TRUE(pic.ok);
    EXPECT_EQ(tiling->PieceCount(), 5);

    // Grid seeds of five rocks: rows at 1/3 and 1/3 + 1/2 of the height,
    // two seeds in the first row and three in the second.
    const std::vector<std::pair<int, int>> seeds = {
        {40, 40}, {100, 40}, {30, 100}, {70, 100}, {110, 100}};
    const auto torus = [&](int a, int b) {
        return std::min(std::abs(a - b), size - std::abs(a - b));
    };
    int checked = 0;
    int discriminating = 0;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            std::vector<std::pair<int, int>> l1;
            std::vector<std::pair<double, int>> euclid;
            for (int s = 0; s < 5; ++s) {
                const int dx = torus(x, seeds[s].first);
                const int dy = torus(y, seeds[s].second);
                l1.push_back({dx + dy, s});
                euclid.push_back({std::hypot(dx, dy), s});
            }
            std::sort(l1.begin(), l1.end());
            std::sort(euclid.begin(), euclid.end());
            if (l1[1].first - l1[0].first < 14) continue;
            const auto [sx, sy] = seeds[l1[0].second];
            ASSERT_EQ(pic.At(x, y), pic.At(sx, sy)) << x << "," << y;
            ++checked;
            discriminating += euclid[0].second != l1[0].second;
        }
    }
    EXPECT_GT(checked, size * size / 2);
    EXPECT_GT(discriminating, 0);  // round growth would have failed here
}

TEST(Tiling, RocksCoverEveryPixelWhateverTheGrowth) {
    RandomGenerator::Instance().Seed(11);
    for (bool random : {true, false}) {
        for (float growth : {1.0f, 0.5f, 0.05f, 0.0f, -2.0f}) {
            auto tiling = Rocks(48, 40, 7.0f, random, growth);
            tiling->SetOffset(RandomNumber::Random({-1.0f, 1.0f}));
            AddStone(*tiling, 0.5f);
            AddStone(*tiling, 0.9f);
            const Picture pic = RenderLayer(*tiling);
            ASSERT_TRUE(pic.ok);
            EXPECT_EQ(tiling->PieceCount(), 7);
            for (float v : pic.rgb) ASSERT_NE(v, 0.0f) << random << " " << growth;
        }
    }
}

// Colours that name the child (1, 2, 3 ...) and the source pixel.
class SourceCodeLayer : public BaseLayer {
  public:
    explicit SourceCodeLayer(int code) : m_code(code) {}
    bool Render(RenderContext& context) override {
        const std::size_t n = static_cast<std::size_t>(Size());
        for (std::size_t p = 0; p < n; ++p) {
            const float v = static_cast<float>(m_code * n + p + 1) / 4096.0f;
            for (int c = 0; c < 3; ++c) context.rgb[3 * p + c] = v;
            context.alpha[p] = 1.0f;
        }
        return true;
    }
    std::unique_ptr<BaseLayer> Clone() const override {
        return std::make_unique<SourceCodeLayer>(*this);
    }

  private:
    int m_code;
};

// Three rocks on an 8 x 8 torus: smoothing moves rim pixels out of the
// boxes the rocks grew. The boxes and their window draws stay as grown;
// the stray pixels come through the same window from the nearer side.
TEST(Tiling, RockPixelsOutsideTheirBoxComeThroughTheirWindow) {
    const int size = 8;
    auto tiling = Rocks(size, size, 3.0f, false, 1.0f);
    for (int code = 1; code <= 3; ++code) {
        auto child = std::make_unique<SourceCodeLayer>(code);
        child->SetProbability(1.0f);
        child->SetReduction(1.0f);
        tiling->AddLast(std::move(child));
    }
    RandomGenerator::Instance().Seed(7);
    const Picture pic = RenderLayer(*tiling);
    ASSERT_TRUE(pic.ok);

    // The growth as the rocks grew it (grid seeds, four neighbours a step).
    struct Item {
        int x, y, dx, dy, rock;
    };
    struct Box {
        int minDx = 0, maxDx = 0, minDy = 0, maxDy = 0;
    };
    const Item seeds[] = {{4, 3, 0, 0, 2}, {3, 7, 0, 0, 1}, {7, 7, 0, 0, 0}};
    std::vector<int> grown(size * size, -1);
    std::vector<Box> boxes(3);
    std::deque<Item> queue;
    for (const Item& s : seeds) {
        grown[s.y * size + s.x] = s.rock;
        queue.push_back(s);
    }
    while (!queue.empty()) {
        const Item it = queue.front();
        queue.pop_front();
        const Item next[4] = {{(it.x + size - 1) % size, it.y, it.dx - 1, it.dy, it.rock},
                              {(it.x + 1) % size, it.y, it.dx + 1, it.dy, it.rock},
                              {it.x, (it.y + size - 1) % size, it.dx, it.dy - 1, it.rock},
                              {it.x, (it.y + 1) % size, it.dx, it.dy + 1, it.rock}};
        for (const Item& g : next) {
            if (grown[g.y * size + g.x] >= 0) continue;
            grown[g.y * size + g.x] = g.rock;
            queue.push_back(g);
            Box& b = boxes[static_cast<std::size_t>(g.rock)];
            b.minDx = std::min(b.minDx, g.dx);
            b.maxDx = std::max(b.maxDx, g.dx);
            b.minDy = std::min(b.minDy, g.dy);
            b.maxDy = std::max(b.maxDy, g.dy);
        }
    }

    // The draws of the rocks in number order: the source choice, then the
    // window's x and y over the unwidened box.
    RandomGenerator& gen = RandomGenerator::Instance();
    gen.Seed(7);
    float weights[3] = {1, 1, 1};  // entries of the children 3, 2, 1
    float total = 3;
    int childOf[3], x0[3], y0[3], w[3], h[3], ox[3], oy[3];
    for (int k = 0; k < 3; ++k) {
        double a = gen.Uniform(0.0, total);
        int e = 2;
        for (int i = 0; i < 3; ++i) {
            if ((a -= weights[i]) < 0.0) {
                e = i;
                break;
            }
        }
        weights[e] = 0;
        total -= 1;
        childOf[k] = 3 - e;
        const Item& s = seeds[2 - k];
        const Box& b = boxes[static_cast<std::size_t>(k)];
        x0[k] = (s.x + b.minDx + size) % size;
        y0[k] = (s.y + b.minDy + size) % size;
        w[k] = std::min(b.maxDx - b.minDx + 1, size);
        h[k] = std::min(b.maxDy - b.minDy + 1, size);
        ox[k] = static_cast<int>(gen.Uniform(0.0, size - w[k]));
        oy[k] = static_cast<int>(gen.Uniform(0.0, size - h[k]));
    }

    const auto offsetOf = [size](int p, int start, int length) {
        const int r = ((p - start) % size + size) % size;
        return r >= length && r - length >= size - r ? r - size : r;
    };
    int strays = 0;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const int code = static_cast<int>(std::lround(pic.At(x, y) * 4096.0f)) - 1;
            ASSERT_GE(code, size * size) << "black at " << x << "," << y;
            const int child = code / (size * size);
            const int k = static_cast<int>(std::find(childOf, childOf + 3, child) - childOf);
            ASSERT_LT(k, 3);
            const int rx = offsetOf(x, x0[k], w[k]);
            const int ry = offsetOf(y, y0[k], h[k]);
            strays += rx < 0 || rx >= w[k] || ry < 0 || ry >= h[k];
            const int sx = std::clamp(ox[k] + rx, 0, size - 1);
            const int sy = std::clamp(oy[k] + ry, 0, size - 1);
            EXPECT_EQ(code % (size * size), sy * size + sx)
                << "rock " << k << " at " << x << "," << y;
        }
    }
    EXPECT_GT(strays, 0);
}

// Budgets spent to the last crumb, with a float residue of
// 0.2 + 0.1 - 0.1 - 0.2: the walk runs out and every further brick takes
// the last entry, the first child.
TEST(Tiling, SpentBudgetsLeaveTheRestToTheFirstChild) {
    for (int seed = 1; seed <= 10; ++seed) {
        RandomGenerator::Instance().Seed(seed);
        auto tiling = Tiling(64, 8);
        tiling->SetBricksWide(8.0f);
        tiling->SetRandomPlacement(false);
        AddStone(*tiling, 0.25f, 0.1f, 0.1f);
        AddStone(*tiling, 0.75f, 0.2f, 0.2f);
        const Picture pic = RenderLayer(*tiling);
        ASSERT_TRUE(pic.ok);
        std::map<float, int> bricks;
        for (int k = 0; k < 8; ++k) ++bricks[pic.At(8 * k, 0)];
        EXPECT_EQ(bricks[0.25f], 7);
        EXPECT_EQ(bricks[0.75f], 1);
    }
}

TEST(Tiling, EdgeRadiusBelowOneLeavesNoEdges) {
    auto tiling = Tiling(32, 32);
    tiling->SetBricksWide(4.0f);
    tiling->SetBricksHigh(4.0f);
    tiling->SetEdgeRadius(0.9f);
    tiling->SetThreshold(1.0f);
    AddStone(*tiling, 0.6f);
    AddStone(*tiling, 0.1f, 1.0f, 0.0f, true);
    const Picture pic = RenderLayer(*tiling);
    ASSERT_TRUE(pic.ok);
    for (float v : pic.rgb) EXPECT_EQ(v, 0.6f);
}

TEST(Tiling, EdgesDarkenAndLightenTheRimsOnly) {
    auto tiling = Tiling(64, 64);
    tiling->SetBricksWide(2.0f);
    tiling->SetBricksHigh(2.0f);
    tiling->SetRandomPlacement(false);
    tiling->SetEdgeRadius(3.0f);
    AddStone(*tiling, 0.5f);
    const Picture pic = RenderLayer(*tiling);
    ASSERT_TRUE(pic.ok);
    // Brick interiors are flat and shade to one half: unchanged.
    EXPECT_NEAR(pic.At(16, 16), 0.5f, 1e-6f);
    EXPECT_NEAR(pic.At(48, 48), 0.5f, 1e-6f);
    float lo = 1.0f;
    float hi = 0.0f;
    for (std::size_t p = 0; p < 64 * 64; ++p) {
        lo = std::min(lo, pic.rgb[3 * p]);
        hi = std::max(hi, pic.rgb[3 * p]);
    }
    EXPECT_LT(lo, 0.45f);
    EXPECT_GT(hi, 0.55f);
}

// The cut is the highest height: nothing lies above it, so the mortar
// covers everything, flat, and shades to its own colour.
TEST(Tiling, ThresholdOneTurnsEverythingIntoMortar) {
    for (bool rounded : {false, true}) {
        auto tiling = Tiling(40, 30);
        tiling->SetBricksWide(3.0f);
        tiling->SetBricksHigh(5.0f);
        tiling->SetEdgeRadius(4.0f);
        tiling->SetRoundedEdges(rounded);
        tiling->SetThreshold(RandomNumber::Random({1.0f, 2.0f}));
        AddStone(*tiling, 0.9f);
        AddStone(*tiling, 0.3f, 1.0f, 0.0f, true);
        const Picture pic = RenderLayer(*tiling);
        ASSERT_TRUE(pic.ok);
        for (float v : pic.rgb) EXPECT_NEAR(v, 0.3f, 1e-6f);
    }
}

// Tiny textures, huge pieces and huge radii in every mode: nothing reads
// outside a buffer (run under the address sanitizer), nothing hangs.
TEST(Tiling, DegenerateSizesRenderInEveryMode) {
    RandomGenerator::Instance().Seed(3);
    const std::pair<int, int> sizes[] = {{1, 1}, {2, 2}, {1, 9}, {9, 1}, {3, 2}};
    for (const auto& [w, h] : sizes) {
        for (int mode = 0; mode < 4; ++mode) {
            auto tiling = Tiling(w, h);
            tiling->SetRegular(mode < 2);
            tiling->SetRandomPlacement(mode % 2 == 0);
            tiling->SetBricksWide(RandomNumber::Random({0.0f, 50.0f}));
            tiling->SetBricksHigh(3.0f);
            tiling->SetNumberOfRocks(1000.0f);
            tiling->SetOffset(-0.5f);
            tiling->SetGrowth(0.0f);
            tiling->SetEdgeRadius(1e9f);
            tiling->SetRoundedEdges(mode % 2 == 1);
            tiling->SetThreshold(0.5f);
            AddStone(*tiling, 0.5f);
            tiling->AddLast(std::make_unique<RampLayer>());
            AddStone(*tiling, 0.2f, 1.0f, 0.0f, true);
            for (bool colour : {true, false}) {
                const Picture pic = RenderLayer(*tiling, colour);
                ASSERT_TRUE(pic.ok);
                for (std::size_t p = 0; p < (colour ? 3u : 1u) * w * h; ++p) {
                    ASSERT_TRUE(pic.rgb[p] >= 0.0f && pic.rgb[p] <= 1.0f) << w << "x" << h;
                }
            }
        }
    }
}

TEST(Tiling, StopsWhenCancelled) {
    SynthesisJob job;
    job.CancelEvent().Set();
    for (bool regular : {true, false}) {
        auto tiling = Rocks(32, 32, 4.0f, true, 0.5f);
        tiling->SetRegular(regular);
        AddStone(*tiling, 0.5f);
        std::vector<float> rgb(3 * 32 * 32), alpha(32 * 32);
        RenderContext context;
        context.rgb = rgb.data();
        context.alpha = alpha.data();
        context.job = &job;
        EXPECT_FALSE(tiling->Render(context));
        EXPECT_FALSE(tiling->IsBusy());
    }
}

std::uint64_t HashOf(const std::vector<float>& data) {
    std::uint64_t h = 1469598103934665603ULL;
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    for (std::size_t k = 0; k < data.size() * sizeof(float); ++k) {
        h = (h ^ bytes[k]) * 1099511628211ULL;
    }
    return h;
}

// Edge heights cost no more for a larger radius; the pictures are those of
// the former per-cell sums (recorded in tiling_edge_hashes.inc) for bricks,
// rocks and a lone piece: square kernels at radii from 1 to beyond the
// picture, rounded ones up to the radius summed exactly.
TEST(Tiling, EdgesAreThoseOfThePerCellSums) {
    struct Case {
        int mode;  // 0 bricks, 1 rocks, 2 one piece
        bool rounded;
        int radius;
        std::uint64_t hash;
    };
    const Case cases[] = {
#include "tiling_edge_hashes.inc"
    };
    std::string fresh;
    for (const Case& c : cases) {
        RandomGenerator::Instance().Seed(40 + c.mode);
        auto tiling = c.mode == 1 ? Rocks(45, 38, 6.0f, true, 0.7f) : Tiling(45, 38);
        if (c.mode == 0) {
            tiling->SetBricksWide(4.0f);
            tiling->SetBricksHigh(5.0f);
            tiling->SetOffset(0.5f);
        }
        tiling->SetEdgeRadius(static_cast<float>(c.radius));
        tiling->SetRoundedEdges(c.rounded);
        tiling->SetThreshold(0.3f);
        tiling->AddLast(std::make_unique<RampLayer>());
        AddStone(*tiling, 0.6f, 0.5f);
        AddStone(*tiling, 0.2f, 1.0f, 0.0f, true);
        const Picture pic = RenderLayer(*tiling);
        ASSERT_TRUE(pic.ok);
        const std::uint64_t hash = HashOf(pic.rgb);
        EXPECT_EQ(hash, c.hash) << c.mode << " " << c.rounded << " " << c.radius;
        char line[96];
        std::snprintf(line, sizeof line, "{%d, %s, %d, 0x%016llxULL},\n", c.mode,
                      c.rounded ? "true" : "false", c.radius,
                      static_cast<unsigned long long>(hash));
        fresh += line;
    }
    if (std::getenv("QUILLON_PRINT_EDGE_HASHES")) std::fputs(fresh.c_str(), stdout);
}

// Rocks (counted in groups side by side), and a lone brick and a wall of
// two bricks large enough to be counted alone, slice by slice.
TEST(Tiling, SamePictureAtAnyThreadCount) {
    const auto render = [](int threads, int mode) {
        SetMaxThreads(threads);
        RandomGenerator::Instance().Seed(21);
        auto tiling = mode == 0 ? Rocks(96, 80, 9.0f, true, 0.6f) : Tiling(160, 120);
        if (mode == 2) tiling->SetBricksWide(2.0f);
        tiling->SetEdgeRadius(5.0f);
        tiling->SetRoundedEdges(true);
        tiling->SetThreshold(0.2f);
        tiling->AddLast(std::make_unique<RampLayer>());
        AddStone(*tiling, 0.2f, 1.0f, 0.0f, true);
        return RenderLayer(*tiling).rgb;
    };
    for (int mode = 0; mode < 3; ++mode) {
        const auto one = render(1, mode);
        const auto many = render(4, mode);
        EXPECT_EQ(one, many) << mode;
    }
    SetMaxThreads(0);
}

}  // namespace
}  // namespace quillon
