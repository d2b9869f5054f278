#pragma once

#include <QSize>
#include <QString>

namespace quillon {

class BaseLayer;
class DisplayBitmap;
class DocumentView;
class PreviewWindow;

// The size the wallpaper is rendered at: the screen's for Expanded, else
// the object's own.
QSize DesktopTargetSize(bool expanded, const QSize& screenPixels, const BaseLayer& object);

// The primary screen's size in device pixels and its colour depth.
QSize ScreenPixels();
int ScreenDepth();

// What became of a finished wallpaper picture.
enum class DesktopResult { kInstalled, kNotWritten, kNoSetter, kSetterFailed };

// The completion of Generate Desktop: writes the picture as the editor's
// wallpaper file (256 colours below 16 bits per pixel) and installs it,
// telling the user what failed. The file is installed only when written.
DesktopResult InstallDesktopPicture(const DisplayBitmap& picture, int displayDepth);

// Generate Desktop for the view's selected object: asks Expanded or Current
// Size, then renders a copy in a preview window in Desktop mode that
// installs the finished picture. Null when nothing was started.
PreviewWindow* GenerateDesktop(DocumentView* view);

}  // namespace quillon
