#include "editor/preview_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImage>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>
#include <QWhatsThis>
#include <algorithm>
#include <span>
#include <utility>

#include "editor/app_services.h"
#if __has_include("editor/help.h")
#include "editor/help.h"
#define QUILLON_HAS_HELP 1
#endif
#include "editor/dialogs/jpeg_quality_dialog.h"
#include "engine/base_layer.h"
#include "engine/error_reporter.h"
#include "engine/parallel.h"
#include "engine/texture_map.h"
#include "format/texture_files.h"
#include "image/picture_file.h"

namespace quillon {

// ---- PreviewFrames ------------------------------------------------------

namespace {
constexpr std::size_t kConversionRows = 32;  // rows per band of a conversion
}  // namespace

bool PreviewFrames::Create(int width, int height) {
    Release();
    if (!IsValidImageSize(width, height)) return false;
    std::lock_guard<std::mutex> convert(m_convertMutex);
    m_width = width;
    m_height = height;
    return true;
}

void PreviewFrames::Release() {
    std::lock_guard<std::mutex> convert(m_convertMutex);
    {
        std::lock_guard<std::mutex> hold(m_frontMutex);
        m_front.Clear();
    }
    m_back.Clear();
    m_source = nullptr;
    m_pending = false;
    m_pictureFailed = false;
    m_width = m_height = 0;
}

std::int64_t PreviewFrames::Now() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void PreviewFrames::OnComposite(const float* rgb) {
    // Nested texture maps report their own buffers: the picture is unchanged.
    if (rgb == nullptr || rgb != m_source) return;
    if (Now() - m_lastConversion.load() >= m_interval.load()) {
        Convert(false);
    } else {
        m_pending = true;
    }
}

void PreviewFrames::OnWorkerNotification(bool finishing) {
    if (m_pending.load() && (finishing || Now() - m_lastConversion.load() >= m_interval.load())) {
        Convert(true);
    }
    if (finishing) Mirror();
}

void PreviewFrames::Mirror() {
    std::lock_guard<std::mutex> convert(m_convertMutex);
    m_mirrorFailed = false;
    // The front is the worker's to replace; the window only reads it.
    if ((!m_mirrorX && !m_mirrorY) || m_front.Empty() || m_front.Width() != m_width ||
        m_front.Height() != m_height) {
        return;
    }
    DisplayBitmap mirrored;
    if (!MirrorExpand(m_front, m_mirrorX, m_mirrorY, mirrored)) {
        m_mirrorFailed = true;
        return;
    }
    {
        std::lock_guard<std::mutex> hold(m_frontMutex);
        m_front = std::move(mirrored);
    }
    m_serial.fetch_add(1, std::memory_order_release);
}

void PreviewFrames::Convert(bool onlyIfPending) {
    std::lock_guard<std::mutex> convert(m_convertMutex);
    if (onlyIfPending && !m_pending.load()) return;
    if (!m_source || m_width <= 0) return;
    // The back is made here, on the worker, the first time (or after a
    // mirrored front took the place of one of the picture's size).
    if ((m_back.Width() != m_width || m_back.Height() != m_height) &&
        !m_back.Create(m_width, m_height, 24)) {
        m_pictureFailed = true;
        return;
    }
    const std::size_t count =
        3 * static_cast<std::size_t>(m_back.Width()) * static_cast<std::size_t>(m_back.Height());
    // In bands over the worker pool: a large picture is ready sooner, and a
    // cancel need not wait for the whole of it.
    const std::span<const float> rgb(m_source, count);
    std::atomic<bool> stopped{false};
    ParallelFor(
        static_cast<std::size_t>(m_back.Height()), kConversionRows,
        [&](std::size_t begin, std::size_t end) {
            if (stopped.load(std::memory_order_relaxed) || (m_cancel && m_cancel->IsSet()) ||
                !m_back.FillRowsFromFloats(rgb, static_cast<int>(begin), static_cast<int>(end))) {
                stopped = true;
            }
        });
    if (stopped) return;
    {
        std::lock_guard<std::mutex> hold(m_frontMutex);
        std::swap(m_front, m_back);
    }
    m_pending = false;
    m_lastConversion = Now();
    m_conversions.fetch_add(1, std::memory_order_relaxed);
    m_serial.fetch_add(1, std::memory_order_release);
}

// ---- The picture area ---------------------------------------------------

class PreviewImageWidget : public QWidget {
  public:
    PreviewImageWidget(const PreviewFrames& frames, QWidget* parent)
        : QWidget(parent), m_frames(frames) {
        setObjectName("previewImage");
        setMouseTracking(true);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

  protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        m_frames.WithFront([&](const DisplayBitmap& picture) {
            const QRect all(0, 0, picture.Width(), picture.Height());
            const QRect exposed = event->rect() & all;
            if (!picture.Empty() && !exposed.isEmpty()) {
                // The rows lie bottom row first: wrap them as they are (no
                // copy) and let the painter flip them.
                const QImage rows(picture.BitmapRow(0), picture.Width(), picture.Height(),
                                  static_cast<qsizetype>(picture.Stride()), QImage::Format_BGR888);
                const QRect source(exposed.left(), picture.Height() - 1 - exposed.bottom(),
                                   exposed.width(), exposed.height());
                painter.save();
                painter.translate(0, picture.Height());
                painter.scale(1, -1);
                painter.drawImage(source, rows, source);
                painter.restore();
            }
            // Anything outside the picture (before the first frame).
            const QRegion rest = QRegion(event->rect()) - (picture.Empty() ? QRect() : all);
            for (const QRect& r : rest) painter.fillRect(r, Qt::black);
        });
    }

