#include "editor/pages/color_map_page.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <filesystem>

#include "editor/app_services.h"
#include "editor/choosers.h"
#include "editor/dialogs/color_map_generator.h"
#include "editor/pages/page_choosers.h"
#include "engine/base_layer.h"
#include "engine/error_reporter.h"
#include "format/texture_files.h"

namespace quillon {

namespace {

const char kColorMapFilter[] = "Color Map Files (*.cmp);;All Files (*)";
constexpr int kIdRole = Qt::UserRole;

int ToByte(double component) {
    if (!(component > 0.0)) return 0;
    return std::min(255, static_cast<int>(component * 255.0));
}

QColor ToQColor(const Color& color) {
    return QColor(ToByte(color.red), ToByte(color.green), ToByte(color.blue));
}

Color FromQColor(const QColor& color) {
    return Color(color.red() / 255.0, color.green() / 255.0, color.blue() / 255.0);
}

}  // namespace

std::array<Color, ColorMap::kTableSize> PreviewTable(const std::vector<IndexedColor>& entries) {
    ColorMap map;
    map.RemoveAllEntries();
    for (const IndexedColor& entry : entries) {
        const Color& c = entry.first;
        map.AddEntry(IndexedColor(
            entry.index, Color(c.red, c.green, c.blue, RandomNumber(c.opacity.Number(0)))));
    }
    // Fixed colours and opacities: building the table draws nothing.
    map.BuildTable();
    std::array<Color, ColorMap::kTableSize> table;
    for (int k = 0; k < ColorMap::kTableSize; ++k) table[k] = map.TableEntry(k);
    return table;
}

QImage EntrySwatch(const IndexedColor& entry) {
    QImage image(32, 16, QImage::Format_RGB888);
    image.fill(Qt::black);
    const Color& a = entry.first;
    const Color& b = entry.second;
    for (int i = 0; i < 30; ++i) {
        const double t = i / 30.0;
        const QColor c(ToByte(a.red + t * (b.red - a.red)),
                       ToByte(a.green + t * (b.green - a.green)),
                       ToByte(a.blue + t * (b.blue - a.blue)));
        for (int y = 1; y < 15; ++y) image.setPixelColor(1 + i, y, c);
    }
    return image;
}

// ---- The preview strip -------------------------------------------------

ColorMapPreview::ColorMapPreview(ColorPropPage* page)
    : QWidget(page), m_page(page), m_image(ColorMap::kTableSize, 1, QImage::Format_RGB888) {
    setMouseTracking(true);
    setMinimumSize(256, 24);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFocusPolicy(Qt::StrongFocus);
    setToolTip(tr("The colour map from value 0 (left) to 1 (right); right-click for more"));
}

void ColorMapPreview::SetTable(const std::array<Color, ColorMap::kTableSize>& table) {
    m_table = table;
    for (int k = 0; k < ColorMap::kTableSize; ++k) m_image.setPixelColor(k, 0, ToQColor(table[k]));
    update();
}

int ColorMapPreview::PositionAt(int x) const {
    const int w = std::max(1, width());
    const long long position = static_cast<long long>(std::max(0, x)) * ColorMap::kTableSize / w;
    return static_cast<int>(std::min<long long>(position, ColorMap::kTableSize - 1));
}

QString ColorMapPreview::ReadOut(int position) const {
    const Color& c = m_table[std::clamp(position, 0, ColorMap::kTableSize - 1)];
    return QString::asprintf("Index: %d, RGB: %d, %d, %d", position, ToByte(c.red), ToByte(c.green),
                             ToByte(c.blue));
}

void ColorMapPreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(rect(), m_image);
    painter.setPen(hasFocus() ? palette().highlight().color() : Qt::black);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void ColorMapPreview::mouseMoveEvent(QMouseEvent* event) {
    ShowStatusText(ReadOut(PositionAt(static_cast<int>(event->position().x()))));
}

void ColorMapPreview::leaveEvent(QEvent*) {
    ShowStatusText(tr("Ready"));
}

void ColorMapPreview::contextMenuEvent(QContextMenuEvent* event) {
    const bool mouse = event->reason() == QContextMenuEvent::Mouse;
    m_page->SetContextPosition(mouse ? PositionAt(event->pos().x()) : 0);
    QMenu menu(this);
    menu.addAction(tr("Add Color..."), m_page, &ColorPropPage::AddColorAtContextPosition);
    menu.addAction(tr("Change Location"), m_page, &ColorPropPage::ChangeLocation);
    menu.addSeparator();
    menu.addAction(tr("Save Color Map..."), m_page, &ColorPropPage::SaveColorMap);
    menu.addAction(tr("Load Color Map..."), m_page, &ColorPropPage::LoadColorMap);
    menu.addAction(tr("Generate Color Map..."), m_page, &ColorPropPage::GenerateColorMap);
    menu.exec(mouse ? event->globalPos() : mapToGlobal(QPoint(5, 5)));
}

// ---- The page ----------------------------------------------------------

ColorPropPage::ColorPropPage(QWidget* parent) : QuillonPropertyPage(parent) {
    auto* layout = new QGridLayout(this);
    m_list = new QTreeWidget(this);
    m_list->setHeaderHidden(true);
    m_list->setRootIsDecorated(false);
    m_list->setIconSize(QSize(32, 16));
    m_list->setMinimumWidth(110);
    layout->addWidget(m_list, 0, 0, 2, 1);

    auto* fields = new QGridLayout;
    m_location = new QLineEdit(this);
    m_location->setMaxLength(16);
    m_opacity = new QLineEdit(this);
    m_opacity->setMaxLength(64);
    auto* locationLabel = new QLabel(tr("Location:"), this);
    locationLabel->setBuddy(m_location);
    auto* opacityLabel = new QLabel(tr("Opacity:"), this);
    opacityLabel->setBuddy(m_opacity);
    fields->addWidget(locationLabel, 0, 0);
    fields->addWidget(m_location, 0, 1);
    fields->addWidget(opacityLabel, 1, 0);
    fields->addWidget(m_opacity, 1, 1);
    m_apply = new QPushButton(tr("Apply"), this);
    fields->addWidget(m_apply, 2, 1, Qt::AlignRight);
    layout->addLayout(fields, 0, 1);

    // Two columns keep the page short enough for the strip to show in a small window.
    auto* buttons = new QGridLayout;
    m_add = new QPushButton(tr("Add"), this);
    m_remove = new QPushButton(tr("Remove"), this);
    m_selectColor = new QPushButton(tr("Select Color"), this);
    m_from = new QPushButton(tr("From"), this);
    m_to = new QPushButton(tr("To"), this);
    m_randomBox = new QCheckBox(tr("Random"), this);
    buttons->addWidget(m_add, 0, 0);
    buttons->addWidget(m_remove, 0, 1);
    buttons->addWidget(m_selectColor, 1, 0, 1, 2);
    buttons->addWidget(m_from, 2, 0);
    buttons->addWidget(m_to, 2, 1);
    buttons->addWidget(m_randomBox, 3, 0, 1, 2);
    buttons->setRowStretch(4, 1);
    layout->addLayout(buttons, 1, 1);

    m_preview = new ColorMapPreview(this);
    layout->addWidget(m_preview, 2, 0, 1, 2);
    layout->setRowStretch(1, 1);

    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &ColorPropPage::OnSelectionChanged);
    connect(m_add, &QPushButton::clicked, this, &ColorPropPage::AddEntry);
    connect(m_remove, &QPushButton::clicked, this, &ColorPropPage::RemoveEntry);
    connect(m_apply, &QPushButton::clicked, this, &ColorPropPage::ApplyEntry);
    connect(m_selectColor, &QPushButton::clicked, this, [this] { SelectColor(false); });
    connect(m_from, &QPushButton::clicked, this, [this] { SelectColor(false); });
    connect(m_to, &QPushButton::clicked, this, [this] { SelectColor(true); });
    connect(m_randomBox, &QCheckBox::clicked, this, &ColorPropPage::ToggleRandom);
    UpdateButtons();
}

