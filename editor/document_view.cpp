#include "editor/document_view.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QStackedLayout>
#include <QVBoxLayout>

#include "editor/app_services.h"
#include "editor/document.h"
#include "editor/layer_tree.h"
#include "editor/pages/texture_layer_dlg.h"
#include "editor/pages/texture_prop_dlg.h"
#include "editor/preview_window.h"
#include "editor/quillon_app.h"
#include "engine/error_reporter.h"

namespace quillon {

namespace {

const char* const kTextureBusy = "Unable to access texture being previewed!";
const char* const kLayerBusy = "Unable to access layer being previewed!";

}  // namespace

DocumentView::DocumentView(Document* document, QWidget* parent)
    : QWidget(parent), m_document(document) {
    m_tree = new LayerTree(this);
    auto* label = new QLabel(QStringLiteral("&Layers:"), this);
    label->setBuddy(m_tree);
    m_synthesize = new QPushButton(QStringLiteral("&Synthesize"), this);
    m_synthesize->setToolTip(QStringLiteral("Synthesize the selected texture or layer (F5)"));
    m_apply = new QPushButton(QStringLiteral("&Apply"), this);
    m_reset = new QPushButton(QStringLiteral("&Reset"), this);
    m_tree->setWhatsThis(QStringLiteral(
        "The texture and its layers. Select an item to edit its properties; right-click "
        "or press the menu key for the layer commands."));
    m_synthesize->setWhatsThis(
        QStringLiteral("Synthesizes the selected texture or layer in a preview window (F5)."));
    m_apply->setWhatsThis(QStringLiteral("Writes the edited properties into the selected item."));
    m_reset->setWhatsThis(
        QStringLiteral("Discards the edits and shows the item's properties again."));
    auto* f5 = new QShortcut(QKeySequence(Qt::Key_F5), this);
    f5->setContext(Qt::WidgetWithChildrenShortcut);
    connect(f5, &QShortcut::activated, this, &DocumentView::Synthesize);

    m_properties = new QGroupBox(QStringLiteral("Properties"), this);
    m_textureDlg = new TexturePropDlg(m_properties);
    m_layerDlg = new TextureLayerDlg(m_properties);
    auto* stack = new QVBoxLayout(m_properties);
    stack->addWidget(m_textureDlg);
    stack->addWidget(m_layerDlg);
    stack->addStretch(1);
    m_textureDlg->hide();
    m_layerDlg->hide();

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_synthesize);
    buttons->addWidget(m_apply);
    buttons->addWidget(m_reset);
    auto* left = new QVBoxLayout;
    left->addWidget(label);
    left->addWidget(m_tree, 1);
    left->addLayout(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 2);
    layout->addWidget(m_properties, 3);