    void mouseMoveEvent(QMouseEvent* event) override {
        const QPoint at = event->position().toPoint();
        PaletteEntry color{};
        bool inside = false;
        m_frames.WithFront(
            [&](const DisplayBitmap& picture) { inside = picture.Pixel(at.x(), at.y(), color); });
        ShowStatusText(inside ? QString::asprintf("RGB: %d, %d, %d", color.r, color.g, color.b)
                              : QStringLiteral("Ready"));
        event->accept();  // the window behind would say "Ready"
    }

    void leaveEvent(QEvent* event) override {
        ShowStatusText(QStringLiteral("Ready"));
        QWidget::leaveEvent(event);
    }

  private:
    const PreviewFrames& m_frames;
};

// ---- PreviewWindow -------------------------------------------------------

namespace {

constexpr int kImageGap = 15;  // between the progress bar and the picture

QString Tr(const char* text) {
    return QCoreApplication::translate("PreviewWindow", text);
}

SaveFormat FormatOfFilter(int index) {
    switch (index) {
        case 1:
            return SaveFormat::Bitmap256;
        case 2:
            return SaveFormat::Jpeg;
        case 3:
            return SaveFormat::Png;
        default:
            return SaveFormat::Bitmap24;
    }
}

const char* SuffixOfFilter(int index) {
    switch (index) {
        case 2:
            return "jpg";
        case 3:
            return "png";
        default:
            return "bmp";
    }
}

bool ChooseWithFileDialog(QWidget* parent, const QString& suggestedName, QString& path,
                          int& filterIndex) {
    QFileDialog dialog(parent, Tr("Save As"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    const QStringList filters = PreviewWindow::SaveFilters();
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix("bmp");
    dialog.selectFile(suggestedName);
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& filter) {
        dialog.setDefaultSuffix(SuffixOfFilter(static_cast<int>(filters.indexOf(filter))));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    path = dialog.selectedFiles().first();
    filterIndex =
        static_cast<int>(std::max<qsizetype>(0, filters.indexOf(dialog.selectedNameFilter())));
    return true;
}

}  // namespace

PreviewWindow::PreviewWindow(QWidget* owner, bool xMirror, bool yMirror)
    : QDialog(owner),
      m_owner(owner),
      m_xMirror(xMirror),
      m_yMirror(yMirror),
      m_sink(m_frames, [this] {
          // On the worker: the window is woken once for whatever has queued.
          if (!m_wakePending.exchange(true)) {
              QMetaObject::invokeMethod(
                  this, [this] { DrainNotifications(); }, Qt::QueuedConnection);
          }
      }) {
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(Tr("Synthesize"));

    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setWhatsThis(
        Tr("Shows how far the layer being computed has come. The bar starts again at every "
           "layer of the texture."));
    m_saveButton = new QPushButton(Tr("&Save"), this);
    m_saveButton->setEnabled(false);
    m_saveButton->setAutoDefault(false);
    m_saveButton->setWhatsThis(
        Tr("Saves the finished picture as a 24-bit or 256-color bitmap, a JPEG file or a PNG "
           "file. In a slideshow this button shows the next texture."));
    m_cancelButton = new QPushButton(Tr("&Cancel"), this);
    m_cancelButton->setAutoDefault(false);
    m_cancelButton->setWhatsThis(
        Tr("Stops the synthesis and closes this window. When the picture is finished the "
           "button reads Done and closes the window."));

    m_image = new PreviewImageWidget(m_frames, this);
    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_scroll->setWidget(m_image);
    m_scroll->setMouseTracking(true);

    auto* top = new QHBoxLayout;
    top->addWidget(m_progress, 1);
    top->addWidget(m_saveButton);
    top->addWidget(m_cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(kImageGap);
    layout->addWidget(m_scroll, 1);
    setMouseTracking(true);

    connect(m_cancelButton, &QPushButton::clicked, this, &PreviewWindow::Cancel);
    connect(m_saveButton, &QPushButton::clicked, this, [this] {
        if (m_mode == PreviewMode::kSlideshow) {
            Next();
        } else {
            Save();
        }
    });
    auto* whatsThis = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F1), this);
    connect(whatsThis, &QShortcut::activated, this, [] { QWhatsThis::enterWhatsThisMode(); });
#ifdef QUILLON_HAS_HELP
    // F1: the help topic of the control under the mouse, or of the focused one.
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, [this] {
        QWidget* about = QApplication::widgetAt(QCursor::pos());
        if (about != m_cancelButton && about != m_saveButton && about != m_progress) {
            about = focusWidget();
        }
        const int topic = about == m_cancelButton ? kHelpPreviewCancel
                          : about == m_saveButton ? kHelpPreviewSave
                                                  : kHelpPreviewProgress;
        ShowHelp(topic, this);
    });
#endif

