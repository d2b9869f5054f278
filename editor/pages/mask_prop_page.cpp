#include "editor/pages/mask_prop_page.h"

#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

#include "editor/app_services.h"
#include "engine/texture_map.h"

namespace quillon {

MaskPropPage::MaskPropPage(QWidget* parent) : QuillonPropertyPage(parent) {
    auto* layout = new QVBoxLayout(this);
    m_group = new QGroupBox(tr("Mask Type:"), this);
    auto* inner = new QVBoxLayout(m_group);
    m_color = new QRadioButton(tr("Color"), m_group);
    m_grey = new QRadioButton(tr("Grey Scale"), m_group);
    inner->addWidget(m_color);
    inner->addWidget(m_grey);
    layout->addWidget(m_group);
    layout->addStretch();
    connect(m_color, &QRadioButton::clicked, this, &MaskPropPage::NotifyChanged);
    connect(m_grey, &QRadioButton::clicked, this, &MaskPropPage::NotifyChanged);
}

void MaskPropPage::Load(const PageObject& object) {
    QuillonPropertyPage::Load(object);
    auto* mask = dynamic_cast<MaskLayer*>(object.layer);
    m_group->setEnabled(AdvancedMode());
    if (!mask) return;
    (mask->Greyify() ? m_grey : m_color)->setChecked(true);
}

void MaskPropPage::Apply() {
    if (auto* mask = dynamic_cast<MaskLayer*>(m_object.layer))
        mask->SetGreyify(m_grey->isChecked());
}

}  // namespace quillon