    m_menu = new QMenu(this);
    auto addItem = [this](const QString& text, auto slot) {
        QAction* action = m_menu->addAction(text);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    addItem(QStringLiteral("Insert"), &DocumentView::InsertLayer);
    addItem(QStringLiteral("Load..."), &DocumentView::LoadLayer);
    QAction* save = addItem(QStringLiteral("Save..."), &DocumentView::SaveLayer);
    QAction* cut = addItem(QStringLiteral("Cut"), &DocumentView::CutLayer);
    QAction* copy = addItem(QStringLiteral("Copy"), &DocumentView::CopyLayer);
    QAction* paste = addItem(QStringLiteral("Paste"), &DocumentView::PasteLayer);
    QAction* preview = addItem(QStringLiteral("Preview..."), &DocumentView::Synthesize);
    connect(m_menu, &QMenu::aboutToShow, this, [=, this] {
        bool layer = CanCutOrCopy();
        save->setEnabled(layer);
        cut->setEnabled(layer);
        copy->setEnabled(layer);
        paste->setEnabled(CanPaste());
        preview->setEnabled(!HasOpenPreview());
    });
    m_tree->SetContextMenu(m_menu);

    connect(m_tree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) {
                ApplyPendingEdits();
                ShowProperties(current);
                emit CommandStateChanged();
            });
    connect(m_tree, &LayerTree::LabelEditEnded, this, &DocumentView::OnLabelEdited);
    connect(m_synthesize, &QPushButton::clicked, this, &DocumentView::Synthesize);
    connect(m_apply, &QPushButton::clicked, this, &DocumentView::Apply);
    connect(m_reset, &QPushButton::clicked, this, &DocumentView::Reset);
    connect(m_textureDlg, &TexturePropDlg::ChangesPending, this, &DocumentView::ChangesPending);
    connect(m_layerDlg, &TextureLayerDlg::ChangesPending, this, &DocumentView::ChangesPending);
    connect(m_layerDlg, &TextureLayerDlg::ChangeKindRequested, this, &DocumentView::ChangeType);
    auto isBeingPreviewed = [this](const BaseLayer* layer) {
        return m_document->IsBeingPreviewed(layer);
    };
    m_layerDlg->SetPreviewQuery(isBeingPreviewed);
    m_textureDlg->SetPreviewQuery(isBeingPreviewed);
    // Changes the dialogs make at once (combine function, screen-saver bits).
    connect(m_layerDlg, &TextureLayerDlg::LayerModified, this,
            [this] { m_document->SetModified(); });
    connect(m_textureDlg, &TexturePropDlg::TextureModified, this,
            [this] { m_document->SetModified(); });
    m_document->SetPreviewSource(this, [this]() -> const BaseLayer* {
        return m_preview && m_preview->IsRendering() ? m_preview->RenderedLayer() : nullptr;
    });

    SetButtonsEnabled(false);
    Rebuild();
    // The document window gives the keyboard to the tree when it is activated.
    setFocusProxy(m_tree);
}

DocumentView::~DocumentView() {
    CancelPreview();
    m_document->SetPreviewSource(this, nullptr);
}

void DocumentView::Rebuild() {
    const BaseLayer* selected = SelectedObject();
    m_shownObject = nullptr;
    QSignalBlocker block(m_tree);
    m_tree->clear();
    QTreeWidgetItem* root = m_tree->InsertLayer(nullptr, 0, &m_document->Texture());
    root->setExpanded(true);
    QTreeWidgetItem* item = selected ? m_tree->FindItem(selected) : nullptr;
    m_tree->setCurrentItem(item ? item : root);
    block.unblock();
    ClearUnapplied();
    ShowProperties(m_tree->currentItem());
    emit CommandStateChanged();
}

BaseLayer* DocumentView::SelectedObject() const {
    return LayerTree::ObjectOf(m_tree->currentItem());
}

BaseLayer* DocumentView::SelectedLayer() const {
    BaseLayer* object = SelectedObject();
    return object == &m_document->Texture() ? nullptr : object;
}

bool DocumentView::CanPaste() const {
    return QuillonApp::ClipboardLayer() != nullptr;
}

bool DocumentView::HasOpenPreview() const {
    return !m_preview.isNull();
}

PreviewWindow* DocumentView::OpenPreview() const {
    return m_preview.data();
}

void DocumentView::CancelPreview() {
    if (m_preview) m_preview->Cancel();
}

void DocumentView::SetButtonsEnabled(bool enabled) {
    m_apply->setEnabled(enabled);
    m_reset->setEnabled(enabled);
}

void DocumentView::ClearUnapplied() {
    m_document->SetUnappliedChanges(false);
    SetButtonsEnabled(false);
}

void DocumentView::ChangesPending() {
    m_document->SetUnappliedChanges(true);
    SetButtonsEnabled(true);
}

void DocumentView::ShowProperties(QTreeWidgetItem* item) {
    BaseLayer* object = LayerTree::ObjectOf(item);
    m_shownObject = object;
    if (!object) {
        m_properties->hide();
        m_textureDlg->hide();
        m_layerDlg->hide();
        return;
    }
    m_properties->show();
    if (object == &m_document->Texture()) {
        m_properties->setTitle(QStringLiteral("Texture Properties"));
        m_layerDlg->hide();
        m_textureDlg->Load(&m_document->Texture());
        m_textureDlg->show();
    } else {
        m_properties->setTitle(QStringLiteral("Layer Properties"));
        m_textureDlg->hide();
        m_layerDlg->Load(object);
        m_layerDlg->show();
    }
}