    // Repaints follow the screen's rate, however often the worker reports.
    m_repaintTimer = new QTimer(this);
    m_repaintTimer->setSingleShot(true);
    connect(m_repaintTimer, &QTimer::timeout, this, [this] {
        m_paintedSerial = m_frames.Serial();
        m_image->update();
    });
}

PreviewWindow::~PreviewWindow() {
    StopWorker();
}

bool PreviewWindow::Create(int width, int height, PreviewMode mode, int displayDepth,
                           bool saveAsBitmap) {
    m_width = width;
    m_height = height;
    m_mode = mode;
    m_displayDepth = displayDepth;
    m_saveAsBitmap = saveAsBitmap;
    if (!IsValidImageSize(width, height)) return false;
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    // Only reserved here: the worker clears them (StartJob), so that a large
    // picture does not hold up the user-interface thread.
    if (!m_frames.Create(width, height) || !m_rgb.Allocate(3 * pixels) ||
        !m_alpha.Allocate(pixels)) {
        m_frames.Release();
        m_rgb.Release();
        m_alpha.Release();
        return false;
    }
    m_frames.SetMirror(m_xMirror && mode != PreviewMode::kSlideshow,
                       m_yMirror && mode != PreviewMode::kSlideshow);

    const QScreen* shown = screen() ? screen() : QGuiApplication::primaryScreen();
    const double rate = shown && shown->refreshRate() > 1.0 ? shown->refreshRate() : 60.0;
    m_frames.SetFrameInterval(std::chrono::microseconds(static_cast<long long>(1e6 / rate)));
    m_repaintTimer->setInterval(std::max(1, static_cast<int>(1000.0 / rate)));

    switch (mode) {
        case PreviewMode::kPreview:
            m_saveButton->setEnabled(false);
            break;
        case PreviewMode::kDesktop:
            m_saveButton->hide();
            setWindowTitle(Tr("Generate Desktop"));
            break;
        case PreviewMode::kSlideshow:
            m_saveButton->setText(Tr("&Next"));
            m_saveButton->setEnabled(false);
            setWindowTitle(Tr("Slideshow"));
            m_xMirror = m_yMirror = false;
            break;
    }
    m_cancelButton->setText(Tr("&Cancel"));
    ShowImageSize(width, height);
    return true;
}

QStringList PreviewWindow::SaveFilters() {
    return {Tr("24-bit Texture Map (*.bmp)"), Tr("256-color Texture Map (*.bmp)"),
            Tr("JPEG Texture Map (*.jpg)"), Tr("PNG Texture Map (*.png)")};
}

void PreviewWindow::ShowImageSize(int width, int height) {
    m_image->setFixedSize(width, height);
}

void PreviewWindow::StartSynthesis(BaseLayer* layer) {
    if (!layer || !m_rgb || m_closing) return;
    BaseLayer* target = layer;
    float xScale = 1.0f;
    float yScale = 1.0f;
    if (m_mode == PreviewMode::kDesktop) {
        // A copy is rendered at the screen's size: the document never sees
        // a layer whose size differs from its container's.
        xScale = static_cast<float>(m_width) / static_cast<float>(layer->Width());
        yScale = static_cast<float>(m_height) / static_cast<float>(layer->Height());
        m_ownedLayer = layer->Clone();
        if (!m_ownedLayer) return;
        m_ownedLayer->SetSize(m_width, m_height);
        target = m_ownedLayer.get();
    }
    if (target->Width() != m_width || target->Height() != m_height) {
        ReportError("Unable to preview \"" + layer->Name() + "\": its size is not the preview's");
        return;
    }
    m_layer = layer;
    StartJob(target, xScale, yScale);
}

void PreviewWindow::StartJob(BaseLayer* layer, float xScale, float yScale) {
    StopWorker();  // a finished worker is joined before the next starts
    m_frames.SetSource(m_rgb.Data(), &m_job.CancelEvent());
    m_job.sink = &m_sink;
    m_job.rgb = m_rgb.Data();
    m_job.alpha = m_alpha.Data();
    m_job.xScale = xScale;
    m_job.yScale = yScale;
    m_job.scale = std::min(xScale, yScale);
    m_job.texture = layer;
    m_job.callbackArg = 0;
    m_job.onComposite = [this](RenderContext&, float* rgb, std::uintptr_t) {
        m_frames.OnComposite(rgb);
    };
    // Every synthesis starts from black: the worker writes the buffers on
    // the pool, never the user-interface thread.
    m_job.unwrittenPicture = true;
    m_progress->setValue(0);
    m_cancelButton->setText(Tr("&Cancel"));
    m_job.Start();
}

void PreviewWindow::StopWorker() {
    m_job.Cancel();
}

BaseLayer* PreviewWindow::RenderedLayer() const {
    if (m_mode == PreviewMode::kSlideshow) return m_slideshowTexture.get();
    if (m_mode == PreviewMode::kDesktop) return m_ownedLayer.get();
    return m_layer;
}

bool PreviewWindow::IsRendering() const {
    return m_job.IsRunning();
}

void PreviewWindow::SetDesktopCompletion(std::function<void(DisplayBitmap)> completion) {
    m_desktopCompletion = std::move(completion);
}

DisplayBitmap PreviewWindow::Picture() const {
    DisplayBitmap copy;
    m_frames.WithFront([&](const DisplayBitmap& picture) { copy = picture; });
    return copy;
}

void PreviewWindow::DrainNotifications() {
    m_wakePending = false;
    if (m_closing) return;
    for (Notification n : m_sink.TakeAll()) HandleMessage(kEditorMessages.Of(n));
    if (m_frames.Serial() != m_paintedSerial) ScheduleRepaint();
}

void PreviewWindow::HandleMessage(int number) {
    if (m_closing) return;
    if (number == kEditorMessages.layerStarted) {
        m_progress->setValue(0);
    } else if (number == kEditorMessages.progressStep) {
        m_progress->setValue(std::min(100, m_progress->value() + 1));
    } else if (number == kEditorMessages.layerComposited) {
        ScheduleRepaint();
    } else if (number == kEditorMessages.synthesisDone) {
        OnSynthesisDone();
    }
}

void PreviewWindow::ScheduleRepaint() {
    if (!m_repaintTimer->isActive()) m_repaintTimer->start();
}

void PreviewWindow::OnSynthesisDone() {
    if (m_mode == PreviewMode::kDesktop) {
        if (m_desktopCompletion) {
            // A copy of its own: the completion may open message boxes,
            // during which the picture is painted again.
            m_desktopCompletion(Picture());
        }
    } else {
        if (m_frames.PictureFailed()) {
            ReportError("Not enough memory to show the picture");
        } else if (m_xMirror || m_yMirror) {
            // The worker mirrored the picture before it reported the end.
            if (m_frames.MirrorFailed()) {
                ReportError("Not enough memory to mirror the picture");
            } else {
                int w = 0, h = 0;
                m_frames.WithFront([&](const DisplayBitmap& picture) {
                    w = picture.Width();
                    h = picture.Height();
                });
                ShowImageSize(w, h);
                if (isVisible()) PlaceForImage();
            }
        }
        m_progress->setValue(0);
        m_saveButton->setEnabled(true);
        m_paintedSerial = m_frames.Serial();
        update();
        m_image->update();
    }
    const bool moreSlides =
        m_mode == PreviewMode::kSlideshow && m_nextSlide < m_slideshowFiles.size();
    if (!moreSlides) m_cancelButton->setText(Tr("&Done"));
    emit SynthesisCompleted();
}

void PreviewWindow::PlaceForImage() {
    // The window grows by what the picture needs beyond the picture area it
    // has: at least as wide as the picture plus the margins, and as high as
    // the controls above it plus the picture.
    layout()->activate();
    const QSize image = m_image->size();
    // The scroll area has no frame: without scroll bars it is all picture.
    const QSize around = size() - m_scroll->size();
    // Before the first showing the window has no width of its own yet.
    const int current = isVisible() ? this->width() : std::max(minimumSizeHint().width(), 320);
    int width = std::max(current, image.width() + around.width());
    int height = image.height() + around.height();
    // A picture larger than the screen scrolls inside the window.
    if (const QScreen* shown = screen() ? screen() : QGuiApplication::primaryScreen()) {
        const QRect room = shown->availableGeometry();
        const QSize frame = frameGeometry().size() - geometry().size();
        const int frameWidth = isVisible() ? frame.width() : 16;
        const int frameHeight = isVisible() ? frame.height() : 48;
        width = std::min(width, room.width() - frameWidth);
        height = std::min(height, room.height() - frameHeight);
    }
    resize(std::max(width, minimumSizeHint().width()),
           std::max(height, minimumSizeHint().height()));
    show();
}

void PreviewWindow::Cancel() {
    if (m_closing) return;
    m_closing = true;
    StopWorker();
    m_repaintTimer->stop();
    ShowStatusText(QStringLiteral("Ready"));
    emit PreviewClosed(this);
    // Nothing of the rendering outlives the window's closing.
    m_job.texture = nullptr;
    m_frames.Release();
    m_rgb.Release();
    m_alpha.Release();
    m_slideshowTexture.reset();
    m_ownedLayer.reset();
    m_layer = nullptr;
    close();
}

void PreviewWindow::reject() {
    Cancel();
}

void PreviewWindow::closeEvent(QCloseEvent* event) {
    if (!m_closing) Cancel();
    // QDialog's own handling would reject() once more and keep the window.
    event->accept();
}

void PreviewWindow::mouseMoveEvent(QMouseEvent* event) {
    ShowStatusText(QStringLiteral("Ready"));
    QDialog::mouseMoveEvent(event);
}

void PreviewWindow::Save() {
    if (m_mode != PreviewMode::kPreview || IsRendering()) return;
    const QString suggested = m_layer ? QString::fromStdString(m_layer->Name()) : QString();
    QString path;
    int filter = 0;
    const bool chosen = m_saveChooser ? m_saveChooser(this, suggested, path, filter)
                                      : ChooseWithFileDialog(this, suggested, path, filter);
    if (!chosen || path.isEmpty()) return;
    SavePictureAs(path, filter);
}

bool PreviewWindow::SavePictureAs(const QString& path, int filterIndex) {
    const SaveFormat format = FormatOfFilter(filterIndex);
    int quality = 100;
    if (format == SaveFormat::Jpeg) quality = JpegQualityDialog::AskQuality(this);
    ImageResult result;
    // A large picture takes a moment to encode: say so with the cursor.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_frames.WithFront([&](const DisplayBitmap& picture) {
        result = SavePicture(picture, QFile::encodeName(path).toStdString(), format, quality);
    });
    QApplication::restoreOverrideCursor();
    const bool saved = result.Ok();
    if (!saved) {
        const char* what = format == SaveFormat::Jpeg  ? "Error writing JPEG file"
                           : format == SaveFormat::Png ? "Error writing PNG file"
                                                       : "Error writing bitmap file";
        ReportError(std::string(what) + "\n\n" + result.message);
    }
    return saved;
}

