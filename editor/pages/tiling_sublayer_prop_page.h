#pragma once

#include <memory>

#include "editor/pages/page_fields.h"
#include "editor/pages/property_page.h"

class QCheckBox;

namespace quillon {

// "Tiling" of any layer inside a tiling layer: its weight as a stone, the
// weight one use costs, and whether it fills the joints instead.
class TilingSublayerPropPage : public QuillonPropertyPage {
    Q_OBJECT
  public:
    explicit TilingSublayerPropPage(QWidget* parent = nullptr);
    void Load(const PageObject& object) override;
    bool Validate() override;
    void Apply() override;

    QLineEdit* ProbabilityEdit() const { return m_probability->Edit(); }
    QLineEdit* ReductionEdit() const { return m_reduction->Edit(); }
    QCheckBox* MortarBox() const { return m_mortar; }

  private:
    std::unique_ptr<RandomField> m_probability;
    std::unique_ptr<RandomField> m_reduction;
    QCheckBox* m_mortar;
};

}  // namespace quillon
