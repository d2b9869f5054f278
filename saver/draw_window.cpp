#include "saver/draw_window.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <span>

#include "engine/parallel.h"
#include "engine/random.h"
#include "saver/replace_desktop.h"
#include "wallpaper/wallpaper_files.h"
#include "wallpaper/wallpaper_setter.h"

namespace quillon {

namespace {

constexpr int kRetryMs = 1000;               // after a file that could not be shown
constexpr int kPollMs = 250;                 // how often a running worker is looked at
constexpr int kDeactivationMs = 100;         // a focus change that lasts this long is input
constexpr std::size_t kConversionRows = 32;  // rows per task of a conversion

}  // namespace

DrawWindow::DrawWindow(const SaverSettings& settings, bool replaceDesktop, QWidget* parent)
    : QWidget(parent), m_settings(settings), m_replaceDesktop(replaceDesktop), m_sink([this] {
          QMetaObject::invokeMethod(this, &DrawWindow::DrainNotifications, Qt::QueuedConnection);
      }) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setWindowTitle("Lumadrift");
    m_nextTimer.setSingleShot(true);
    connect(&m_nextTimer, &QTimer::timeout, this, &DrawWindow::NextPicture);
    m_pollTimer.setInterval(kPollMs);
    connect(&m_pollTimer, &QTimer::timeout, this, &DrawWindow::CheckWorker);
}

DrawWindow::~DrawWindow() {
    m_nextTimer.stop();
    StopWorker();
    m_loader.Abandon();
    m_wallpaper.Abandon();
}

void DrawWindow::Start() {
    if (m_started) return;
    m_started = true;
    ScanResult scan = ScanFolder(m_settings.path.toStdString(), m_settings.recurse);
    m_files = std::move(scan.files);
    m_documents = std::move(scan.documents);
    if (m_width <= 0 || m_height <= 0) ResizeBuffers(std::max(width(), 1), std::max(height(), 1));
    NextPicture();
}

QImage DrawWindow::Snapshot() const {
    std::lock_guard<std::mutex> hold(m_imageMutex);
    if (m_image.Empty()) return {};
    const QImage bottomUp(m_image.BitmapRow(0), m_image.Width(), m_image.Height(),
                          static_cast<qsizetype>(m_image.Stride()), QImage::Format_BGR888);
    return bottomUp.mirrored(false, true);
}

void DrawWindow::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    std::lock_guard<std::mutex> hold(m_imageMutex);
    const QRect all(0, 0, m_image.Width(), m_image.Height());
    if (!m_image.Empty()) {
        // The rows lie bottom row first: wrap them as they are (no copy)
        // and let the painter flip them. Only the rectangles asked for: a
        // wipe step repaints a band, not the screen.
        const QImage rows(m_image.BitmapRow(0), m_image.Width(), m_image.Height(),
                          static_cast<qsizetype>(m_image.Stride()), QImage::Format_BGR888);
        painter.save();
        painter.translate(0, m_image.Height());
        painter.scale(1, -1);
        for (const QRect& asked : event->region()) {
            const QRect exposed = asked & all;
            if (exposed.isEmpty()) continue;
            const QRect source(exposed.left(), m_image.Height() - 1 - exposed.bottom(),
                               exposed.width(), exposed.height());
            painter.drawImage(source, rows, source);
        }
        painter.restore();
    }
    // Before the first picture, or while the window grows ahead of its buffers.
    const QRegion rest = event->region() - (m_image.Empty() ? QRect() : all);
    for (const QRect& r : rest) painter.fillRect(r, Qt::black);
}

void DrawWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const QSize size = event->size();
    if (size.width() < 1 || size.height() < 1) return;
    if (size.width() == m_width && size.height() == m_height) return;
    StopWorker();
    ResizeBuffers(size.width(), size.height());
    if (m_started) NextPicture();
}

