#include "editor/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolBar>
#include <QWhatsThis>

#include "editor/app_services.h"
#include "editor/choosers.h"
#include "editor/dialogs/about_dlg.h"
#include "editor/dialogs/color_calculator.h"
#include "editor/dialogs/new_texture_dialog.h"
#include "editor/dialogs/tip_dlg.h"
#include "editor/document.h"
#include "editor/document_view.h"
#include "editor/editor_icon.h"
#include "editor/generate_desktop.h"
#include "editor/help.h"
#include "editor/layer_tree.h"
#include "editor/quillon_app.h"
#include "engine/error_reporter.h"

namespace quillon {

namespace {

const QString kDocumentFilter = QStringLiteral("Quillon Files (*.qln);;All Files (*)");

// The CAP, NUM and SCRL panes, which show their text while the lock is on.
// X11 reports Caps Lock and Num Lock in the state of every key event (Lock
// and Mod2); Scroll Lock is no modifier there, so its pane follows the
// presses of its key.
class LockKeyPanes : public QObject {
  public:
    LockKeyPanes(QLabel* caps, QLabel* num, QLabel* scroll, QObject* parent)
        : QObject(parent), m_caps(caps), m_num(num), m_scroll(scroll) {
        m_x11 = QGuiApplication::platformName() == QStringLiteral("xcb");
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (m_x11) {
                m_caps->setText((key->nativeModifiers() & 0x2) ? QStringLiteral("CAP") : QString());
                m_num->setText((key->nativeModifiers() & 0x10) ? QStringLiteral("NUM") : QString());
            }
            if (key->key() == Qt::Key_ScrollLock && event->type() == QEvent::KeyPress &&
                !key->isAutoRepeat() && key->timestamp() != m_scrollStamp) {
                // A key event travels up the widgets: count it once.
                m_scrollStamp = key->timestamp();
                m_scroll->setText(m_scroll->text().isEmpty() ? QStringLiteral("SCRL") : QString());
            }
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    QLabel* m_caps;
    QLabel* m_num;
    QLabel* m_scroll;
    bool m_x11 = false;
    quint64 m_scrollStamp = 0;
};

// "&Save Layer...\tCtrl+A" -> "Save Layer..."
QString PlainName(const QString& text) {
    QString name = text.section(QLatin1Char('\t'), 0, 0);
    name.remove(QLatin1Char('&'));
    return name;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setWindowIcon(EditorIcon(QStringLiteral("quillon.svg")));
    setWindowTitle(QStringLiteral("Quillon"));
    setAcceptDrops(true);
    m_mdi = new QMdiArea(this);
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdi);

    CreateActions();

    QToolBar* bar = addToolBar(QStringLiteral("Standard"));
    bar->setObjectName(QStringLiteral("Standard"));
    bar->setIconSize(QSize(16, 16));
    bar->addAction(Action("New"));
    bar->addAction(Action("Open..."));
    bar->addAction(Action("Save"));
    bar->addSeparator();
    bar->addAction(Action("Insert Layer"));
    bar->addAction(Action("Cut Layer"));
    bar->addAction(Action("Load Layer..."));
    bar->addAction(Action("Save Layer..."));
    bar->addSeparator();
    bar->addAction(Action("Generate Desktop..."));
    bar->addAction(Action("Color Calculator..."));
    bar->addAction(Action("Advanced Mode"));
    bar->addSeparator();
    bar->addAction(Action("About Quillon..."));
    bar->addAction(Action("Help"));
    connect(Action("Toolbar"), &QAction::toggled, bar, &QToolBar::setVisible);
    connect(bar, &QToolBar::visibilityChanged, Action("Toolbar"), &QAction::setChecked);

    m_message = new QLabel(QStringLiteral("Ready"), this);
    statusBar()->addWidget(m_message, 1);
    QList<QLabel*> panes;
    for (const char* pane : {"CAP", "NUM", "SCRL"}) {
        auto* label = new QLabel(this);
        label->setAlignment(Qt::AlignCenter);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 12);
        label->setObjectName(QString::fromLatin1(pane));
        statusBar()->addPermanentWidget(label);
        panes << label;
    }
    qApp->installEventFilter(new LockKeyPanes(panes[0], panes[1], panes[2], this));
    connect(Action("Status Bar"), &QAction::toggled, statusBar(), &QStatusBar::setVisible);
    SetStatusTextSink([this](const QString& text) {
        m_message->setText(text.isEmpty() ? QStringLiteral("Ready") : text);
    });

