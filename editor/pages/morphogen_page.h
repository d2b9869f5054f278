#pragma once

#include <array>
#include <memory>

#include "editor/pages/page_fields.h"
#include "editor/pages/property_page.h"

namespace quillon {

// "Chemical A" / "Chemical B" of a reaction-diffusion layer: one chemical's
// diffusion rates, dissipation and axis rotation.
class MorphogenPage : public QuillonPropertyPage {
    Q_OBJECT
  public:
    explicit MorphogenPage(QWidget* parent = nullptr);
    void Load(const PageObject& object) override;
    bool Validate() override;
    void Apply() override;

    // 0 x rate, 1 y rate, 2 dissipation, 3 angle.
    QLineEdit* Edit(int field) const { return m_fields[field]->Edit(); }

  private:
    std::array<std::unique_ptr<RandomField>, 4> m_fields;
};

}  // namespace quillon
