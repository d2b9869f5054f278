#pragma once

#include <QPixmap>
#include <QPointer>
#include <QWidget>

namespace quillon {

// The picture shown over the main window at start-up. It goes after four
// seconds, or at the first key or mouse press anywhere in the program,
// which it swallows so that the press does nothing else.
class SplashWindow : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kShowMilliseconds = 4000;

    // Set once from the command line: no splash unless enabled.
    static void Enable(bool enabled);
    // Shows the splash over the main window when enabled and none is shown.
    static void ShowOver(QWidget* mainWindow);
    // The splash shown now, or null.
    static SplashWindow* Current();
    // Takes the splash away (the timer's end, a press).
    static void HideSplash();

    // The picture: a texture rendered by Quillon with the program's name.
    static QPixmap Picture();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    SplashWindow(QWidget* mainWindow, QPixmap picture);
    ~SplashWindow() override;

    QPixmap m_picture;
    QPointer<QWidget> m_mainWindow;
};

}  // namespace quillon
