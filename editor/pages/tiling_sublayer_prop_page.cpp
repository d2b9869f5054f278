#include "editor/pages/tiling_sublayer_prop_page.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLineEdit>

#include "engine/base_layer.h"

namespace quillon {

TilingSublayerPropPage::TilingSublayerPropPage(QWidget* parent) : QuillonPropertyPage(parent) {
    auto* form = new QFormLayout(this);
    auto* probability = new QLineEdit(this);
    auto* reduction = new QLineEdit(this);
    m_mortar = new QCheckBox(tr("Mortar"), this);
    form->addRow(tr("Probability:"), probability);
    form->addRow(QString(), m_mortar);
    form->addRow(tr("Reduction:"), reduction);
    m_probability = std::make_unique<RandomField>(probability, "Probability:");
    m_reduction = std::make_unique<RandomField>(reduction, "Reduction:");
    connect(probability, &QLineEdit::textEdited, this, &TilingSublayerPropPage::NotifyChanged);
    connect(reduction, &QLineEdit::textEdited, this, &TilingSublayerPropPage::NotifyChanged);
    connect(m_mortar, &QCheckBox::clicked, this, &TilingSublayerPropPage::NotifyChanged);
}

void TilingSublayerPropPage::Load(const PageObject& object) {
    QuillonPropertyPage::Load(object);
    if (!object.layer) return;
    m_probability->Load(object.layer->Probability());
    m_reduction->Load(object.layer->Reduction());
    m_mortar->setChecked(object.layer->IsMortar());
}

bool TilingSublayerPropPage::Validate() {
    return m_probability->Validate() && m_reduction->Validate();
}

void TilingSublayerPropPage::Apply() {
    BaseLayer* layer = m_object.layer;
    if (!layer || !m_probability->Value() || !m_reduction->Value()) return;
    layer->SetProbability(*m_probability->Value());
    layer->SetReduction(*m_reduction->Value());
    const int flags = layer->Flags() & ~kLayerMortar;
    layer->SetFlags(m_mortar->isChecked() ? flags | kLayerMortar : flags);
}

}  // namespace quillon