bool DocumentView::RefuseWhileTexturePreviewed() {
    if (!m_document->IsTextureBeingPreviewed()) return false;
    ReportError(kTextureBusy);
    return true;
}

bool DocumentView::RefuseWhilePreviewed(const BaseLayer* object) {
    if (RefuseWhileTexturePreviewed()) return true;
    if (!m_document->IsBeingPreviewed(object)) return false;
    ReportError(object == &m_document->Texture() ? kTextureBusy : kLayerBusy);
    return true;
}

bool DocumentView::ApplyTo(BaseLayer* object) {
    if (!object) return false;
    if (RefuseWhileTexturePreviewed()) return false;
    if (object == &m_document->Texture()) {
        // Resizing the texture resizes every layer: none may be rendering.
        if (RefuseWhilePreviewed(object)) return false;
        if (!m_textureDlg->Validate()) return false;
        m_textureDlg->Store();
    } else {
        if (!m_layerDlg->Validate()) return false;
        if (m_document->IsBeingPreviewed(object)) {
            ReportError(kLayerBusy);
            m_layerDlg->Load(object);
            return false;
        }
        m_layerDlg->Store();
    }
    m_document->SetModified();
    return true;
}

bool DocumentView::ApplyPendingEdits() {
    if (!m_document->HasUnappliedChanges()) return true;
    ClearUnapplied();
    return ApplyTo(m_shownObject);
}

void DocumentView::Apply() {
    if (!ApplyTo(m_shownObject)) return;
    ClearUnapplied();
    emit StructureChanged(this);
}

void DocumentView::Reset() {
    ShowProperties(m_tree->currentItem());
    ClearUnapplied();
}

void DocumentView::AdvancedModeToggled() {
    Reset();
}

void DocumentView::OnLabelEdited(QTreeWidgetItem* item, const QString& text, bool cancelled) {
    BaseLayer* object = LayerTree::ObjectOf(item);
    if (!object) return;
    if (RefuseWhilePreviewed(object)) {
        item->setText(0, QString::fromStdString(object->Name()));
        return;
    }
    if (!cancelled) {
        object->SetName(text.toStdString());
        // The name as stored: quotes and overlong names are cut to what a file holds.
        item->setText(0, QString::fromStdString(object->Name()));
        if (object == &m_document->Texture()) m_textureDlg->Load(&m_document->Texture());
    }
    m_document->SetModified();
    if (!cancelled) emit StructureChanged(this);
}

void DocumentView::Synthesize() {
    if (HasOpenPreview()) return;
    ApplyPendingEdits();
    BaseLayer* object = SelectedObject();
    if (!object) return;
    StartPreview(object);
}

void DocumentView::StartPreview(BaseLayer* object) {
    auto* window = new PreviewWindow(this, m_xMirror, m_yMirror);
    const TextureMap& texture = m_document->Texture();
    if (!window->Create(texture.Width(), texture.Height(), PreviewMode::kPreview, 24)) {
        delete window;
        return;
    }
    m_preview = window;
    m_synthesize->setEnabled(false);
    connect(window, &PreviewWindow::PreviewClosed, this, [this] {
        m_preview = nullptr;
        m_synthesize->setEnabled(true);
        emit CommandStateChanged();
    });
    window->PlaceForImage();
    window->StartSynthesis(object);
    emit CommandStateChanged();
}

void DocumentView::AdoptPreview(PreviewWindow* window, BaseLayer*) {
    // What it renders is asked of the window itself (a copy is never the document's).
    m_preview = window;
    m_synthesize->setEnabled(false);
    connect(window, &PreviewWindow::PreviewClosed, this, [this] {
        m_preview = nullptr;
        m_synthesize->setEnabled(true);
        emit CommandStateChanged();
    });
    emit CommandStateChanged();
}

}  // namespace quillon
