// main() of the Qt test programs: GoogleTest with one QApplication for all
// tests, offscreen, and settings kept away from the user's own.
#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    // Test mode keeps settings under $HOME/.qttest, whatever XDG_CONFIG_HOME
    // says: a home of its own keeps test programs run side by side apart.
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", QDir(home.path()).filePath("config").toUtf8());
    qputenv("XDG_DATA_HOME", QDir(home.path()).filePath("data").toUtf8());
    QStandardPaths::setTestModeEnabled(true);
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
