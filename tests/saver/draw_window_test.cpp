#include <gtest/gtest.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <functional>

#include "engine/error_reporter.h"
#include "engine/random.h"
#include "format/texture_files.h"
#include "image/display_bitmap.h"
#include "image/picture_file.h"
#include "saver/draw_window.h"

namespace fs = std::filesystem;

namespace quillon {
namespace {

// QTest's QTRY macros return silently on failure inside a GoogleTest body;
// this waits with the event loop running and lets the caller expect.
bool Eventually(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs) return false;
        QTest::qWait(10);
    }
    return true;
}

void MoveMouse(QWidget* window, QPoint where) {
    QMouseEvent move(QEvent::MouseMove, QPointF(where), QPointF(window->mapToGlobal(where)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(window, &move);
}

class SaverWindows : public testing::Test {
  protected:
    void SetUp() override {
        RandomGenerator::Instance().Seed(11);
        folder = fs::path(dir.path().toStdString());
        settings.path = dir.path();
        settings.recurse = 1;
        settings.delay = 180;
    }
    void AddDocument(const std::string& name, int w, int h, int screenSaverType = 0) {
        TextureMap texture;
        texture.SetSize(w, h);
        texture.SetScreenSaverType(screenSaverType);
        ASSERT_TRUE(SaveDocument(folder / name, texture));
    }

    CapturingErrorReporter reporter;
    ScopedErrorReporter scoped{reporter};
    QTemporaryDir dir;
    fs::path folder;
    SaverSettings settings;
};

TEST_F(SaverWindows, FirstMouseMoveIsIgnoredAndTheNextEndsTheRun) {
    QPointer<SaverWindow> window = new SaverWindow(settings);
    window->resize(40, 30);
    window->show();
    window->Start();
    MoveMouse(window, QPoint(10, 10));
    MoveMouse(window, QPoint(10, 10));  // the same place again is no move
    QTest::qWait(50);
    ASSERT_TRUE(window);
    MoveMouse(window, QPoint(11, 10));
    EXPECT_TRUE(Eventually([&] { return window.isNull(); }, 2000));

    // Any key ends it too.
    QPointer<SaverWindow> keyed = new SaverWindow(settings);
    keyed->show();
    QTest::keyClick(keyed, Qt::Key_Shift);
    EXPECT_TRUE(Eventually([&] { return keyed.isNull(); }, 2000));
}

TEST_F(SaverWindows, ShowsADocumentCentredAndDropsUnreadableFiles) {
    AddDocument("small.qln", 8, 6);
    std::ofstream(folder / "broken.qln") << "VERSION 2\nTEXTURE {\n WIDTH zzz\n";
    std::ofstream(folder / "empty.jpg") << "";
    settings.delay = 1;
    DrawWindow window(settings, false);
    window.resize(20, 10);
    QSignalSpy shown(&window, &DrawWindow::PictureShown);
    QSignalSpy dropped(&window, &DrawWindow::FileDropped);
    window.Start();
    EXPECT_EQ(window.Files().size(), 3u);
    // The bad files go one by one, a second apart; the good one stays.
    ASSERT_TRUE(
        Eventually([&] { return shown.count() >= 1 && window.Files().size() == 1; }, 30000));
    EXPECT_EQ(dropped.count(), 2);
    EXPECT_EQ(window.Mode(), DisplayMode::Current);
    const QImage picture = window.Snapshot();
    ASSERT_EQ(picture.size(), QSize(20, 10));
    // Outside the centred 8 x 6 tile (columns 6..13, rows 2..7) all is black.
    EXPECT_EQ(picture.pixel(0, 0) & 0xffffff, 0u);
    EXPECT_EQ(picture.pixel(19, 9) & 0xffffff, 0u);
    EXPECT_EQ(picture.pixel(5, 5) & 0xffffff, 0u);
}

TEST_F(SaverWindows, PaintShowsTheComposedPictureTopRowFirst) {
    // The default layer's noise, mirrored across a window larger than the
    // tile: the paint flips the bottom-up rows itself, so a slip shows here.
    AddDocument("noise.qln", 7, 5, kScreenSaverXMirror | kScreenSaverYMirror);
    DrawWindow window(settings, false);
    window.resize(30, 22);
    QSignalSpy shown(&window, &DrawWindow::PictureShown);
    window.Start();
    ASSERT_TRUE(Eventually([&] { return shown.count() >= 1; }, 30000));
    EXPECT_EQ(window.Mode(), DisplayMode::XYMirror);
    const QImage snapshot = window.Snapshot().convertToFormat(QImage::Format_RGB32);
    const QImage painted = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(painted.size(), snapshot.size());
    EXPECT_NE(snapshot.copy(0, 0, 30, 1), snapshot.copy(0, 21, 30, 1))
        << "a picture the same upside down proves nothing";
    EXPECT_EQ(painted, snapshot);
}

TEST_F(SaverWindows, ClosingDuringARenderingStopsTheWorker) {
    AddDocument("large.qln", 64, 64, kScreenSaverExpand);
    auto* window = new DrawWindow(settings, false);
    window->resize(1200, 900);
    window->Start();
    QSignalSpy shown(window, &DrawWindow::PictureShown);
    EXPECT_TRUE(Eventually([&] { return window->WorkerRunning() || shown.count() > 0; }, 10000));
    EXPECT_EQ(window->Mode(), DisplayMode::Expand);
    delete window;  // cancels and joins; a leaked worker would crash the run
    SUCCEED();
}

TEST_F(SaverWindows, ARenderingThatCannotFinishIsDropped) {
    AddDocument("slow.qln", 64, 64, kScreenSaverExpand);
    DrawWindow window(settings, false);
    window.resize(1600, 1200);
    window.SetRenderTimeLimit(std::chrono::milliseconds(1));
    QSignalSpy dropped(&window, &DrawWindow::FileDropped);
    window.Start();
    EXPECT_TRUE(Eventually([&] { return dropped.count() == 1; }, 10000));
    EXPECT_TRUE(window.Files().empty());
    EXPECT_FALSE(window.WorkerRunning());
}

TEST_F(SaverWindows, ClosingDuringALoadDoesNotWaitForIt) {
    DisplayBitmap big;
    ASSERT_TRUE(big.Create(4000, 3000, 24));
    ASSERT_TRUE(SavePicture(big, (folder / "big.png").string(), SaveFormat::Png).Ok());
    auto* window = new DrawWindow(settings, false);
    window->resize(64, 48);
    window->Start();
    EXPECT_TRUE(window->Loading());
    delete window;  // the decode goes on without it; its result is dropped
    EXPECT_TRUE(BackgroundWork::WaitForAll(std::chrono::seconds(30)));
    QCoreApplication::processEvents();  // a result delivered to the dead window would crash here
}

}  // namespace
}  // namespace quillon
