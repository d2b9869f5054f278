#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "engine/float_buffer.h"
#include "engine/notification_queue.h"
#include "engine/synthesis_job.h"
#include "image/display_bitmap.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QTimer;

namespace quillon {

class BaseLayer;
class TextureMap;
class PreviewImageWidget;

enum class PreviewMode { kPreview = 0, kDesktop = 1, kSlideshow = 2 };

// The editor's numbers for the four notifications of a rendering.
inline constexpr MessageNumbers kEditorMessages{121, 103, 107, 104};

// The picture a worker builds and the window paints. The worker converts
// floats into the back bitmap and swaps it to the front under a short lock
// (both are made on the worker, the front empty and painted black till then);
// the window paints the front under the same lock, so neither waits for
// the other longer than a pointer swap or one paint. Conversions are
// limited to one per frame interval; one that falls due too soon is done
// at the worker's next notification instead.
class PreviewFrames {
  public:
    // Takes the size; the bitmaps are made by the worker's first conversion.
    bool Create(int width, int height);
    void Release();
    // The mirrored expansion of the finished picture, made on the worker
    // as it finishes. MirrorFailed: it could not be had (short memory).
    void SetMirror(bool mirrorX, bool mirrorY) {
        m_mirrorX = mirrorX;
        m_mirrorY = mirrorY;
    }
    bool MirrorFailed() const { return m_mirrorFailed.load(); }
    // The bitmaps could not be had: the picture stays black.
    bool PictureFailed() const { return m_pictureFailed.load(); }

    // Worker side. rgb holds 3 floats per pixel of the picture's size.
    // A conversion under way stops when the job's cancel event is set.
    void SetSource(const float* rgb, const ManualResetEvent* cancel) {
        m_source = rgb;
        m_cancel = cancel;
        m_pictureFailed = false;
    }
    void OnComposite(const float* rgb);
    // Any notification the worker posts: a conversion that was put off is
    // done now if a frame interval has passed, or at once when finishing.
    void OnWorkerNotification(bool finishing);
    void SetFrameInterval(std::chrono::microseconds interval) { m_interval = interval.count(); }

    // UI side: the front picture, held for the length of the call.
    template <typename F>
    void WithFront(F&& f) const {
        std::lock_guard<std::mutex> hold(m_frontMutex);
        f(m_front);
    }
    // Counts the pictures swapped to the front.
    unsigned Serial() const { return m_serial.load(std::memory_order_acquire); }
    // Whole-picture conversions done so far.
    unsigned Conversions() const { return m_conversions.load(std::memory_order_relaxed); }

  private:
    // onlyIfPending: a put-off conversion, which another thread may have done.
    void Convert(bool onlyIfPending);
    void Mirror();
    static std::int64_t Now();

    mutable std::mutex m_frontMutex;
    DisplayBitmap m_front;
    DisplayBitmap m_back;  // the worker's alone
    int m_width = 0;
    int m_height = 0;
    bool m_mirrorX = false;
    bool m_mirrorY = false;
    std::atomic<bool> m_mirrorFailed{false};
    std::atomic<bool> m_pictureFailed{false};
    std::mutex m_convertMutex;
    const float* m_source = nullptr;
    const ManualResetEvent* m_cancel = nullptr;
    std::atomic<bool> m_pending{false};
    // Notifications may come from the worker's helper threads too.
    std::atomic<std::int64_t> m_lastConversion{0};  // steady clock, microseconds
    std::atomic<std::int64_t> m_interval{16667};
    std::atomic<unsigned> m_serial{0};
    std::atomic<unsigned> m_conversions{0};
};

// The window's notification sink: the engine's queue, plus the put-off
// conversions, which must happen on the worker before SynthesisDone leaves.
class PreviewSink : public NotificationSink {
  public:
    PreviewSink(PreviewFrames& frames, std::function<void()> wake)
        : m_frames(frames), m_queue(std::move(wake)) {}
    void Post(Notification notification) override {
        m_frames.OnWorkerNotification(notification == Notification::SynthesisDone);
        m_queue.Post(notification);
    }
    std::vector<Notification> TakeAll() { return m_queue.TakeAll(); }

