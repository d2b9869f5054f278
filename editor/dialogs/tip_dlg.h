#pragma once

#include <QDialog>
#include <QFile>
#include <QPointer>
#include <QString>

#include "editor/preview_window.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace quillon {

// "Tip of the Day": one tip of tips.txt at a time, continuing where the
// last one left off, with the tutorials and a slideshow of example
// textures one click away. Its state is kept in the "Tip" settings:
// "StartUp" (0: show at start-up), "FilePos" (where the next tip starts)
// and "TimeStamp" (the tips file's time when FilePos was taken).
class TipDlg : public QDialog {
    Q_OBJECT
  public:
    // A tip is one line of at most this many characters; longer lines are cut.
    static constexpr int kMaxTipLength = 999;

    explicit TipDlg(QWidget* parent = nullptr);
    // The same over other files (tests).
    TipDlg(QWidget* parent, const QString& tipsFile, const QString& slideShowFolder);
    ~TipDlg() override;

    // Whether the start-up shows the dialog ("Tip"/"StartUp" is 0).
    static bool ShowAtStartup();

    QString TipText() const { return m_tip; }
    QCheckBox* StartupBox() const { return m_startup; }
    QPushButton* NextButton() const { return m_next; }
    QPushButton* CloseButton() const { return m_close; }
    QPushButton* TutorialsButton() const { return m_tutorials; }
    QPushButton* SlideshowButton() const { return m_slideshow; }
    PreviewWindow* Slideshow() const { return m_slideshowWindow; }

  public slots:
    void NextTip();
    void ShowTutorials();
    void StartSlideshow();
    // Close: stores the check box in "StartUp".
    void accept() override;
    // Escape and the window's close: stores nothing.
    void reject() override;

  private:
    void BuildWindow();
    void OpenTips();
    bool ReadTip();
    // One line into line, at most kMaxTipLength characters of it; false at the end.
    bool ReadLine(QByteArray& line);
    void CloseSlideshow();

    QString m_tipsFile;
    QString m_slideShowFolder;
    QFile m_file;
    QString m_tip;
    bool m_hasTips = false;

    QLabel* m_text = nullptr;
    QCheckBox* m_startup = nullptr;
    QPushButton* m_next = nullptr;
    QPushButton* m_close = nullptr;
    QPushButton* m_tutorials = nullptr;
    QPushButton* m_slideshow = nullptr;
    QPointer<PreviewWindow> m_slideshowWindow;
};

}  // namespace quillon
