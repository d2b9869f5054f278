#include "editor/help.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

#include "editor/data_directory.h"
#include "engine/error_reporter.h"

namespace quillon {

namespace {

UrlOpener& Opener() {
    static UrlOpener opener;
    return opener;
}

}  // namespace

QString HelpPage(int topic) {
    switch (topic) {
        case kHelpTutorials:
            return QStringLiteral("tutorials.html");
        case kHelpFirstTutorial:
            return QStringLiteral("tutorial-first-texture.html");
        case kHelpPreviewCancel:
            return QStringLiteral("preview.html#cancel");
        case kHelpPreviewSave:
            return QStringLiteral("preview.html#save");
        case kHelpPreviewProgress:
            return QStringLiteral("preview.html#progress");
        default:
            return QStringLiteral("index.html");
    }
}

bool ShowHelp(int topic, QWidget*) {
    const QString page = HelpPage(topic);
    const QString file = page.section(QLatin1Char('#'), 0, 0);
    const QString anchor = page.section(QLatin1Char('#'), 1);
    const QString path = QDir(DataPath(QStringLiteral("help"))).filePath(file);
    if (!QFileInfo(path).isFile()) {
        ReportError("The help file " + QDir::toNativeSeparators(path).toStdString() +
                    " cannot be found. Reinstalling Quillon brings it back.");
        return false;
    }
    QUrl url = QUrl::fromLocalFile(path);
    if (!anchor.isEmpty()) url.setFragment(anchor);
    if (!OpenUrl(url)) {
        ReportError("Unable to open the help: no application to show web pages was found.");
        return false;
    }
    return true;
}

UrlOpener SetUrlOpener(UrlOpener opener) {
    UrlOpener previous = std::move(Opener());
    Opener() = std::move(opener);
    return previous;
}

bool OpenUrl(const QUrl& url) {
    if (Opener()) return Opener()(url);
    return QDesktopServices::openUrl(url);
}

}  // namespace quillon