    connect(m_mdi, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* window) {
        // The frame's title names the active document.
        QString title = window ? window->windowTitle().remove(QStringLiteral("[*]")) : QString();
        // The program's name follows a document's; alone it is the title.
        setWindowTitle(title.isEmpty() ? QStringLiteral("Quillon") : title);
        BuildMenus();
        UpdateActions();
    });
    BuildMenus();
    UpdateActions();
    resize(1024, 720);
}

MainWindow::~MainWindow() {
    // Tearing the windows down must not run the handlers of a live frame.
    disconnect(m_mdi, nullptr, this, nullptr);
    // Closed windows may still wait for their deletion: find them all.
    for (QMdiSubWindow* window : findChildren<QMdiSubWindow*>()) window->removeEventFilter(this);
    for (DocumentView* view : findChildren<DocumentView*>()) {
        disconnect(view, nullptr, this, nullptr);
        view->CancelPreview();
    }
    SetStatusTextSink(nullptr);
}

QAction* MainWindow::MakeAction(const QString& text, const QString& prompt, const QString& icon,
                                const QKeySequence& key) {
    auto* action = new QAction(text, this);
    // The prompt's second line is the tooltip.
    action->setStatusTip(prompt.section(QLatin1Char('\n'), 0, 0));
    QString tip = prompt.section(QLatin1Char('\n'), 1);
    if (!tip.isEmpty()) {
        action->setToolTip(tip);
        action->setIconText(tip);
    }
    if (!icon.isEmpty()) action->setIcon(EditorIcon(icon));
    if (!key.isEmpty()) action->setShortcut(key);
    m_actions.insert(PlainName(text), action);
    return action;
}

QAction* MainWindow::Action(const QString& name) const {
    return m_actions.value(name);
}

