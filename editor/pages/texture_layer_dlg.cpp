#include "editor/pages/texture_layer_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QTabWidget>
#include <map>

#include "editor/app_services.h"
#include "editor/pages/page_registry.h"
#include "engine/base_layer.h"
#include "engine/bump_map_layer.h"
#include "engine/error_reporter.h"

namespace quillon {

TextureLayerDlg::TextureLayerDlg(QWidget* parent) : QWidget(parent) {
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    int row = 0;
    auto addRow = [&](const QString& text, QWidget* widget, QLabel** labelOut = nullptr) {
        auto* label = new QLabel(text, this);
        label->setBuddy(widget);
        grid->addWidget(label, row, 0);
        grid->addWidget(widget, row, 1);
        ++row;
        if (labelOut) *labelOut = label;
    };

    m_kind = new QComboBox(this);
    for (const LayerKindUi& kind : LayerKindUis()) m_kind->addItem(tr(kind.label));
    addRow(tr("Layer &Type:"), m_kind);

    m_combine = new QComboBox(this);
    m_combine->addItems({tr("Opaque"), tr("Transparent"), tr("Shade"), tr("Additive"),
                         tr("Subtractive"), tr("Multiply")});
    addRow(tr("&Combine Function:"), m_combine);

    auto* transparency = new QLineEdit(this);
    addRow(tr("Transparency:"), transparency, &m_transparencyLabel);
    m_transparency = std::make_unique<RandomField>(transparency, "Transparency:", kMaxNumberText);

    m_description = new QPlainTextEdit(this);
    m_description->setTabChangesFocus(true);
    m_description->setFixedHeight(m_description->fontMetrics().lineSpacing() * 2 + 12);
    auto* descriptionLabel = new QLabel(tr("Layer &Description:"), this);
    descriptionLabel->setBuddy(m_description);
    grid->addWidget(descriptionLabel, row++, 0, 1, 2);
    grid->addWidget(m_description, row++, 0, 1, 2);

    // The switch and the two advanced numbers share a row: the pages need the height.
    auto* switches = new QHBoxLayout;
    m_enabled = new QCheckBox(tr("&Enable Layer"), this);
    auto* usage = new QLineEdit(this);
    auto* probability = new QLineEdit(this);
    m_usageLabel = new QLabel(tr("&Usage:"), this);
    m_usageLabel->setBuddy(usage);
    m_probabilityLabel = new QLabel(tr("&Probability:"), this);
    m_probabilityLabel->setBuddy(probability);
    switches->addWidget(m_enabled);
    switches->addStretch();
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_usageLabel, usage, m_probabilityLabel, probability}) {
        switches->addWidget(w);
    }
    usage->setMaximumWidth(90);
    probability->setMaximumWidth(90);
    grid->addLayout(switches, row++, 0, 1, 2);
    m_usage = std::make_unique<RandomField>(usage, "Usage:", kMaxNumberText);
    m_probability = std::make_unique<RandomField>(probability, "Probability:", kMaxNumberText);

    m_tabs = new QTabWidget(this);
    grid->addWidget(m_tabs, row++, 0, 1, 2);
    grid->setRowStretch(row - 1, 1);
    grid->setColumnStretch(1, 1);

    connect(m_combine, &QComboBox::activated, this, &TextureLayerDlg::OnCombineChosen);
    connect(m_kind, &QComboBox::activated, this, &TextureLayerDlg::OnKindChosen);
    for (QLineEdit* edit : {transparency, usage, probability}) {
        connect(edit, &QLineEdit::textEdited, this, &TextureLayerDlg::ChangesPending);
    }
    connect(m_description, &QPlainTextEdit::textChanged, this, [this] {
        // The edit also reports changes of its own (its layout on first show).
        if (m_description->toPlainText() != m_loadedDescription) emit ChangesPending();
    });
    connect(m_enabled, &QCheckBox::clicked, this, &TextureLayerDlg::ChangesPending);

    m_tabs->hide();
    m_transparencyLabel->hide();
    m_transparency->Edit()->hide();
}

void TextureLayerDlg::SetPreviewQuery(std::function<bool(const BaseLayer*)> isBeingPreviewed) {
    m_isBeingPreviewed = std::move(isBeingPreviewed);
    for (QuillonPropertyPage* page : m_pages) page->SetPreviewQuery(m_isBeingPreviewed);
}

