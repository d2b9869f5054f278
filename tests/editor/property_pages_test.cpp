// The layer dialog and its pages: what they store, what they refuse, and
// that loading and applying without an edit changes nothing.
#include <gtest/gtest.h>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <filesystem>
#include <functional>
#include <sstream>

#include "editor/app_services.h"
#include "editor/pages/bitmap_prop_page_dlg.h"
#include "editor/pages/color_map_page.h"
#include "editor/pages/edge_prop_page.h"
#include "editor/pages/light_prop_page.h"
#include "editor/pages/noise_setup_page.h"
#include "editor/pages/page_choosers.h"
#include "editor/pages/page_registry.h"
#include "editor/pages/prop_page_bump_map.h"
#include "editor/pages/react_diffusion_prop_page.h"
#include "editor/pages/texture_layer_dlg.h"
#include "editor/pages/texture_prop_dlg.h"
#include "editor/pages/tiling_prop_page.h"
#include "engine/bitmap_layer.h"
#include "engine/error_reporter.h"
#include "engine/noise_function_layer.h"
#include "engine/reaction_diffusion_layer.h"
#include "engine/texture_map.h"
#include "engine/tiling_layer.h"
#include "format/texture_files.h"

namespace quillon {
namespace {

std::string Block(const BaseLayer& layer) {
    std::ostringstream out;
    layer.Write(out, "");
    return out.str();
}

void ForEachLayer(BaseLayer& layer, const std::function<void(BaseLayer&)>& visit) {
    visit(layer);
    if (auto* container = dynamic_cast<MultiBaseLayer*>(&layer)) {
        for (int k = 0; k < container->Count(); ++k) ForEachLayer(*container->Child(k), visit);
    }
}

template <class Page>
Page* FindPage(const TextureLayerDlg& dialog, int nth = 0) {
    for (int k = 0; k < dialog.PageCount(); ++k) {
        if (auto* page = dynamic_cast<Page*>(dialog.Page(k)); page && nth-- == 0) return page;
    }
    return nullptr;
}

void Choose(QComboBox* list, int item) {
    list->setCurrentIndex(item);
    emit list->activated(item);
}

class PropertyPagesTest : public testing::Test {
  protected:
    void SetUp() override { SetAdvancedMode(true); }
    void TearDown() override {
        SetAdvancedMode(true);
        SetColorChooserHook(nullptr);
    }
    // Load, validate and store as the view's Apply does.
    bool LoadAndApply(BaseLayer& layer) {
        m_dialog.Load(&layer);
        if (!m_dialog.Validate()) return false;
        m_dialog.Store();
        return true;
    }

