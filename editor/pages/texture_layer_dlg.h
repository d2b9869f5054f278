#pragma once

#include <QWidget>
#include <functional>

class QCheckBox;
class QComboBox;
class QPlainTextEdit;

namespace quillon {

class BaseLayer;

// The common properties of the selected layer: Load fills the controls,
// Validate checks them, Store writes them back.
class TextureLayerDlg : public QWidget {
    Q_OBJECT
  public:
    explicit TextureLayerDlg(QWidget* parent = nullptr);
    void Load(BaseLayer* layer);
    bool Validate();
    void Store();
    // The view answers whether an object is being previewed, for the immediate effects.
    void SetPreviewQuery(std::function<bool(const BaseLayer*)> isBeingPreviewed);

  signals:
    void ChangesPending();
    void ChangeKindRequested(int kindIndex);  // "Layer Type" list: the view runs change type

  private:
    BaseLayer* m_layer = nullptr;
    bool m_loading = false;
    std::function<bool(const BaseLayer*)> m_isBeingPreviewed;
    QComboBox* m_kind;
    QComboBox* m_combine;
    QPlainTextEdit* m_description;
    QCheckBox* m_enabled;
};

}  // namespace quillon
