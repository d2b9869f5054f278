#pragma once

#include <memory>

#include "editor/pages/page_fields.h"
#include "editor/pages/property_page.h"

class QComboBox;

namespace quillon {

class BaseColorFunctor;
class BaseLayer;

// "Properties" of a reaction-diffusion layer: iterations, time step and
// the scaling function.
class ReactDiffusionPropPage : public QuillonPropertyPage {
    Q_OBJECT
  public:
    static constexpr int kMinIterations = 1;
    static constexpr int kMaxIterations = 16384;

    explicit ReactDiffusionPropPage(QWidget* parent = nullptr);
    void Load(const PageObject& object) override;
    bool Validate() override;
    void Apply() override;

    QLineEdit* IterationsEdit() const { return m_iterations->Edit(); }
    QLineEdit* TimeStepEdit() const { return m_timeStep->Edit(); }
    QComboBox* ScalingList() const { return m_scaling; }

  private:
    std::unique_ptr<IntField> m_iterations;
    std::unique_ptr<RealField> m_timeStep;
    QComboBox* m_scaling;
};

// The "Scaling Function:" list shared with the noise page: items
// "Normalize", "Modulus", "Trigonometric".
QComboBox* NewScalingFunctionList(QWidget* parent);
int ScalingFunctionItem(const BaseColorFunctor& functor);
// Gives the layer a new functor only when the item names another kind.
void ApplyScalingFunctionItem(BaseLayer& layer, int item);

}  // namespace quillon
