#include "editor/pages/texture_prop_dlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "engine/error_reporter.h"
#include "engine/texture_map.h"

namespace quillon {

namespace {

// The screen-saver boxes in their order and the bit each sets.
constexpr int kBoxBits[4] = {kScreenSaverXMirror, kScreenSaverYMirror, kScreenSaverTile,
                             kScreenSaverExpand};

}  // namespace

TexturePropDlg::TexturePropDlg(QWidget* parent) : QWidget(parent) {
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    auto* width = new QLineEdit("1", this);
    auto* height = new QLineEdit("1", this);
    auto* zoom = new QLineEdit("1", this);
    const char* labels[] = {"&Width:", "&Height:", "&Zoom:"};
    QLineEdit* edits[] = {width, height, zoom};
    for (int k = 0; k < 3; ++k) {
        auto* label = new QLabel(tr(labels[k]), this);
        label->setBuddy(edits[k]);
        grid->addWidget(label, k, 0);
        grid->addWidget(edits[k], k, 1);
        connect(edits[k], &QLineEdit::textEdited, this, &TexturePropDlg::ChangesPending);
    }
    m_width = std::make_unique<IntField>(width, "Width:", kMinSide, kMaxSide);
    m_height = std::make_unique<IntField>(height, "Height:", kMinSide, kMaxSide);
    m_zoom = std::make_unique<RandomField>(zoom, "Zoom:", kMaxZoomText);

    m_description = new QPlainTextEdit(this);
    m_description->setTabChangesFocus(true);
    m_description->setFixedHeight(m_description->fontMetrics().lineSpacing() * 4 + 12);
    auto* descriptionLabel = new QLabel(tr("Texture &Description:"), this);
    descriptionLabel->setBuddy(m_description);
    grid->addWidget(descriptionLabel, 3, 0, 1, 2);
    grid->addWidget(m_description, 4, 0, 1, 2);
    connect(m_description, &QPlainTextEdit::textChanged, this, [this] {
        // The edit also reports changes of its own (its layout on first show).
        if (m_description->toPlainText() != m_loadedDescription) emit ChangesPending();
    });

    auto* saver = new QGroupBox(tr("Screen Saver:"), this);
    auto* saverGrid = new QGridLayout(saver);
    const char* boxes[] = {"&X-Mirror", "&Y-Mirror", "T&ile", "E&xpand"};
    for (int k = 0; k < 4; ++k) {
        m_boxes[k] = new QCheckBox(tr(boxes[k]), saver);
        saverGrid->addWidget(m_boxes[k], k / 2, k % 2);
        connect(m_boxes[k], &QCheckBox::clicked, this, [this, k] { OnBoxClicked(k); });
    }
    grid->addWidget(saver, 5, 0, 1, 2);
    grid->setRowStretch(6, 1);
    grid->setColumnStretch(1, 1);
}

void TexturePropDlg::SetPreviewQuery(std::function<bool(const BaseLayer*)> isBeingPreviewed) {
    m_isBeingPreviewed = std::move(isBeingPreviewed);
}

void TexturePropDlg::Load(TextureMap* texture) {
    m_texture = texture;
    if (!texture) return;
    m_width->Load(texture->Width());
    m_height->Load(texture->Height());
    m_zoom->Load(texture->Zoom());
    {
        const QSignalBlocker block(m_description);
        m_loadedDescription = QString::fromStdString(texture->Description());
        m_description->setPlainText(m_loadedDescription);
    }
    for (int k = 0; k < 4; ++k) {
        m_boxes[k]->setChecked((texture->ScreenSaverType() & kBoxBits[k]) != 0);
    }
}

void TexturePropDlg::OnBoxClicked(int index) {
    if (!m_texture) return;
    const bool busy = m_isBeingPreviewed ? m_isBeingPreviewed(m_texture) : m_texture->IsBusy();
    if (busy) {
        ReportError("Unable to access texture being previewed!");
        m_boxes[index]->setChecked((m_texture->ScreenSaverType() & kBoxBits[index]) != 0);
        return;
    }
    // The box's bit follows the box at once; Apply writes all four again.
    const int bits = m_texture->ScreenSaverType();
    m_texture->SetScreenSaverType(m_boxes[index]->isChecked() ? bits | kBoxBits[index]
                                                              : bits & ~kBoxBits[index]);
    emit TextureModified();
    emit ChangesPending();
}

bool TexturePropDlg::Validate() {
    return m_width->Validate() && m_height->Validate() &&
           ValidateTextLength(m_description, "Texture Description:", kMaxDescription);
}

void TexturePropDlg::Store() {
    if (!m_texture) return;
    const auto width = m_width->Value();
    const auto height = m_height->Value();
    if (!width || !height) return;
    m_texture->SetSize(*width, *height);
    auto zoom = m_zoom->Value();
    if (!zoom) {
        ReportError("Zoom number not in appropriate format, defaulting to 1.0");
        zoom = RandomNumber(1.0f);
        m_zoom->Load(*zoom);
    }
    m_texture->SetZoom(*zoom);
    m_texture->SetDescription(m_description->toPlainText().toStdString());
    int bits = m_texture->ScreenSaverType() &
               ~(kScreenSaverXMirror | kScreenSaverYMirror | kScreenSaverTile | kScreenSaverExpand);
    for (int k = 0; k < 4; ++k) {
        if (m_boxes[k]->isChecked()) bits |= kBoxBits[k];
    }
    m_texture->SetScreenSaverType(bits);
}

}  // namespace quillon
