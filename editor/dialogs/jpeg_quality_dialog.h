#pragma once

#include <QDialog>

class QSlider;

namespace quillon {

// "JPEG Properties": asks for the quality of a JPEG file, 1 to 100.
class JpegQualityDialog : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kInitialQuality = 50;
    // Closing the dialog any way but OK still writes the file, at the best quality.
    static constexpr int kQualityWithoutOk = 100;

    explicit JpegQualityDialog(QWidget* parent = nullptr);

    int Quality() const;
    // Runs the dialog: the slider's value after OK, else kQualityWithoutOk.
    static int AskQuality(QWidget* parent);

  private:
    QSlider* m_slider;
};

}  // namespace quillon
