#include "editor/dialogs/tip_dlg.h"

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "editor/help.h"

namespace quillon {
namespace {

class TipDlgTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        QSettings().remove(QStringLiteral("Tip"));
        ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("SlideShow")));
    }
    void TearDown() override { QSettings().remove(QStringLiteral("Tip")); }

    QString Tips() const { return QDir(m_dir.path()).filePath(QStringLiteral("tips.txt")); }
    QString SlideShow() const { return QDir(m_dir.path()).filePath(QStringLiteral("SlideShow")); }
    void WriteTips(const QByteArray& bytes, int secondsAgo = 100) {
        QFile file(Tips());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.flush();  // else closing writes, and sets the time, last
        file.setFileTime(QDateTime::currentDateTime().addSecs(-secondsAgo),
                         QFileDevice::FileModificationTime);
    }
    // The tips a dialog shows, first and then count - 1 Next Tips.
    QStringList Shown(TipDlg& dlg, int count) {
        QStringList tips{dlg.TipText()};
        for (int i = 1; i < count; ++i) {
            QTest::mouseClick(dlg.NextButton(), Qt::LeftButton);
            tips << dlg.TipText();
        }
        return tips;
    }

    QTemporaryDir m_dir;
};

TEST_F(TipDlgTest, SkipsCommentsWrapsAndGoesOnWhereItLeftOff) {
    WriteTips("; comment\nfirst\n  indented\n\tindented\n\nsecond\r\nthird");
    {
        TipDlg dlg(nullptr, Tips(), SlideShow());
        EXPECT_EQ(Shown(dlg, 4), (QStringList{"first", "second", "third", "first"}));
    }
    // The next opening goes on after the last tip shown.
    TipDlg again(nullptr, Tips(), SlideShow());
    EXPECT_EQ(again.TipText(), "second");
}

TEST_F(TipDlgTest, ChangedFileStartsAgain) {
    WriteTips("first\nsecond\n", 100);
    { TipDlg dlg(nullptr, Tips(), SlideShow()); }  // leaves FilePos after "first"
    WriteTips("new first\nnew second\n", 50);
    TipDlg dlg(nullptr, Tips(), SlideShow());
    EXPECT_EQ(dlg.TipText(), "new first");
}

TEST_F(TipDlgTest, MissingTiplessLongAndBinaryFiles) {
    {
        TipDlg dlg(nullptr, Tips(), SlideShow());  // no file
        EXPECT_EQ(dlg.TipText(), "Tips file does not exist in the prescribed directory");
        EXPECT_FALSE(dlg.NextButton()->isEnabled());
    }
    WriteTips("; only comments\n\n  and indented lines\n");
    QElapsedTimer timer;
    timer.start();
    {
        TipDlg dlg(nullptr, Tips(), SlideShow());
        EXPECT_LT(timer.elapsed(), 5000);  // no endless search
        EXPECT_FALSE(dlg.NextButton()->isEnabled());
    }
    // A 100 000-character line is cut at the limit; the rest of it is not a tip.
    WriteTips(QByteArray(100000, 'x') + "\nafter\n" + QByteArray("bin\0ary\x01\xff tip\n", 14));
    TipDlg dlg(nullptr, Tips(), SlideShow());
    EXPECT_EQ(dlg.TipText().size(), TipDlg::kMaxTipLength);
    EXPECT_EQ(Shown(dlg, 3).mid(1),
              (QStringList{"after", QString::fromUtf8("bin ary \uFFFD tip")}));
}

TEST_F(TipDlgTest, CloseStoresTheBoxEscapeStoresNothing) {
    WriteTips("tip\n");
    {
        TipDlg dlg(nullptr, Tips(), SlideShow());
        EXPECT_TRUE(dlg.StartupBox()->isChecked());
        dlg.StartupBox()->setChecked(false);
        QTest::keyClick(&dlg, Qt::Key_Escape);
    }
    EXPECT_FALSE(QSettings().contains(QStringLiteral("Tip/StartUp")));
    EXPECT_TRUE(TipDlg::ShowAtStartup());
    {
        TipDlg dlg(nullptr, Tips(), SlideShow());
        dlg.StartupBox()->setChecked(false);
        QTest::mouseClick(dlg.CloseButton(), Qt::LeftButton);
    }
    EXPECT_EQ(QSettings().value(QStringLiteral("Tip/StartUp")).toInt(), 1);
    EXPECT_FALSE(TipDlg::ShowAtStartup());
}

TEST_F(TipDlgTest, SlideshowButtonOnlyWithTextures) {
    WriteTips("tip\n");
    {
        TipDlg dlg(nullptr, Tips(), QDir(m_dir.path()).filePath("missing"));
        EXPECT_TRUE(dlg.SlideshowButton()->isHidden());
    }
    {
        TipDlg dlg(nullptr, Tips(), SlideShow());  // empty folder
        EXPECT_TRUE(dlg.SlideshowButton()->isHidden());
    }
    ASSERT_TRUE(QFile::copy(QStringLiteral(QUILLON_SOURCE_DIR "/examples/zebra.qln"),
                            QDir(SlideShow()).filePath("ZEBRA.QLN")));
    TipDlg dlg(nullptr, Tips(), SlideShow());
    EXPECT_FALSE(dlg.SlideshowButton()->isHidden());
    QTest::mouseClick(dlg.SlideshowButton(), Qt::LeftButton);
    ASSERT_NE(dlg.Slideshow(), nullptr);
    QPointer<PreviewWindow> window = dlg.Slideshow();
    // Closing the tips closes the slideshow with it.
    QTest::mouseClick(dlg.CloseButton(), Qt::LeftButton);
    EXPECT_EQ(dlg.Slideshow(), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull() || !window->isVisible());
}

TEST_F(TipDlgTest, TutorialsOpenTheFirstTutorial) {
    WriteTips("tip\n");
    QUrl opened;
    UrlOpener previous = SetUrlOpener([&](const QUrl& url) {
        opened = url;
        return true;
    });
    qputenv("QUILLON_DATA_DIR", QUILLON_SOURCE_DIR "/data");
    TipDlg dlg(nullptr, Tips(), SlideShow());
    QTest::mouseClick(dlg.TutorialsButton(), Qt::LeftButton);
    qunsetenv("QUILLON_DATA_DIR");
    SetUrlOpener(previous);
    EXPECT_TRUE(opened.toLocalFile().endsWith("/help/tutorial-first-texture.html"))
        << opened.toString().toStdString();
}

}  // namespace
}  // namespace quillon