void PreviewWindow::StartSlideshow(const QString& folder) {
    m_folder = QDir(folder).absolutePath() + QDir::separator();
    m_slideshowFiles.clear();
    m_nextSlide = 0;
    const QDir dir(folder);
    for (const QFileInfo& entry : dir.entryInfoList(QDir::Files | QDir::Readable, QDir::Name)) {
        if (entry.suffix().compare("qln", Qt::CaseInsensitive) == 0) {
            m_slideshowFiles.push_back(entry.absoluteFilePath());
        }
    }
    if (m_slideshowFiles.isEmpty()) {
        Cancel();
        return;
    }
    SlideshowStep();
}

void PreviewWindow::Next() {
    if (m_mode != PreviewMode::kSlideshow || IsRendering()) return;
    SlideshowStep();
}

void PreviewWindow::SlideshowStep() {
    bool started = false;
    while (!started && m_nextSlide < m_slideshowFiles.size()) {
        const QString path = m_slideshowFiles[m_nextSlide++];
        std::unique_ptr<TextureMap> texture;
        // An unreadable file has been reported by the parser; the next one follows.
        if (LoadTextureDocument(QFile::encodeName(path).toStdString(), texture) != LoadStatus::Ok ||
            !texture) {
            continue;
        }
        const float xScale = static_cast<float>(m_width) / static_cast<float>(texture->Width());
        const float yScale = static_cast<float>(m_height) / static_cast<float>(texture->Height());
        texture->SetSize(m_width, m_height);
        StopWorker();  // the previous texture is done with before it goes
        m_slideshowTexture = std::move(texture);
        m_layer = m_slideshowTexture.get();
        StartJob(m_slideshowTexture.get(), xScale, yScale);
        started = true;
    }
    if (m_nextSlide < m_slideshowFiles.size()) {
        m_saveButton->setEnabled(false);
    } else {
        m_saveButton->hide();
        if (!started && !IsRendering()) m_cancelButton->setText(Tr("&Done"));
    }
}

}  // namespace quillon
