#include "saver/settings_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace quillon {

namespace {

QSlider* NewSlider(int minimum, int maximum, int value) {
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setRange(minimum, maximum);
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setTickInterval(10);
    slider->setSingleStep(1);
    slider->setPageStep(10);
    slider->setValue(value);
    slider->setMinimumWidth(240);
    return slider;
}

QLabel* NewValueLabel() {
    auto* label = new QLabel;
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance("180 seconds"));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

}  // namespace

SettingsDialog::SettingsDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Lumadrift Properties");
    const SaverSettings settings = LoadSaverSettings();

    m_tabs = new QTabWidget;
    m_tabs->addTab(MakePropertiesPage(settings), "Properties");
    m_tabs->addTab(MakeImagePage(settings), "Image Properties");

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &SettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SettingsDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);

    m_chooser = [](QWidget* owner, const QString& start) {
        return QFileDialog::getExistingDirectory(owner, "Browse for Screen Saver QLN Folder", start,
                                                 QFileDialog::ShowDirsOnly);
    };
}

QWidget* SettingsDialog::MakePropertiesPage(const SaverSettings& settings) {
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);

    m_path = new QLineEdit(settings.path);
    m_path->setMinimumWidth(280);
    m_path->setToolTip("The folder whose texture documents and pictures are shown");
    auto* browse = new QPushButton("&Browse");
    connect(browse, &QPushButton::clicked, this, &SettingsDialog::Browse);
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(m_path, 1);
    pathRow->addWidget(browse);
    auto* pathLabel = new QLabel("&Directory:");
    pathLabel->setBuddy(m_path);
    form->addRow(pathLabel, pathRow);

    m_depth = new QSpinBox;
    m_depth->setRange(SaverSettings::kMinDepth, SaverSettings::kMaxDepth);
    m_depth->setValue(settings.recurse);
    m_depth->setToolTip("1 scans the folder only; each further level one more level of subfolders");
    auto* depthLabel = new QLabel("Scan De&pth:");
    depthLabel->setBuddy(m_depth);
    form->addRow(depthLabel, m_depth);

    m_delay = NewSlider(SaverSettings::kMinDelay, SaverSettings::kMaxDelay, settings.delay);
    m_delayText = NewValueLabel();
    connect(m_delay, &QSlider::valueChanged, this, &SettingsDialog::ShowDelay);
    ShowDelay(m_delay->value());
    auto* delayRow = new QHBoxLayout;
    delayRow->addWidget(m_delay, 1);
    delayRow->addWidget(m_delayText);
    auto* delayLabel = new QLabel("De&lay:");
    delayLabel->setBuddy(m_delay);
    form->addRow(delayLabel, delayRow);

    m_desktop = new QCheckBox("&Replace Desktop");
    m_desktop->setChecked(settings.desktop);
    m_desktop->setToolTip("Leave each finished picture behind as the desktop wallpaper");
    form->addRow(QString(), m_desktop);
    return page;
}

QWidget* SettingsDialog::MakeImagePage(const SaverSettings& settings) {
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    const std::array<int, 4> weights = NormalizeWeights(settings.weights);
    const char* const labels[4] = {"&Standard:", "&Black and White:", "&3dify:", "&Engrave:"};
    for (int i = 0; i < 4; ++i) {
        const auto k = static_cast<std::size_t>(i);
        m_weights[k] = NewSlider(0, 100, weights[k]);
        m_weightTexts[k] = NewValueLabel();
        m_weightTexts[k]->setText(QString("%1 %").arg(weights[k]));
        connect(m_weights[k], &QSlider::valueChanged, this, [this, i] { WeightMoved(i); });
        auto* row = new QHBoxLayout;
        row->addWidget(m_weights[k], 1);
        row->addWidget(m_weightTexts[k]);
        auto* label = new QLabel(labels[i]);
        label->setBuddy(m_weights[k]);
        form->addRow(label, row);
    }
    auto* note =
        new QLabel("How often each effect is given to a picture; the four add up to 100 %.");
    note->setWordWrap(true);
    form->addRow(note);
    return page;
}

void SettingsDialog::ShowDelay(int seconds) {
    m_delayText->setText(seconds == 1 ? QString("1 second") : QString("%1 seconds").arg(seconds));
}

void SettingsDialog::WeightMoved(int index) {
    if (m_rebalancing) return;
    m_rebalancing = true;
    std::array<int, 4> values;
    for (std::size_t k = 0; k < 4; ++k) values[k] = m_weights[k]->value();
    values = RebalanceWeights(values, index);
    for (std::size_t k = 0; k < 4; ++k) {
        m_weights[k]->setValue(values[k]);
        m_weightTexts[k]->setText(QString("%1 %").arg(values[k]));
    }
    m_rebalancing = false;
}

void SettingsDialog::Browse() {
    if (!m_chooser) {
        QMessageBox::warning(this, windowTitle(), "Unable to open a browse window");
        return;
    }
    const QString folder = m_chooser(this, m_path->text());
    if (!folder.isEmpty()) m_path->setText(folder);
}

SaverSettings SettingsDialog::Values() const {
    SaverSettings s;
    s.path = m_path->text();
    s.recurse = m_depth->value();
    s.delay = m_delay->value();
    s.desktop = m_desktop->isChecked();
    for (std::size_t k = 0; k < 4; ++k) s.weights[k] = m_weights[k]->value();
    return s;
}

void SettingsDialog::accept() {
    SaveSaverSettings(Values());
    QDialog::accept();
}

}  // namespace quillon
