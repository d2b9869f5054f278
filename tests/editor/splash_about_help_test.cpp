#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

#include "editor/data_directory.h"
#include "editor/dialogs/about_dlg.h"
#include "editor/dialogs/hyperlink.h"
#include "editor/dialogs/splash_window.h"
#include "editor/help.h"
#include "engine/error_reporter.h"

namespace quillon {
namespace {

// Counts the keys and presses that reach it.
class Receiver : public QWidget {
  public:
    int keys = 0;
    int presses = 0;

  protected:
    void keyPressEvent(QKeyEvent*) override { ++keys; }
    void mousePressEvent(QMouseEvent*) override { ++presses; }
};

TEST(SplashWindowTest, FirstPressIsSwallowedAndRemovesTheSplash) {
    Receiver main;
    main.setFocusPolicy(Qt::StrongFocus);
    main.show();
    main.setFocus();
    SplashWindow::Enable(false);
    SplashWindow::ShowOver(&main);
    EXPECT_EQ(SplashWindow::Current(), nullptr);  // not enabled

    SplashWindow::Enable(true);
    SplashWindow::ShowOver(&main);
    QPointer<SplashWindow> splash = SplashWindow::Current();
    ASSERT_NE(splash, nullptr);
    EXPECT_TRUE(splash->isVisible());
    QTest::keyClick(&main, Qt::Key_A);
    EXPECT_EQ(main.keys, 0);
    EXPECT_EQ(SplashWindow::Current(), nullptr);
    QTest::keyClick(&main, Qt::Key_A);
    EXPECT_EQ(main.keys, 1);

    SplashWindow::ShowOver(&main);
    ASSERT_NE(SplashWindow::Current(), nullptr);
    QTest::mouseClick(&main, Qt::LeftButton);
    EXPECT_EQ(main.presses, 0);
    EXPECT_EQ(SplashWindow::Current(), nullptr);
    SplashWindow::Enable(false);
}

class HyperLinkTest : public testing::Test {
  protected:
    void TearDown() override { SetUrlOpener(m_previous); }
    void OpenWith(bool result) {
        m_previous = SetUrlOpener([this, result](const QUrl& url) {
            m_opened = url;
            return result;
        });
    }
    UrlOpener m_previous;
    QUrl m_opened;
};

TEST_F(HyperLinkTest, VisitedColourStaysAfterASuccessfulClick) {
    OpenWith(true);
    HyperLink link(QStringLiteral("https://www.veltrana.example/"));
    link.show();
    EXPECT_TRUE(link.font().underline());
    EXPECT_EQ(link.toolTip(), "https://www.veltrana.example/");
    EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(link.CurrentColor(), QColor(0, 0, 255));
    QTest::mouseClick(&link, Qt::LeftButton);
    EXPECT_EQ(m_opened, QUrl("https://www.veltrana.example/"));
    EXPECT_TRUE(link.Visited());
    EXPECT_EQ(link.palette().color(QPalette::WindowText), QColor(85, 26, 139));
    // Hovering shows the hover colour, leaving gives the visited one back.
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(&link, &enter);
    EXPECT_EQ(link.CurrentColor(), QColor(0, 0, 255));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&link, &leave);
    EXPECT_EQ(link.CurrentColor(), QColor(85, 26, 139));
}

TEST_F(HyperLinkTest, FailureIsReportedAndNotVisited) {
    OpenWith(false);
    CapturingErrorReporter reporter;
    ScopedErrorReporter scoped(reporter);
    HyperLink link(QStringLiteral("https://www.veltrana.example/"));
    link.SetUrl(QStringLiteral("https://www.veltrana.example/longer/address"));
    EXPECT_EQ(link.toolTip(), "https://www.veltrana.example/longer/address");
    EXPECT_FALSE(link.Open());
    EXPECT_FALSE(link.Visited());
    EXPECT_EQ(reporter.Last(),
              "Error occurred while opening hyperlink:\n\nUnable to find an application to "
              "open the hyperlink.");
}

TEST(AboutDlgTest, ResourcesAreFormatted) {
    EXPECT_EQ(AboutDlg::MemoryText(std::uint64_t{5} << 40), "5368709120 KB");  // no 32-bit wrap
    EXPECT_EQ(AboutDlg::MemoryText(std::nullopt), "Unavailable");
    const auto available = AboutDlg::AvailableMemory();
    ASSERT_TRUE(available.has_value());
    EXPECT_GT(*available, 0u);
    QTemporaryDir dir;
    const QString disk = AboutDlg::DiskText(dir.path());
    EXPECT_TRUE(disk.contains(QStringLiteral(" KB Free on /"))) << disk.toStdString();
    EXPECT_EQ(AboutDlg::DiskText(QStringLiteral("/no/such/folder/anywhere")), "Unavailable");

    AboutDlg about;
    EXPECT_EQ(about.windowTitle(), "About Quillon");
    EXPECT_EQ(about.Link()->Url(), QString::fromLatin1(kMakerUrl));
    EXPECT_TRUE(about.FreeMemoryLabel()->text().endsWith(" KB"));
}

TEST(HelpTest, TopicsOpenTheirPagesAndAMissingFileIsReported) {
    QUrl opened;
    UrlOpener previous = SetUrlOpener([&](const QUrl& url) {
        opened = url;
        return true;
    });
    qputenv("QUILLON_DATA_DIR", QUILLON_SOURCE_DIR "/data");
    for (int topic :
         {kHelpContents, kHelpTutorials, kHelpFirstTutorial, kHelpPreviewCancel, kHelpPreviewSave,
          kHelpPreviewProgress, kHelpAboutDialog, kHelpTipDialog, kHelpDesktopDialog}) {
        ASSERT_TRUE(ShowHelp(topic)) << topic;
        EXPECT_TRUE(QFileInfo::exists(opened.toLocalFile())) << opened.toString().toStdString();
    }
    EXPECT_EQ(opened.fragment(), "desktop");

    QTemporaryDir empty;
    qputenv("QUILLON_DATA_DIR", empty.path().toUtf8());
    CapturingErrorReporter reporter;
    {
        ScopedErrorReporter scoped(reporter);
        opened.clear();
        EXPECT_FALSE(ShowHelp(kHelpTutorials));
    }
    qunsetenv("QUILLON_DATA_DIR");
    SetUrlOpener(previous);
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_NE(reporter.Last().find("tutorials.html cannot be found"), std::string::npos);
}

TEST(DataDirectoryTest, BuildTreeUsesTheSourceDataUnlessToldOtherwise) {
    qunsetenv("QUILLON_DATA_DIR");
    EXPECT_EQ(DataDirectory(), QDir::cleanPath(QStringLiteral(QUILLON_SOURCE_DIR "/data")));
    EXPECT_TRUE(QFileInfo(DataPath(QStringLiteral("tips.txt"))).isFile());
    qputenv("QUILLON_DATA_DIR", "/elsewhere/data/");
    EXPECT_EQ(DataPath(QStringLiteral("help")), "/elsewhere/data/help");
    qunsetenv("QUILLON_DATA_DIR");
}

}  // namespace
}  // namespace quillon
