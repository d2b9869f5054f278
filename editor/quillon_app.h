#pragma once

#include <QObject>
#include <QStringList>
#include <memory>
#include <optional>

namespace quillon {

class BaseLayer;
class MainWindow;
class SingleInstance;

// What the command line asks for.
struct EditorOptions {
    QStringList documents;
    std::optional<int> seed;
    bool showSplash = true;
    QString error;  // set when the command line cannot be used
};
EditorOptions ParseEditorArguments(const QStringList& arguments);

// The editor as a whole: settings, recent files, the one-layer clipboard,
// the start-up order and the main window.
class QuillonApp : public QObject {
    Q_OBJECT
  public:
    QuillonApp();
    ~QuillonApp() override;

    static QuillonApp* Instance();

    // Start-up; false when the program should end (another editor took the
    // documents, or the main window could not be made).
    bool Start(const EditorOptions& options);
    MainWindow* Window() const { return m_window; }

    // The layer clipboard: a deep copy, or null.
    static const BaseLayer* ClipboardLayer();
    static void SetClipboardLayer(std::unique_ptr<BaseLayer> layer);

    // The four most recent documents, newest first ("Recent File List").
    static QStringList RecentFiles();
    static void AddRecentFile(const QString& path);
    static void RemoveRecentFile(const QString& path);

    // The hooks of the start-up that the splash and the tips fill in.
    void ShowSplash();
    void ShowTipAtStartup();

  private:
    MainWindow* m_window = nullptr;
    std::unique_ptr<SingleInstance> m_instance;
};

}  // namespace quillon
