#include "editor/pages/morphogen_page.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

#include "engine/reaction_diffusion_layer.h"

namespace quillon {

MorphogenPage::MorphogenPage(QWidget* parent) : QuillonPropertyPage(parent) {
    auto* form = new QFormLayout(this);
    const char* labels[] = {"X-Axis Diffusion Rate:", "Y-Axis Diffusion Rate:", "Dissipation Rate:",
                            "Angle of Rotation:"};
    for (int k = 0; k < 4; ++k) {
        auto* edit = new QLineEdit(this);
        form->addRow(tr(labels[k]), edit);
        m_fields[k] = std::make_unique<RandomField>(edit, labels[k]);
        connect(edit, &QLineEdit::textEdited, this, &MorphogenPage::NotifyChanged);
    }
    m_fields[3]->Edit()->setToolTip(tr("Radians"));
}

void MorphogenPage::Load(const PageObject& object) {
    QuillonPropertyPage::Load(object);
    auto* layer = dynamic_cast<ReactionDiffusionLayer*>(object.layer);
    if (!layer) return;
    const ChemicalParameters& c = object.part == 0 ? layer->ChemicalA() : layer->ChemicalB();
    m_fields[0]->Load(c.xRate);
    m_fields[1]->Load(c.yRate);
    m_fields[2]->Load(c.dissipation);
    m_fields[3]->Load(c.angle);
}

bool MorphogenPage::Validate() {
    for (const auto& field : m_fields) {
        if (!field->Validate()) return false;
    }
    return true;
}

void MorphogenPage::Apply() {
    auto* layer = dynamic_cast<ReactionDiffusionLayer*>(m_object.layer);
    if (!layer || !Validate()) return;
    const ChemicalParameters c{*m_fields[0]->Value(), *m_fields[1]->Value(), *m_fields[2]->Value(),
                               *m_fields[3]->Value()};
    if (m_object.part == 0) {
        layer->SetChemicalA(c);
    } else {
        layer->SetChemicalB(c);
    }
}

}  // namespace quillon