void DrawWindow::ResizeBuffers(int w, int h) {
    std::lock_guard<std::mutex> hold(m_imageMutex);
    m_image.Clear();
    m_back.Clear();
    m_windowBuffer.Release();
    m_width = m_height = 0;
    if (!m_image.Create(w, h, 24) || !m_back.Create(w, h, 24) ||
        !m_windowBuffer.Allocate(3 * static_cast<std::size_t>(w) * static_cast<std::size_t>(h))) {
        m_image.Clear();
        m_back.Clear();
        m_windowBuffer.Release();
        return;
    }
    m_windowBuffer.Fill(0.0f);
    m_width = w;
    m_height = h;
}

void DrawWindow::NextPicture() {
    m_nextTimer.stop();
    m_wipeCounter = 0;
    if (m_files.empty() || m_width <= 0) return;
    if (m_loader.Busy()) {
        // A load that cannot be interrupted is still decoding: it is stale
        // now, and the next picture starts when it ends.
        ++m_generation;
        m_restartPending = true;
        return;
    }
    const int count = static_cast<int>(m_files.size());
    const int index = std::clamp(static_cast<int>(Uniform(0.0, count)), 0, count - 1);
    const std::string path = m_files[static_cast<std::size_t>(index)];
    m_stack.reset();

    // The weights are read afresh for every picture, so that changed settings
    // apply without a restart.
    const SaverSettings fresh = LoadSaverSettings();
    const EffectWeights weights{fresh.weights[0], fresh.weights[1], fresh.weights[2]};
    const int generation = ++m_generation;
    std::vector<std::string> documents = m_documents;
    m_loader.Run<LoadedPicture>(
        [path, weights, documents = std::move(documents)] {
            return LoadPicture(path, weights, documents);
        },
        [this, path, generation](LoadedPicture& loaded) { OnLoaded(loaded, path, generation); });
}

void DrawWindow::OnLoaded(LoadedPicture& loaded, const std::string& path, int generation) {
    if (generation != m_generation) {
        if (m_restartPending && !m_loader.Busy()) {
            m_restartPending = false;
            NextPicture();
        }
        return;
    }
    m_stack = std::move(loaded.stack);
    m_currentPath = path;
    if (!m_stack) {
        if (!loaded.error.empty()) std::fprintf(stderr, "lumadrift: %s\n", loaded.error.c_str());
        DropFile(path);
        return;
    }
    m_mode = loaded.mode;
    if (!StartRendering()) {
        m_stack.reset();
        DropFile(path);
    }
}

bool DrawWindow::StartRendering() {
    const RenderPlan plan =
        PlanRendering(m_mode, m_stack->Width(), m_stack->Height(), m_width, m_height);
    const std::size_t pixels =
        static_cast<std::size_t>(plan.width) * static_cast<std::size_t>(plan.height);
    // Buffers of the last picture's size are kept: their pages are in place.
    if (m_weights.Count() != pixels && !m_weights.Allocate(pixels)) return false;
    float* target = m_windowBuffer.Data();
    if (m_mode == DisplayMode::Expand) {
        m_wipePattern = static_cast<int>(Uniform(0.0, kWipePatterns));
        m_tileWidth = m_tileHeight = 0;
        m_tile.Release();
    } else {
        if (m_tile.Count() != 3 * pixels && !m_tile.Allocate(3 * pixels)) return false;
        target = m_tile.Data();
        m_tileWidth = plan.width;
        m_tileHeight = plan.height;
    }
    m_stack->SetSize(plan.width, plan.height);
    if (m_stack->Width() != plan.width || m_stack->Height() != plan.height) return false;

    m_sink.TakeAll();
    m_job.sink = &m_sink;
    m_job.rgb = target;
    m_job.alpha = m_weights.Data();
    m_job.scale = plan.scale;
    m_job.xScale = plan.xScale;
    m_job.yScale = plan.yScale;
    m_job.texture = m_stack.get();
    m_job.onComposite = [this](RenderContext&, float* rgb, std::uintptr_t) { UpdateImage(rgb); };
    // Cleared on the pool by the worker, not here.
    m_job.prepare = [alpha = m_weights.Data(), tile = m_tile ? m_tile.Data() : nullptr, pixels] {
        ParallelFor(pixels, kPixelGrain, [&](std::size_t begin, std::size_t end) {
            std::fill(alpha + begin, alpha + end, 1.0f);
            if (tile) std::fill(tile + 3 * begin, tile + 3 * end, 0.0f);
        });
    };
    m_job.callbackArg =
        m_mode == DisplayMode::Expand ? 0 : reinterpret_cast<std::uintptr_t>(m_windowBuffer.Data());
    if (!m_job.Start()) return false;
    m_waitingForDone = true;
    m_renderClock.start();
    m_pollTimer.start(
        static_cast<int>(std::clamp<long long>(m_renderTimeLimit.count(), 1, kPollMs)));
    return true;
}

