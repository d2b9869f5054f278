// The view's commands that change the layer structure, and the layer kinds
// of the layer dialog's list.
#include "editor/layer_commands.h"

#include <QFileInfo>

#include "editor/choosers.h"
#include "editor/document.h"
#include "editor/document_view.h"
#include "editor/layer_tree.h"
#include "editor/pages/page_registry.h"
#include "editor/pages/texture_layer_dlg.h"
#include "editor/quillon_app.h"
#include "engine/bump_map_layer.h"
#include "engine/error_reporter.h"
#include "engine/noise_function_layer.h"
#include "engine/texture_map.h"
#include "engine/tiling_layer.h"
#include "format/texture_files.h"

namespace quillon {

namespace {

std::filesystem::path ToPath(const QString& path) {
    return std::filesystem::path(path.toStdU16String());
}

}  // namespace

// The kinds are the page registry's: one table for the list, the icons and the pages.
QStringList LayerKindNames() {
    QStringList names;
    for (const LayerKindUi& kind : LayerKindUis()) names << QString::fromLatin1(kind.label);
    return names;
}

std::unique_ptr<BaseLayer> CreateLayerOfKind(int index) {
    return NewLayerOfKind(index);
}

int LayerKindIndex(const BaseLayer& layer) {
    const LayerKindUi* kind = FindLayerKindUi(layer);
    return kind ? kind->kindIndex : -1;
}

QStringList CombineFunctionNames() {
    return {QStringLiteral("Opaque"),   QStringLiteral("Transparent"), QStringLiteral("Shade"),
            QStringLiteral("Additive"), QStringLiteral("Subtractive"), QStringLiteral("Multiply")};
}

DocumentView::Position DocumentView::SelectedPosition() const {
    Position position;
    QTreeWidgetItem* item = m_tree->currentItem();
    QTreeWidgetItem* root = m_tree->topLevelItem(0);
    if (!item) item = root;
    auto* container = dynamic_cast<MultiBaseLayer*>(LayerTree::ObjectOf(item));
    if (item == root || (item->isExpanded() && container)) {
        // The root, or an open container: the new layer goes first inside it.
        position.container = container;
        position.index = 0;
        position.parentItem = item;
        return position;
    }
    position.parentItem = item->parent();
    position.container = dynamic_cast<MultiBaseLayer*>(LayerTree::ObjectOf(item->parent()));
    position.index = item->parent()->indexOfChild(item) + 1;
    return position;
}

void DocumentView::AddAtSelection(std::unique_ptr<BaseLayer> layer) {
    Position position = SelectedPosition();
    if (!position.container || RefuseWhileTexturePreviewed()) return;
    // A container that is rendering reads its list: wait for nothing, refuse.
    if (m_document->IsInsidePreview(position.container)) {
        ReportError("Unable to access layer being previewed!");
        return;
    }
    BaseLayer* added = layer.get();
    if (!position.container->InsertAt(std::move(layer), position.index)) {
        ReportError("Unable to insert layer!");
        return;
    }
    m_tree->InsertLayer(position.parentItem, position.index, added);
    Changed();
}

void DocumentView::Changed() {
    m_document->SetModified();
    emit StructureChanged(this);
    emit CommandStateChanged();
}

void DocumentView::InsertLayer() {
    if (RefuseWhileTexturePreviewed()) return;
    const TextureMap& texture = m_document->Texture();
    AddAtSelection(
        std::make_unique<NoiseFunctionLayer>(texture.Width(), texture.Height(), nullptr));
}

void DocumentView::CutLayer() {
    BaseLayer* layer = SelectedLayer();
    if (!layer || RefuseWhilePreviewed(layer)) return;
    MultiBaseLayer* container = layer->Parent();
    QTreeWidgetItem* item = m_tree->currentItem();
    if (!container || !item) return;
    QuillonApp::SetClipboardLayer(layer->Clone());
    // The edits shown belong to the layer that goes: they go with it.
    ClearUnapplied();
    m_shownObject = nullptr;
    int index = container->IndexOf(layer);
    delete item;  // selects a neighbour
    container->RemoveAt(index);
    Changed();
}

void DocumentView::CopyLayer() {
    if (BaseLayer* layer = SelectedLayer()) QuillonApp::SetClipboardLayer(layer->Clone());
    emit CommandStateChanged();
}

void DocumentView::PasteLayer() {
    const BaseLayer* clipboard = QuillonApp::ClipboardLayer();
    if (clipboard) AddAtSelection(clipboard->Clone());
}

void DocumentView::LoadLayer() {
    if (RefuseWhileTexturePreviewed()) return;
    QString path = GetChoosers().OpenFileName(this, QStringLiteral("Load Layer"), kLayerFileFilter);
    if (path.isEmpty()) return;
    std::unique_ptr<BaseLayer> layer;
    LoadStatus status = LoadLayerFile(ToPath(path), layer);
    // The parser has said why.
    if (status == LoadStatus::Failed || status == LoadStatus::NoMemory) return;
    if (status != LoadStatus::Ok || !layer) {
        ReportError(QStringLiteral("%1 holds no layer.").arg(path).toStdString());
        return;
    }
    // A document is a texture; anything else under that name is not one.
    if (path.endsWith(QStringLiteral(".qln"), Qt::CaseInsensitive) &&
        layer->Keyword() != "TEXTURE") {
        ReportError(QStringLiteral("%1 is not a texture document.").arg(path).toStdString());
        return;
    }
    AddAtSelection(std::move(layer));
}

void DocumentView::SaveLayer() {
    BaseLayer* layer = SelectedLayer();
    if (!layer) return;
    QString initial = QString::fromStdString(layer->Name());
    QString path = GetChoosers().SaveFileName(this, QStringLiteral("Save Layer"), kLayerFileFilter,
                                              initial, QStringLiteral("qlr"));
    if (path.isEmpty()) return;
    // Shows its own message, with the reason, when the file cannot be written.
    SaveLayerFile(ToPath(path), *layer);
}

void DocumentView::ChangeType(int kindIndex) {
    BaseLayer* old = SelectedLayer();
    if (!old || RefuseWhilePreviewed(old)) {
        if (old) m_layerDlg->Load(old);
        return;
    }
    ApplyPendingEdits();
    std::unique_ptr<BaseLayer> layer = CreateLayerOfKind(kindIndex);
    if (!layer || (old->IsSameKind(*layer) && layer->IsSameKind(*old))) return;
    MultiBaseLayer* container = old->Parent();
    QTreeWidgetItem* item = m_tree->currentItem();
    QTreeWidgetItem* parentItem = item->parent();
    int index = container->IndexOf(old);
    layer->SetSize(old->Width(), old->Height());
    layer->Assign(*old);
    layer->NormalizeCombine();
    BaseLayer* fresh = layer.get();
    m_shownObject = nullptr;
    {
        QSignalBlocker block(m_tree);
        delete item;
    }
    if (!container->ReplaceAt(index, std::move(layer))) {
        ReportError("Unable to insert layer!");
        Rebuild();
        return;
    }
    m_tree->setCurrentItem(m_tree->InsertLayer(parentItem, index, fresh));
    Changed();
}

void DocumentView::ToggleXMirror() {
    m_xMirror = !m_xMirror;
    emit CommandStateChanged();
}

void DocumentView::ToggleYMirror() {
    m_yMirror = !m_yMirror;
    emit CommandStateChanged();
}

}  // namespace quillon
