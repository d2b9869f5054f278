#include "editor/preview_window.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstring>
#include <memory>
#include <string>

#include "cli/render_run.h"
#include "editor/app_services.h"
#include "engine/error_reporter.h"
#include "engine/random.h"
#include "engine/texture_map.h"
#include "format/texture_files.h"
#include "image/picture_file.h"

namespace quillon {
namespace {

const QString kExamples = QStringLiteral(QUILLON_SOURCE_DIR "/examples/");

// Two layers, clouds over marble veins: no symmetry, so mirrors show.
const char* kSmallDocument = R"(VERSION 2
TEXTURE "Small" {
	WIDTH 48
	HEIGHT 32
	LAYERS {
		NOISEFUNCTIONLAYER "Clouds" {
			COMBINEFUNC TRANSPARENT
			TRANSPARENCY 0.5
			NOISEFUNC GRADIENT
			TURBTYPE FRACTALSUM
			TURBITER 3
			SCALE (5, 5, 5)
			COLORMAP SIZE 2
			RANDOM FALSE
			(0, 40, 90, 170, 1)
			(255, 255, 255, 255, 1)
		}
		NOISEFUNCTIONLAYER "Veins" {
			COMBINEFUNC OPAQUE
			COORDFUNC LINEAR
			NOISEFUNC GRADIENT
			TURBTYPE TURBULENCE
			TURBITER 4
			CMAP TRIG
			SCALE (4, 4, 4)
			COLORMAP SIZE 2
			RANDOM FALSE
			(0, 248, 246, 240, 1)
			(255, 50, 50, 60, 1)
		}
	}
}
)";

class PreviewWindowTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        SetStatusTextSink([this](const QString& text) { m_status = text; });
    }
    void TearDown() override { SetStatusTextSink({}); }

    QString Path(const QString& name) const { return QDir(m_dir.path()).filePath(name); }
    void Write(const QString& name, const char* text) const {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    std::unique_ptr<TextureMap> Load(const QString& path) const {
        std::unique_ptr<TextureMap> texture;
        EXPECT_EQ(LoadTextureDocument(path.toStdString(), texture), LoadStatus::Ok);
        return texture;
    }

    // A preview of the whole texture, rendered to its end.
    QPointer<PreviewWindow> Render(TextureMap& texture, bool xMirror = false) {
        QPointer<PreviewWindow> window = new PreviewWindow(nullptr, xMirror, false);
        EXPECT_TRUE(window->Create(texture.Width(), texture.Height(), PreviewMode::kPreview, 24));
        window->StartSynthesis(&texture);
        window->PlaceForImage();
        EXPECT_TRUE(WaitForEnd(window));
        return window;
    }
    static bool WaitForEnd(const QPointer<PreviewWindow>& window) {
        bool done = false;
        const QMetaObject::Connection waiting =
            QObject::connect(window, &PreviewWindow::SynthesisCompleted, [&] { done = true; });
        const bool ended = QTest::qWaitFor([&] { return done; }, 60000);
        QObject::disconnect(waiting);  // a later run must not reach this frame's flag
        return ended;
    }
    static void Close(QPointer<PreviewWindow>& window) {
        if (window) window->Cancel();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QTemporaryDir m_dir;
    QString m_status;
    CapturingErrorReporter m_reports;
    ScopedErrorReporter m_scope{m_reports};
};

TEST_F(PreviewWindowTest, CancelMidRenderLeavesNoWorkerAndClosesTheWindow) {
    auto texture = Load(kExamples + "granite.qln");
    texture->SetSize(1024, 1024);
    QPointer<PreviewWindow> window = new PreviewWindow(nullptr, false, false);
    ASSERT_TRUE(window->Create(1024, 1024, PreviewMode::kPreview, 24));
    bool closedTold = false;
    QObject::connect(window, &PreviewWindow::PreviewClosed, [&] { closedTold = true; });
    window->StartSynthesis(texture.get());
    window->PlaceForImage();
    ASSERT_TRUE(QTest::qWaitFor([&] { return texture->IsBusy(); }, 10000));
    EXPECT_TRUE(window->IsRendering());

    bool completed = false;
    QObject::connect(window, &PreviewWindow::SynthesisCompleted, [&] { completed = true; });
    window->Cancel();
    EXPECT_FALSE(window->IsRendering());
    EXPECT_FALSE(texture->IsBusy());
    EXPECT_TRUE(closedTold);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
    QTest::qWait(50);
    EXPECT_FALSE(completed);
}

TEST_F(PreviewWindowTest, XMirrorDoublesTheWidthWithTheRightHalfReflected) {
    Write("small.qln", kSmallDocument);
    auto texture = Load(Path("small.qln"));
    auto window = Render(*texture, true);
    const DisplayBitmap picture = window->Picture();
    ASSERT_EQ(picture.Width(), 96);
    ASSERT_EQ(picture.Height(), 32);
    bool differs = false;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 48; ++x) {
            PaletteEntry left, right, next;
            ASSERT_TRUE(picture.Pixel(x, y, left));
            ASSERT_TRUE(picture.Pixel(95 - x, y, right));
            ASSERT_EQ(left, right) << x << ", " << y;
            if (x > 0 && picture.Pixel(x - 1, y, next) && !(next == left)) differs = true;
        }
    }
    EXPECT_TRUE(differs) << "a flat picture proves nothing";
    EXPECT_GE(window->findChild<QWidget*>("previewImage")->width(), 96);
    EXPECT_EQ(window->findChild<QPushButton*>()->isEnabled(), true);
    Close(window);
}

