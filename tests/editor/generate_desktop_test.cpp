#include "editor/generate_desktop.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <cstring>

#include "cli/render_run.h"
#include "editor/choosers.h"
#include "editor/dialogs/desktop_properties_dialog.h"
#include "editor/document.h"
#include "editor/document_view.h"
#include "editor/preview_window.h"
#include "engine/error_reporter.h"
#include "engine/random.h"
#include "format/texture_files.h"
#include "image/bmp_file.h"
#include "wallpaper/wallpaper_files.h"

namespace quillon {
namespace {

const char* kDocument = R"(VERSION 2
TEXTURE "Small" {
	WIDTH 64
	HEIGHT 32
	LAYERS {
		NOISEFUNCTIONLAYER "Veins" {
			COMBINEFUNC OPAQUE
			NOISEFUNC GRADIENT
			TURBTYPE TURBULENCE
			TURBITER 3
			SCALE (4, 4, 4)
			COLORMAP SIZE 2
			RANDOM FALSE
			(0, 248, 246, 240, 1)
			(255, 50, 50, 60, 1)
		}
	}
}
)";

// A private data folder and desktop: a fake LXQt setter on PATH that
// records its arguments, or none.
class GenerateDesktopTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_saved = {qgetenv("XDG_DATA_HOME"), qgetenv("PATH"), qgetenv("XDG_CURRENT_DESKTOP")};
        qputenv("XDG_DATA_HOME", Path("data").toUtf8());
        qputenv("PATH", Path("bin").toUtf8());
        qputenv("XDG_CURRENT_DESKTOP", "LXQt");
        QDir(m_dir.path()).mkdir("bin");
        QFile file(Path("document.qln"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(kDocument);
    }
    void TearDown() override {
        qputenv("XDG_DATA_HOME", m_saved[0]);
        qputenv("PATH", m_saved[1]);
        qputenv("XDG_CURRENT_DESKTOP", m_saved[2]);
    }
    QString Path(const QString& name) const { return QDir(m_dir.path()).filePath(name); }
    void AddSetter(const QByteArray& exitCode) {
        QFile file(Path("bin/pcmanfm-qt"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + Path("setter.log").toUtf8() +
                   "'\nexit " + exitCode + "\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QString SetterLog() const {
        QFile file(Path("setter.log"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    // What the command line renders of a copy of the document made after
    // seeding, as the desktop's window copies it (a copy draws new noise).
    DisplayBitmap RenderCopy(int seed, const RenderRequest& request) const {
        TextureMap texture;
        DisplayBitmap picture;
        if (LoadDocument(Path("document.qln").toStdString(), texture) != LoadStatus::Ok)
            return picture;
        RandomGenerator::Instance().Seed(seed);
        std::unique_ptr<BaseLayer> copy = texture.Clone();
        std::string error;
        if (RenderTexture(static_cast<TextureMap&>(*copy), request, picture, error) != 0)
            ADD_FAILURE() << error;
        return picture;
    }
    std::string Wallpaper() const { return WallpaperPath(kQuillonWallpaperName); }
    DisplayBitmap Picture(int bits = 24) const {
        DisplayBitmap picture;
        picture.Create(8, 4, bits);
        return picture;
    }

    QTemporaryDir m_dir;
    std::array<QByteArray, 3> m_saved;
    CapturingErrorReporter m_reports;
    ScopedErrorReporter m_scope{m_reports};
};

TEST_F(GenerateDesktopTest, TargetSizeAndDialogDefaults) {
    TextureMap texture;
    texture.SetSize(256, 128);
    EXPECT_EQ(DesktopTargetSize(true, QSize(1024, 768), texture), QSize(1024, 768));
    EXPECT_EQ(DesktopTargetSize(false, QSize(1024, 768), texture), QSize(256, 128));
    DesktopPropertiesDialog dialog;
    EXPECT_TRUE(dialog.Expanded());
    QTest::mouseClick(dialog.CurrentSizeButton(), Qt::LeftButton);
    EXPECT_FALSE(dialog.Expanded());
}

TEST_F(GenerateDesktopTest, DepthChoosesTheFileAndTheSetterGetsIt) {
    AddSetter("0");
    EXPECT_EQ(InstallDesktopPicture(Picture(), 8), DesktopResult::kInstalled);
    BitmapReadResult file = ReadBitmapFile(Wallpaper());
    ASSERT_TRUE(file.Ok());
    EXPECT_EQ(file.image->BitsPerPixel(), 8);
    EXPECT_EQ(SetterLog(), QString::fromStdString("--set-wallpaper\n" + Wallpaper() +
                                                  "\n--wallpaper-mode\ntile\n"));
    EXPECT_EQ(InstallDesktopPicture(Picture(), 32), DesktopResult::kInstalled);
    EXPECT_EQ(ReadBitmapFile(Wallpaper()).image->BitsPerPixel(), 24);
    EXPECT_TRUE(m_reports.Messages().empty());
}

TEST_F(GenerateDesktopTest, SetterFailuresAndUnwritableFolderAreReported) {
    EXPECT_EQ(InstallDesktopPicture(Picture(), 24), DesktopResult::kNoSetter);
    EXPECT_EQ(m_reports.Last(), "Unable to load module");
    AddSetter("3");
    EXPECT_EQ(InstallDesktopPicture(Picture(), 24), DesktopResult::kSetterFailed);
    EXPECT_EQ(m_reports.Last().rfind("Unable to load procedure", 0), 0u) << m_reports.Last();

    // A file where the data folder should be: nothing written, nothing installed.
    QFile::remove(Path("setter.log"));
    QFile blocker(Path("blocked"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    qputenv("XDG_DATA_HOME", Path("blocked").toUtf8());
    EXPECT_EQ(InstallDesktopPicture(Picture(), 24), DesktopResult::kNotWritten);
    EXPECT_NE(m_reports.Last().find("QuillonBitmap.bmp"), std::string::npos);
    EXPECT_TRUE(SetterLog().isEmpty());
}

// Answers the Desktop Properties dialog with Current Size.
class CurrentSizeChooser : public Choosers {
  public:
    bool RunDialog(QDialog& dialog) override {
        auto* properties = qobject_cast<DesktopPropertiesDialog*>(&dialog);
        if (!properties) return false;
        properties->CurrentSizeButton()->click();
        return true;
    }
};

TEST_F(GenerateDesktopTest, CurrentSizeRendersACopyAndLeavesTheDocumentAlone) {
    AddSetter("0");
    Document document;
    ASSERT_TRUE(document.Open(Path("document.qln")));
    DocumentView view(&document);
    CurrentSizeChooser chooser;
    Choosers* previous = SetChoosers(&chooser);
    RandomGenerator::Instance().Seed(77);
    QPointer<PreviewWindow> window = GenerateDesktop(&view);
    SetChoosers(previous);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(view.HasOpenPreview());
    EXPECT_EQ(GenerateDesktop(&view), nullptr);  // one preview per view
    EXPECT_NE(window->RenderedLayer(), &document.Texture());
    EXPECT_FALSE(document.IsBeingPreviewed(&document.Texture()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !SetterLog().isEmpty(); }, 60000));
    QThreadPool::globalInstance()->waitForDone();

    // All scales 1: the command line's picture of a copy at the texture's own size.
    const DisplayBitmap rendered = RenderCopy(77, RenderRequest{});
    const DisplayBitmap shown = window->Picture();
    ASSERT_EQ(shown.DataSize(), rendered.DataSize());
    EXPECT_EQ(std::memcmp(shown.Data(), rendered.Data(), shown.DataSize()), 0);
    EXPECT_EQ(ReadBitmapFile(Wallpaper()).image->Width(), 64);

    window->Cancel();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(view.HasOpenPreview());
}

TEST_F(GenerateDesktopTest, ExpandedScalesACopyAndTheTextureKeepsItsSize) {
    TextureMap texture;
    ASSERT_EQ(LoadDocument(Path("document.qln").toStdString(), texture), LoadStatus::Ok);
    RandomGenerator::Instance().Seed(78);
    // 64 x 32 to 256 x 192: xScale 4, yScale 6, scale 4.
    QPointer<PreviewWindow> window = new PreviewWindow(nullptr, false, false);
    ASSERT_TRUE(window->Create(256, 192, PreviewMode::kDesktop, 24));
    bool done = false;
    window->SetDesktopCompletion([&](const DisplayBitmap&) { done = true; });
    window->StartSynthesis(&texture);
    EXPECT_EQ(texture.Width(), 64);
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 60000));
    EXPECT_EQ(texture.Width(), 64);
    EXPECT_EQ(texture.Height(), 32);

    RenderRequest request;
    request.width = 256;
    request.height = 192;
    const DisplayBitmap rendered = RenderCopy(78, request);
    const DisplayBitmap shown = window->Picture();
    ASSERT_EQ(shown.DataSize(), rendered.DataSize());
    EXPECT_EQ(std::memcmp(shown.Data(), rendered.Data(), shown.DataSize()), 0);
    window->Cancel();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(texture.Width(), 64);
}

}  // namespace
}  // namespace quillon
