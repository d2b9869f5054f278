#include "editor/dialogs/color_calculator.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <algorithm>

#include "editor/app_services.h"
#include "editor/pages/page_choosers.h"

namespace quillon {

namespace {

int ToByte(double value) {
    if (!(value > 0.0)) return 0;
    return std::min(255, static_cast<int>(value * 255.0));
}

QPixmap Swatch(const QColor& colour, int width, int height) {
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::black);
    QPixmap inner(width - 2, height - 2);
    inner.fill(colour);
    QPainter(&pixmap).drawPixmap(1, 1, inner);
    return pixmap;
}

}  // namespace

QColor CombineColors(const QColor& below, const QColor& layer, double a, CombineFunc function,
                     double w) {
    const double bs[] = {below.redF(), below.greenF(), below.blueF()};
    const double ls[] = {layer.redF(), layer.greenF(), layer.blueF()};
    int out[3];
    for (int k = 0; k < 3; ++k) {
        const double b = bs[k];
        const double l = ls[k];
        double c = 0.0;
        switch (function) {
            case CombineFunc::Transparent:
                c = (1.0 - w) * (a * l + (1.0 - a) * b) + w * b;
                break;
            case CombineFunc::Shade:
                c = std::clamp(b + a * (l - 0.5), 0.0, 1.0);
                break;
            case CombineFunc::Additive:
                c = std::clamp(b + a * l, 0.0, 1.0);
                break;
            case CombineFunc::Subtractive:
                c = std::clamp(b - a * l, 0.0, 1.0);
                break;
            case CombineFunc::Multiply:
                c = (1.0 - a + a * l) * b;
                break;
            default:
                c = (1.0 - a) * b + a * l;
                break;
        }
        out[k] = ToByte(c);
    }
    return QColor(out[0], out[1], out[2]);
}

ColorCalculator::ColorCalculator(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Color Calculator"));
    auto* grid = new QGridLayout(this);
    const char* titles[] = {"Color 1", "Color 2"};
    const char* tips[] = {"The colour below the layer", "The layer's colour"};
    for (int k = 0; k < 2; ++k) {
        auto* title = new QLabel(tr(titles[k]), this);
        m_swatches[k] = new QLabel(this);
        m_swatches[k]->setToolTip(tr(tips[k]));
        auto* select = new QPushButton(tr("Select Color"), this);
        grid->addWidget(title, k, 0);
        grid->addWidget(m_swatches[k], k, 1);
        grid->addWidget(select, k, 2);
        connect(select, &QPushButton::clicked, this, [this, k] { Choose(k); });
    }
    m_opacity = new QDoubleSpinBox(this);
    m_opacity->setRange(0.0, 1.0);
    m_opacity->setDecimals(3);
    m_opacity->setSingleStep(0.05);
    m_opacity->setValue(1.0);
    auto* opacityLabel = new QLabel(tr("Opacity:"), this);
    opacityLabel->setBuddy(m_opacity);
    grid->addWidget(opacityLabel, 2, 0);
    grid->addWidget(m_opacity, 2, 1, 1, 2);

    m_combine = new QComboBox(this);
    m_combine->addItems({tr("Opaque"), tr("Transparent"), tr("Shade"), tr("Additive"),
                         tr("Subtractive"), tr("Multiply")});
    auto* combineLabel = new QLabel(tr("Combine Function:"), this);
    combineLabel->setBuddy(m_combine);
    grid->addWidget(combineLabel, 3, 0);
    grid->addWidget(m_combine, 3, 1, 1, 2);

    m_transparency = new QDoubleSpinBox(this);
    m_transparency->setRange(0.0, 1.0);
    m_transparency->setDecimals(3);
    m_transparency->setSingleStep(0.05);
    m_transparency->setValue(0.75);
    m_transparencyLabel = new QLabel(tr("Transparency:"), this);
    m_transparencyLabel->setBuddy(m_transparency);
    grid->addWidget(m_transparencyLabel, 4, 0);
    grid->addWidget(m_transparency, 4, 1, 1, 2);

    auto* resultLabel = new QLabel(tr("Result Color"), this);
    m_resultSwatch = new QLabel(this);
    m_resultText = new QLabel(this);
    m_resultText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(resultLabel, 5, 0);
    grid->addWidget(m_resultSwatch, 5, 1);
    grid->addWidget(m_resultText, 5, 2);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    auto* add = buttons->addButton(tr("Add Color"), QDialogButtonBox::ActionRole);
    add->setToolTip(tr("Keep the result among the custom colours of every colour chooser"));
    grid->addWidget(buttons, 6, 0, 1, 3);
    connect(add, &QPushButton::clicked, this, [this] {
        const int slot = AddColor();
        ShowStatusText(tr("Color added to custom color %1").arg(slot + 1));
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &ColorCalculator::reject);
    connect(m_opacity, &QDoubleSpinBox::valueChanged, this, &ColorCalculator::Recompute);
    connect(m_transparency, &QDoubleSpinBox::valueChanged, this, &ColorCalculator::Recompute);
    connect(m_combine, &QComboBox::currentIndexChanged, this, &ColorCalculator::Recompute);
    Recompute();
}

void ColorCalculator::SetColors(const QColor& below, const QColor& layer) {
    m_colors[0] = below;
    m_colors[1] = layer;
    Recompute();
}

void ColorCalculator::Choose(int which) {
    if (auto chosen = ChooseColor(m_colors[which], this)) {
        m_colors[which] = *chosen;
        Recompute();
    }
}

void ColorCalculator::Recompute() {
    const auto function = static_cast<CombineFunc>(m_combine->currentIndex());
    const bool transparent = function == CombineFunc::Transparent;
    m_transparencyLabel->setVisible(transparent);
    m_transparency->setVisible(transparent);
    m_result = CombineColors(m_colors[0], m_colors[1], m_opacity->value(), function,
                             m_transparency->value());
    for (int k = 0; k < 2; ++k) m_swatches[k]->setPixmap(Swatch(m_colors[k], 48, 20));
    m_resultSwatch->setPixmap(Swatch(m_result, 48, 20));
    m_resultText->setText(QStringLiteral("RGB: %1, %2, %3")
                              .arg(m_result.red())
                              .arg(m_result.green())
                              .arg(m_result.blue()));
}

int ColorCalculator::AddColor() {
    return AddCustomColor(m_result);
}

void ShowColorCalculator(QWidget* parent) {
    static QPointer<ColorCalculator> open;
    if (!open) {
        open = new ColorCalculator(parent);
        open->setAttribute(Qt::WA_DeleteOnClose);
    }
    open->show();
    open->raise();
    open->activateWindow();
}

}  // namespace quillon