void MainWindow::CreateActions() {
    auto onView = [this](void (DocumentView::*slot)()) {
        return [this, slot] {
            if (DocumentView* view = ActiveView()) (view->*slot)();
        };
    };
    connect(
        MakeAction("&New\tCtrl+N", "Create a new document\nNew", "new.svg", QKeySequence("Ctrl+N")),
        &QAction::triggered, this, &MainWindow::FileNew);
    connect(MakeAction("&Open...\tCtrl+O", "Open an existing document\nOpen", "open.svg",
                       QKeySequence("Ctrl+O")),
            &QAction::triggered, this, &MainWindow::FileOpen);
    connect(MakeAction("&Close", "Close the active document\nClose"), &QAction::triggered, this,
            &MainWindow::FileClose);
    connect(MakeAction("&Save\tCtrl+S", "Save the active document\nSave", "save.svg",
                       QKeySequence("Ctrl+S")),
            &QAction::triggered, this, &MainWindow::FileSave);
    connect(MakeAction("Save &As...", "Save the active document with a new name\nSave As"),
            &QAction::triggered, this, &MainWindow::FileSaveAs);
    connect(MakeAction("Se&nd...", "Send the active document through electronic mail\nSend Mail"),
            &QAction::triggered, this, &MainWindow::FileSend);
    connect(MakeAction("E&xit", "Quit the application; prompts to save documents\nExit"),
            &QAction::triggered, this, &QWidget::close);
    m_recentPlaceholder = new QAction(QStringLiteral("Recent File"), this);
    m_recentPlaceholder->setEnabled(false);
    for (std::size_t i = 0; i < m_recent.size(); ++i) {
        m_recent[i] = new QAction(this);
        m_recent[i]->setStatusTip(QStringLiteral("Open this document"));
        connect(m_recent[i], &QAction::triggered, this, [this, i] {
            QString path = m_recent[i]->data().toString();
            if (!OpenDocumentFile(path)) {
                QuillonApp::RemoveRecentFile(path);
                UpdateRecentMenu();
            }
        });
    }

    connect(MakeAction("&Insert Layer\tCtrl+I", "Insert a new layer\nInsert Layer",
                       "insert_layer.svg", QKeySequence("Ctrl+I")),
            &QAction::triggered, this, onView(&DocumentView::InsertLayer));
    connect(MakeAction("&Cut Layer\tCtrl+X", "Cut the selected layer to the clipboard\nCut Layer",
                       "cut_layer.svg", QKeySequence("Ctrl+X")),
            &QAction::triggered, this, onView(&DocumentView::CutLayer));
    connect(
        MakeAction("C&opy Layer\tCtrl+C", "Copy the selected layer to the clipboard\nCopy Layer",
                   {}, QKeySequence("Ctrl+C")),
        &QAction::triggered, this, onView(&DocumentView::CopyLayer));
    connect(MakeAction("&Paste Layer\tCtrl+V", "Insert the layer on the clipboard\nPaste Layer", {},
                       QKeySequence("Ctrl+V")),
            &QAction::triggered, this, onView(&DocumentView::PasteLayer));
    connect(MakeAction("&Load Layer...\tCtrl+L", "Insert a layer from a file\nLoad Layer",
                       "load_layer.svg", QKeySequence("Ctrl+L")),
            &QAction::triggered, this, onView(&DocumentView::LoadLayer));
    connect(MakeAction("&Save Layer...\tCtrl+A", "Save the selected layer to a file\nSave Layer",
                       "save_layer.svg", QKeySequence("Ctrl+A")),
            &QAction::triggered, this, onView(&DocumentView::SaveLayer));
    connect(MakeAction("&Generate Desktop...",
                       "Synthesize the texture as the desktop wallpaper\nGenerate Desktop",
                       "generate_desktop.svg"),
            &QAction::triggered, this, &MainWindow::OnGenerateDesktop);
    connect(MakeAction("&Color Calculator...\tCtrl+U", "Mix and convert colours\nColor Calculator",
                       "color_calculator.svg", QKeySequence("Ctrl+U")),
            &QAction::triggered, this, &MainWindow::OnColorCalculator);

    QAction* toolbar = MakeAction("&Toolbar", "Show or hide the toolbar\nToggle ToolBar");
    toolbar->setCheckable(true);
    toolbar->setChecked(true);
    QAction* status = MakeAction("&Status Bar", "Show or hide the status bar\nToggle StatusBar");
    status->setCheckable(true);
    status->setChecked(true);
    QAction* advanced = MakeAction(
        "&Advanced Mode", "Show the advanced controls of the property pages\nAdvanced Mode",
        "advanced_mode.svg");
    advanced->setCheckable(true);
    advanced->setChecked(AdvancedMode());
    connect(advanced, &QAction::triggered, this, &MainWindow::ToggleAdvancedMode);
    QAction* xMirror = MakeAction("&X-Mirror", "Mirror previews left to right\nX-Mirror");
    xMirror->setCheckable(true);
    connect(xMirror, &QAction::triggered, this, onView(&DocumentView::ToggleXMirror));
    QAction* yMirror = MakeAction("&Y-Mirror", "Mirror previews top to bottom\nY-Mirror");
    yMirror->setCheckable(true);
    connect(yMirror, &QAction::triggered, this, onView(&DocumentView::ToggleYMirror));

    connect(MakeAction("&New Window", "Open another window for the active document\nNew Window"),
            &QAction::triggered, this, &MainWindow::NewWindow);
    connect(MakeAction("&Cascade", "Arrange windows so they overlap\nCascade Windows"),
            &QAction::triggered, m_mdi, &QMdiArea::cascadeSubWindows);
    connect(MakeAction("&Tile", "Arrange windows as non-overlapping tiles\nTile Windows"),
            &QAction::triggered, m_mdi, &QMdiArea::tileSubWindows);
    connect(
        MakeAction("&Arrange Icons", "Arrange icons at the bottom of the window\nArrange Icons"),
        &QAction::triggered, this, [this] {
            // Minimized windows line up along the bottom edge.
            int x = 0;
            for (QMdiSubWindow* window : m_mdi->subWindowList()) {
                if (!window->isMinimized()) continue;
                window->move(x, m_mdi->viewport()->height() - window->height());
                x += window->width();
            }
        });

    connect(
        MakeAction("&Help Topics", "List Help topics\nHelp Topics", {}, QKeySequence(Qt::Key_F1)),
        &QAction::triggered, this, &MainWindow::OnHelpTopics);
    connect(MakeAction("&Tutorials", "Show the tutorials\nTutorials"), &QAction::triggered, this,
            &MainWindow::OnTutorials);
    connect(MakeAction("Ti&p of the Day...", "Show a tip\nTip of the Day"), &QAction::triggered,
            this, &MainWindow::OnTipOfTheDay);
    connect(
        MakeAction("&About Quillon...",
                   "Display program information, version number and copyright\nAbout", "about.svg"),
        &QAction::triggered, this, &MainWindow::OnAbout);
    QAction* help =
        MakeAction("Help", "Display help for clicked on buttons, menus and windows\nHelp",
                   "context_help.svg", QKeySequence(Qt::SHIFT | Qt::Key_F1));
    connect(help, &QAction::triggered, this, [] { QWhatsThis::enterWhatsThisMode(); });
}

