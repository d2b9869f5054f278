#include "editor/pages/transform_prop_page.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "engine/noise_function_layer.h"

namespace quillon {

TransformPropPage::TransformPropPage(QWidget* parent) : QuillonPropertyPage(parent) {
    auto* layout = new QVBoxLayout(this);
    const char* groups[] = {"Translate:", "Rotate:", "Scale:"};
    const char* axes[] = {"x:", "y:", "z:"};
    for (int g = 0; g < 3; ++g) {
        auto* box = new QGroupBox(tr(groups[g]), this);
        auto* grid = new QGridLayout(box);
        for (int a = 0; a < 3; ++a) {
            auto* edit = new QLineEdit(box);
            auto* label = new QLabel(tr(axes[a]), box);
            label->setBuddy(edit);
            grid->addWidget(label, 0, 2 * a);
            grid->addWidget(edit, 0, 2 * a + 1);
            m_fields[g * 3 + a] = std::make_unique<RandomField>(
                edit, QString(groups[g]).chopped(1) + " " + axes[a], 128);
            connect(edit, &QLineEdit::textEdited, this, &TransformPropPage::NotifyChanged);
        }
        layout->addWidget(box);
    }
    layout->addStretch();
}

void TransformPropPage::Load(const PageObject& object) {
    QuillonPropertyPage::Load(object);
    auto* layer = dynamic_cast<NoiseFunctionLayer*>(object.layer);
    if (!layer) return;
    const NoiseFunctionLayer::Triple* triples[] = {&layer->Translation(), &layer->Rotation(),
                                                   &layer->Scale()};
    for (int g = 0; g < 3; ++g) {
        m_fields[g * 3 + 0]->Load(triples[g]->x);
        m_fields[g * 3 + 1]->Load(triples[g]->y);
        m_fields[g * 3 + 2]->Load(triples[g]->z);
    }
}

bool TransformPropPage::Validate() {
    for (const auto& field : m_fields) {
        if (!field->Validate()) return false;
    }
    return true;
}

void TransformPropPage::Apply() {
    auto* layer = dynamic_cast<NoiseFunctionLayer*>(m_object.layer);
    if (!layer || !Validate()) return;
    NoiseFunctionLayer::Triple triples[3];
    for (int g = 0; g < 3; ++g) {
        triples[g] = {*m_fields[g * 3]->Value(), *m_fields[g * 3 + 1]->Value(),
                      *m_fields[g * 3 + 2]->Value()};
    }
    layer->SetTranslation(triples[0]);
    layer->SetRotation(triples[1]);
    layer->SetScale(triples[2]);
}

}  // namespace quillon
