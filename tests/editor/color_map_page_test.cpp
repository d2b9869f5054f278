// The colour-map page, the generator and the calculator.
#include <gtest/gtest.h>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTreeWidget>

#include "editor/app_services.h"
#include "editor/dialogs/color_calculator.h"
#include "editor/dialogs/color_map_generator.h"
#include "editor/pages/color_map_page.h"
#include "editor/pages/page_choosers.h"
#include "engine/error_reporter.h"
#include "engine/white_noise_layer.h"

namespace quillon {
namespace {

std::vector<int> Indices(const std::vector<IndexedColor>& entries) {
    std::vector<int> indices;
    for (const IndexedColor& entry : entries) indices.push_back(entry.index);
    return indices;
}

class ColorMapPageTest : public testing::Test {
  protected:
    void SetUp() override {
        SetAdvancedMode(true);
        ColorMap& map = m_layer.GetColorMap();
        map.RemoveAllEntries();
        map.AddEntry(IndexedColor(200, Color(1, 1, 1)));
        map.AddEntry(IndexedColor(0, Color(0, 0, 0)));
        m_page.Load(PageObject{&m_layer, 0, nullptr});
    }
    void TearDown() override { SetColorChooserHook(nullptr); }

    CapturingErrorReporter m_messages;
    ScopedErrorReporter m_scope{m_messages};
    WhiteNoiseLayer m_layer;
    ColorPropPage m_page;
};

TEST_F(ColorMapPageTest, EntriesAreEditedAsCopiesAndWrittenSortedOnApply) {
    EXPECT_EQ(Indices(m_page.Entries()), (std::vector<int>{0, 200}));
    EXPECT_EQ(m_page.EntryList()->topLevelItem(1)->text(0), "200");
    EXPECT_EQ(m_page.LocationEdit()->text(), "0");
    EXPECT_FALSE(m_page.RemoveButton()->isEnabled() && m_page.Entries().size() < 2);

    m_page.AddButton()->click();  // white at 0, after the black one
    EXPECT_EQ(Indices(m_page.Entries()), (std::vector<int>{0, 0, 200}));
    EXPECT_EQ(m_page.SelectedRow(), 1);
    m_page.LocationEdit()->setText("100");
    m_page.OpacityEdit()->setText("(0.2, 0.8)");
    m_page.ApplyButton()->click();
    EXPECT_EQ(Indices(m_page.Entries()), (std::vector<int>{0, 100, 200}));
    EXPECT_EQ(m_page.Entries()[1].first.opacity, RandomNumber::Random({0.2f, 0.8f}));
    EXPECT_EQ(m_layer.GetColorMap().EntryCount(), 2);  // not before the layer is applied

    m_page.LocationEdit()->setText("256");
    m_page.ApplyButton()->click();
    EXPECT_EQ(m_messages.Last(), "Location: enter an integer between 0 and 255.");
    EXPECT_EQ(Indices(m_page.Entries()), (std::vector<int>{0, 100, 200}));

    m_page.Apply();
    EXPECT_EQ(Indices(m_layer.GetColorMap().Entries()), (std::vector<int>{0, 100, 200}));

    m_page.SelectRow(0);
    m_page.RemoveButton()->click();
    EXPECT_EQ(Indices(m_page.Entries()), (std::vector<int>{100, 200}));
}

TEST_F(ColorMapPageTest, SelectColorResetsOpacityAndRandomActsAtOnce) {
    m_page.OpacityEdit()->setText("0.5");
    m_page.ApplyButton()->click();
    SetColorChooserHook([](const QColor&) { return QColor(255, 0, 0); });
    m_page.SelectColorButton()->click();
    const IndexedColor chosen = m_page.Entries()[0];
    EXPECT_EQ(chosen.first.red, 1.0);
    EXPECT_EQ(chosen.first.opacity, RandomNumber(1.0f));
    EXPECT_EQ(chosen.second.red, 1.0);

    // A random map: "From" and "To" instead of "Select Color".
    ColorMap& map = m_layer.GetColorMap();
    map.RemoveAllEntries();
    map.SetRandom(true);
    map.AddEntry(IndexedColor(0, Color(0, 0, 0), Color(1, 1, 1)));
    m_page.Load(PageObject{&m_layer, 0, nullptr});
    EXPECT_TRUE(m_page.ToButton()->isVisibleTo(&m_page));
    EXPECT_FALSE(m_page.SelectColorButton()->isVisibleTo(&m_page));
    m_page.SetPreviewQuery([](const BaseLayer*) { return true; });
    m_page.RandomBox()->click();
    EXPECT_TRUE(map.IsRandom());
    EXPECT_TRUE(m_page.RandomBox()->isChecked());
    m_page.SetPreviewQuery(nullptr);
    m_page.RandomBox()->click();
    EXPECT_FALSE(map.IsRandom());  // without Apply
    EXPECT_EQ(map.Entries()[0].second.red, 0.0);
    EXPECT_EQ(m_page.Entries()[0].second.red, 0.0);
    EXPECT_TRUE(m_page.SelectColorButton()->isVisibleTo(&m_page));

    SetAdvancedMode(false);
    m_page.Load(PageObject{&m_layer, 0, nullptr});
    EXPECT_FALSE(m_page.RandomBox()->isVisibleTo(&m_page));
}

TEST_F(ColorMapPageTest, PreviewStripShowsTheTableAndReadsItOut) {
    // Black at 0, white at 200: the ramp of BuildTable, first colours only.
    const auto table = PreviewTable(m_page.Entries());
    EXPECT_EQ(table[0].red, 0.0);
    EXPECT_NEAR(table[101].red, 100.0 / 200.0, 1e-12);
    EXPECT_EQ(table[255].red, 1.0);
    ColorMapPreview* strip = m_page.Preview();
    strip->resize(512, 20);
    EXPECT_EQ(strip->PositionAt(511), 255);
    EXPECT_EQ(strip->PositionAt(5000), 255);
    EXPECT_EQ(strip->PositionAt(202), 101);
    EXPECT_EQ(strip->ReadOut(101), "Index: 101, RGB: 127, 127, 127");

    QImage swatch = EntrySwatch(IndexedColor(0, Color(0, 0, 0), Color(1, 1, 1)));
    EXPECT_EQ(swatch.size(), QSize(32, 16));
    EXPECT_EQ(swatch.pixelColor(0, 0), QColor(Qt::black));
    EXPECT_EQ(swatch.pixelColor(16, 8).red(), 127);  // 15 / 30 of the way

    m_page.SetContextPosition(42);
    SetColorChooserHook([](const QColor& initial) { return initial; });
    m_page.AddColorAtContextPosition();
    EXPECT_EQ(Indices(m_page.Entries()), (std::vector<int>{0, 42, 200}));
    EXPECT_EQ(m_page.Entries()[1].first.green, 1.0);  // the chooser starts from white
}

TEST(ColorMapGenerator, BandsFollowWidthsAndEdges) {
    CapturingErrorReporter messages;
    ScopedErrorReporter scope(messages);
    ColorBand base{Qt::black, "16", false, 1.0};
    ColorBand band{Qt::white, "4", false, 0.5};
    auto soft = GenerateColorMapEntries(base, band);
    ASSERT_TRUE(soft);
    const std::vector<int> indices = Indices(*soft);
    ASSERT_GE(indices.size(), 5u);
    EXPECT_EQ(std::vector<int>(indices.begin(), indices.begin() + 5),
              (std::vector<int>{8, 19, 30, 41, 52}));
    EXPECT_EQ((*soft)[0].first.red, 0.0);
    EXPECT_EQ((*soft)[1].first.red, 1.0);
    EXPECT_EQ((*soft)[1].first.opacity, RandomNumber(0.5f));
    EXPECT_LE(indices.back(), 255);

    base = {Qt::black, "10", true, 1.0};
    auto hard = GenerateColorMapEntries(base, band);
    ASSERT_TRUE(hard);
    const std::vector<int> hardIndices = Indices(*hard);
    EXPECT_EQ(std::vector<int>(hardIndices.begin(), hardIndices.begin() + 3),
              (std::vector<int>{0, 10, 13}));  // the band starts at 11

    base.width = "(8, 24)";
    EXPECT_NE(Indices(*GenerateColorMapEntries(base, band)),
              Indices(*GenerateColorMapEntries(base, band)));

    base.width = "1e30";  // one band to the end
    EXPECT_EQ(Indices(*GenerateColorMapEntries(base, band)), (std::vector<int>{0, 255}));
    base.width = "wide";
    EXPECT_FALSE(GenerateColorMapEntries(base, band));
    EXPECT_EQ(messages.Last(), "Invalid width argument for base color");
    base.width = "4";
    band.width = "(1, 2, 3, 4, 5)";
    EXPECT_FALSE(GenerateColorMapEntries(base, band));
    EXPECT_EQ(messages.Last(), "Invalid width argument for band color");
}

TEST(ColorCalculatorTest, CombinesAndKeepsCustomColours) {
    EXPECT_EQ(CombineColors(Qt::black, Qt::white, 0.5, CombineFunc::Opaque, 0),
              QColor(127, 127, 127));
    EXPECT_EQ(CombineColors(Qt::black, Qt::white, 0.5, CombineFunc::Multiply, 0), QColor(0, 0, 0));
    EXPECT_EQ(CombineColors(Qt::white, Qt::black, 1.0, CombineFunc::Transparent, 1.0),
              QColor(255, 255, 255));
    EXPECT_EQ(CombineColors(QColor(200, 200, 200), Qt::white, 1.0, CombineFunc::Additive, 0),
              QColor(255, 255, 255));

    ColorCalculator calculator;
    calculator.SetColors(QColor(0, 0, 0), QColor(0, 0, 200));
    for (int k = 0; k < kCustomColorCount; ++k) SetCustomColorValue(k, 0);
    SetCustomColorValue(0, 0x0000FF);
    EXPECT_EQ(calculator.AddColor(), 1);        // the first empty slot
    EXPECT_EQ(CustomColorValue(1), 0xC80000u);  // 0x00BBGGRR
    for (int k = 0; k < kCustomColorCount; ++k) SetCustomColorValue(k, 0x010101);
    EXPECT_EQ(calculator.AddColor(), 0);  // all used: slot 0
    EXPECT_EQ(CustomColorValue(0), 0xC80000u);
    QSettings("Veltrana", "Quillon").setValue("Custom Colors/Color3", "garbage");
    EXPECT_EQ(CustomColorValue(3), 0u);
}

}  // namespace
}  // namespace quillon
