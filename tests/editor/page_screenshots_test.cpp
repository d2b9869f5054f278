// Pictures of every page for docs/editor-pages.md. Runs only when
// QUILLON_PAGE_SHOTS names a folder (scripts/make-page-screenshots.sh).
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QTabWidget>
#include <filesystem>

#include "editor/app_services.h"
#include "editor/dialogs/color_calculator.h"
#include "editor/dialogs/color_map_generator.h"
#include "editor/pages/page_registry.h"
#include "editor/pages/texture_layer_dlg.h"
#include "editor/pages/texture_prop_dlg.h"
#include "engine/bump_map_layer.h"
#include "engine/texture_map.h"
#include "format/texture_files.h"

namespace quillon {
namespace {

void Save(QWidget& widget, const QDir& folder, const QString& name) {
    widget.show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(widget.grab().save(folder.filePath(name))) << name.toStdString();
}

// A layer of the examples for each kind, so the pages show real settings.
BaseLayer* FindKind(TextureMap& texture, std::string_view keyword) {
    BaseLayer* found = nullptr;
    std::function<void(BaseLayer&)> visit = [&](BaseLayer& layer) {
        if (!found && layer.Keyword() == keyword && &layer != &texture) found = &layer;
        if (auto* container = dynamic_cast<MultiBaseLayer*>(&layer)) {
            for (int k = 0; k < container->Count(); ++k) visit(*container->Child(k));
        }
    };
    visit(texture);
    return found;
}

TEST(PageScreenshots, EveryPage) {
    const QByteArray target = qgetenv("QUILLON_PAGE_SHOTS");
    if (target.isEmpty()) GTEST_SKIP() << "QUILLON_PAGE_SHOTS is not set";
    QDir folder(QString::fromLocal8Bit(target));
    ASSERT_TRUE(folder.mkpath("."));
    SetAdvancedMode(true);
    const std::filesystem::path examples = std::filesystem::path(QUILLON_SOURCE_DIR) / "examples";
    std::vector<std::unique_ptr<TextureMap>> documents;
    for (const char* name : {"brick_wall.qln", "leopard.qln", "embossed.qln", "picture.qln",
                             "marble.qln", "starfield.qln", "granite.qln", "cobblestones.qln"}) {
        auto texture = std::make_unique<TextureMap>();
        ASSERT_EQ(LoadDocument(examples / name, *texture), LoadStatus::Ok) << name;
        documents.push_back(std::move(texture));
    }
    TexturePropDlg textureDialog;
    textureDialog.resize(420, 330);
    textureDialog.Load(documents[0].get());
    Save(textureDialog, folder, "page-texture-properties.png");

    TextureLayerDlg dialog;
    dialog.resize(460, 620);
    for (const LayerKindUi& kind : LayerKindUis()) {
        BaseLayer* layer = nullptr;
        for (auto& document : documents) {
            if ((layer = FindKind(*document, kind.keyword))) break;
        }
        std::unique_ptr<BaseLayer> fresh;
        if (!layer) {
            fresh = NewLayerOfKind(kind.kindIndex);
            layer = fresh.get();
        }
        dialog.Load(layer);
        const QString stem =
            QString::fromLatin1(kind.keyword.data(), kind.keyword.size()).toLower();
        for (int k = 0; k < dialog.Tabs()->count(); ++k) {
            dialog.Tabs()->setCurrentIndex(k);
            QString tab = dialog.Tabs()->tabText(k).toLower().replace(' ', '-');
            Save(dialog, folder, QStringLiteral("page-%1-%2.png").arg(stem, tab));
        }
        if (dialog.Tabs()->count() == 0)
            Save(dialog, folder, QStringLiteral("page-%1.png").arg(stem));
    }
    GenerateColorMapDlg generator;
    Save(generator, folder, "page-color-map-generator.png");
    ColorCalculator calculator;
    calculator.SetColors(QColor(40, 60, 160), QColor(230, 180, 40));
    Save(calculator, folder, "page-color-calculator.png");
}

}  // namespace
}  // namespace quillon