void ColorPropPage::Load(const PageObject& object) {
    QuillonPropertyPage::Load(object);
    m_map = object.layer ? &object.layer->GetColorMap() : nullptr;
    m_entries.clear();
    m_random = m_map && m_map->IsRandom();
    m_randomBox->setChecked(m_random);
    if (m_map) {
        for (const IndexedColor& entry : m_map->Entries()) m_entries.push_back({entry, m_nextId++});
    }
    SortEntries();
    Rebuild(m_entries.empty() ? 0 : m_entries.front().id);
    UpdatePreview();
}

void ColorPropPage::SortEntries() {
    std::stable_sort(m_entries.begin(), m_entries.end(),
                     [](const Entry& a, const Entry& b) { return a.color.index < b.color.index; });
}

std::vector<IndexedColor> ColorPropPage::Entries() const {
    std::vector<IndexedColor> entries;
    for (const Entry& entry : m_entries) entries.push_back(entry.color);
    return entries;
}

void ColorPropPage::SetEntries(std::vector<IndexedColor> entries) {
    m_entries.clear();
    for (IndexedColor& entry : entries) {
        entry.isRandom = m_random;
        if (!m_random) entry.second = entry.first;
        m_entries.push_back({entry, m_nextId++});
    }
    SortEntries();
    Rebuild(m_entries.empty() ? 0 : m_entries.front().id);
    UpdatePreview();
}