    CapturingErrorReporter m_messages;
    ScopedErrorReporter m_scope{m_messages};
    TextureLayerDlg m_dialog;
};

// Every field of every page must come back exactly: a page that loses or
// rounds a value changes the written block.
TEST_F(PropertyPagesTest, ApplyingUntouchedPagesWritesTheSameBlock) {
    const std::filesystem::path examples = std::filesystem::path(QUILLON_SOURCE_DIR) / "examples";
    int layers = 0;
    for (const auto& file : std::filesystem::directory_iterator(examples)) {
        if (file.path().extension() != ".qln") continue;
        TextureMap texture;
        ASSERT_EQ(LoadDocument(file.path(), texture), LoadStatus::Ok) << file.path();
        const std::string before = Block(texture);
        ForEachLayer(texture, [&](BaseLayer& layer) {
            if (&layer == &texture) return;
            EXPECT_TRUE(LoadAndApply(layer)) << file.path() << " " << layer.Name();
            ++layers;
        });
        TexturePropDlg textureDialog;
        textureDialog.Load(&texture);
        ASSERT_TRUE(textureDialog.Validate());
        textureDialog.Store();
        EXPECT_EQ(Block(texture), before) << file.path();
    }
    EXPECT_GT(layers, 30);
    // Fresh layers of every kind, and every kind as a tiling sub-layer.
    TilingLayer tiling;
    for (const LayerKindUi& kind : LayerKindUis()) {
        auto layer = NewLayerOfKind(kind.kindIndex);
        ASSERT_TRUE(layer);
        const std::string before = Block(*layer);
        EXPECT_TRUE(LoadAndApply(*layer));
        EXPECT_EQ(Block(*layer), before) << kind.label;
        ASSERT_TRUE(tiling.AddLast(NewLayerOfKind(kind.kindIndex)));
    }
    const std::string before = Block(tiling);
    ForEachLayer(tiling, [&](BaseLayer& layer) { EXPECT_TRUE(LoadAndApply(layer)); });
    EXPECT_EQ(Block(tiling), before);
    EXPECT_TRUE(m_messages.Messages().empty()) << m_messages.Last();
}

TEST_F(PropertyPagesTest, LoadingAndShowingIsNoEdit) {
    TextureMap texture;
    ASSERT_EQ(LoadDocument(std::filesystem::path(QUILLON_SOURCE_DIR) / "examples/brick_wall.qln",
                           texture),
              LoadStatus::Ok);
    int pending = 0;
    QObject::connect(&m_dialog, &TextureLayerDlg::ChangesPending, [&] { ++pending; });
    TexturePropDlg textureDialog;
    QObject::connect(&textureDialog, &TexturePropDlg::ChangesPending, [&] { ++pending; });
    textureDialog.Load(&texture);
    textureDialog.show();
    m_dialog.show();
    ForEachLayer(texture, [&](BaseLayer& layer) {
        if (&layer == &texture) return;
        m_dialog.Load(&layer);
        for (int k = 0; k < m_dialog.Tabs()->count(); ++k) {
            m_dialog.Tabs()->setCurrentIndex(k);
            QCoreApplication::processEvents();
        }
    });
    EXPECT_EQ(pending, 0);
}

TEST_F(PropertyPagesTest, TabsFollowTheKind) {
    auto tabTitles = [&](BaseLayer& layer) {
        m_dialog.Load(&layer);
        QStringList titles;
        for (int k = 0; k < m_dialog.Tabs()->count(); ++k) titles << m_dialog.Tabs()->tabText(k);
        return titles.join(',');
    };
    NoiseFunctionLayer noise;
    EXPECT_EQ(tabTitles(noise), "Noise Function,Color Map,Transformations");
    EXPECT_EQ(m_dialog.KindList()->currentText(), "Basis Function");
    ReactionDiffusionLayer reaction;
    EXPECT_EQ(tabTitles(reaction), "Chemical A,Chemical B,Properties,Color Map");
    TilingLayer tiling;
    tiling.AddLight(std::make_shared<BumpLightSrc>());
    EXPECT_EQ(tabTitles(tiling), "Properties,Edge,Bump,Light 1,Light 2");
    EXPECT_FALSE(FindPage<PropPageBumpMap>(m_dialog)->TileBox()->isVisibleTo(&m_dialog));
    EXPECT_EQ(tabTitles(*tiling.Child(0)), "Noise Function,Color Map,Transformations,Tiling");
    TextureMap texture;
    EXPECT_EQ(tabTitles(texture), "");
    EXPECT_FALSE(m_dialog.Tabs()->isVisibleTo(&m_dialog));
}

TEST_F(PropertyPagesTest, CombineFunctionActsAtOnce) {
    MaskLayer mask;
    m_dialog.Load(&mask);
    EXPECT_EQ(m_dialog.CombineList()->currentText(), "Opaque");
    EXPECT_FALSE(m_dialog.CombineList()->isEnabled());
    EXPECT_FALSE(m_dialog.TransparencyEdit()->isVisibleTo(&m_dialog));

    NoiseFunctionLayer layer;
    m_dialog.Load(&layer);
    int modified = 0;
    QObject::connect(&m_dialog, &TextureLayerDlg::LayerModified, [&] { ++modified; });
    Choose(m_dialog.CombineList(), 1);
    EXPECT_EQ(layer.GetCombineFunc(), CombineFunc::Transparent);  // without Apply
    EXPECT_EQ(modified, 1);
    EXPECT_TRUE(m_dialog.TransparencyEdit()->isVisibleTo(&m_dialog));
    EXPECT_EQ(m_dialog.TransparencyEdit()->text(), "0.75");

    // Refused while the layer is being previewed.
    m_dialog.SetPreviewQuery([&](const BaseLayer* l) { return l == &layer; });
    Choose(m_dialog.CombineList(), 5);
    EXPECT_EQ(layer.GetCombineFunc(), CombineFunc::Transparent);
    EXPECT_EQ(m_dialog.CombineList()->currentIndex(), 1);
    EXPECT_EQ(m_messages.Last(), "Unable to access layer being previewed!");
}

TEST_F(PropertyPagesTest, KindListAsksTheViewAndShowsTheKindAgainWhenRefused) {
    NoiseFunctionLayer layer;
    m_dialog.Load(&layer);
    std::vector<int> asked;
    QObject::connect(&m_dialog, &TextureLayerDlg::ChangeKindRequested,
                     [&](int kind) { asked.push_back(kind); });
    Choose(m_dialog.KindList(), 4);
    EXPECT_EQ(asked, std::vector<int>{4});
    EXPECT_EQ(m_dialog.KindList()->currentIndex(), 0);  // nobody replaced the layer
    auto whiteNoise = NewLayerOfKind(4);
    EXPECT_EQ(whiteNoise->Keyword(), "WHITENOISELAYER");
    EXPECT_FALSE(NewLayerOfKind(9));
}

TEST_F(PropertyPagesTest, CommonFieldsStoreBadTextAsZeroAndHiddenFieldsStillApply) {
    NoiseFunctionLayer layer;
    layer.SetUsage(RandomNumber::Random({1, 3}));
    SetAdvancedMode(false);
    m_dialog.Load(&layer);
    EXPECT_FALSE(m_dialog.UsageEdit()->isVisibleTo(&m_dialog));
    EXPECT_FALSE(m_dialog.ProbabilityLabel()->isVisibleTo(&m_dialog));
    m_dialog.ProbabilityEdit()->setText("0.5");
    ASSERT_TRUE(m_dialog.Validate());
    m_dialog.Store();
    EXPECT_EQ(layer.Usage(), RandomNumber::Random({1, 3}));
    EXPECT_EQ(layer.UseProbability(), RandomNumber(0.5f));

    SetAdvancedMode(true);
    m_dialog.Load(&layer);
    m_dialog.UsageEdit()->setText("lots");
    ASSERT_TRUE(m_dialog.Validate());
    m_dialog.Store();
    EXPECT_EQ(layer.Usage(), RandomNumber(0.0f));
    EXPECT_EQ(m_dialog.UsageEdit()->text(), "0");
}

// Any text in any edit field: refused with a message and the layer
// untouched, or stored (common fields as 0); never a crash.
TEST_F(PropertyPagesTest, AnyTextInAnyFieldIsRefusedOrStoredWhole) {
    const QString hostile[] = {
        "", "letters", "1e400", "NaN", QString(65536, '7'), "(1, 2, 3, 4, 5)", "(1, 2", "-0.5"};
    TilingLayer parent;
    for (const LayerKindUi& kind : LayerKindUis()) {
        ASSERT_TRUE(parent.AddLast(NewLayerOfKind(kind.kindIndex)));
        BaseLayer& layer = *parent.Child(parent.Count() - 1);
        m_dialog.Load(&layer);
        const int edits = static_cast<int>(m_dialog.findChildren<QLineEdit*>().size());
        for (int e = 0; e < edits; ++e) {
            for (const QString& text : hostile) {
                m_dialog.Load(&layer);
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                const std::string before = Block(layer);
                QLineEdit* edit = m_dialog.findChildren<QLineEdit*>()[e];
                edit->setText(text);
                m_messages.Clear();
                if (!m_dialog.Validate()) {
                    EXPECT_FALSE(m_messages.Messages().empty());
                    EXPECT_EQ(Block(layer), before) << kind.label;
                } else {
                    m_dialog.Store();
                }
            }
        }
    }
}

TEST_F(PropertyPagesTest, ReactionDiffusionIterationsOutsideTheirRangeAreRefused) {
    ReactionDiffusionLayer layer;
    m_dialog.Load(&layer);
    auto* page = FindPage<ReactDiffusionPropPage>(m_dialog);
    for (const char* text : {"0", "16385"}) {
        page->IterationsEdit()->setText(text);
        m_messages.Clear();
        EXPECT_FALSE(m_dialog.Validate());
        EXPECT_EQ(m_messages.Last(), "Iterations: enter an integer between 1 and 16384.");
        EXPECT_EQ(m_dialog.Page(m_dialog.Tabs()->currentIndex()), page);
    }
    page->IterationsEdit()->setText("16384");
    page->TimeStepEdit()->setText("0.05");
    ASSERT_TRUE(m_dialog.Validate());
    m_dialog.Store();
    EXPECT_EQ(layer.Iterations(), 16384);
    EXPECT_FLOAT_EQ(layer.TimeStep(), 0.05f);
}

TEST_F(PropertyPagesTest, NoisePageGridPolarizationAndPointNoise) {
    NoiseFunctionLayer layer;
    m_dialog.Load(&layer);
    auto* page = FindPage<NoiseSetupPage>(m_dialog);
    EXPECT_FALSE(page->PolarizationEdit()->isVisibleTo(page));
    Choose(page->BasisList(), 5);  // "Grid"
    EXPECT_TRUE(page->PolarizationEdit()->isVisibleTo(page));
    page->PolarizationEdit()->setText("1");
    ASSERT_TRUE(m_dialog.Validate());
    m_dialog.Store();
    EXPECT_EQ(layer.GetNoiseFunction(), NoiseFunction::Grid);
    EXPECT_EQ(layer.NoiseParameter(), 0.0);  // an exact checkerboard

    // "Point" edits only the coordinate noise.
    const NoiseFunctionLayer::Turbulence main = layer.MainTurbulence();
    m_dialog.Load(&layer);
    page = FindPage<NoiseSetupPage>(m_dialog);
    page->PointButton()->click();
    EXPECT_FALSE(page->ScalingList()->isVisibleTo(page));
    EXPECT_FALSE(page->MagnitudeEdit()->isVisibleTo(page));  // coordinate type None
    Choose(page->TypeList(), 3);                             // "Fractal Sum"
    page->MagnitudeEdit()->setText("(0.5, 2)");
    page->IterationsEdit()->setText("7");
    page->MapButton()->click();  // switching keeps the edits of both
    EXPECT_EQ(page->TypeList()->currentIndex(), static_cast<int>(main.type));
    page->PointButton()->click();
    EXPECT_EQ(page->MagnitudeEdit()->text(), "(0.5, 2)");
    ASSERT_TRUE(m_dialog.Validate());
    m_dialog.Store();
    EXPECT_EQ(layer.CoordTurbulence().type, TurbulenceType::FractalSum);
    EXPECT_EQ(layer.CoordTurbulence().magnitude, RandomNumber::Random({0.5f, 2.0f}));
    EXPECT_EQ(layer.CoordTurbulence().iterations, 7);
    EXPECT_EQ(layer.MainTurbulence().magnitude, main.magnitude);
    EXPECT_EQ(layer.MainTurbulence().type, main.type);
    EXPECT_EQ(layer.GetNoiseFunction(), NoiseFunction::Grid);

    // Advanced controls hide in simple mode.
    SetAdvancedMode(false);
    m_dialog.Load(&layer);
    page = FindPage<NoiseSetupPage>(m_dialog);
    EXPECT_FALSE(page->BasisList()->isVisibleTo(page));
    EXPECT_FALSE(page->TilingList()->isVisibleTo(page));
    EXPECT_FALSE(page->PointButton()->isVisibleTo(page));
    EXPECT_TRUE(page->MagnitudeEdit()->isVisibleTo(page));
    EXPECT_FALSE(page->IterationsEdit()->isVisibleTo(page));
}

TEST_F(PropertyPagesTest, LightsAreLimitedToOneToEight) {
    BumpMapLayer bump;
    m_dialog.Load(&bump);
    auto* properties = FindPage<PropPageBumpMap>(m_dialog);
    auto* light = FindPage<LightPropPage>(m_dialog);
    light->RemoveButton()->click();
    EXPECT_EQ(m_messages.Last(), "Minimum number of light sources is 1");
    EXPECT_EQ(bump.LightCount(), 1);

    light->PositionEdit(0)->setText("(0, 64)");  // kept while tabs come and go
    for (int k = 0; k < 8; ++k) properties->AddLightButton()->click();
    EXPECT_EQ(m_messages.Last(), "Maximum number of lights is 8");
    EXPECT_EQ(bump.LightCount(), 8);
    EXPECT_EQ(m_dialog.Tabs()->count(), 9);
    EXPECT_EQ(m_dialog.Tabs()->tabText(8), "Light 8");

    // Removing the third light removes that light object and renumbers.
    const BumpLightSrc* third = bump.Light(2).get();
    FindPage<LightPropPage>(m_dialog, 2)->RemoveButton()->click();
    EXPECT_EQ(bump.LightCount(), 7);
    for (int k = 0; k < 7; ++k) EXPECT_NE(bump.Light(k).get(), third);
    EXPECT_EQ(m_dialog.Tabs()->tabText(7), "Light 7");
    EXPECT_EQ(FindPage<LightPropPage>(m_dialog)->PositionEdit(0)->text(), "(0, 64)");

    // Nothing happens while the layer is being previewed.
    m_dialog.SetPreviewQuery([](const BaseLayer*) { return true; });
    FindPage<PropPageBumpMap>(m_dialog)->AddLightButton()->click();
    EXPECT_EQ(bump.LightCount(), 7);
}

TEST_F(PropertyPagesTest, LightColourIsTakenFromTheChooserOnApply) {
    BumpMapLayer bump;
    m_dialog.Load(&bump);
    SetColorChooserHook([](const QColor&) { return QColor(255, 0, 51); });
    FindPage<LightPropPage>(m_dialog)->SelectColorButton()->click();
    EXPECT_FLOAT_EQ(bump.Light(0)->color[0], BumpLightSrc::kDefaultComponent);
    ASSERT_TRUE(m_dialog.Validate());
    m_dialog.Store();
    EXPECT_FLOAT_EQ(bump.Light(0)->color[0], 1.0f);
    EXPECT_FLOAT_EQ(bump.Light(0)->color[1], 0.0f);
    EXPECT_FLOAT_EQ(bump.Light(0)->color[2], 0.2f);
}

TEST_F(PropertyPagesTest, TilingAndEdgeLabelsFollowTheirButtons) {
    TilingLayer tiling;
    tiling.SetNumberOfRocks(RandomNumber(9.0f));
    m_dialog.Load(&tiling);
    auto* page = FindPage<TilingPropPage>(m_dialog);
    EXPECT_EQ(page->FirstLabel()->text(), "Bricks Across:");
    page->IrregularButton()->click();
    EXPECT_EQ(page->FirstLabel()->text(), "Rocks:");
    EXPECT_EQ(page->SecondLabel()->text(), "Growth:");
    EXPECT_EQ(page->PlacementBox()->text(), "Random Placement");
    EXPECT_EQ(page->FirstEdit()->text(), "9");
    page->SecondEdit()->setText("0.5");
    ASSERT_TRUE(m_dialog.Validate());
    m_dialog.Store();
    EXPECT_FALSE(tiling.Regular());
    EXPECT_EQ(tiling.Growth(), RandomNumber(0.5f));
    EXPECT_EQ(tiling.BricksWide(), RandomNumber(1.0f));

    m_dialog.Load(&tiling);
    auto* edge = FindPage<EdgePropPage>(m_dialog);
    EXPECT_EQ(edge->ProfileEdit()->text(), "0 1; 1 0");
    edge->SquareButton()->click();
    EXPECT_EQ(edge->RadiusLabel()->text(), "Size:");
    edge->ProfileEdit()->setText("1 0; 0 1");  // x must rise
    EXPECT_FALSE(m_dialog.Validate());
    edge->ProfileEdit()->setText("0 1; 0.25, 0.85 ; 1 0");
    ASSERT_TRUE(m_dialog.Validate());
    m_dialog.Store();
    EXPECT_FALSE(tiling.RoundedEdges());
    ASSERT_EQ(tiling.EdgeProfile().size(), 3u);
    EXPECT_EQ(tiling.EdgeProfile()[1], (TilingLayer::ProfilePoint{0.25f, 0.85f}));
}

TEST_F(PropertyPagesTest, BitmapImportReadsPicturesAndNamesTheFailure) {
    QTemporaryDir dir;
    BitmapLayer layer;
    m_dialog.Load(&layer);
    auto* page = FindPage<BitmapPropPageDlg>(m_dialog);
    const QString bad = dir.filePath("bad.jpg");
    QFile file(bad);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a picture");
    file.close();
    EXPECT_FALSE(page->ImportFile(bad));
    EXPECT_EQ(m_messages.Last(), "Unable to load JPEG image.");
    QFile::copy(bad, dir.filePath("bad.bmp"));
    EXPECT_FALSE(page->ImportFile(dir.filePath("bad.bmp")));
    EXPECT_EQ(m_messages.Last(), "Unable to load BMP image.");
    EXPECT_FALSE(layer.Picture());

    // A picture made through a layer file round trip.
    QImage image(3, 2, QImage::Format_RGB888);
    image.fill(QColor(10, 20, 30));
    const QString png = dir.filePath("small.png");
    ASSERT_TRUE(image.save(png));
    ASSERT_TRUE(page->ImportFile(png));
    ASSERT_TRUE(layer.Picture());
    EXPECT_EQ(layer.Picture()->Width(), 3);
    EXPECT_EQ(layer.Picture()->Pixel(0, 0)[2], 30);
    EXPECT_FALSE(page->PictureLabel()->pixmap().isNull());
}

TEST_F(PropertyPagesTest, TextureDialogSizeZoomAndScreenSaverBits) {
    TextureMap texture;
    TexturePropDlg dialog;
    dialog.Load(&texture);
    dialog.ScreenSaverBox(2)->click();  // "Tile", at once
    EXPECT_EQ(texture.ScreenSaverType(), kScreenSaverTile);
    dialog.ScreenSaverBox(2)->click();
    EXPECT_EQ(texture.ScreenSaverType(), 0);
    for (const char* side : {"0", "4097", "wide"}) {
        dialog.WidthEdit()->setText(side);
        EXPECT_FALSE(dialog.Validate());
    }
    EXPECT_EQ(m_messages.Last(), "Width: enter an integer between 1 and 4096.");
    dialog.WidthEdit()->setText("4096");
    dialog.HeightEdit()->setText("32");
    dialog.ZoomEdit()->setText("two");
    dialog.ScreenSaverBox(0)->click();
    dialog.ScreenSaverBox(3)->click();
    ASSERT_TRUE(dialog.Validate());
    dialog.Store();
    EXPECT_EQ(m_messages.Last(), "Zoom number not in appropriate format, defaulting to 1.0");
    EXPECT_EQ(texture.Width(), 4096);
    EXPECT_EQ(texture.Height(), 32);
    EXPECT_EQ(texture.Zoom(), RandomNumber(1.0f));
    EXPECT_EQ(texture.ScreenSaverType(), kScreenSaverXMirror | kScreenSaverExpand);

    dialog.SetPreviewQuery([](const BaseLayer*) { return true; });
    dialog.ScreenSaverBox(1)->click();
    EXPECT_FALSE(dialog.ScreenSaverBox(1)->isChecked());
    EXPECT_EQ(texture.ScreenSaverType(), kScreenSaverXMirror | kScreenSaverExpand);
}

}  // namespace
}  // namespace quillon
