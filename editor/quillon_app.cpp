#include "editor/quillon_app.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <ctime>

#include "editor/app_services.h"
#include "editor/choosers.h"
#include "editor/dialogs/splash_window.h"
#include "editor/dialogs/tip_dlg.h"
#include "editor/main_window.h"
#include "editor/single_instance.h"
#include "engine/base_layer.h"
#include "engine/random.h"

namespace quillon {

namespace {

QuillonApp* g_app = nullptr;
std::unique_ptr<BaseLayer> g_clipboard;

constexpr int kRecentCount = 4;
const QString kRecentSection = QStringLiteral("Recent File List");

void WriteRecentFiles(const QStringList& files) {
    QSettings settings;
    settings.beginGroup(kRecentSection);
    for (int i = 0; i < kRecentCount; ++i) {
        QString key = QStringLiteral("File%1").arg(i + 1);
        if (i < files.size()) {
            settings.setValue(key, files[i]);
        } else {
            settings.remove(key);
        }
    }
}

}  // namespace

EditorOptions ParseEditorArguments(const QStringList& arguments) {
    EditorOptions options;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QStringLiteral("--seed") ||
            argument.startsWith(QStringLiteral("--seed="))) {
            QString value;
            if (argument.contains(QLatin1Char('='))) {
                value = argument.section(QLatin1Char('='), 1);
            } else if (i + 1 < arguments.size()) {
                value = arguments[++i];
            }
            bool ok = false;
            qlonglong seed = value.toLongLong(&ok);
            if (!ok || seed < 0 || seed > 2147483647) {
                options.error =
                    QStringLiteral("--seed: \"%1\" is not a seed from 0 to 2147483647").arg(value);
                return options;
            }
            options.seed = static_cast<int>(seed);
        } else if (argument == QStringLiteral("--")) {
            for (++i; i < arguments.size(); ++i) options.documents << arguments[i];
        } else if (argument.startsWith(QStringLiteral("--")) && argument.size() > 2) {
            options.error = QStringLiteral("unknown option %1").arg(argument);
            return options;
        } else {
            options.documents << argument;
        }
    }
    return options;
}

QuillonApp::QuillonApp() {
    g_app = this;
}

QuillonApp::~QuillonApp() {
    delete m_window;
    g_clipboard.reset();
    if (g_app == this) g_app = nullptr;
}

QuillonApp* QuillonApp::Instance() {
    return g_app;
}

bool QuillonApp::Start(const EditorOptions& options) {
    // The documents of a second start go to the editor already running.
    QStringList documents;
    for (const QString& path : options.documents) documents << QFileInfo(path).absoluteFilePath();
    m_instance = std::make_unique<SingleInstance>();
    if (m_instance->HandOver(documents)) return false;

    m_window = new MainWindow;
    if (options.showSplash) ShowSplash();
    m_instance->Listen();
    connect(m_instance.get(), &SingleInstance::DocumentsReceived, m_window,
            [this](const QStringList& paths) {
                for (const QString& path : paths) m_window->OpenDocumentFile(path);
                m_window->setWindowState((m_window->windowState() & ~Qt::WindowMinimized) |
                                         Qt::WindowActive);
                m_window->raise();
                m_window->activateWindow();
            });
    m_window->showMaximized();

    SetAdvancedMode(QSettings().value(QStringLiteral("Settings/Advanced"), 1).toInt() != 0);
    m_window->UpdateActions();
    RandomGenerator::Instance().Seed(
        options.seed ? *options.seed : static_cast<int>(std::time(nullptr) & 0x7fffffff));
    if (options.showSplash) ShowTipAtStartup();

    // As the file manager's open would: each named document, no untitled one.
    for (const QString& path : documents) m_window->OpenDocumentFile(path);
    return true;
}

const BaseLayer* QuillonApp::ClipboardLayer() {
    return g_clipboard.get();
}

void QuillonApp::SetClipboardLayer(std::unique_ptr<BaseLayer> layer) {
    g_clipboard = std::move(layer);
}

QStringList QuillonApp::RecentFiles() {
    QSettings settings;
    settings.beginGroup(kRecentSection);
    QStringList files;
    for (int i = 0; i < kRecentCount; ++i) {
        QString path = settings.value(QStringLiteral("File%1").arg(i + 1)).toString();
        if (!path.isEmpty()) files << path;
    }
    return files;
}

void QuillonApp::AddRecentFile(const QString& path) {
    QStringList files = RecentFiles();
    files.removeAll(path);
    files.prepend(path);
    WriteRecentFiles(files.mid(0, kRecentCount));
}

void QuillonApp::RemoveRecentFile(const QString& path) {
    QStringList files = RecentFiles();
    files.removeAll(path);
    WriteRecentFiles(files);
}

// ---- Hooks of the start-up ---------------------------------------------------

void QuillonApp::ShowSplash() {
    SplashWindow::Enable(true);
    SplashWindow::ShowOver(m_window);
}

void QuillonApp::ShowTipAtStartup() {
    if (!TipDlg::ShowAtStartup()) return;
    TipDlg tips(m_window);
    GetChoosers().RunDialog(tips);
}

}  // namespace quillon
