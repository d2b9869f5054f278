#pragma once

#include "editor/pages/property_page.h"

class QGroupBox;
class QRadioButton;

namespace quillon {

// "Properties" of a mask layer: whether the mask is made grey first.
// The choice is an advanced setting.
class MaskPropPage : public QuillonPropertyPage {
    Q_OBJECT
  public:
    explicit MaskPropPage(QWidget* parent = nullptr);
    void Load(const PageObject& object) override;
    void Apply() override;

    QRadioButton* ColorButton() const { return m_color; }
    QRadioButton* GreyButton() const { return m_grey; }

  private:
    QGroupBox* m_group;
    QRadioButton* m_color;
    QRadioButton* m_grey;
};

}  // namespace quillon
