#pragma once

#include <QColor>
#include <array>
#include <memory>
#include <optional>

#include "editor/pages/page_fields.h"
#include "editor/pages/property_page.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace quillon {

// "Light %d" of a bump-map or tiling layer: one light's switch, position,
// kind and colour, and "Remove".
class LightPropPage : public QuillonPropertyPage {
    Q_OBJECT
  public:
    explicit LightPropPage(QWidget* parent = nullptr);
    void Load(const PageObject& object) override;
    bool Validate() override;
    void Apply() override;

    QCheckBox* OnBox() const { return m_on; }
    QLineEdit* PositionEdit(int axis) const { return m_position[axis]->Edit(); }
    QRadioButton* InfiniteButton() const { return m_infinite; }
    QRadioButton* FiniteButton() const { return m_finite; }
    QPushButton* SelectColorButton() const { return m_selectColor; }
    QPushButton* RemoveButton() const { return m_remove; }

  private:
    void SelectColor();
    void Remove();
    void ShowSwatch();

    QCheckBox* m_on;
    std::array<std::unique_ptr<RandomField>, 3> m_position;
    QRadioButton* m_infinite;
    QRadioButton* m_finite;
    QLabel* m_swatch;
    QPushButton* m_selectColor;
    QPushButton* m_remove;
    // A colour chosen since Load (the light keeps its exact floats otherwise).
    std::optional<QColor> m_chosen;
};

}  // namespace quillon