bool TextureLayerDlg::IsBeingPreviewed(const BaseLayer* layer) const {
    return m_isBeingPreviewed ? m_isBeingPreviewed(layer) : (layer && layer->IsBusy());
}

int TextureLayerDlg::PageCount() const {
    return static_cast<int>(m_pages.size());
}

QuillonPropertyPage* TextureLayerDlg::Page(int index) const {
    return index >= 0 && index < PageCount() ? m_pages[index] : nullptr;
}

void TextureLayerDlg::DiscardPage(QuillonPropertyPage* page) {
    QScrollArea* holder = m_holders[page];
    m_holders.erase(page);
    holder->hide();
    page->disconnect(this);
    holder->setParent(nullptr);
    holder->deleteLater();  // a page may be asking for this from its own slot
}

void TextureLayerDlg::ClearTabs() {
    m_tabs->clear();
    for (QuillonPropertyPage* page : m_pages) {
        DiscardPage(page);
    }
    m_pages.clear();
}

void TextureLayerDlg::ConnectPage(QuillonPropertyPage* page) {
    page->SetPreviewQuery(m_isBeingPreviewed);
    connect(page, &QuillonPropertyPage::Changed, this, &TextureLayerDlg::ChangesPending);
    connect(page, &QuillonPropertyPage::LayerModified, this, &TextureLayerDlg::LayerModified);
    connect(page, &QuillonPropertyPage::LightsChanged, this, &TextureLayerDlg::RebuildLightTabs);
}

void TextureLayerDlg::AddTab(const QString& title, QuillonPropertyPage* page,
                             const PageObject& object) {
    page->Load(object);
    // A page larger than the space the view gives scrolls instead of being squeezed.
    auto* holder = new QScrollArea;
    holder->setWidgetResizable(true);
    holder->setFrameShape(QFrame::NoFrame);
    holder->setWidget(page);
    m_holders[page] = holder;
    m_tabs->addTab(holder, title);
    m_pages.push_back(page);
}

namespace {

PageObject ObjectOf(BaseLayer* layer, const LayerTab& tab) {
    PageObject object;
    object.layer = layer;
    if (tab.target == PageTarget::kChemicalB) object.part = 1;
    if (tab.target == PageTarget::kLights) {
        if (auto* bump = dynamic_cast<BumpMapLayer*>(layer))
            object.light = bump->Light(tab.lightIndex);
    }
    return object;
}

}  // namespace

void TextureLayerDlg::SelectLayerKind() {
    const LayerKindUi* kind = m_layer ? FindLayerKindUi(*m_layer) : nullptr;
    m_kind->setCurrentIndex(kind ? kind->kindIndex : -1);
}

void TextureLayerDlg::Load(BaseLayer* layer) {
    m_layer = layer;
    ClearTabs();
    m_tabs->hide();
    m_transparencyLabel->hide();
    m_transparency->Edit()->hide();
    if (!layer) return;

    {
        const QSignalBlocker block(m_description);  // not an edit of the user's
        m_loadedDescription = QString::fromStdString(layer->Description());
        m_description->setPlainText(m_loadedDescription);
    }
    m_combine->setEnabled(true);
    const CombineFunc function = layer->GetCombineFunc();
    if (function == CombineFunc::Disable) {
        // A mask's combine function cannot be chosen.
        m_combine->setCurrentIndex(0);
        m_combine->setEnabled(false);
    } else {
        const int item = static_cast<int>(function);
        m_combine->setCurrentIndex(item >= 0 && item < m_combine->count() ? item : 0);
    }
    m_transparency->Load(layer->Transparency());
    if (function == CombineFunc::Transparent) {
        m_transparencyLabel->show();
        m_transparency->Edit()->show();
    }
    m_usage->Load(layer->Usage());
    m_probability->Load(layer->UseProbability());
    m_enabled->setChecked(layer->IsEnabled());

    SelectLayerKind();
    for (const LayerTab& tab : TabsOfLayer(*layer)) {
        QuillonPropertyPage* page = tab.create();
        ConnectPage(page);
        AddTab(tab.title, page, ObjectOf(layer, tab));
    }
    if (!m_pages.empty()) {
        m_tabs->setCurrentIndex(0);
        m_tabs->show();
    }

    const bool advanced = AdvancedMode();
    m_usageLabel->setVisible(advanced);
    m_usage->Edit()->setVisible(advanced);
    m_probabilityLabel->setVisible(advanced);
    m_probability->Edit()->setVisible(advanced);
}

