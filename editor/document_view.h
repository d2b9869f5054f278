#pragma once

#include <QPointer>
#include <QWidget>

#include "editor/preview_window.h"

class QGroupBox;
class QMenu;
class QPushButton;
class QTreeWidgetItem;

namespace quillon {

class BaseLayer;
class Document;
class LayerTree;
class MultiBaseLayer;
class TextureLayerDlg;
class TexturePropDlg;

// The window of one document: the layer tree beside the properties of the
// selected item, and Synthesize, Apply and Reset.
class DocumentView : public QWidget {
    Q_OBJECT
  public:
    explicit DocumentView(Document* document, QWidget* parent = nullptr);
    ~DocumentView() override;

    Document* GetDocument() const { return m_document; }
    LayerTree* Tree() const { return m_tree; }
    TexturePropDlg* TextureDialog() const { return m_textureDlg; }
    TextureLayerDlg* LayerDialog() const { return m_layerDlg; }
    QPushButton* ApplyButton() const { return m_apply; }
    QPushButton* ResetButton() const { return m_reset; }
    QPushButton* SynthesizeButton() const { return m_synthesize; }
    QGroupBox* PropertiesBox() const { return m_properties; }
    QMenu* ContextMenu() const { return m_menu; }

    // The object of the selected item (the texture for the root), or null.
    BaseLayer* SelectedObject() const;
    // The selected layer, null for the root or no selection.
    BaseLayer* SelectedLayer() const;

    bool HasOpenPreview() const;
    PreviewWindow* OpenPreview() const;
    // Stops the preview as its Cancel would (the worker is joined).
    void CancelPreview();
    // Makes a window that another command opened (Generate Desktop) the
    // view's open preview until it closes; object is what it renders of the
    // document, or null when it renders a copy.
    void AdoptPreview(PreviewWindow* window, BaseLayer* object);
    bool XMirror() const { return m_xMirror; }
    bool YMirror() const { return m_yMirror; }

    // The commands' availability.
    bool CanCutOrCopy() const { return SelectedLayer() != nullptr; }
    bool CanPaste() const;

    // Writes pending edits into the shown object (selection-apply). False
    // when there were edits and they could not be applied (they are dropped).
    bool ApplyPendingEdits();
    // Rebuilds the tree after another view of the document changed it.
    void Rebuild();

  public slots:
    void Synthesize();
    void Apply();
    void Reset();
    void ChangesPending();
    void InsertLayer();
    void CutLayer();
    void CopyLayer();
    void PasteLayer();
    void LoadLayer();
    void SaveLayer();
    // Changes the selected layer into a layer of the kind at kindIndex.
    void ChangeType(int kindIndex);
    void ToggleXMirror();
    void ToggleYMirror();
    void AdvancedModeToggled();

  signals:
    // Something that command availability depends on changed.
    void CommandStateChanged();
    // The document's layers or names changed (other views rebuild).
    void StructureChanged(DocumentView* source);

  private:
    struct Position {
        MultiBaseLayer* container = nullptr;
        int index = 0;
        QTreeWidgetItem* parentItem = nullptr;
    };

    void ShowProperties(QTreeWidgetItem* item);
    bool ApplyTo(BaseLayer* object);
    void SetButtonsEnabled(bool enabled);
    void ClearUnapplied();
    void OnLabelEdited(QTreeWidgetItem* item, const QString& text, bool cancelled);
    // Shows the refusal for an object being previewed; false when it is free.
    bool RefuseWhilePreviewed(const BaseLayer* object);
    bool RefuseWhileTexturePreviewed();
    Position SelectedPosition() const;
    void AddAtSelection(std::unique_ptr<BaseLayer> layer);
    void StartPreview(BaseLayer* object);
    void Changed();

    Document* m_document;
    LayerTree* m_tree;
    QGroupBox* m_properties;
    TexturePropDlg* m_textureDlg;
    TextureLayerDlg* m_layerDlg;
    QPushButton* m_synthesize;
    QPushButton* m_apply;
    QPushButton* m_reset;
    QMenu* m_menu;
    BaseLayer* m_shownObject = nullptr;
    QPointer<PreviewWindow> m_preview;
    bool m_xMirror = false;
    bool m_yMirror = false;
};

}  // namespace quillon
