#include <gtest/gtest.h>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QSpinBox>
#include <QTest>

#include "saver/saver_settings.h"
#include "saver/settings_dialog.h"

namespace quillon {
namespace {

using Weights = std::array<int, 4>;

CommandLine Parse(std::vector<std::string> args, const std::string& xss = "") {
    return ParseCommandLine(args, xss);
}

TEST(SaverCommandLine, FirstLetterOfFirstArgumentDecides) {
    EXPECT_EQ(Parse({}).kind, RunKind::Settings);
    EXPECT_EQ(Parse({"/c:1234"}).kind, RunKind::Settings);
    EXPECT_EQ(Parse({"-S"}).kind, RunKind::FullScreen);
    EXPECT_EQ(Parse({"/screen"}).kind, RunKind::FullScreen);
    EXPECT_EQ(Parse({"/x"}).kind, RunKind::Invalid);
    EXPECT_EQ(Parse({"--help"}).kind, RunKind::Help);

    const CommandLine preview = Parse({"/P", "1234"});
    EXPECT_EQ(preview.kind, RunKind::Preview);
    EXPECT_EQ(preview.windowId, 1234u);
    EXPECT_EQ(Parse({"-window-id", "0x2A"}).windowId, 42u);
    EXPECT_EQ(Parse({"/p:77"}).windowId, 77u);
    EXPECT_EQ(Parse({"/p"}).kind, RunKind::Invalid);
    EXPECT_EQ(Parse({"/p", "12ab"}).kind, RunKind::Invalid);
    EXPECT_EQ(Parse({"/p", "0"}).kind, RunKind::Invalid);
    EXPECT_EQ(Parse({"/p", "99999999999999999999"}).kind, RunKind::Invalid);

    EXPECT_EQ(Parse({"-root"}, "0x400007").windowId, 0x400007u);
    const CommandLine root = Parse({"-root"}, "junk");
    EXPECT_EQ(root.kind, RunKind::Root);
    EXPECT_EQ(root.windowId, 0u);  // full screen instead
}

TEST(SaverWeights, NormalisationAndSliderRebalancing) {
    EXPECT_EQ(NormalizeWeights({40, 20, 20, 20}), (Weights{40, 20, 20, 20}));
    EXPECT_EQ(NormalizeWeights({80, 60, 0, 0}), (Weights{40, 60, 0, 0}));
    EXPECT_EQ(NormalizeWeights({0, 0, 0, 0}), (Weights{100, 0, 0, 0}));
    EXPECT_EQ(NormalizeWeights({90, 90, 90, 90}), (Weights{0, 0, 10, 90}));
    EXPECT_EQ(NormalizeWeights({-50, 500, 0, 0}), (Weights{0, 100, 0, 0}));

    EXPECT_EQ(RebalanceWeights({70, 20, 20, 20}, 0), (Weights{70, 0, 10, 20}));
    // After Engrave comes Standard.
    EXPECT_EQ(RebalanceWeights({40, 20, 20, 0}, 3), (Weights{60, 20, 20, 0}));
    EXPECT_EQ(RebalanceWeights({0, 0, 100, 100}, 3), (Weights{0, 0, 0, 100}));
}

class SettingsDialogTest : public testing::Test {
  protected:
    void SetUp() override { QSettings("Veltrana", "Lumadrift").clear(); }
    static QVariant Stored(const char* key) {
        return QSettings("Veltrana", "Lumadrift").value(QString("Settings/") + key);
    }
};

TEST_F(SettingsDialogTest, LoadsDefaultsAndLimitsStoredValues) {
    SaverSettings s = LoadSaverSettings();
    EXPECT_EQ(s.path, DefaultPicturesFolder());
    EXPECT_EQ(s.recurse, 2);
    EXPECT_EQ(s.delay, 10);
    EXPECT_FALSE(s.desktop);
    EXPECT_EQ(s.weights, (Weights{40, 20, 20, 20}));

    QSettings store("Veltrana", "Lumadrift");
    store.setValue("Settings/Recurse", 99);
    store.setValue("Settings/Delay", -5);
    store.sync();
    s = LoadSaverSettings();
    EXPECT_EQ(s.recurse, 4);
    EXPECT_EQ(s.delay, 1);
}

TEST_F(SettingsDialogTest, OkWritesAllEightValuesAndCancelNothing) {
    {
        SettingsDialog dialog;
        dialog.PathEdit()->setText("/tmp/textures");
        dialog.reject();
    }
    EXPECT_TRUE(QSettings("Veltrana", "Lumadrift").allKeys().isEmpty());

    SettingsDialog dialog;
    dialog.SetFolderChooser([](QWidget*, const QString&) { return QString("/srv/pictures"); });
    auto* browse = dialog.findChild<QPushButton*>();
    for (QPushButton* b : dialog.findChildren<QPushButton*>()) {
        if (b->text() == "&Browse") browse = b;
    }
    QTest::mouseClick(browse, Qt::LeftButton);
    EXPECT_EQ(dialog.PathEdit()->text(), "/srv/pictures");
    dialog.DepthBox()->setValue(3);
    dialog.DelaySlider()->setValue(42);
    dialog.DesktopBox()->setChecked(true);
    dialog.WeightSlider(0)->setValue(70);  // the surplus comes from Black and White, then 3dify
    EXPECT_EQ(dialog.WeightSlider(1)->value(), 0);
    EXPECT_EQ(dialog.WeightSlider(2)->value(), 10);
    dialog.accept();

    EXPECT_EQ(QSettings("Veltrana", "Lumadrift").allKeys().size(), 8);
    EXPECT_EQ(Stored("Path").toString(), "/srv/pictures");
    EXPECT_EQ(Stored("Recurse").toInt(), 3);
    EXPECT_EQ(Stored("Delay").toInt(), 42);
    EXPECT_EQ(Stored("Desktop").toInt(), 1);
    EXPECT_EQ(Stored("StdImg").toInt(), 70);
    EXPECT_EQ(Stored("BWImg").toInt(), 0);
    EXPECT_EQ(Stored("3DImg").toInt(), 10);
    EXPECT_EQ(Stored("EngImg").toInt(), 20);
}

TEST_F(SettingsDialogTest, StoredWeightsAreShownNormalised) {
    QSettings store("Veltrana", "Lumadrift");
    for (const char* key : {"StdImg", "BWImg", "3DImg", "EngImg"}) {
        store.setValue(QString("Settings/") + key, 90);
    }
    store.sync();
    SettingsDialog dialog;
    EXPECT_EQ(dialog.Values().weights, (Weights{0, 0, 10, 90}));
    // A keyboard step on a slider keeps the sum at 100.
    dialog.WeightSlider(3)->setFocus();
    QTest::keyClick(dialog.WeightSlider(3), Qt::Key_Left);
    const Weights w = dialog.Values().weights;
    EXPECT_EQ(w[0] + w[1] + w[2] + w[3], 100);
    EXPECT_EQ(w[3], 89);
}

}  // namespace
}  // namespace quillon