TEST_F(PreviewWindowTest, SaveAsJpegWithoutOkWritesAtQuality100AndFailuresAreReported) {
    Write("small.qln", kSmallDocument);
    auto texture = Load(Path("small.qln"));
    auto window = Render(*texture);
    QTimer::singleShot(0, [] {
        if (QWidget* dialog = QApplication::activeModalWidget()) dialog->close();
    });
    ASSERT_TRUE(window->SavePictureAs(Path("saved.jpg"), 2));
    const std::string reference = Path("reference.jpg").toStdString();
    ASSERT_TRUE(SavePicture(window->Picture(), reference, SaveFormat::Jpeg, 100).Ok());
    QFile saved(Path("saved.jpg")), expected(QString::fromStdString(reference));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly) && expected.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), expected.readAll());

    // A failed save says which file and why, and never as success.
    QTimer::singleShot(0, [] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            dialog->accept();
        }
    });
    const QString nowhere = Path("missing/folder/out.jpg");
    EXPECT_FALSE(window->SavePictureAs(nowhere, 2));
    ASSERT_EQ(m_reports.Messages().size(), 1u);
    EXPECT_EQ(m_reports.Last().rfind("Error writing JPEG file", 0), 0u) << m_reports.Last();
    EXPECT_NE(m_reports.Last().find(nowhere.toStdString()), std::string::npos);
    Close(window);
}

TEST_F(PreviewWindowTest, SlideshowOverOneDocumentEndsWithDone) {
    Write("only.qln", kSmallDocument);
    QPointer<PreviewWindow> window = new PreviewWindow(nullptr, false, false);
    ASSERT_TRUE(window->Create(256, 256, PreviewMode::kSlideshow, 24));
    window->PlaceForImage();
    window->StartSlideshow(m_dir.path());
    ASSERT_TRUE(WaitForEnd(window));
    EXPECT_EQ(window->Picture().Width(), 256);
    EXPECT_EQ(window->RenderedLayer()->Width(), 256);
    const auto buttons = window->findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 2);
    EXPECT_TRUE(buttons[0]->isHidden());  // Next
    EXPECT_EQ(buttons[1]->text(), "&Done");
    Close(window);
}

TEST_F(PreviewWindowTest, SlideshowSkipsAnUnreadableDocument) {
    Write("a.qln", "VERSION 2\nTEXTURE \"Broken\" {\n\tWIDTH oops\n");
    Write("b.QLN", kSmallDocument);
    QPointer<PreviewWindow> window = new PreviewWindow(nullptr, false, false);
    ASSERT_TRUE(window->Create(256, 256, PreviewMode::kSlideshow, 24));
    window->StartSlideshow(m_dir.path());
    ASSERT_TRUE(WaitForEnd(window));
    EXPECT_EQ(window->RenderedLayer()->Name(), "Small");
    EXPECT_FALSE(m_reports.Messages().empty()) << "the parser reports the broken file";
    Close(window);

    // A folder without documents closes the window at once.
    QTemporaryDir empty;
    window = new PreviewWindow(nullptr, false, false);
    ASSERT_TRUE(window->Create(256, 256, PreviewMode::kSlideshow, 24));
    window->StartSlideshow(empty.path());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
}