void DrawWindow::UpdateImage(const float* rendered) {
    float* window = m_windowBuffer.Data();
    switch (m_mode) {
        case DisplayMode::Expand:
            break;  // the job renders straight into the window buffer
        case DisplayMode::Current:
        case DisplayMode::Image:
            ComposeCentred(rendered, m_tileWidth, m_tileHeight, window, m_width, m_height);
            break;
        default:
            ComposeTiled(rendered, m_tileWidth, m_tileHeight, window, m_width, m_height,
                         MirrorsX(m_mode), MirrorsY(m_mode));
            break;
    }
    // In bands on the pool, into the back image; a cancel stops it midway
    // and leaves the front as it was.
    const std::span<const float> rgb(
        window, 3 * static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height));
    const ManualResetEvent& cancel = m_job.CancelEvent();
    std::atomic<bool> stopped{false};
    ParallelFor(
        static_cast<std::size_t>(m_back.Height()), kConversionRows,
        [&](std::size_t begin, std::size_t end) {
            if (stopped.load(std::memory_order_relaxed) || cancel.IsSet() ||
                !m_back.FillRowsFromFloats(rgb, static_cast<int>(begin), static_cast<int>(end))) {
                stopped = true;
            }
        });
    if (stopped) return;
    std::lock_guard<std::mutex> hold(m_imageMutex);
    std::swap(m_image, m_back);
}

void DrawWindow::DrainNotifications() {
    for (Notification n : m_sink.TakeAll()) {
        switch (n) {
            case Notification::LayerStarted:
                m_wipeCounter = 0;
                m_wipePattern = static_cast<int>(Uniform(0.0, kWipePatterns));
                break;
            case Notification::ProgressStep:
                if (m_mode == DisplayMode::Expand) WipeStep();
                break;
            case Notification::LayerComposited:
                update();
                break;
            case Notification::SynthesisDone:
                OnSynthesisDone();
                break;
        }
    }
}

void DrawWindow::WipeStep() {
    const int n = m_wipeCounter;
    const int c = std::min(n + 1, kWipeSteps);
    m_wipeCounter = c;
    const std::vector<WipeRect> rects = WipeRects(m_wipePattern, n, c, m_width, m_height);
    {
        std::lock_guard<std::mutex> hold(m_imageMutex);
        BlackenRects(m_image, rects);
    }
    // Only what turned black; rows are counted from the bottom there.
    QRegion changed;
    for (const WipeRect& r : rects) {
        changed += QRect(r.x0, m_height - r.y1, r.x1 - r.x0, r.y1 - r.y0);
    }
    if (!changed.isEmpty()) update(changed);
}

void DrawWindow::OnSynthesisDone() {
    if (!m_waitingForDone) return;
    m_waitingForDone = false;
    m_pollTimer.stop();
    m_job.Wait();
    update();
    emit PictureShown();
    if (m_replaceDesktop) ReplaceDesktop();
    m_nextTimer.start(std::max(m_settings.delay, 1) * 1000);
}

void DrawWindow::CheckWorker() {
    if (!m_waitingForDone) {
        m_pollTimer.stop();
        return;
    }
    if (!m_job.IsRunning()) {
        // A success posts SynthesisDone, which is on its way; a failure
        // posts nothing and is handled like an unreadable file.
        if (m_job.Succeeded()) return;
        m_waitingForDone = false;
        m_pollTimer.stop();
        m_job.Wait();
        std::fprintf(stderr, "lumadrift: %s could not be rendered\n", m_currentPath.c_str());
        DropFile(m_currentPath);
        return;
    }
    if (std::chrono::milliseconds(m_renderClock.elapsed()) > m_renderTimeLimit) {
        m_waitingForDone = false;
        m_pollTimer.stop();
        m_job.Cancel();
        m_sink.TakeAll();
        std::fprintf(stderr, "lumadrift: %s took too long to render\n", m_currentPath.c_str());
        DropFile(m_currentPath);
    }
}

