#include "saver/saver_app.h"

#include <sys/socket.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QtGui/qguiapplication_platform.h>
#include <QApplication>
#include <QGuiApplication>
#include <QPalette>
#include <QPointer>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>
#include <QWindow>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "engine/parallel.h"
#include "engine/random.h"
#include "saver/background_work.h"
#include "saver/draw_window.h"
#include "saver/saver_settings.h"
#include "saver/settings_dialog.h"

namespace quillon {

namespace {

constexpr const char* kUsage =
    "usage: lumadrift [/c | /s | /p ID | -root | -window-id ID]\n"
    "  (none), /c   the settings dialog\n"
    "  /s           the full-screen saver; any key, button or mouse move ends it\n"
    "  /p ID, -window-id ID\n"
    "               draw inside the X window ID (decimal or 0x hexadecimal)\n"
    "  -root        draw into $XSCREENSAVER_WINDOW (XScreenSaver), else full screen\n";

// SIGTERM and SIGINT end a run like closing its window: the worker is
// cancelled and joined. The handler only writes a byte; the event loop
// reads it.
int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = write(g_signalPipe[1], &byte, 1);
}

void CatchTerminationSignals(QObject* owner) {
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, owner, [] {
        char byte;
        [[maybe_unused]] const auto got = read(g_signalPipe[0], &byte, 1);
        QApplication::closeAllWindows();
        QApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

xcb_connection_t* X11Connection() {
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// Inside another program's window: that program handles input and ends
// the run (XScreenSaver kills it); the run also ends when the window goes.
int RunInsideWindow(QApplication& app, std::uint64_t id, const SaverSettings& settings,
                    bool replaceDesktop) {
    QSize size;
    if (!ForeignWindowSize(id, size)) {
        std::fprintf(stderr, "lumadrift: there is no window 0x%llx to draw in\n",
                     static_cast<unsigned long long>(id));
        return 1;
    }
    QWindow* parent = QWindow::fromWinId(static_cast<WId>(id));
    auto* window = new DrawWindow(settings, replaceDesktop);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowFlags(Qt::FramelessWindowHint);
    window->winId();  // a native window, to be given the foreign parent
    window->windowHandle()->setParent(parent);
    window->setGeometry(0, 0, size.width(), size.height());
    window->show();
    window->Start();

    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, window, [id, window] {
        QSize now;
        if (!ForeignWindowSize(id, now)) {
            window->close();
        } else if (now != window->size()) {
            window->setGeometry(0, 0, now.width(), now.height());
        }
    });
    watch.start(500);
    QObject::connect(window, &QObject::destroyed, &app, &QApplication::quit);
    const QPointer<DrawWindow> alive(window);
    const int code = app.exec();
    watch.stop();
    delete alive.data();  // still there when a signal ended the run
    return code;
}

int RunFullScreen(QApplication& app, const SaverSettings& settings) {
    QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary) {
        std::fprintf(stderr, "lumadrift: no screen to draw on\n");
        return 1;
    }
    auto* saver = new SaverWindow(settings);
    saver->setGeometry(primary->geometry());
    // The other screens are covered in black; input there ends the run too.
    for (QScreen* screen : QGuiApplication::screens()) {
        if (screen == primary) continue;
        auto* cover =
            new QWidget(saver, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                   Qt::WindowDoesNotAcceptFocus);
        QPalette black = cover->palette();
        black.setColor(QPalette::Window, Qt::black);
        cover->setPalette(black);
        cover->setAutoFillBackground(true);
        cover->setCursor(Qt::BlankCursor);
        cover->setMouseTracking(true);
        cover->installEventFilter(saver);
        cover->setGeometry(screen->geometry());
        cover->showFullScreen();
    }
    saver->showFullScreen();
    saver->raise();
    saver->activateWindow();
    saver->Start();
    return app.exec();
}

}  // namespace

bool ForeignWindowSize(std::uint64_t id, QSize& size) {
    xcb_connection_t* connection = X11Connection();
    if (!connection || id == 0 || id > 0xffffffffULL) return false;
    xcb_generic_error_t* error = nullptr;
    xcb_get_geometry_reply_t* reply = xcb_get_geometry_reply(
        connection, xcb_get_geometry(connection, static_cast<xcb_drawable_t>(id)), &error);
    if (error) std::free(error);
    if (!reply) return false;
    size = QSize(reply->width, reply->height);
    std::free(reply);
    return size.width() > 0 && size.height() > 0;
}

int RunLumadrift(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    const char* xssWindow = std::getenv("XSCREENSAVER_WINDOW");
    const CommandLine line = ParseCommandLine(args, xssWindow ? xssWindow : "");
    if (line.kind == RunKind::Help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (line.kind == RunKind::Invalid) {
        std::fprintf(stderr, "lumadrift: %s\n%s", line.error.c_str(), kUsage);
        return 2;
    }

    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName("Veltrana");
    QCoreApplication::setApplicationName("Lumadrift");
    QGuiApplication::setApplicationDisplayName("Lumadrift");
    QGuiApplication::setDesktopFileName("lumadrift-settings");
    RandomGenerator::Instance().Seed(static_cast<int>(std::time(nullptr)));
    CatchTerminationSignals(&app);
    // Renders on the pool leave the window's thread a core.
    SetPoolNiceness(kWorkerNiceness);

    int code = 0;
    switch (line.kind) {
        case RunKind::Settings: {
            SettingsDialog dialog;
            dialog.exec();
            return 0;
        }
        case RunKind::Preview:
            // A preview never replaces the desktop.
            code = RunInsideWindow(app, line.windowId, LoadSaverSettings(), false);
            break;
        case RunKind::Root: {
            // XScreenSaver's window is the real run: Replace Desktop applies.
            const SaverSettings settings = LoadSaverSettings();
            code = line.windowId != 0
                       ? RunInsideWindow(app, line.windowId, settings, settings.desktop)
                       : RunFullScreen(app, settings);
            break;
        }
        default:
            code = RunFullScreen(app, LoadSaverSettings());
            break;
    }
    // A picture still decoding (a huge file) cannot be interrupted; the
    // windows and their workers are gone, so the process ends without it.
    if (!BackgroundWork::WaitForAll(std::chrono::milliseconds(50))) {
        std::fflush(nullptr);
        std::_Exit(code);
    }
    return code;
}

}  // namespace quillon
