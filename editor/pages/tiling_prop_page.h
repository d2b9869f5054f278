#pragma once

#include <memory>

#include "editor/pages/page_fields.h"
#include "editor/pages/property_page.h"
#include "engine/random.h"

class QCheckBox;
class QLabel;
class QRadioButton;

namespace quillon {

// "Properties" of a tiling layer: regular bricks or irregular rocks. The
// two texts and the check box are relabelled with the type; each type
// keeps its own pair of edits (one pair shown), so switching back and
// forth loses nothing.
class TilingPropPage : public QuillonPropertyPage {
    Q_OBJECT
  public:
    explicit TilingPropPage(QWidget* parent = nullptr);
    void Load(const PageObject& object) override;
    bool Validate() override;
    void Apply() override;

    QRadioButton* RegularButton() const { return m_regular; }
    QRadioButton* IrregularButton() const { return m_irregular; }
    QLabel* FirstLabel() const { return m_firstLabel; }
    QLabel* SecondLabel() const { return m_secondLabel; }
    // The shown pair: bricks across and down, or rocks and growth.
    QLineEdit* FirstEdit() const;
    QLineEdit* SecondEdit() const;
    QCheckBox* PlacementBox() const { return m_placement; }
    QLineEdit* OffsetEdit() const { return m_offset->Edit(); }

  private:
    void ShowType();

    QRadioButton* m_regular;
    QRadioButton* m_irregular;
    QLabel* m_firstLabel;
    QLabel* m_secondLabel;
    QCheckBox* m_placement;
    std::unique_ptr<RandomField> m_bricksWide;
    std::unique_ptr<RandomField> m_bricksHigh;
    std::unique_ptr<RandomField> m_rocks;
    std::unique_ptr<RandomField> m_growth;
    std::unique_ptr<RandomField> m_offset;
};

}  // namespace quillon
