#include "wallpaper/wallpaper_setter.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

namespace quillon {
namespace {

// Fake setter programs in a private folder; each records its name and
// arguments, one invocation per line, as "name [arg] [arg]".
class WallpaperSetterTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_log = QDir(m_dir.path()).filePath("calls.log");
        m_environment.timeoutMs = 5000;
        m_environment.findProgram = [this](const std::string& program) {
            const QString path = QDir(m_dir.path()).filePath(QString::fromStdString(program));
            return QFile::exists(path) ? path.toStdString() : std::string();
        };
    }

    // A program that records its call, then runs body (sh).
    void AddProgram(const QString& name, const QString& body = QString()) {
        QFile file(QDir(m_dir.path()).filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        QTextStream out(&file);
        out << "#!/bin/sh\n{ printf '%s' \"${0##*/}\"; printf ' [%s]' \"$@\"; printf '\\n'; } >> '"
            << m_log << "'\n"
            << body << "\n";
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QStringList Calls() {
        QFile file(m_log);
        if (!file.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }

    WallpaperInstallStatus Install(WallpaperStyle style = WallpaperStyle::kTile) {
        return InstallWallpaper("/pics/it's A.bmp", "/pics/B.bmp", style, m_environment, &m_detail);
    }

    QTemporaryDir m_dir;
    QString m_log;
    WallpaperEnvironment m_environment;
    std::string m_detail;
};

TEST_F(WallpaperSetterTest, GnomeRelativesSetUriDarkUriAndOptions) {
    AddProgram("gsettings");
    m_environment.currentDesktop = "ubuntu:GNOME";
    ASSERT_EQ(Install(), WallpaperInstallStatus::kInstalled) << m_detail;
    const QString uri = "['file:///pics/it\\'s%20A.bmp']";
    EXPECT_EQ(Calls(),
              (QStringList{
                  "gsettings [set] [org.gnome.desktop.background] [picture-options] "
                  "['wallpaper']",
                  "gsettings [set] [org.gnome.desktop.background] [picture-uri] " + uri,
                  "gsettings [set] [org.gnome.desktop.background] [picture-uri-dark] " + uri,
              }));
    QFile::remove(m_log);
    m_environment.currentDesktop = "X-Cinnamon";
    ASSERT_EQ(Install(WallpaperStyle::kCenter), WallpaperInstallStatus::kInstalled);
    EXPECT_EQ(Calls().size(), 2);
    EXPECT_EQ(Calls().front(),
              "gsettings [set] [org.cinnamon.desktop.background] [picture-options] ['centered']");
}

TEST_F(WallpaperSetterTest, MateTakesAPlainFileName) {
    AddProgram("gsettings");
    m_environment.currentDesktop = "MATE";
    ASSERT_EQ(Install(), WallpaperInstallStatus::kInstalled);
    EXPECT_EQ(Calls().last(),
              "gsettings [set] [org.mate.background] [picture-filename] ['/pics/it\\'s A.bmp']");
}

TEST_F(WallpaperSetterTest, XfceSetsEveryMonitorAndWorkspace) {
    AddProgram("xfconf-query",
               "[ \"$3\" = -l ] && printf '%s\\n' /backdrop/screen0/monitor0/workspace0/last-image "
               "/backdrop/screen0/monitor0/workspace0/color-style "
               "/backdrop/screen0/monitorHDMI-1/workspace1/last-image\nexit 0");
    m_environment.currentDesktop = "XFCE";
    ASSERT_EQ(Install(WallpaperStyle::kCenter), WallpaperInstallStatus::kInstalled) << m_detail;
    const QStringList calls = Calls();
    ASSERT_EQ(calls.size(), 5);
    EXPECT_EQ(calls[1],
              "xfconf-query [-c] [xfce4-desktop] [-p] "
              "[/backdrop/screen0/monitor0/workspace0/image-style] [-n] [-t] [int] [-s] [1]");
    EXPECT_EQ(calls[4],
              "xfconf-query [-c] [xfce4-desktop] [-p] "
              "[/backdrop/screen0/monitorHDMI-1/workspace1/last-image] [-n] [-t] [string] [-s] "
              "[/pics/it's A.bmp]");
}

TEST_F(WallpaperSetterTest, PlasmaAndLxqt) {
    AddProgram("qdbus");
    AddProgram("pcmanfm-qt");
    m_environment.currentDesktop = "KDE";
    ASSERT_EQ(Install(), WallpaperInstallStatus::kInstalled);
    const QString plasma = Calls().value(0);
    EXPECT_TRUE(plasma.startsWith(
        "qdbus [org.kde.plasmashell] [/PlasmaShell] [org.kde.PlasmaShell.evaluateScript] ["));
    EXPECT_TRUE(plasma.contains("\"file:///pics/it's%20A.bmp\"")) << plasma.toStdString();
    EXPECT_TRUE(plasma.contains("\"FillMode\", 3")) << plasma.toStdString();

    m_environment.currentDesktop = "LXQt";
    ASSERT_EQ(Install(WallpaperStyle::kCenter), WallpaperInstallStatus::kInstalled);
    EXPECT_EQ(Calls().value(1),
              "pcmanfm-qt [--set-wallpaper] [/pics/it's A.bmp] [--wallpaper-mode] [center]");
}

TEST_F(WallpaperSetterTest, PlainX11FallbackTakesThePlainPath) {
    AddProgram("xwallpaper");
    // A known desktop whose program is missing falls back as well.
    m_environment.currentDesktop = "GNOME";
    m_environment.hasX11Display = true;
    ASSERT_EQ(Install(WallpaperStyle::kCenter), WallpaperInstallStatus::kInstalled);
    EXPECT_EQ(m_detail, "xwallpaper");
    EXPECT_EQ(Calls(), QStringList{"xwallpaper [--tile] [/pics/B.bmp]"});
}

TEST_F(WallpaperSetterTest, DesktopWithoutSetter) {
    m_environment.currentDesktop = "";
    m_environment.hasX11Display = true;
    EXPECT_EQ(Install(), WallpaperInstallStatus::kNoSetter);
    AddProgram("feh");
    m_environment.hasX11Display = false;  // nothing to draw on
    EXPECT_EQ(Install(), WallpaperInstallStatus::kNoSetter);
    EXPECT_TRUE(Calls().isEmpty());
}

TEST_F(WallpaperSetterTest, FailingSetterReportsItsOutput) {
    AddProgram("gsettings", "echo 'No such schema' >&2; exit 1");
    m_environment.currentDesktop = "GNOME";
    EXPECT_EQ(Install(), WallpaperInstallStatus::kSetterFailed);
    EXPECT_NE(m_detail.find("No such schema"), std::string::npos) << m_detail;
    EXPECT_EQ(Calls().size(), 1);  // stops at the first failure
}

TEST_F(WallpaperSetterTest, HangingSetterIsStoppedInTime) {
    AddProgram("pcmanfm-qt", "exec /bin/sleep 30");
    m_environment.currentDesktop = "LXQt";
    m_environment.timeoutMs = 300;
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(Install(), WallpaperInstallStatus::kSetterFailed);
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_NE(m_detail.find("did not finish in time"), std::string::npos) << m_detail;
}

}  // namespace
}  // namespace quillon
