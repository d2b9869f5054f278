#include "editor/pages/texture_prop_dlg.h"

#include <QFormLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "engine/error_reporter.h"
#include "engine/texture_map.h"

namespace quillon {

namespace {

constexpr int kMaxSide = 4096;
constexpr int kMaxDescription = 1024;

bool CheckSide(QLineEdit* edit) {
    bool ok = false;
    int value = edit->text().trimmed().toInt(&ok);
    if (ok && value >= 1 && value <= kMaxSide) return true;
    ReportError("Please enter an integer between 1 and 4096.");
    edit->setFocus();
    edit->selectAll();
    return false;
}

}  // namespace

TexturePropDlg::TexturePropDlg(QWidget* parent) : QWidget(parent) {
    m_width = new QLineEdit(QStringLiteral("1"), this);
    m_height = new QLineEdit(QStringLiteral("1"), this);
    m_description = new QPlainTextEdit(this);
    auto* layout = new QFormLayout(this);
    layout->addRow(QStringLiteral("&Width:"), m_width);
    layout->addRow(QStringLiteral("&Height:"), m_height);
    layout->addRow(QStringLiteral("Texture &Description:"), m_description);
    for (QLineEdit* edit : {m_width, m_height}) {
        edit->setMaxLength(5);
        connect(edit, &QLineEdit::textEdited, this, [this] { emit ChangesPending(); });
    }
    connect(m_description, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_loading) emit ChangesPending();
    });
}

void TexturePropDlg::Load(TextureMap* texture) {
    m_texture = texture;
    if (!texture) return;
    m_loading = true;
    m_width->setText(QString::number(texture->Width()));
    m_height->setText(QString::number(texture->Height()));
    m_description->setPlainText(QString::fromStdString(texture->Description()));
    m_loading = false;
}

bool TexturePropDlg::Validate() {
    if (!CheckSide(m_width) || !CheckSide(m_height)) return false;
    if (m_description->toPlainText().size() > kMaxDescription) {
        ReportError("Enter no more than 1024 characters.");
        m_description->setFocus();
        return false;
    }
    return true;
}

void TexturePropDlg::Store() {
    if (!m_texture) return;
    m_texture->SetSize(m_width->text().trimmed().toInt(), m_height->text().trimmed().toInt());
    m_texture->SetDescription(m_description->toPlainText().toStdString());
}

}  // namespace quillon
