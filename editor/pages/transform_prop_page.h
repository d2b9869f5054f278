#pragma once

#include <array>
#include <memory>

#include "editor/pages/page_fields.h"
#include "editor/pages/property_page.h"

namespace quillon {

// "Transformations" of a noise function layer: translate, rotate (degrees)
// and scale, x, y and z each.
class TransformPropPage : public QuillonPropertyPage {
    Q_OBJECT
  public:
    explicit TransformPropPage(QWidget* parent = nullptr);
    void Load(const PageObject& object) override;
    bool Validate() override;
    void Apply() override;

    // Group 0 translate, 1 rotate, 2 scale; axis 0..2.
    QLineEdit* Edit(int group, int axis) const { return m_fields[group * 3 + axis]->Edit(); }

  private:
    std::array<std::unique_ptr<RandomField>, 9> m_fields;
};

}  // namespace quillon