void MainWindow::BuildMenus() {
    bool document = ActiveView() != nullptr;
    if (m_recentMenuHolder && document == m_hasDocumentMenu) return;
    m_hasDocumentMenu = document;
    QMenuBar* bar = menuBar();
    bar->clear();
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->addAction(Action("New"));
    file->addAction(Action("Open..."));
    if (document) {
        file->addAction(Action("Close"));
        file->addAction(Action("Save"));
        file->addAction(Action("Save As..."));
        file->addSeparator();
        file->addAction(Action("Send..."));
    }
    file->addSeparator();
    file->addAction(m_recentPlaceholder);
    for (QAction* recent : m_recent) file->addAction(recent);
    file->addSeparator();
    file->addAction(Action("Exit"));
    m_recentMenuHolder = file;
    connect(file, &QMenu::aboutToShow, this, &MainWindow::UpdateRecentMenu);

    if (document) {
        QMenu* layer = bar->addMenu(QStringLiteral("&Layer"));
        for (const char* name : {"Insert Layer", "Cut Layer", "Copy Layer", "Paste Layer"}) {
            layer->addAction(Action(name));
        }
        layer->addSeparator();
        layer->addAction(Action("Load Layer..."));
        layer->addAction(Action("Save Layer..."));
        layer->addSeparator();
        layer->addAction(Action("Generate Desktop..."));
        connect(layer, &QMenu::aboutToShow, this, &MainWindow::UpdateActions);
    }
    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    view->addAction(Action("Toolbar"));
    view->addAction(Action("Status Bar"));
    view->addSeparator();
    view->addAction(Action("Advanced Mode"));
    if (document) {
        view->addAction(Action("X-Mirror"));
        view->addAction(Action("Y-Mirror"));
    }
    view->addSeparator();
    view->addAction(Action("Color Calculator..."));
    if (document) {
        QMenu* window = bar->addMenu(QStringLiteral("&Window"));
        for (const char* name : {"New Window", "Cascade", "Tile", "Arrange Icons"}) {
            window->addAction(Action(name));
        }
        connect(window, &QMenu::aboutToShow, this, [this, window] {
            // The open windows below the commands, the active one checked.
            for (QAction* action : window->actions()) {
                if (action->data().isValid()) delete action;
            }
            window->addSeparator()->setData(0);
            int n = 0;
            for (QMdiSubWindow* sub : m_mdi->subWindowList()) {
                QAction* item = window->addAction(
                    QStringLiteral("&%1 %2").arg(++n).arg(sub->windowTitle().remove("[*]")));
                item->setData(n);
                item->setCheckable(true);
                item->setChecked(sub == m_mdi->activeSubWindow());
                connect(item, &QAction::triggered, this,
                        [this, sub] { m_mdi->setActiveSubWindow(sub); });
            }
        });
    }
    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    help->addAction(Action("Help Topics"));
    help->addAction(Action("Tutorials"));
    help->addAction(Action("Tip of the Day..."));
    help->addSeparator();
    help->addAction(Action("About Quillon..."));
    UpdateRecentMenu();
}

void MainWindow::UpdateRecentMenu() {
    QStringList files = QuillonApp::RecentFiles();
    m_recentPlaceholder->setVisible(files.isEmpty());
    for (std::size_t i = 0; i < m_recent.size(); ++i) {
        bool used = static_cast<qsizetype>(i) < files.size();
        m_recent[i]->setVisible(used);
        if (!used) continue;
        QString path = files[static_cast<qsizetype>(i)];
        QString shown = QDir::toNativeSeparators(path);
        if (shown.size() > 60) shown = QStringLiteral("...") + shown.right(57);
        m_recent[i]->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(shown.replace("&", "&&")));
        m_recent[i]->setData(path);
    }
}

DocumentView* MainWindow::ActiveView() const {
    QMdiSubWindow* window = m_mdi->activeSubWindow();
    if (!window && !m_mdi->subWindowList().isEmpty()) window = m_mdi->currentSubWindow();
    return window ? qobject_cast<DocumentView*>(window->widget()) : nullptr;
}

