#include "editor/dialogs/jpeg_quality_dialog.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

namespace quillon {

namespace {
QString Tr(const char* text) {
    return QCoreApplication::translate("JpegQualityDialog", text);
}
}  // namespace

JpegQualityDialog::JpegQualityDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(Tr("JPEG Properties"));
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setRange(1, 100);
    m_slider->setSingleStep(1);
    m_slider->setPageStep(10);
    m_slider->setTickInterval(10);
    m_slider->setTickPosition(QSlider::TicksBelow);
    m_slider->setValue(kInitialQuality);
    m_slider->setMinimumWidth(240);
    m_slider->setWhatsThis(
        Tr("Sets the quality of the JPEG file. High quality gives a larger file with fewer "
           "compression artifacts; low quality a smaller file."));

    auto* label = new QLabel(Tr("&Quality:"), this);
    label->setBuddy(m_slider);
    auto* low = new QLabel(Tr("Low"), this);
    auto* high = new QLabel(Tr("High"), this);
    auto* value = new QLabel(this);
    value->setMinimumWidth(value->fontMetrics().horizontalAdvance("100") + 4);
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    value->setNum(kInitialQuality);
    connect(m_slider, &QSlider::valueChanged, value, qOverload<int>(&QLabel::setNum));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)
        ->setWhatsThis(Tr("Writes the JPEG file at the quality chosen."));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->addWidget(label, 0, 0, 1, 3);
    grid->addWidget(low, 1, 0);
    grid->addWidget(m_slider, 1, 1);
    grid->addWidget(high, 1, 2);
    grid->addWidget(value, 1, 3);
    grid->addWidget(buttons, 2, 0, 1, 4);
    m_slider->setFocus();
}

int JpegQualityDialog::Quality() const {
    return m_slider->value();
}

int JpegQualityDialog::AskQuality(QWidget* parent) {
    JpegQualityDialog dialog(parent);
    return dialog.exec() == QDialog::Accepted ? dialog.Quality() : kQualityWithoutOk;
}

}  // namespace quillon
