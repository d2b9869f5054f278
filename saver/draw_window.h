#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QPoint>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/float_buffer.h"
#include "engine/notification_queue.h"
#include "engine/synthesis_job.h"
#include "engine/texture_map.h"
#include "image/display_bitmap.h"
#include "saver/background_work.h"
#include "saver/display_logic.h"
#include "saver/picture_loader.h"
#include "saver/saver_settings.h"

namespace quillon {

// Shows the pictures of the configured folder one after another: picks a
// file at random, loads it off the user-interface thread, renders it on a
// synthesis worker, composes it into the window by its display mode,
// keeps it for the delay and starts over. Files that cannot be shown are
// dropped from the list. Used on its own inside another program's window
// (the preview, XScreenSaver) and, as SaverWindow, full screen.
class DrawWindow : public QWidget {
    Q_OBJECT
  public:
    DrawWindow(const SaverSettings& settings, bool replaceDesktop, QWidget* parent = nullptr);
    ~DrawWindow() override;

    // Scans the folder and starts the first picture (once the window has a size).
    void Start();

    // A rendering running longer than this is given up and its file dropped.
    void SetRenderTimeLimit(std::chrono::milliseconds limit) { m_renderTimeLimit = limit; }

    const std::vector<std::string>& Files() const { return m_files; }
    DisplayMode Mode() const { return m_mode; }
    bool WorkerRunning() const { return m_job.IsRunning(); }
    bool Loading() const { return m_loader.Busy(); }
    int WipePattern() const { return m_wipePattern; }
    // A copy of what the window shows, top row first.
    QImage Snapshot() const;

  signals:
    // A picture is complete and stays for the delay.
    void PictureShown();
    // A file was dropped from the list.
    void FileDropped(const QString& path);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void NextPicture();
    void OnLoaded(LoadedPicture& loaded, const std::string& path, int generation);
    bool StartRendering();
    void DropFile(const std::string& path);
    void DrainNotifications();
    void WipeStep();
    void OnSynthesisDone();
    void CheckWorker();
    void StopWorker();
    void ResizeBuffers(int width, int height);
    void ReplaceDesktop();
    // The worker's image update: composes the rendered picture into the
    // window buffer and converts it into the window image.
    void UpdateImage(const float* rendered);

    SaverSettings m_settings;
    bool m_replaceDesktop;
    bool m_started = false;

    std::vector<std::string> m_files;
    std::vector<std::string> m_documents;

    int m_width = 0;
    int m_height = 0;
    FloatBuffer m_windowBuffer;  // W x H x 3, the composed picture
    FloatBuffer m_tile;          // tw x th x 3 (all modes but EXPAND)
    FloatBuffer m_weights;       // the job's alpha, of the rendered size
    int m_tileWidth = 0;
    int m_tileHeight = 0;
    // The worker converts into the back image and swaps it to the front
    // under the lock, so a paint (or a wipe step) never waits for a conversion.
    mutable std::mutex m_imageMutex;
    DisplayBitmap m_image;  // the front: painted, wiped, written as wallpaper
    DisplayBitmap m_back;   // the worker's alone

    DisplayMode m_mode = DisplayMode::Current;
    std::unique_ptr<TextureMap> m_stack;
    std::string m_currentPath;
    QueuedNotificationSink m_sink;
    SynthesisJob m_job;
    bool m_waitingForDone = false;
    QElapsedTimer m_renderClock;
    std::chrono::milliseconds m_renderTimeLimit{std::chrono::minutes(10)};
    int m_wipeCounter = 0;
    int m_wipePattern = 4;

    BackgroundWork m_loader{this};
    BackgroundWork m_wallpaper{this};
    int m_generation = 0;  // a load for an older generation is dropped
    bool m_restartPending = false;

    QTimer m_nextTimer;  // the delay, or a second after a dropped file
    QTimer m_pollTimer;  // watches a running worker for failure and the time limit
};

// The full-screen run: ends on any key, any mouse button, the window
// losing activation, or a mouse move away from the first position seen.
// The cursor is hidden.
class SaverWindow : public DrawWindow {
    Q_OBJECT
  public:
    SaverWindow(const SaverSettings& settings, QWidget* parent = nullptr);

    // Input on the black windows covering the other screens ends the run too.
    bool eventFilter(QObject* watched, QEvent* event) override;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void End();
    // True when the input event should end the run.
    bool Ends(QEvent* event);

    QTimer m_deactivation;
    QPoint m_firstMouse{-1, -1};
    bool m_wasActive = false;
    bool m_ending = false;
};

}  // namespace quillon
