#pragma once

#include <QDialog>

class QRadioButton;

namespace quillon {

// "Desktop Properties": render the wallpaper at the screen's size
// (Expanded, the default) or at the object's own size (Current Size).
class DesktopPropertiesDialog : public QDialog {
    Q_OBJECT
  public:
    explicit DesktopPropertiesDialog(QWidget* parent = nullptr);

    bool Expanded() const { return m_expanded; }
    QRadioButton* ExpandedButton() const { return m_expandedButton; }
    QRadioButton* CurrentSizeButton() const { return m_currentButton; }

  private:
    bool m_expanded = true;
    QRadioButton* m_expandedButton;
    QRadioButton* m_currentButton;
};

}  // namespace quillon
