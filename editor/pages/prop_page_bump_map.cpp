#include "editor/pages/prop_page_bump_map.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

#include "engine/error_reporter.h"
#include "engine/tiling_layer.h"

namespace quillon {

PropPageBumpMap::PropPageBumpMap(QWidget* parent) : QuillonPropertyPage(parent) {
    auto* form = new QFormLayout(this);
    auto* height = new QLineEdit(this);
    m_grey = new QCheckBox(tr("Grey Scale"), this);
    m_tile = new QCheckBox(tr("Tile"), this);
    m_addLight = new QPushButton(tr("Add Light"), this);
    m_addLight->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    form->addRow(tr("Bump Height:"), height);
    form->addRow(QString(), m_grey);
    form->addRow(QString(), m_tile);
    form->addRow(QString(), m_addLight);
    m_height = std::make_unique<RandomField>(height, "Bump Height:");
    connect(height, &QLineEdit::textEdited, this, &PropPageBumpMap::NotifyChanged);
    connect(m_grey, &QCheckBox::clicked, this, &PropPageBumpMap::NotifyChanged);
    connect(m_tile, &QCheckBox::clicked, this, &PropPageBumpMap::NotifyChanged);
    connect(m_addLight, &QPushButton::clicked, this, &PropPageBumpMap::AddLight);
}

void PropPageBumpMap::Load(const PageObject& object) {
    QuillonPropertyPage::Load(object);
    auto* bump = dynamic_cast<BumpMapLayer*>(object.layer);
    if (!bump) return;
    m_height->Load(bump->BumpScale());
    m_grey->setChecked(bump->Greyify());
    m_tile->setChecked(bump->Tileable());
    // A tiling layer always wraps; its "Bump" tab has no "Tile".
    m_tile->setVisible(dynamic_cast<TilingLayer*>(bump) == nullptr);
}

bool PropPageBumpMap::Validate() {
    return m_height->Validate();
}

void PropPageBumpMap::Apply() {
    auto* bump = dynamic_cast<BumpMapLayer*>(m_object.layer);
    if (!bump || !m_height->Value()) return;
    bump->SetBumpScale(*m_height->Value());
    bump->SetGreyify(m_grey->isChecked());
    if (dynamic_cast<TilingLayer*>(bump) == nullptr) bump->SetTileable(m_tile->isChecked());
}

void PropPageBumpMap::AddLight() {
    auto* bump = dynamic_cast<BumpMapLayer*>(m_object.layer);
    if (!bump || RefuseWhilePreviewed()) return;
    if (bump->LightCount() >= BumpMapLayer::kMaxLights) {
        ReportError("Maximum number of lights is " + std::to_string(BumpMapLayer::kMaxLights));
        return;
    }
    if (!bump->AddLight(std::make_shared<BumpLightSrc>())) return;
    emit LightsChanged();
    emit LayerModified();
}

}  // namespace quillon
