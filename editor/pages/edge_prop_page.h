#pragma once

#include <memory>

#include "editor/pages/page_fields.h"
#include "editor/pages/property_page.h"

class QLabel;
class QRadioButton;

namespace quillon {

// "Edge" of a tiling layer: the bevel filter's shape and size and the
// mortar threshold.
class EdgePropPage : public QuillonPropertyPage {
    Q_OBJECT
  public:
    explicit EdgePropPage(QWidget* parent = nullptr);
    void Load(const PageObject& object) override;
    bool Validate() override;
    void Apply() override;

    QRadioButton* RoundButton() const { return m_round; }
    QRadioButton* SquareButton() const { return m_square; }
    QLabel* RadiusLabel() const { return m_radiusLabel; }
    QLineEdit* RadiusEdit() const { return m_radius->Edit(); }
    QLineEdit* ThresholdEdit() const { return m_threshold->Edit(); }
    QLineEdit* ProfileEdit() const { return m_profile; }

  private:
    void UpdateLabels();

    QRadioButton* m_round;
    QRadioButton* m_square;
    QLabel* m_radiusLabel;
    std::unique_ptr<RandomField> m_radius;
    std::unique_ptr<RandomField> m_threshold;
    // The bevel's height against the distance into the joint: "x y; x y; ...".
    QLineEdit* m_profile;
    QString m_loadedProfile;
};

}  // namespace quillon
