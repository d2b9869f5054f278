#pragma once

#include <QMainWindow>
#include <QPointer>
#include <array>

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;

namespace quillon {

class Document;
class DocumentView;

// The editor's frame: menus, toolbar, status bar and the document windows.
class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    QMdiArea* MdiArea() const { return m_mdi; }
    DocumentView* ActiveView() const;
    QList<DocumentView*> Views() const;
    // The action of a command by its menu text without "&" and accelerator
    // ("Insert Layer", "Save As..."), for tests and the toolbar.
    QAction* Action(const QString& name) const;

    // Opens a document (or shows it when it is open already); null on failure.
    DocumentView* OpenDocumentFile(const QString& path);

  public slots:
    void FileNew();
    void FileOpen();
    void FileClose();
    void FileSave();
    void FileSaveAs();
    void FileSend();
    void NewWindow();
    void UpdateActions();
    void ToggleAdvancedMode();

    // Hooks filled in by the help, tips, about, colour calculator and
    // desktop-wallpaper work: the commands and their places exist already.
    void OnHelpTopics();
    void OnTutorials();
    void OnTipOfTheDay();
    void OnAbout();
    void OnColorCalculator();
    void OnGenerateDesktop();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void CreateActions();
    void BuildMenus();
    void UpdateRecentMenu();
    DocumentView* AddView(Document* document);
    QList<DocumentView*> ViewsOf(const Document* document) const;
    void UpdateTitles(const Document* document);
    QAction* MakeAction(const QString& text, const QString& prompt, const QString& icon = {},
                        const QKeySequence& key = {});

    QMdiArea* m_mdi;
    QLabel* m_message;
    QMenu* m_recentMenuHolder = nullptr;
    bool m_hasDocumentMenu = false;
    std::array<QAction*, 4> m_recent{};
    QAction* m_recentPlaceholder = nullptr;
    QHash<QString, QAction*> m_actions;
};

}  // namespace quillon
