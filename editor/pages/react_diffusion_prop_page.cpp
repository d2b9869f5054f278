#include "editor/pages/react_diffusion_prop_page.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>

#include "engine/reaction_diffusion_layer.h"

namespace quillon {

QComboBox* NewScalingFunctionList(QWidget* parent) {
    auto* list = new QComboBox(parent);
    list->addItems(
        {QObject::tr("Normalize"), QObject::tr("Modulus"), QObject::tr("Trigonometric")});
    return list;
}

int ScalingFunctionItem(const BaseColorFunctor& functor) {
    if (dynamic_cast<const ModulusColorFunctor*>(&functor)) return 1;
    if (dynamic_cast<const CosineColorFunctor*>(&functor)) return 2;
    return 0;
}

void ApplyScalingFunctionItem(BaseLayer& layer, int item) {
    if (item < 0 || item > 2 || item == ScalingFunctionItem(layer.ColorFunction())) return;
    if (item == 1) {
        layer.SetColorFunction(std::make_unique<ModulusColorFunctor>(1.0f));
    } else if (item == 2) {
        layer.SetColorFunction(std::make_unique<CosineColorFunctor>(2.0f, 0.0f));
    } else {
        layer.SetColorFunction(std::make_unique<ScaleColorFunctor>());
    }
}

ReactDiffusionPropPage::ReactDiffusionPropPage(QWidget* parent) : QuillonPropertyPage(parent) {
    auto* form = new QFormLayout(this);
    auto* iterations = new QLineEdit(this);
    auto* timeStep = new QLineEdit(this);
    m_scaling = NewScalingFunctionList(this);
    form->addRow(tr("Iterations:"), iterations);
    form->addRow(tr("Time Step:"), timeStep);
    form->addRow(tr("Scaling Function:"), m_scaling);
    m_iterations =
        std::make_unique<IntField>(iterations, "Iterations:", kMinIterations, kMaxIterations);
    m_timeStep = std::make_unique<RealField>(timeStep, "Time Step:", 0.0, 0.1);
    connect(iterations, &QLineEdit::textEdited, this, &ReactDiffusionPropPage::NotifyChanged);
    connect(timeStep, &QLineEdit::textEdited, this, &ReactDiffusionPropPage::NotifyChanged);
    connect(m_scaling, &QComboBox::activated, this, &ReactDiffusionPropPage::NotifyChanged);
}

void ReactDiffusionPropPage::Load(const PageObject& object) {
    QuillonPropertyPage::Load(object);
    auto* layer = dynamic_cast<ReactionDiffusionLayer*>(object.layer);
    if (!layer) return;
    m_iterations->Load(layer->Iterations());
    m_timeStep->Load(layer->TimeStep());
    m_scaling->setCurrentIndex(ScalingFunctionItem(layer->ColorFunction()));
}

bool ReactDiffusionPropPage::Validate() {
    return m_iterations->Validate() && m_timeStep->Validate();
}

void ReactDiffusionPropPage::Apply() {
    auto* layer = dynamic_cast<ReactionDiffusionLayer*>(m_object.layer);
    if (!layer || !m_iterations->Value() || !m_timeStep->Value()) return;
    layer->SetIterations(*m_iterations->Value());
    layer->SetTimeStep(static_cast<float>(*m_timeStep->Value()));
    ApplyScalingFunctionItem(*layer, m_scaling->currentIndex());
}

}  // namespace quillon
