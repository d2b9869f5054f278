#include "editor/pages/edge_prop_page.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "engine/tiling_layer.h"

namespace quillon {

EdgePropPage::EdgePropPage(QWidget* parent) : QuillonPropertyPage(parent) {
    auto* grid = new QGridLayout(this);
    auto* filter = new QGroupBox(tr("Filter:"), this);
    auto* buttons = new QHBoxLayout(filter);
    m_round = new QRadioButton(tr("Round"), filter);
    m_square = new QRadioButton(tr("Square"), filter);
    buttons->addWidget(m_round);
    buttons->addWidget(m_square);
    grid->addWidget(filter, 0, 0, 1, 2);
    auto* radius = new QLineEdit(this);
    auto* threshold = new QLineEdit(this);
    m_radiusLabel = new QLabel(tr("Radius:"), this);
    m_radiusLabel->setBuddy(radius);
    auto* thresholdLabel = new QLabel(tr("Mortar Threshold:"), this);
    thresholdLabel->setBuddy(threshold);
    grid->addWidget(m_radiusLabel, 1, 0);
    grid->addWidget(radius, 1, 1);
    grid->addWidget(thresholdLabel, 2, 0);
    grid->addWidget(threshold, 2, 1);
    grid->setRowStretch(3, 1);
    m_radius = std::make_unique<RandomField>(radius, "Radius:");
    m_threshold = std::make_unique<RandomField>(threshold, "Mortar Threshold:");
    for (QRadioButton* button : {m_round, m_square}) {
        connect(button, &QRadioButton::clicked, this, [this] {
            UpdateLabels();
            NotifyChanged();
        });
    }
    connect(radius, &QLineEdit::textEdited, this, &EdgePropPage::NotifyChanged);
    connect(threshold, &QLineEdit::textEdited, this, &EdgePropPage::NotifyChanged);
}

void EdgePropPage::UpdateLabels() {
    m_radiusLabel->setText(m_round->isChecked() ? tr("Radius:") : tr("Size:"));
}

void EdgePropPage::Load(const PageObject& object) {
    QuillonPropertyPage::Load(object);
    auto* tiling = dynamic_cast<TilingLayer*>(object.layer);
    if (!tiling) return;
    (tiling->RoundedEdges() ? m_round : m_square)->setChecked(true);
    m_radius->Load(tiling->EdgeRadius());
    m_threshold->Load(tiling->Threshold());
    UpdateLabels();
}

bool EdgePropPage::Validate() {
    return m_radius->Validate() && m_threshold->Validate();
}

void EdgePropPage::Apply() {
    auto* tiling = dynamic_cast<TilingLayer*>(m_object.layer);
    if (!tiling || !m_radius->Value() || !m_threshold->Value()) return;
    tiling->SetRoundedEdges(m_round->isChecked());
    tiling->SetEdgeRadius(*m_radius->Value());
    tiling->SetThreshold(*m_threshold->Value());
}

}  // namespace quillon