int ColorPropPage::AppendEntry(const IndexedColor& color) {
    IndexedColor copy = color;
    copy.isRandom = m_random;
    m_entries.push_back({copy, m_nextId});
    return m_nextId++;
}

void ColorPropPage::Rebuild(int selectId) {
    const QSignalBlocker block(m_list);
    m_list->clear();
    QTreeWidgetItem* selected = nullptr;
    for (const Entry& entry : m_entries) {
        auto* item = new QTreeWidgetItem(m_list, {QString::number(entry.color.index)});
        item->setIcon(0, QIcon(QPixmap::fromImage(EntrySwatch(entry.color))));
        item->setData(0, kIdRole, entry.id);
        if (entry.id == selectId) selected = item;
    }
    if (selected) m_list->setCurrentItem(selected);
    OnSelectionChanged();
}

int ColorPropPage::SelectedRow() const {
    QTreeWidgetItem* item = m_list->currentItem();
    return item && item->isSelected() ? m_list->indexOfTopLevelItem(item) : -1;
}

void ColorPropPage::SelectRow(int row) {
    if (QTreeWidgetItem* item = m_list->topLevelItem(row)) m_list->setCurrentItem(item);
}

ColorPropPage::Entry* ColorPropPage::SelectedEntry() {
    const int row = SelectedRow();
    if (row < 0) return nullptr;
    const int id = m_list->topLevelItem(row)->data(0, kIdRole).toInt();
    for (Entry& entry : m_entries) {
        if (entry.id == id) return &entry;
    }
    return nullptr;
}

void ColorPropPage::OnSelectionChanged() {
    if (const Entry* entry = SelectedEntry()) {
        m_location->setText(QString::number(entry->color.index));
        m_opacity->setText(QString::fromStdString(entry->color.first.opacity.ToEditText()));
    } else {
        m_location->clear();
        m_opacity->clear();
    }
    UpdateButtons();
}

void ColorPropPage::UpdateButtons() {
    const bool advanced = AdvancedMode();
    const bool selected = SelectedRow() >= 0;
    const bool fromTo = m_random && advanced;
    m_randomBox->setVisible(advanced);
    m_selectColor->setVisible(!fromTo);
    m_from->setVisible(fromTo);
    m_to->setVisible(fromTo);
    m_selectColor->setEnabled(selected);
    m_from->setEnabled(selected);
    m_to->setEnabled(selected);
    m_apply->setEnabled(selected);
    m_remove->setEnabled(selected && m_list->topLevelItemCount() > 1);
}

void ColorPropPage::UpdatePreview() {
    m_preview->SetTable(PreviewTable(Entries()));
}

void ColorPropPage::ApplyEntry() {
    Entry* entry = SelectedEntry();
    if (!entry) return;
    bool ok = false;
    const int location = m_location->text().trimmed().toInt(&ok);
    if (!ok || location < 0 || location >= ColorMap::kTableSize) {
        ReportError("Location: enter an integer between 0 and 255.");
        return;
    }
    const auto opacity = ParseRandomText(m_opacity->text());
    if (!opacity) {
        ReportError(
            "Opacity: enter a number, or up to four numbers in parentheses such as (0, 1).");
        return;
    }
    entry->color.index = location;
    entry->color.first.opacity = *opacity;
    entry->color.second.opacity = *opacity;
    const int id = entry->id;
    SortEntries();
    Rebuild(id);
    NotifyChanged();
    UpdatePreview();
}

