#include "editor/pages/tiling_prop_page.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "engine/tiling_layer.h"

namespace quillon {

TilingPropPage::TilingPropPage(QWidget* parent) : QuillonPropertyPage(parent) {
    auto* grid = new QGridLayout(this);
    auto* type = new QGroupBox(tr("Tiling Type:"), this);
    auto* buttons = new QHBoxLayout(type);
    m_regular = new QRadioButton(tr("Regular"), type);
    m_irregular = new QRadioButton(tr("Irregular"), type);
    buttons->addWidget(m_regular);
    buttons->addWidget(m_irregular);
    grid->addWidget(type, 0, 0, 1, 2);

    m_firstLabel = new QLabel(tr("Bricks Across:"), this);
    m_secondLabel = new QLabel(tr("Bricks Down:"), this);
    auto* wide = new QLineEdit(this);
    auto* high = new QLineEdit(this);
    auto* rocks = new QLineEdit(this);
    auto* growth = new QLineEdit(this);
    auto* offset = new QLineEdit(this);
    grid->addWidget(m_firstLabel, 1, 0);
    grid->addWidget(wide, 1, 1);
    grid->addWidget(rocks, 1, 1);
    grid->addWidget(m_secondLabel, 2, 0);
    grid->addWidget(high, 2, 1);
    grid->addWidget(growth, 2, 1);
    m_placement = new QCheckBox(tr("Random Lengths"), this);
    grid->addWidget(m_placement, 3, 1);
    auto* offsetLabel = new QLabel(tr("Brick Offset:"), this);
    offsetLabel->setBuddy(offset);
    grid->addWidget(offsetLabel, 4, 0);
    grid->addWidget(offset, 4, 1);
    grid->setRowStretch(5, 1);

    m_bricksWide = std::make_unique<RandomField>(wide, "Bricks Across:");
    m_bricksHigh = std::make_unique<RandomField>(high, "Bricks Down:");
    m_rocks = std::make_unique<RandomField>(rocks, "Rocks:");
    m_growth = std::make_unique<RandomField>(growth, "Growth:");
    m_offset = std::make_unique<RandomField>(offset, "Brick Offset:");
    for (QLineEdit* edit : {wide, high, rocks, growth, offset}) {
        connect(edit, &QLineEdit::textEdited, this, &TilingPropPage::NotifyChanged);
    }
    for (QRadioButton* button : {m_regular, m_irregular}) {
        connect(button, &QRadioButton::clicked, this, [this] {
            ShowType();
            NotifyChanged();
        });
    }
    connect(m_placement, &QCheckBox::clicked, this, &TilingPropPage::NotifyChanged);
    m_regular->setChecked(true);
    ShowType();
}

QLineEdit* TilingPropPage::FirstEdit() const {
    return (m_regular->isChecked() ? m_bricksWide : m_rocks)->Edit();
}

QLineEdit* TilingPropPage::SecondEdit() const {
    return (m_regular->isChecked() ? m_bricksHigh : m_growth)->Edit();
}

void TilingPropPage::ShowType() {
    const bool regular = m_regular->isChecked();
    m_firstLabel->setText(regular ? tr("Bricks Across:") : tr("Rocks:"));
    m_secondLabel->setText(regular ? tr("Bricks Down:") : tr("Growth:"));
    m_placement->setText(regular ? tr("Random Lengths") : tr("Random Placement"));
    m_bricksWide->Edit()->setVisible(regular);
    m_bricksHigh->Edit()->setVisible(regular);
    m_rocks->Edit()->setVisible(!regular);
    m_growth->Edit()->setVisible(!regular);
    m_firstLabel->setBuddy(FirstEdit());
    m_secondLabel->setBuddy(SecondEdit());
}

void TilingPropPage::Load(const PageObject& object) {
    QuillonPropertyPage::Load(object);
    auto* tiling = dynamic_cast<TilingLayer*>(object.layer);
    if (!tiling) return;
    (tiling->Regular() ? m_regular : m_irregular)->setChecked(true);
    m_bricksWide->Load(tiling->BricksWide());
    m_bricksHigh->Load(tiling->BricksHigh());
    m_rocks->Load(tiling->NumberOfRocks());
    m_growth->Load(tiling->Growth());
    m_offset->Load(tiling->Offset());
    m_placement->setChecked(tiling->RandomPlacement());
    ShowType();
}

bool TilingPropPage::Validate() {
    // Both pairs are kept, so both must hold values.
    return m_bricksWide->Validate() && m_bricksHigh->Validate() && m_rocks->Validate() &&
           m_growth->Validate() && m_offset->Validate();
}

void TilingPropPage::Apply() {
    auto* tiling = dynamic_cast<TilingLayer*>(m_object.layer);
    if (!tiling) return;
    for (const auto* field : {&m_bricksWide, &m_bricksHigh, &m_rocks, &m_growth, &m_offset}) {
        if (!(*field)->Value()) return;
    }
    tiling->SetRegular(m_regular->isChecked());
    tiling->SetBricksWide(*m_bricksWide->Value());
    tiling->SetBricksHigh(*m_bricksHigh->Value());
    tiling->SetNumberOfRocks(*m_rocks->Value());
    tiling->SetGrowth(*m_growth->Value());
    tiling->SetOffset(*m_offset->Value());
    tiling->SetRandomPlacement(m_placement->isChecked());
}

}  // namespace quillon