TEST_F(PreviewWindowTest, DesktopRendersACopyAtTheScreenSizeAndLeavesTheDocumentAlone) {
    Write("small.qln", kSmallDocument);
    auto texture = Load(Path("small.qln"));
    QPointer<PreviewWindow> window = new PreviewWindow(nullptr, false, false);
    ASSERT_TRUE(window->Create(96, 64, PreviewMode::kDesktop, 24));
    int width = 0, height = 0;
    window->SetDesktopCompletion([&](const DisplayBitmap& picture) {
        width = picture.Width();
        height = picture.Height();
    });
    window->StartSynthesis(texture.get());
    EXPECT_EQ(texture->Width(), 48) << "the document's own texture keeps its size";
    EXPECT_NE(window->RenderedLayer(), texture.get());
    ASSERT_TRUE(WaitForEnd(window));
    EXPECT_EQ(width, 96);
    EXPECT_EQ(height, 64);
    EXPECT_EQ(texture->Width(), 48);
    Close(window);
}

TEST_F(PreviewWindowTest, ColourReadOutOnThePictureAndReadyOffIt) {
    Write("small.qln", kSmallDocument);
    auto texture = Load(Path("small.qln"));
    auto window = Render(*texture);
    QWidget* image = window->findChild<QWidget*>("previewImage");
    PaletteEntry colour;
    ASSERT_TRUE(window->Picture().Pixel(10, 20, colour));
    QMouseEvent onPicture(QEvent::MouseMove, QPointF(10, 20), image->mapToGlobal(QPointF(10, 20)),
                          Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(image, &onPicture);
    EXPECT_EQ(m_status, QString::asprintf("RGB: %d, %d, %d", colour.r, colour.g, colour.b));

    QWidget* bar = window->findChild<QProgressBar*>();
    QMouseEvent offPicture(QEvent::MouseMove, QPointF(2, 2), bar->mapToGlobal(QPointF(2, 2)),
                           Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(window, &offPicture);
    EXPECT_EQ(m_status, "Ready");
    Close(window);
}

TEST_F(PreviewWindowTest, SamePictureAsTheCommandLineForTheSameSeed) {
    // The small one composites its two layers within one frame interval:
    // the last picture must still reach the screen.
    Write("small.qln", kSmallDocument);
    for (const QString& document : {kExamples + "marble.qln", Path("small.qln")}) {
        RandomGenerator::Instance().Seed(4242);
        TextureMap editorTexture;
        ASSERT_EQ(LoadDocument(document.toStdString(), editorTexture), LoadStatus::Ok);
        auto window = Render(editorTexture);
        const DisplayBitmap shown = window->Picture();
        Close(window);

        RandomGenerator::Instance().Seed(4242);
        TextureMap cliTexture;
        ASSERT_EQ(LoadDocument(document.toStdString(), cliTexture), LoadStatus::Ok);
        DisplayBitmap rendered;
        std::string error;
        ASSERT_EQ(RenderTexture(cliTexture, RenderRequest{}, rendered, error), 0) << error;
        ASSERT_EQ(shown.DataSize(), rendered.DataSize());
        EXPECT_EQ(std::memcmp(shown.Data(), rendered.Data(), shown.DataSize()), 0)
            << document.toStdString();
    }
}

TEST_F(PreviewWindowTest, ASecondSynthesisStartsFromBlackAgain) {
    // One half-transparent layer: a picture left from the first run would
    // show through the second.
    std::string document = kSmallDocument;
    document.erase(document.find("\t\tNOISEFUNCTIONLAYER \"Veins\""));
    document += "\t}\n}\n";
    Write("half.qln", document.c_str());
    TextureMap texture;
    ASSERT_EQ(LoadDocument(Path("half.qln").toStdString(), texture), LoadStatus::Ok);
    auto window = Render(texture);
    RandomGenerator::Instance().Seed(77);
    window->StartSynthesis(&texture);
    ASSERT_TRUE(WaitForEnd(window));
    const DisplayBitmap shown = window->Picture();
    Close(window);

    RandomGenerator::Instance().Seed(77);
    DisplayBitmap rendered;
    std::string error;
    ASSERT_EQ(RenderTexture(texture, RenderRequest{}, rendered, error), 0) << error;
    ASSERT_EQ(shown.DataSize(), rendered.DataSize());
    EXPECT_EQ(std::memcmp(shown.Data(), rendered.Data(), shown.DataSize()), 0);
}

}  // namespace
}  // namespace quillon