  private:
    PreviewFrames& m_frames;
    QueuedNotificationSink m_queue;
};

// The modeless window in which a texture or one layer is synthesized: a
// progress bar, the growing picture, Save (or Next) and Cancel/Done. It
// deletes itself when closed.
class PreviewWindow : public QDialog {
    Q_OBJECT
  public:
    PreviewWindow(QWidget* owner, bool xMirror, bool yMirror);
    ~PreviewWindow() override;

    // Creates the image and buffers; false when they cannot be had (the opener then starts
    // nothing).
    bool Create(int width, int height, PreviewMode mode, int displayDepth,
                bool saveAsBitmap = true);
    void StartSynthesis(BaseLayer* layer);       // the layer stays owned by its document
    void StartSlideshow(const QString& folder);  // Slideshow mode (the tip dialog's button)
    void PlaceForImage();                        // the opener's sizing rule, then show()
    BaseLayer* RenderedLayer() const;            // what it renders (for "being previewed")
    bool IsRendering() const;
    // Desktop mode: what to do with the finished picture, a copy it may keep
    // (G installs the wallpaper here).
    void SetDesktopCompletion(std::function<void(DisplayBitmap)> completion);

    // Asks where to save: true with a path and the chosen filter (0 to 3,
    // in the order of SaveFilters()). Tests replace the file dialog here.
    using SaveChooser = std::function<bool(QWidget* parent, const QString& suggestedName,
                                           QString& path, int& filterIndex)>;
    void SetSaveChooser(SaveChooser chooser) { m_saveChooser = std::move(chooser); }
    static QStringList SaveFilters();

    PreviewMode Mode() const { return m_mode; }
    int DisplayDepth() const { return m_displayDepth; }
    bool SaveAsBitmap() const { return m_saveAsBitmap; }
    // A copy of the picture as it is shown now (tests, screenshots).
    DisplayBitmap Picture() const;
    const PreviewFrames& Frames() const { return m_frames; }
    // Saves the shown picture in the format of filter index 0 to 3, asking
    // for the JPEG quality; reports a failure to the user. False on failure.
    bool SavePictureAs(const QString& path, int filterIndex);

  public slots:
    void Cancel();  // stops and joins the worker, then closes
    void Save();    // the Save button: asks for a file and a format
    void Next();    // the Next button of a slideshow

  signals:
    void PreviewClosed(PreviewWindow* window);  // the owner's preview-closed notification
    // The synthesis finished and its picture is complete (after SynthesisDone).
    void SynthesisCompleted();

  protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

  private:
    void HandleMessage(int number);
    void DrainNotifications();
    void OnSynthesisDone();
    void ScheduleRepaint();
    void StartJob(BaseLayer* layer, float xScale, float yScale);
    void StopWorker();
    void SlideshowStep();
    void ShowImageSize(int width, int height);

    QWidget* m_owner;
    bool m_xMirror;
    bool m_yMirror;
    PreviewMode m_mode = PreviewMode::kPreview;
    int m_width = 0;
    int m_height = 0;
    int m_displayDepth = 24;
    bool m_saveAsBitmap = true;
    bool m_closing = false;

    FloatBuffer m_rgb;
    FloatBuffer m_alpha;
    PreviewFrames m_frames;
    PreviewSink m_sink;
    std::atomic<bool> m_wakePending{false};
    SynthesisJob m_job;
    BaseLayer* m_layer = nullptr;
    std::unique_ptr<BaseLayer> m_ownedLayer;  // Desktop: the copy at the target size
    std::function<void(DisplayBitmap)> m_desktopCompletion;
    SaveChooser m_saveChooser;

    QString m_folder;
    QStringList m_slideshowFiles;
    int m_nextSlide = 0;
    std::unique_ptr<TextureMap> m_slideshowTexture;

    QProgressBar* m_progress = nullptr;
    QPushButton* m_saveButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QScrollArea* m_scroll = nullptr;
    PreviewImageWidget* m_image = nullptr;
    QTimer* m_repaintTimer = nullptr;
    unsigned m_paintedSerial = 0;
};

}  // namespace quillon