QList<DocumentView*> MainWindow::Views() const {
    QList<DocumentView*> views;
    for (QMdiSubWindow* window : m_mdi->subWindowList()) {
        if (auto* view = qobject_cast<DocumentView*>(window->widget())) views << view;
    }
    return views;
}

QList<DocumentView*> MainWindow::ViewsOf(const Document* document) const {
    QList<DocumentView*> views;
    for (DocumentView* view : Views()) {
        if (view->GetDocument() == document) views << view;
    }
    return views;
}

void MainWindow::UpdateActions() {
    DocumentView* view = ActiveView();
    bool preview = view && view->HasOpenPreview();
    Action("Close")->setEnabled(view && !preview);
    Action("Save")->setEnabled(view);
    Action("Save As...")->setEnabled(view);
    Action("Send...")->setEnabled(
        view && !QStandardPaths::findExecutable(QStringLiteral("xdg-email")).isEmpty());
    Action("Insert Layer")->setEnabled(view);
    Action("Load Layer...")->setEnabled(view);
    bool layer = view && view->CanCutOrCopy();
    Action("Cut Layer")->setEnabled(layer);
    Action("Copy Layer")->setEnabled(layer);
    Action("Save Layer...")->setEnabled(layer);
    Action("Paste Layer")->setEnabled(view && view->CanPaste());
    Action("Generate Desktop...")->setEnabled(view && !preview);
    Action("X-Mirror")->setEnabled(view);
    Action("Y-Mirror")->setEnabled(view);
    Action("X-Mirror")->setChecked(view && view->XMirror());
    Action("Y-Mirror")->setChecked(view && view->YMirror());
    Action("Advanced Mode")->setChecked(AdvancedMode());
    for (const char* name : {"New Window", "Cascade", "Tile", "Arrange Icons"}) {
        Action(name)->setEnabled(view);
    }
}

DocumentView* MainWindow::AddView(Document* document) {
    auto* view = new DocumentView(document);
    QMdiSubWindow* window = m_mdi->addSubWindow(view);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowIcon(EditorIcon(QStringLiteral("qln_document.svg")));
    window->installEventFilter(this);
    connect(view, &DocumentView::CommandStateChanged, this, [this, view] {
        if (view == ActiveView()) UpdateActions();
    });
    connect(view, &DocumentView::StructureChanged, this, [this, document](DocumentView* source) {
        for (DocumentView* other : ViewsOf(document)) {
            if (other != source) other->Rebuild();
        }
    });
    connect(document, &Document::ModifiedChanged, window, &QWidget::setWindowModified);
    connect(document, &Document::TitleChanged, this, [this, document] { UpdateTitles(document); });
    connect(view, &QObject::destroyed, this, [this, document] {
        // The last window of a document takes the document with it.
        if (ViewsOf(document).isEmpty()) document->deleteLater();
        BuildMenus();
        UpdateActions();
    });
    // The window fits its form (the property pages need their room), within the area.
    QSize fit = window->sizeHint().expandedTo(QSize(900, 660));
    QSize room = m_mdi->viewport()->size();
    if (room.width() > 200 && room.height() > 200) fit = fit.boundedTo(room);
    window->resize(fit);
    window->show();
    m_mdi->setActiveSubWindow(window);
    view->Tree()->setFocus();
    UpdateTitles(document);
    window->setWindowModified(document->IsModified());
    BuildMenus();
    UpdateActions();
    return view;
}

void MainWindow::UpdateTitles(const Document* document) {
    QList<DocumentView*> views = ViewsOf(document);
    for (int i = 0; i < views.size(); ++i) {
        QString title = document->Title();
        if (views.size() > 1) title += QStringLiteral(":%1").arg(i + 1);
        if (auto* window = qobject_cast<QMdiSubWindow*>(views[i]->parentWidget())) {
            window->setWindowTitle(title + QStringLiteral("[*]"));
        }
    }
    if (DocumentView* view = ActiveView(); view && view->GetDocument() == document) {
        setWindowTitle(document->Title());
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    auto* window = qobject_cast<QMdiSubWindow*>(watched);
    if (window && event->type() == QEvent::Close) {
        auto* view = qobject_cast<DocumentView*>(window->widget());
        if (view) {
            Document* document = view->GetDocument();
            if (ViewsOf(document).size() == 1 && !document->SaveModified(this)) {
                event->ignore();
                return true;
            }
            // The worker stops before the document can go.
            view->CancelPreview();
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    QList<Document*> asked;
    for (DocumentView* view : Views()) {
        Document* document = view->GetDocument();
        if (asked.contains(document)) continue;
        asked << document;
        m_mdi->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(view->parentWidget()));
        if (!document->SaveModified(this)) {
            event->ignore();
            return;
        }
    }
    for (DocumentView* view : Views()) view->CancelPreview();
    event->accept();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) OpenDocumentFile(url.toLocalFile());
    }
    event->acceptProposedAction();
}