void ColorPropPage::AddEntry() {
    const int id = AppendEntry(IndexedColor(0, Color(1.0, 1.0, 1.0)));
    SortEntries();
    Rebuild(id);
    NotifyChanged();
    UpdatePreview();
}

void ColorPropPage::RemoveEntry() {
    const int row = SelectedRow();
    const Entry* entry = SelectedEntry();
    if (!entry || m_entries.size() <= 1) return;
    const int id = entry->id;
    std::erase_if(m_entries, [id](const Entry& e) { return e.id == id; });
    const int next = std::min<int>(row, static_cast<int>(m_entries.size()) - 1);
    Rebuild(m_entries[next].id);
    NotifyChanged();
    UpdatePreview();
}

void ColorPropPage::SelectColor(bool second) {
    Entry* entry = SelectedEntry();
    if (!entry) return;
    const int id = entry->id;
    const auto chosen =
        ChooseColor(ToQColor(second ? entry->color.second : entry->color.first), this);
    entry = nullptr;
    for (Entry& e : m_entries) {
        if (e.id == id) entry = &e;
    }
    if (!chosen || !entry) return;
    const Color colour = FromQColor(*chosen);  // opacity back to 1.0
    if (second) {
        entry->color.second = colour;
    } else {
        entry->color.first = colour;
        if (!(m_random && AdvancedMode())) entry->color.second = colour;
    }
    Rebuild(id);
    NotifyChanged();
    UpdatePreview();
}

void ColorPropPage::ToggleRandom() {
    if (!m_map || RefuseWhilePreviewed()) {
        m_randomBox->setChecked(m_random);
        return;
    }
    m_random = !m_random;
    m_randomBox->setChecked(m_random);
    m_map->SetRandom(m_random);
    for (Entry& entry : m_entries) entry.color.isRandom = m_random;
    UpdateButtons();
    NotifyChanged();
    emit LayerModified();
    if (!m_random) Load(m_object);
}

void ColorPropPage::AddColorAtContextPosition() {
    const auto chosen = ChooseColor(Qt::white, this);
    if (!chosen) return;
    const int id = AppendEntry(IndexedColor(m_contextPosition, FromQColor(*chosen)));
    SortEntries();
    Rebuild(id);
    NotifyChanged();
    UpdatePreview();
}

void ColorPropPage::ChangeLocation() {
    m_location->setText(QString::number(m_contextPosition));
    m_apply->setEnabled(SelectedRow() >= 0);
}

void ColorPropPage::SaveColorMap() {
    const QString path =
        GetChoosers().SaveFileName(this, tr("Save Color Map"), kColorMapFilter, QString(), "cmp");
    if (path.isEmpty()) return;
    const std::vector<IndexedColor> entries = Entries();
    // The saver reports its own failure ("Unable to write color map").
    SaveColorMapFile(std::filesystem::path(path.toStdString()), entries, m_random);
}

void ColorPropPage::LoadColorMap() {
    const QString path = GetChoosers().OpenFileName(this, tr("Load Color Map"), kColorMapFilter);
    if (path.isEmpty()) return;
    ColorMap loaded;
    const LoadStatus status = LoadColorMapFile(std::filesystem::path(path.toStdString()), loaded);
    if (status != LoadStatus::Ok) {
        // A parse error has been shown by the parser.
        if (status != LoadStatus::Failed && status != LoadStatus::NoMemory) {
            ReportError("No color map found in " + path.toStdString());
        }
        return;
    }
    SetEntries(loaded.Entries());
    NotifyChanged();
}

void ColorPropPage::GenerateColorMap() {
    GenerateColorMapDlg dialog(this);
    if (!GetChoosers().RunDialog(dialog)) return;
    auto entries = GenerateColorMapEntries(dialog.Base(), dialog.Band());
    if (!entries) return;
    SetEntries(std::move(*entries));
    NotifyChanged();
}

bool ColorPropPage::Validate() {
    return true;
}

void ColorPropPage::Apply() {
    if (!m_map) return;
    m_map->RemoveAllEntries();
    for (const Entry& entry : m_entries) m_map->AddEntry(entry.color);
    if (m_map->EntryCount() >= 2) {
        std::stable_sort(
            m_map->Entries().begin(), m_map->Entries().end(),
            [](const IndexedColor& a, const IndexedColor& b) { return a.index < b.index; });
    }
}

}  // namespace quillon
