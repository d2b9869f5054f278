#include "editor/dialogs/desktop_properties_dialog.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

namespace quillon {

DesktopPropertiesDialog::DesktopPropertiesDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Desktop Properties"));
    auto* group = new QGroupBox(tr("Properties"), this);
    m_expandedButton = new QRadioButton(tr("Expanded"), group);
    m_currentButton = new QRadioButton(tr("Current Size"), group);
    m_expandedButton->setChecked(true);
    m_expandedButton->setWhatsThis(
        tr("Renders the picture at the size of the screen, the texture stretched to fill it."));
    m_currentButton->setWhatsThis(
        tr("Renders the picture at the texture's own size; the desktop repeats it."));
    connect(m_expandedButton, &QRadioButton::clicked, this, [this] { m_expanded = true; });
    connect(m_currentButton, &QRadioButton::clicked, this, [this] { m_expanded = false; });
    group->setMinimumWidth(260);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(m_expandedButton);
    groupLayout->addWidget(m_currentButton);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace quillon
