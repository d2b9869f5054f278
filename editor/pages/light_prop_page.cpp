#include "editor/pages/light_prop_page.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>

#include "editor/pages/page_choosers.h"
#include "engine/bump_map_layer.h"
#include "engine/error_reporter.h"

namespace quillon {

namespace {

int ToByte(float component) {
    if (!(component > 0.0f)) return 0;
    return std::min(255, static_cast<int>(component * 255.0f));
}

}  // namespace

LightPropPage::LightPropPage(QWidget* parent) : QuillonPropertyPage(parent) {
    auto* grid = new QGridLayout(this);
    m_on = new QCheckBox(tr("Light On"), this);
    grid->addWidget(m_on, 0, 0, 1, 2);

    auto* location = new QGroupBox(tr("Location:"), this);
    auto* locationGrid = new QGridLayout(location);
    const char* axes[] = {"X:", "Y:", "Z:"};
    for (int a = 0; a < 3; ++a) {
        auto* edit = new QLineEdit(location);
        auto* label = new QLabel(tr(axes[a]), location);
        label->setBuddy(edit);
        locationGrid->addWidget(label, a, 0);
        locationGrid->addWidget(edit, a, 1);
        m_position[a] = std::make_unique<RandomField>(edit, axes[a]);
        connect(edit, &QLineEdit::textEdited, this, &LightPropPage::NotifyChanged);
    }
    grid->addWidget(location, 1, 0, 2, 1);

    auto* height = new QGroupBox(tr("Height:"), this);
    auto* heightLayout = new QVBoxLayout(height);
    m_infinite = new QRadioButton(tr("Infinite"), height);
    m_finite = new QRadioButton(tr("Finite"), height);
    heightLayout->addWidget(m_infinite);
    heightLayout->addWidget(m_finite);
    grid->addWidget(height, 1, 1);

    auto* colour = new QGroupBox(tr("Color:"), this);
    auto* colourLayout = new QHBoxLayout(colour);
    m_swatch = new QLabel(colour);
    m_swatch->setFixedSize(32, 16);
    m_selectColor = new QPushButton(tr("Select Color"), colour);
    colourLayout->addWidget(m_swatch);
    colourLayout->addWidget(m_selectColor);
    grid->addWidget(colour, 2, 1);

    m_remove = new QPushButton(tr("Remove"), this);
    m_remove->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    grid->addWidget(m_remove, 3, 1, Qt::AlignRight);
    grid->setRowStretch(4, 1);

    connect(m_on, &QCheckBox::clicked, this, &LightPropPage::NotifyChanged);
    connect(m_infinite, &QRadioButton::clicked, this, &LightPropPage::NotifyChanged);
    connect(m_finite, &QRadioButton::clicked, this, &LightPropPage::NotifyChanged);
    connect(m_selectColor, &QPushButton::clicked, this, &LightPropPage::SelectColor);
    connect(m_remove, &QPushButton::clicked, this, &LightPropPage::Remove);
}

void LightPropPage::Load(const PageObject& object) {
    QuillonPropertyPage::Load(object);
    m_chosen.reset();
    const BumpLightSrc* light = object.light.get();
    if (!light) return;
    m_on->setChecked(light->on);
    m_position[0]->Load(light->xPos);
    m_position[1]->Load(light->yPos);
    m_position[2]->Load(light->zPos);
    (light->finite ? m_finite : m_infinite)->setChecked(true);
    ShowSwatch();
}

void LightPropPage::ShowSwatch() {
    QColor colour;
    if (m_chosen) {
        colour = *m_chosen;
    } else if (m_object.light) {
        const float* c = m_object.light->color;
        colour = QColor(ToByte(c[0]), ToByte(c[1]), ToByte(c[2]));
    }
    QPixmap pixmap(32, 16);
    pixmap.fill(Qt::black);
    QPixmap inner(30, 14);
    inner.fill(colour);
    {
        QPainter painter(&pixmap);
        painter.drawPixmap(1, 1, inner);
    }
    m_swatch->setPixmap(pixmap);
}

bool LightPropPage::Validate() {
    for (const auto& field : m_position) {
        if (!field->Validate()) return false;
    }
    return true;
}

void LightPropPage::Apply() {
    BumpLightSrc* light = m_object.light.get();
    if (!light) return;
    for (const auto& field : m_position) {
        if (!field->Value()) return;
    }
    light->on = m_on->isChecked();
    light->xPos = *m_position[0]->Value();
    light->yPos = *m_position[1]->Value();
    light->zPos = *m_position[2]->Value();
    light->finite = m_finite->isChecked();
    if (m_chosen) {
        light->color[0] = static_cast<float>(m_chosen->red()) / 255.0f;
        light->color[1] = static_cast<float>(m_chosen->green()) / 255.0f;
        light->color[2] = static_cast<float>(m_chosen->blue()) / 255.0f;
        m_chosen.reset();
    }
}

void LightPropPage::SelectColor() {
    QColor current;
    if (m_chosen) {
        current = *m_chosen;
    } else if (m_object.light) {
        const float* c = m_object.light->color;
        current = QColor(ToByte(c[0]), ToByte(c[1]), ToByte(c[2]));
    }
    auto chosen = ChooseColor(current, this);
    if (!chosen) return;
    m_chosen = *chosen;
    ShowSwatch();
    NotifyChanged();
}

void LightPropPage::Remove() {
    auto* bump = m_object.light ? m_object.light->Owner() : nullptr;
    if (!bump || RefuseWhilePreviewed()) return;
    if (bump->LightCount() <= BumpMapLayer::kMinLights) {
        ReportError("Minimum number of light sources is 1");
        return;
    }
    if (!bump->RemoveLight(m_object.light.get())) return;
    emit LightsChanged();
    emit LayerModified();
}

}  // namespace quillon
