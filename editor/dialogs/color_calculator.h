#pragma once

#include <QColor>
#include <QDialog>

#include "engine/base_layer.h"

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;

namespace quillon {

// What a combine function makes of colour `below` (B) under a layer colour
// (L) of opacity a; w is the transparency of "Transparent". Each channel
// as the colour composite computes it, as a byte truncated from value x 255.
QColor CombineColors(const QColor& below, const QColor& layer, double opacity, CombineFunc function,
                     double transparency);

// "Color Calculator": two colours, an opacity and a combine function, and
// the colour they make; "Add Color" keeps it among the custom colours.
class ColorCalculator : public QDialog {
    Q_OBJECT
  public:
    explicit ColorCalculator(QWidget* parent = nullptr);

    void SetColors(const QColor& below, const QColor& layer);
    QColor Result() const { return m_result; }
    // Stores the result in the first empty custom colour, else slot 0.
    int AddColor();

    QDoubleSpinBox* OpacityBox() const { return m_opacity; }
    QDoubleSpinBox* TransparencyBox() const { return m_transparency; }
    QComboBox* CombineList() const { return m_combine; }
    QLabel* TransparencyLabel() const { return m_transparencyLabel; }

  private:
    void Recompute();
    void Choose(int which);

    QColor m_colors[2] = {Qt::black, Qt::white};
    QLabel* m_swatches[2];
    QDoubleSpinBox* m_opacity;
    QComboBox* m_combine;
    QLabel* m_transparencyLabel;
    QDoubleSpinBox* m_transparency;
    QLabel* m_resultSwatch;
    QLabel* m_resultText;
    QColor m_result;
};

// Opens the calculator (one per program, modeless), or raises the open one.
void ShowColorCalculator(QWidget* parent);

}  // namespace quillon
