#pragma once

#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "editor/pages/page_fields.h"
#include "editor/pages/property_page.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QScrollArea;
class QTabWidget;

namespace quillon {

class BaseLayer;

// The properties of a selected layer: its kind, combine function,
// description, switches and usage, and one tab per page of its kind
// (editor/pages/page_registry.h). Edits stay in the controls until the
// view applies them; the combine function and the kind act at once.
class TextureLayerDlg : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kMaxDescription = 1024;
    static constexpr int kMaxNumberText = 64;

    explicit TextureLayerDlg(QWidget* parent = nullptr);

    void Load(BaseLayer* layer);
    // Checks every control of the dialog and of every tab; false after
    // telling the user (nothing is stored then).
    bool Validate();
    // Writes the controls into the layer (after Validate).
    void Store();
    // The view answers whether an object is being previewed, for the immediate effects.
    void SetPreviewQuery(std::function<bool(const BaseLayer*)> isBeingPreviewed);

    BaseLayer* Layer() const { return m_layer; }
    int PageCount() const;
    QuillonPropertyPage* Page(int index) const;
    QTabWidget* Tabs() const { return m_tabs; }
    QComboBox* KindList() const { return m_kind; }
    QComboBox* CombineList() const { return m_combine; }
    QLabel* TransparencyLabel() const { return m_transparencyLabel; }
    QLineEdit* TransparencyEdit() const { return m_transparency->Edit(); }
    QPlainTextEdit* DescriptionEdit() const { return m_description; }
    QCheckBox* EnableBox() const { return m_enabled; }
    QLabel* UsageLabel() const { return m_usageLabel; }
    QLineEdit* UsageEdit() const { return m_usage->Edit(); }
    QLabel* ProbabilityLabel() const { return m_probabilityLabel; }
    QLineEdit* ProbabilityEdit() const { return m_probability->Edit(); }

  signals:
    // The change notification: some control holds an edit not yet applied.
    void ChangesPending();
    // "Layer Type" list: the view runs change type.
    void ChangeKindRequested(int kindIndex);
    // The layer itself was changed at once (combine function, lights,
    // picture, random colours): the document is modified.
    void LayerModified();

  private:
    void ClearTabs();
    void DiscardPage(QuillonPropertyPage* page);
    void AddTab(const QString& title, QuillonPropertyPage* page, const PageObject& object);
    void ConnectPage(QuillonPropertyPage* page);
    void RebuildLightTabs();
    void OnCombineChosen(int item);
    void OnKindChosen(int item);
    void SelectLayerKind();
    bool IsBeingPreviewed(const BaseLayer* layer) const;

    BaseLayer* m_layer = nullptr;
    std::function<bool(const BaseLayer*)> m_isBeingPreviewed;
    QComboBox* m_kind;
    QComboBox* m_combine;
    QLabel* m_transparencyLabel;
    std::unique_ptr<RandomField> m_transparency;
    QPlainTextEdit* m_description;
    QString m_loadedDescription;
    QCheckBox* m_enabled;
    QLabel* m_usageLabel;
    std::unique_ptr<RandomField> m_usage;
    QLabel* m_probabilityLabel;
    std::unique_ptr<RandomField> m_probability;
    QTabWidget* m_tabs;
    std::vector<QuillonPropertyPage*> m_pages;               // in tab order
    std::map<QuillonPropertyPage*, QScrollArea*> m_holders;  // each page's tab
};

}  // namespace quillon