void TextureLayerDlg::RebuildLightTabs() {
    if (!m_layer) return;
    // Pages keep their edits: the same light keeps its page, the others
    // keep theirs in order; only the light tabs come and go.
    std::map<const BumpLightSrc*, QuillonPropertyPage*> lightPages;
    std::vector<QuillonPropertyPage*> otherPages;
    for (QuillonPropertyPage* page : m_pages) {
        if (page->Object().light) {
            lightPages[page->Object().light.get()] = page;
        } else {
            otherPages.push_back(page);
        }
    }
    QWidget* current = m_tabs->currentWidget();
    m_tabs->clear();
    m_pages.clear();
    std::size_t nextOther = 0;
    for (const LayerTab& tab : TabsOfLayer(*m_layer)) {
        const PageObject object = ObjectOf(m_layer, tab);
        QuillonPropertyPage* page = nullptr;
        if (tab.target == PageTarget::kLights) {
            auto found = lightPages.find(object.light.get());
            if (found != lightPages.end()) {
                page = found->second;
                lightPages.erase(found);
            }
        } else if (nextOther < otherPages.size()) {
            page = otherPages[nextOther++];
        }
        if (page) {
            m_tabs->addTab(m_holders[page], tab.title);
            m_pages.push_back(page);
        } else {
            page = tab.create();
            ConnectPage(page);
            AddTab(tab.title, page, object);
        }
    }
    for (auto& [light, page] : lightPages) {
        DiscardPage(page);
    }
    const int index = m_tabs->indexOf(current);
    m_tabs->setCurrentIndex(index >= 0 ? index : 0);
}

void TextureLayerDlg::OnCombineChosen(int item) {
    if (!m_layer) return;
    const CombineFunc previous = m_layer->GetCombineFunc();
    if (IsBeingPreviewed(m_layer)) {
        ReportError("Unable to access layer being previewed!");
        m_combine->setCurrentIndex(previous == CombineFunc::Disable ? 0
                                                                    : static_cast<int>(previous));
        return;
    }
    const auto function = static_cast<CombineFunc>(item);
    m_transparencyLabel->hide();
    m_transparency->Edit()->hide();
    m_layer->SetCombineFunc(function);
    if (function == CombineFunc::Transparent) {
        m_transparency->Load(m_layer->Transparency());
        m_transparencyLabel->show();
        m_transparency->Edit()->show();
    }
    if (function != previous) emit LayerModified();
}

void TextureLayerDlg::OnKindChosen(int item) {
    BaseLayer* before = m_layer;
    emit ChangeKindRequested(item);
    // A refused or same-kind change leaves the layer: show its own kind again.
    if (m_layer == before) SelectLayerKind();
}

bool TextureLayerDlg::Validate() {
    if (!m_layer) return true;
    if (!ValidateTextLength(m_description, "Layer Description:", kMaxDescription)) return false;
    // Transparency, usage and probability cannot be refused: text that is
    // no number is stored as 0.
    for (QuillonPropertyPage* page : m_pages) {
        if (!page->Validate()) {
            m_tabs->setCurrentWidget(m_holders[page]);
            return false;
        }
    }
    return true;
}

void TextureLayerDlg::Store() {
    if (!m_layer) return;
    m_layer->SetTransparency(m_transparency->ValueOrZero());
    m_layer->SetUsage(m_usage->ValueOrZero());
    m_layer->SetUseProbability(m_probability->ValueOrZero());
    m_layer->SetDescription(m_description->toPlainText().toStdString());
    m_loadedDescription = m_description->toPlainText();
    m_layer->SetEnabled(m_enabled->isChecked());
    for (QuillonPropertyPage* page : m_pages) page->Apply();
    // Text that was stored as 0 shows as 0.
    m_transparency->Load(m_layer->Transparency());
    m_usage->Load(m_layer->Usage());
    m_probability->Load(m_layer->UseProbability());
}

}  // namespace quillon