void MainWindow::FileNew() {
    NewTextureDialog dialog(this);
    if (!GetChoosers().RunDialog(dialog)) return;
    auto* document = new Document(this);
    document->InitNew(dialog.TextureName(), dialog.TextureWidth(), dialog.TextureHeight());
    AddView(document);
}

void MainWindow::FileOpen() {
    QString path = GetChoosers().OpenFileName(this, QStringLiteral("Open"), kDocumentFilter);
    if (!path.isEmpty()) OpenDocumentFile(path);
}

DocumentView* MainWindow::OpenDocumentFile(const QString& path) {
    QString absolute = QFileInfo(path).absoluteFilePath();
    for (DocumentView* view : Views()) {
        if (view->GetDocument()->Path() == absolute) {
            m_mdi->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(view->parentWidget()));
            return view;
        }
    }
    auto* document = new Document(this);
    if (!document->Open(absolute)) {
        delete document;
        return nullptr;
    }
    QuillonApp::AddRecentFile(absolute);
    UpdateRecentMenu();
    return AddView(document);
}

void MainWindow::FileClose() {
    DocumentView* view = ActiveView();
    if (view && !view->HasOpenPreview()) view->parentWidget()->close();
}

void MainWindow::FileSave() {
    if (DocumentView* view = ActiveView()) {
        Document* document = view->GetDocument();
        if (document->Save(this)) QuillonApp::AddRecentFile(document->Path());
    }
}

void MainWindow::FileSaveAs() {
    if (DocumentView* view = ActiveView()) {
        Document* document = view->GetDocument();
        if (document->SaveAs(this)) QuillonApp::AddRecentFile(document->Path());
    }
}

void MainWindow::FileSend() {
    DocumentView* view = ActiveView();
    if (!view) return;
    Document* document = view->GetDocument();
    QString path = document->Path();
    if (path.isEmpty() || document->IsModified()) {
        // The mail gets what the window shows, saved to a copy.
        QString folder =
            QDir(QStandardPaths::writableLocation(QStandardPaths::TempLocation))
                .filePath(
                    QStringLiteral("quillon-send-%1").arg(QCoreApplication::applicationPid()));
        QDir().mkpath(folder);
        path = QDir(folder).filePath(QFileInfo(document->Title()).completeBaseName() +
                                     QStringLiteral(".qln"));
        QString error;
        if (!document->WriteTo(path, &error)) {
            ReportError(QStringLiteral("Unable to save %1:\n%2").arg(path, error).toStdString());
            return;
        }
    }
    if (!QProcess::startDetached(QStringLiteral("xdg-email"), {QStringLiteral("--attach"), path})) {
        ReportError("Unable to start the mail program (xdg-email).");
    }
}

void MainWindow::NewWindow() {
    if (DocumentView* view = ActiveView()) AddView(view->GetDocument());
}

void MainWindow::ToggleAdvancedMode() {
    bool on = !AdvancedMode();
    SetAdvancedMode(on);
    QSettings().setValue(QStringLiteral("Settings/Advanced"), on ? 1 : 0);
    if (DocumentView* view = ActiveView()) view->AdvancedModeToggled();
    UpdateActions();
}

// ---- Hooks ----------------------------------------------------------------
// Help, tips, about, the colour calculator and Generate Desktop come with
// their own windows; until those are part of the program these say so.

void MainWindow::OnHelpTopics() {
    ShowHelp(kHelpContents, this);
}

void MainWindow::OnTutorials() {
    ShowHelp(kHelpTutorials, this);
}

void MainWindow::OnTipOfTheDay() {
    TipDlg tips(this);
    GetChoosers().RunDialog(tips);
}

void MainWindow::OnAbout() {
    AboutDlg about(this);
    GetChoosers().RunDialog(about);
}

void MainWindow::OnColorCalculator() {
    ShowColorCalculator(this);
}

void MainWindow::OnGenerateDesktop() {
    GenerateDesktop(ActiveView());
}

}  // namespace quillon