void DrawWindow::DropFile(const std::string& path) {
    auto drop = [&path](std::vector<std::string>& list) {
        list.erase(std::remove(list.begin(), list.end(), path), list.end());
    };
    drop(m_files);
    drop(m_documents);
    emit FileDropped(QString::fromStdString(path));
    m_nextTimer.start(kRetryMs);
}

void DrawWindow::StopWorker() {
    ++m_generation;  // a load in flight is for the old size
    m_pollTimer.stop();
    m_nextTimer.stop();
    m_job.Cancel();
    m_waitingForDone = false;
    m_sink.TakeAll();
}

void DrawWindow::ReplaceDesktop() {
    // Setter programs may take seconds: they run beside the window, and a
    // picture that comes while the last one is still being installed is
    // not installed.
    if (m_wallpaper.Busy()) return;
    auto image = std::make_shared<DisplayBitmap>();
    {
        std::lock_guard<std::mutex> hold(m_imageMutex);
        if (!image->Assign(m_image)) return;
    }
    auto tile = std::make_shared<std::vector<float>>();
    if (m_mode != DisplayMode::Expand && m_tile) {
        tile->assign(m_tile.Data(), m_tile.Data() + m_tile.Count());
    }
    const DisplayMode mode = m_mode;
    const int tw = m_tileWidth, th = m_tileHeight;
    m_wallpaper.Run<bool>(
        [image, tile, mode, tw, th] {
            DesktopInstall install;
            std::string error;
            if (!WriteDesktopFiles(mode, *image, *tile, tw, th, WallpaperDirectory(), install,
                                   &error)) {
                std::fprintf(stderr, "lumadrift: wallpaper not written: %s\n", error.c_str());
                return false;
            }
            // The screen saver says nothing when the desktop has no setter.
            return InstallWallpaper(install.styledPath, install.plainPath, install.style) ==
                   WallpaperInstallStatus::kInstalled;
        },
        [](bool&) {});
}

// ---- Full screen -----------------------------------------------------------

SaverWindow::SaverWindow(const SaverSettings& settings, QWidget* parent)
    : DrawWindow(settings, settings.desktop, parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setCursor(Qt::BlankCursor);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    // Focus moves about briefly while the window manager makes the window
    // full screen; only a deactivation that lasts ends the run.
    m_deactivation.setSingleShot(true);
    m_deactivation.setInterval(kDeactivationMs);
    connect(&m_deactivation, &QTimer::timeout, this, [this] {
        if (!isActiveWindow()) End();
    });
}

void SaverWindow::End() {
    if (m_ending) return;
    m_ending = true;
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

bool SaverWindow::Ends(QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            return true;
        case QEvent::MouseMove: {
            const QPoint where = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
            if (m_firstMouse == QPoint(-1, -1)) {
                m_firstMouse = where;  // the first move only tells where the mouse is
                return false;
            }
            return where != m_firstMouse;
        }
        default:
            return false;
    }
}

void SaverWindow::keyPressEvent(QKeyEvent* event) {
    if (Ends(event)) End();
}

void SaverWindow::mousePressEvent(QMouseEvent* event) {
    if (Ends(event)) End();
}

void SaverWindow::mouseMoveEvent(QMouseEvent* event) {
    if (Ends(event)) End();
}

void SaverWindow::changeEvent(QEvent* event) {
    DrawWindow::changeEvent(event);
    if (event->type() != QEvent::ActivationChange) return;
    if (isActiveWindow()) {
        m_wasActive = true;
        m_deactivation.stop();
    } else if (m_wasActive) {
        m_deactivation.start();
    }
}

bool SaverWindow::eventFilter(QObject* watched, QEvent* event) {
    if (Ends(event)) End();
    return DrawWindow::eventFilter(watched, event);
}

}  // namespace quillon
