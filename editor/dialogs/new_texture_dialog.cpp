#include "editor/dialogs/new_texture_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>

#include "engine/error_reporter.h"
#include "engine/texture_map.h"

namespace quillon {

namespace {

constexpr int kMaxSide = 4096;
constexpr int kMaxName = 128;

}  // namespace

NewTextureDialog::NewTextureDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("New Texture"));
    setMinimumWidth(340);
    TextureMap defaults;
    m_name = new QLineEdit(QString::fromStdString(defaults.Name()), this);
    m_width = new QLineEdit(QString::number(defaults.Width()), this);
    m_height = new QLineEdit(QString::number(defaults.Height()), this);
    m_name->setMaxLength(kMaxName);
    m_width->setMaxLength(8);
    m_height->setMaxLength(8);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Texture &Name:"), m_name);
    form->addRow(QStringLiteral("&Width:"), m_width);
    form->addRow(QStringLiteral("&Height:"), m_height);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &NewTextureDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &NewTextureDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    m_name->selectAll();
    m_name->setFocus();
}

QString NewTextureDialog::TextureName() const {
    return m_name->text();
}
int NewTextureDialog::TextureWidth() const {
    return m_width->text().trimmed().toInt();
}
int NewTextureDialog::TextureHeight() const {
    return m_height->text().trimmed().toInt();
}

bool NewTextureDialog::Validate() {
    if (m_name->text().size() > kMaxName) {
        ReportError("Enter no more than 128 characters.");
        m_name->setFocus();
        return false;
    }
    for (QLineEdit* edit : {m_width, m_height}) {
        bool ok = false;
        int value = edit->text().trimmed().toInt(&ok);
        if (!ok || value < 1 || value > kMaxSide) {
            ReportError("Please enter an integer between 1 and 4096.");
            edit->setFocus();
            edit->selectAll();
            return false;
        }
    }
    return true;
}

void NewTextureDialog::accept() {
    if (Validate()) QDialog::accept();
}

}  // namespace quillon
