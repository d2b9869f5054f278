#include "engine/color.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace quillon {
namespace {

ColorMap TwoEntryMap(int i0, Color c0, int i1, Color c1) {
    ColorMap map;
    map.RemoveAllEntries();
    map.AddEntry(IndexedColor(i0, c0));
    map.AddEntry(IndexedColor(i1, c1));
    return map;
}

TEST(ColorMap, NewMapHoldsOneWhiteEntry) {
    ColorMap map;
    ASSERT_EQ(map.EntryCount(), 1);
    EXPECT_EQ(map.Entries()[0].index, 0);
    EXPECT_EQ(map.Entries()[0].first.red, 1.0);
    EXPECT_FALSE(map.IsRandom());
}

TEST(ColorMap, BlackToWhiteOver256) {
    ColorMap map = TwoEntryMap(0, Color(0, 0, 0), 255, Color(1, 1, 1));
    map.BuildTable();
    EXPECT_EQ(map.TableEntry(0).red, 0.0);
    EXPECT_EQ(map.TableEntry(1).red, 0.0);
    for (int k = 1; k < 256; ++k) {
        EXPECT_NEAR(map.TableEntry(k).green, (k - 1) / 255.0, 1e-12) << k;
    }
    EXPECT_LT(map.TableEntry(255).blue, 1.0);
    EXPECT_NEAR(map.Lookup(0.0).red, 0.0, 1e-12);
    EXPECT_NEAR(map.Lookup(1.0).red, 253.0 / 255.0, 1e-12);
    // Out-of-range and NaN values are clamped.
    EXPECT_NEAR(map.Lookup(5.0).red, 253.0 / 255.0, 1e-12);
    EXPECT_NEAR(map.Lookup(-3.0).red, 0.0, 1e-12);
    EXPECT_NEAR(map.Lookup(std::nan("")).red, 0.0, 1e-12);
}

TEST(ColorMap, RampEndsOneStepShortAndFillsTheRest) {
    ColorMap map = TwoEntryMap(0, Color(0, 0, 0), 100, Color(1, 1, 1));
    map.BuildTable();
    EXPECT_NEAR(map.TableEntry(100).red, 0.99, 1e-12);
    for (int k = 101; k < 256; ++k) EXPECT_EQ(map.TableEntry(k).red, 1.0) << k;
}

TEST(ColorMap, EntriesAreSortedStablyByIndex) {
    ColorMap map;
    map.RemoveAllEntries();
    map.AddEntry(IndexedColor(200, Color(1, 0, 0)));
    map.AddEntry(IndexedColor(10, Color(0, 1, 0)));
    map.AddEntry(IndexedColor(10, Color(0, 0, 1)));
    map.BuildTable();
    ASSERT_EQ(map.EntryCount(), 3);
    EXPECT_EQ(map.Entries()[0].first.green, 1.0);  // equal indices keep their order
    EXPECT_EQ(map.Entries()[1].first.blue, 1.0);
    EXPECT_EQ(map.Entries()[2].index, 200);
    // Equal indices write nothing between them; the second starts the next ramp.
    EXPECT_EQ(map.TableEntry(10).green, 1.0);
    EXPECT_EQ(map.TableEntry(11).blue, 1.0);
    EXPECT_EQ(map.TableEntry(11).green, 0.0);
    EXPECT_EQ(map.TableEntry(255).red, 1.0);
}

TEST(ColorMap, OneEntryScalesItsColour) {
    ColorMap map;
    map.RemoveAllEntries();
    map.AddEntry(IndexedColor(100, Color(1, 0, 0)));
    map.BuildTable();
    const Color c = map.Lookup(0.5);
    EXPECT_DOUBLE_EQ(c.red, 0.5);
    EXPECT_DOUBLE_EQ(c.green, 0.0);
    EXPECT_DOUBLE_EQ(c.opacityValue, 1.0);

    ColorMap empty;
    empty.RemoveAllEntries();
    empty.BuildTable();
    const Color e = empty.Lookup(0.25);
    EXPECT_DOUBLE_EQ(e.red, 0.25);
    EXPECT_DOUBLE_EQ(e.green, 0.25);
    EXPECT_DOUBLE_EQ(e.blue, 0.25);
}

TEST(ColorMap, RandomEntryPicksOneGreyForAllChannels) {
    ColorMap map;
    map.RemoveAllEntries();
    map.SetRandom(true);
    map.AddEntry(IndexedColor(0, Color(0, 0, 0), Color(1, 1, 1)));
    map.AddEntry(IndexedColor(255, Color(0, 0, 0), Color(0, 0, 0)));
    std::vector<double> greys;
    for (int n = 0; n < 20; ++n) {
        map.BuildTable();
        const Color& c = map.TableEntry(0);
        EXPECT_EQ(c.red, c.green);
        EXPECT_EQ(c.green, c.blue);
        greys.push_back(c.red);
    }
    EXPECT_NE(greys.front(), greys.back());

    // Switching randomness off collapses every range onto its first colour.
    map.SetRandom(false);
    EXPECT_EQ(map.Entries()[0].second.red, 0.0);
    map.BuildTable();
    EXPECT_EQ(map.TableEntry(0).red, 0.0);
}

TEST(ColorMap, AssignAndCopyTakeEntriesAndFlag) {
    ColorMap source = TwoEntryMap(0, Color(0, 0, 0), 255, Color(0, 0, 1));
    source.SetRandom(true);
    ColorMap target;
    target.Assign(source);
    EXPECT_TRUE(target.IsRandom());
    ASSERT_EQ(target.EntryCount(), 2);
    EXPECT_EQ(target.Entries()[1].first.blue, 1.0);
    ColorMap copy(source);
    EXPECT_EQ(copy.EntryCount(), 2);
    ColorMap shorter;
    shorter = ColorMap();
    shorter.Assign(ColorMap());
    EXPECT_EQ(shorter.EntryCount(), 1);
}

TEST(ColorMap, HostileIndicesStayInsideTheTable) {
    ColorMap map;
    map.RemoveAllEntries();
    map.AddEntry(IndexedColor(-2147483647, Color(1, 0, 0)));
    map.AddEntry(IndexedColor(2147483647, Color(0, 1, 0)));
    map.BuildTable();  // must neither overflow nor write past position 255
    EXPECT_EQ(map.TableEntry(0).red, 1.0);
    const Color c = map.Lookup(1.0);
    EXPECT_TRUE(std::isfinite(c.red));

    ColorMap late;
    late.RemoveAllEntries();
    late.AddEntry(IndexedColor(1000, Color(0, 0, 1)));
    late.AddEntry(IndexedColor(2000, Color(1, 1, 1)));
    late.BuildTable();
    EXPECT_EQ(late.TableEntry(255).blue, 1.0);
    EXPECT_EQ(late.TableEntry(255).red, 0.0);
}

TEST(ColorMap, RandomOpacityIsDrawnAtEveryBuild) {
    ColorMap map;
    map.RemoveAllEntries();
    map.AddEntry(IndexedColor(0, Color(1, 1, 1, RandomNumber::Random({0, 1}))));
    map.AddEntry(IndexedColor(255, Color(1, 1, 1)));
    map.BuildTable();
    const double first = map.TableEntry(0).opacityValue;
    map.BuildTable();
    EXPECT_NE(first, map.TableEntry(0).opacityValue);
    EXPECT_GE(map.Lookup(0.0).opacityValue, 0.0);
    EXPECT_LE(map.Lookup(0.0).opacityValue, 1.0);
}

// The per-segment spline must give LookupComponents' bits everywhere,
// out-of-range, NaN and infinite values included.
TEST(ColorSpline, EqualsLookupComponentsBitForBit) {
    ColorMap map;
    map.RemoveAllEntries();
    map.AddEntry(IndexedColor(0, Color(0.1, 0.9, 0.3, RandomNumber(0.5f))));
    map.AddEntry(IndexedColor(37, Color(1.0, 0.0, 0.7)));
    map.AddEntry(IndexedColor(200, Color(0.2, 0.4, 1.0, RandomNumber(0.9f))));
    map.AddEntry(IndexedColor(255, Color(0.0, 1.0, 0.0)));
    map.BuildTable();
    const ColorSpline spline(map);
    std::vector<double> values{-1.0, 0.0, 1.0, 2.0, std::nan(""), INFINITY, -INFINITY};
    for (int k = 0; k <= 5000; ++k) values.push_back(k / 5000.0);
    for (double v : values) {
        double expected[4], got[4];
        map.LookupComponents(v, expected);
        spline.Lookup(v, got);
        EXPECT_EQ(0, std::memcmp(expected, got, sizeof expected)) << v;
    }
}

TEST(ColorFunctors, ScaleModulusTrig) {
    std::vector<float> v{2, 4, 6};
    ScaleColorFunctor().Apply(v.data(), v.size());
    EXPECT_EQ(v, (std::vector<float>{0, 0.5f, 1}));

    std::vector<float> flat{3, 3, 3};
    ScaleColorFunctor().Apply(flat.data(), flat.size());
    EXPECT_EQ(flat, (std::vector<float>{3, 3, 3}));

    std::vector<float> bad{1, NAN, 3, INFINITY};
    ScaleColorFunctor().Apply(bad.data(), bad.size());
    EXPECT_EQ(bad, (std::vector<float>{0, 0, 1, 0}));

    std::vector<float> m{-0.25f, 1.75f, 0.5f};
    ModulusColorFunctor().Apply(m.data(), m.size());
    EXPECT_FLOAT_EQ(m[0], 0.75f);
    EXPECT_FLOAT_EQ(m[1], 0.75f);
    EXPECT_FLOAT_EQ(m[2], 0.5f);

    std::vector<float> t{0.0f, 0.785398163f};
    CosineColorFunctor().Apply(t.data(), t.size());
    EXPECT_FLOAT_EQ(t[0], 1.0f);
    EXPECT_NEAR(t[1], 0.0f, 1e-6);

    // Clones keep their class and parameters.
    ModulusColorFunctor mod(0.5f);
    auto clone = mod.Clone();
    auto* asMod = dynamic_cast<ModulusColorFunctor*>(clone.get());
    ASSERT_NE(asMod, nullptr);
    EXPECT_EQ(asMod->Modulus(), 0.5f);
}

}  // namespace
}  // namespace quillon
