#include "editor/generate_desktop.h"

#include <QGuiApplication>
#include <QScreen>
#include <QThreadPool>

#include "editor/choosers.h"
#include "editor/dialogs/desktop_properties_dialog.h"
#include "editor/document_view.h"
#include "editor/preview_window.h"
#include "engine/base_layer.h"
#include "engine/error_reporter.h"
#include "image/display_bitmap.h"
#include "wallpaper/wallpaper_files.h"
#include "wallpaper/wallpaper_setter.h"

namespace quillon {

QSize DesktopTargetSize(bool expanded, const QSize& screenPixels, const BaseLayer& object) {
    if (expanded && screenPixels.width() > 0 && screenPixels.height() > 0) return screenPixels;
    return QSize(object.Width(), object.Height());
}

QSize ScreenPixels() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return QSize();
    return screen->geometry().size() * screen->devicePixelRatio();
}

int ScreenDepth() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->depth() : 24;
}

DesktopResult InstallDesktopPicture(const DisplayBitmap& picture, int displayDepth) {
    const std::string path = WallpaperPath(kQuillonWallpaperName);
    std::string error;
    if (!WriteWallpaperBitmap(picture, displayDepth, path, &error)) {
        ReportError("Unable to write the wallpaper file " + path + ": " + error);
        return DesktopResult::kNotWritten;
    }
    std::string detail;
    switch (InstallWallpaper(path, path, WallpaperStyle::kTile, &detail)) {
        case WallpaperInstallStatus::kInstalled:
            return DesktopResult::kInstalled;
        case WallpaperInstallStatus::kNoSetter:
            ReportError("Unable to load module");
            return DesktopResult::kNoSetter;
        case WallpaperInstallStatus::kSetterFailed:
            ReportError("Unable to load procedure\n\n" + detail);
            return DesktopResult::kSetterFailed;
    }
    return DesktopResult::kSetterFailed;
}

PreviewWindow* GenerateDesktop(DocumentView* view) {
    if (!view || view->HasOpenPreview()) return nullptr;
    DesktopPropertiesDialog properties(view);
    if (!GetChoosers().RunDialog(properties)) return nullptr;
    const int depth = ScreenDepth();
    // Pending edits go into the selected object first, as on a selection change.
    view->ApplyPendingEdits();
    BaseLayer* object = view->SelectedObject();
    if (!object) return nullptr;
    const QSize target = DesktopTargetSize(properties.Expanded(), ScreenPixels(), *object);

    auto* window = new PreviewWindow(view, false, false);
    if (!window->Create(target.width(), target.height(), PreviewMode::kDesktop, depth, true)) {
        delete window;
        return nullptr;
    }
    window->SetDesktopCompletion([depth](DisplayBitmap picture) {
        // Off the user-interface thread: a desktop's setter may take a few
        // seconds to answer. Its messages reach the user through the reporter.
        QThreadPool::globalInstance()->start(
            [depth, picture = std::move(picture)] { InstallDesktopPicture(picture, depth); });
    });
    // The window renders a copy of its own: nothing of the document is busy.
    view->AdoptPreview(window, nullptr);
    window->PlaceForImage();
    window->StartSynthesis(object);
    return window;
}

}  // namespace quillon
