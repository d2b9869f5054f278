#include "editor/pages/texture_layer_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QPlainTextEdit>

#include "editor/layer_commands.h"
#include "engine/base_layer.h"
#include "engine/error_reporter.h"

namespace quillon {

TextureLayerDlg::TextureLayerDlg(QWidget* parent) : QWidget(parent) {
    m_kind = new QComboBox(this);
    m_kind->addItems(LayerKindNames());
    m_combine = new QComboBox(this);
    m_combine->addItems(CombineFunctionNames());
    m_description = new QPlainTextEdit(this);
    m_enabled = new QCheckBox(QStringLiteral("&Enable Layer"), this);
    auto* layout = new QFormLayout(this);
    layout->addRow(QStringLiteral("Layer &Type:"), m_kind);
    layout->addRow(QStringLiteral("&Combine Function:"), m_combine);
    layout->addRow(QStringLiteral("Layer &Description:"), m_description);
    layout->addRow(m_enabled);

    connect(m_kind, &QComboBox::activated, this, [this](int index) {
        if (!m_loading) emit ChangeKindRequested(index);
    });
    connect(m_combine, &QComboBox::activated, this, [this] {
        if (!m_loading) emit ChangesPending();
    });
    connect(m_description, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_loading) emit ChangesPending();
    });
    connect(m_enabled, &QCheckBox::clicked, this, [this] { emit ChangesPending(); });
}

void TextureLayerDlg::SetPreviewQuery(std::function<bool(const BaseLayer*)> isBeingPreviewed) {
    m_isBeingPreviewed = std::move(isBeingPreviewed);
}

void TextureLayerDlg::Load(BaseLayer* layer) {
    m_layer = layer;
    if (!layer) return;
    m_loading = true;
    m_kind->setCurrentIndex(LayerKindIndex(*layer));
    bool masked = layer->GetCombineFunc() == CombineFunc::Disable;
    m_combine->setEnabled(!masked);
    m_combine->setCurrentIndex(masked ? 0 : static_cast<int>(layer->GetCombineFunc()));
    m_description->setPlainText(QString::fromStdString(layer->Description()));
    m_enabled->setChecked(layer->IsEnabled());
    m_loading = false;
}

bool TextureLayerDlg::Validate() {
    if (m_description->toPlainText().size() > 1024) {
        ReportError("Enter no more than 1024 characters.");
        m_description->setFocus();
        return false;
    }
    return true;
}

void TextureLayerDlg::Store() {
    if (!m_layer) return;
    if (m_layer->GetCombineFunc() != CombineFunc::Disable) {
        m_layer->SetCombineFunc(static_cast<CombineFunc>(m_combine->currentIndex()));
    }
    m_layer->SetDescription(m_description->toPlainText().toStdString());
    m_layer->SetEnabled(m_enabled->isChecked());
}

}  // namespace quillon
