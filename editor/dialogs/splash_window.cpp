#include "editor/dialogs/splash_window.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#ifndef QUILLON_VERSION
#define QUILLON_VERSION "2.0"
#endif

namespace quillon {

namespace {

bool g_enabled = false;
QPointer<SplashWindow> g_current;

bool IsPress(QEvent::Type type) {
    switch (type) {
        case QEvent::KeyPress:
        case QEvent::ShortcutOverride:  // so that no shortcut fires either
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonDblClick:
        case QEvent::TabletPress:
        case QEvent::TouchBegin:
            return true;
        default:
            return false;
    }
}

}  // namespace

void SplashWindow::Enable(bool enabled) {
    g_enabled = enabled;
}

SplashWindow* SplashWindow::Current() {
    return g_current.data();
}

QPixmap SplashWindow::Picture() {
    QPixmap picture(QStringLiteral(":/images/splash.jpg"));
    if (picture.isNull()) return picture;
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(QColor(255, 246, 236));
    QFont title = painter.font();
    title.setPixelSize(64);
    title.setBold(true);
    painter.setFont(title);
    painter.drawText(QRect(32, 150, 420, 80), Qt::AlignLeft | Qt::AlignBottom,
                     QStringLiteral("Quillon"));
    QFont small = painter.font();
    small.setPixelSize(17);
    small.setBold(false);
    painter.setFont(small);
    painter.setPen(QColor(236, 214, 236));
    painter.drawText(QRect(36, 232, 420, 24), Qt::AlignLeft,
                     QObject::tr("Procedural textures, layer by layer"));
    small.setPixelSize(13);
    painter.setFont(small);
    painter.drawText(QRect(36, picture.height() - 30, 420, 20), Qt::AlignLeft,
                     QObject::tr("Version %1").arg(QStringLiteral(QUILLON_VERSION)));
    return picture;
}

void SplashWindow::ShowOver(QWidget* mainWindow) {
    if (!g_enabled || g_current) return;
    QPixmap picture = Picture();
    if (picture.isNull()) return;  // no picture, no splash
    auto* splash = new SplashWindow(mainWindow, std::move(picture));
    g_current = splash;
    splash->show();
    splash->raise();
}

void SplashWindow::HideSplash() {
    SplashWindow* splash = g_current.data();
    if (!splash) return;
    g_current = nullptr;
    qApp->removeEventFilter(splash);
    splash->hide();
    splash->deleteLater();
    if (splash->m_mainWindow) splash->m_mainWindow->update();
}

SplashWindow::SplashWindow(QWidget* mainWindow, QPixmap picture)
    : QWidget(mainWindow, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_picture(std::move(picture)),
      m_mainWindow(mainWindow) {
    setAttribute(Qt::WA_DeleteOnClose);
    setCursor(Qt::ArrowCursor);
    setFixedSize(m_picture.deviceIndependentSize().toSize());
    // Centred on the screen the main window is on.
    QScreen* screen = mainWindow && mainWindow->screen() ? mainWindow->screen()
                                                         : QGuiApplication::primaryScreen();
    if (screen) {
        QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    qApp->installEventFilter(this);
    QTimer::singleShot(kShowMilliseconds, this, &SplashWindow::HideSplash);
}

SplashWindow::~SplashWindow() {
    qApp->removeEventFilter(this);
    if (g_current == this) g_current = nullptr;
}

bool SplashWindow::eventFilter(QObject* watched, QEvent* event) {
    if (g_current == this && IsPress(event->type())) {
        if (event->type() == QEvent::ShortcutOverride) {
            // Accepted overrides keep the key from triggering a shortcut;
            // the key press that follows takes the splash away.
            event->accept();
            return true;
        }
        HideSplash();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void SplashWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_picture);
}

}  // namespace quillon
