#include "editor/dialogs/color_map_generator.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "editor/pages/page_choosers.h"
#include "editor/pages/page_fields.h"
#include "engine/base_layer.h"
#include "engine/error_reporter.h"

namespace quillon {

std::optional<std::vector<IndexedColor>> GenerateColorMapEntries(const ColorBand& base,
                                                                 const ColorBand& band) {
    const auto baseWidth = ParseRandomText(base.width);
    if (!baseWidth) {
        ReportError("Invalid width argument for base color");
        return std::nullopt;
    }
    const auto bandWidth = ParseRandomText(band.width);
    if (!bandWidth) {
        ReportError("Invalid width argument for band color");
        return std::nullopt;
    }
    const ColorBand* sides[] = {&base, &band};
    const RandomNumber* widths[] = {&*baseWidth, &*bandWidth};
    Color colours[2];
    for (int k = 0; k < 2; ++k) {
        const QColor& c = sides[k]->color;
        colours[k] = Color(c.red() / 255.0, c.green() / 255.0, c.blue() / 255.0,
                           RandomNumber(static_cast<float>(sides[k]->opacity)));
    }
    std::vector<IndexedColor> entries;
    constexpr int kLast = ColorMap::kTableSize - 1;
    int next = 0;  // the next free table position
    for (int k = 0; next <= kLast; k ^= 1) {
        // Every pass moves on by at least one position: at most 256 bands.
        int h = TruncToInt(widths[k]->Evaluate());
        if (h < 0) h = 0;
        if (h > kLast - next) h = kLast - next;
        if (sides[k]->hardEdge) {
            entries.emplace_back(next, colours[k]);
            entries.emplace_back(next + h, colours[k]);
        } else {
            entries.emplace_back(next + h / 2, colours[k]);
        }
        next += h + 1;
    }
    return entries;
}

GenerateColorMapDlg::GenerateColorMapDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Generate Color Map"));
    auto* layout = new QVBoxLayout(this);
    const char* titles[] = {"Base Color", "Band Color"};
    const QColor colours[] = {Qt::black, Qt::white};
    const char* widths[] = {"16", "4"};
    for (int k = 0; k < 2; ++k) {
        Side& side = m_side[k];
        side.color = colours[k];
        auto* box = new QGroupBox(tr(titles[k]), this);
        auto* grid = new QGridLayout(box);
        side.swatch = new QLabel(box);
        side.swatch->setFixedSize(32, 16);
        auto* select = new QPushButton(tr("Select Color"), box);
        side.width = new QLineEdit(widths[k], box);
        side.width->setMaxLength(32);
        side.hardEdge = new QCheckBox(tr("Hard Edge"), box);
        side.opacity = new QLineEdit("1", box);
        side.opacity->setMaxLength(32);
        auto* widthLabel = new QLabel(tr("Width:"), box);
        widthLabel->setBuddy(side.width);
        auto* opacityLabel = new QLabel(tr("Opacity:"), box);
        opacityLabel->setBuddy(side.opacity);
        grid->addWidget(side.swatch, 0, 0);
        grid->addWidget(select, 0, 1);
        grid->addWidget(widthLabel, 1, 0);
        grid->addWidget(side.width, 1, 1);
        grid->addWidget(side.hardEdge, 2, 1);
        grid->addWidget(opacityLabel, 3, 0);
        grid->addWidget(side.opacity, 3, 1);
        layout->addWidget(box);
        ShowSwatch(side);
        connect(select, &QPushButton::clicked, this, [this, k] {
            if (auto chosen = ChooseColor(m_side[k].color, this)) {
                m_side[k].color = *chosen;
                ShowSwatch(m_side[k]);
            }
        });
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &GenerateColorMapDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &GenerateColorMapDlg::reject);
    layout->addWidget(buttons);
}

void GenerateColorMapDlg::ShowSwatch(Side& side) {
    QPixmap pixmap(32, 16);
    pixmap.fill(Qt::black);
    QPixmap inner(30, 14);
    inner.fill(side.color);
    QPainter(&pixmap).drawPixmap(1, 1, inner);
    side.swatch->setPixmap(pixmap);
}

void GenerateColorMapDlg::accept() {
    for (const Side& side : m_side) {
        bool ok = false;
        const double opacity = side.opacity->text().trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(opacity) || opacity < 0.0 || opacity > 1.0) {
            ReportError("Opacity: enter a number between 0 and 1.");
            side.opacity->setFocus();
            return;
        }
    }
    QDialog::accept();
}

ColorBand GenerateColorMapDlg::BandOf(const Side& side) const {
    return {side.color, side.width->text(), side.hardEdge->isChecked(),
            side.opacity->text().trimmed().toDouble()};
}

ColorBand GenerateColorMapDlg::Base() const {
    return BandOf(m_side[0]);
}
ColorBand GenerateColorMapDlg::Band() const {
    return BandOf(m_side[1]);
}

}  // namespace quillon
