#pragma once

#include <QColor>
#include <QDialog>
#include <QString>
#include <optional>
#include <vector>

#include "engine/color.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace quillon {

// One of the two alternating colours of a generated map.
struct ColorBand {
    QColor color;
    QString width;  // edit-field text: "16", "(8, 24)"
    bool hardEdge = false;
    double opacity = 1.0;
};

// The banded entries: base and band colours alternate from position 0 to
// 255, each as wide as its width evaluates to (drawn anew for every band).
// A hard edge gives an entry at both ends of the band, a soft one a single
// entry in its middle. Null after telling the user that a width is invalid.
std::optional<std::vector<IndexedColor>> GenerateColorMapEntries(const ColorBand& base,
                                                                 const ColorBand& band);

// "Generate Color Map": the two colours with their widths, edges and opacities.
class GenerateColorMapDlg : public QDialog {
    Q_OBJECT
  public:
    explicit GenerateColorMapDlg(QWidget* parent = nullptr);

    // Only after accept (the opacities are checked then).
    ColorBand Base() const;
    ColorBand Band() const;

    QLineEdit* BaseWidthEdit() const { return m_side[0].width; }
    QLineEdit* BandWidthEdit() const { return m_side[1].width; }

    void accept() override;

  private:
    struct Side {
        QColor color;
        QLabel* swatch = nullptr;
        QLineEdit* width = nullptr;
        QCheckBox* hardEdge = nullptr;
        QLineEdit* opacity = nullptr;
    };
    ColorBand BandOf(const Side& side) const;
    void ShowSwatch(Side& side);

    Side m_side[2];
};

}  // namespace quillon
