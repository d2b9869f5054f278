#pragma once

#include <QString>
#include <QUrl>
#include <functional>

class QWidget;

namespace quillon {

// Topic numbers of the editor's help, as the commands and dialogs name them.
enum HelpTopic : int {
    kHelpContents = 0,
    kHelpTutorials = 3867,       // Help > Tutorials
    kHelpFirstTutorial = 4080,   // the tip dialog's Tutorials button
    kHelpPreviewCancel = 291,    // the preview window's Cancel/Done button
    kHelpPreviewSave = 292,      // its Save/Next button
    kHelpPreviewProgress = 293,  // its progress bar
};

// The help page (and anchor) of a topic, relative to the help folder;
// unknown topics give the contents.
QString HelpPage(int topic);

// Opens a topic of the HTML help in the user's browser. A missing help
// file or a failing browser is reported to the user (false).
bool ShowHelp(int topic, QWidget* parent = nullptr);

// Replaces the way a help URL is opened (tests); null restores
// QDesktopServices. Returns the previous opener.
using UrlOpener = std::function<bool(const QUrl&)>;
UrlOpener SetUrlOpener(UrlOpener opener);
// Opens a URL through the installed opener.
bool OpenUrl(const QUrl& url);

}  // namespace quillon
