#pragma once

#include <functional>
#include <memory>
#include <string>

namespace quillon {

// How the desktop lays the picture out: repeated over the screen, or once
// in the middle.
enum class WallpaperStyle { kTile = 0, kCenter = 1 };

// One desktop's way of installing a wallpaper. Desktops that know a style
// take the styled path with its style; setters that know none take the
// plain path (the picture made to be shown as it is, tiled if smaller).
class WallpaperSetter {
  public:
    virtual ~WallpaperSetter() = default;
    // The desktop or program, for messages ("GNOME", "XFCE", "feh").
    virtual std::string Name() const = 0;
    // True when the desktop accepted the picture; error receives why not.
    virtual bool Install(const std::string& styledPath, const std::string& plainPath,
                         WallpaperStyle style, std::string* error) = 0;
};

// What the choice of a setter depends on. The defaults are the running
// session's; tests put fake programs in their place.
struct WallpaperEnvironment {
    // XDG_CURRENT_DESKTOP: names separated by ':' ("ubuntu:GNOME", "XFCE").
    std::string currentDesktop;
    // An X server to draw the root window of (the plain fallback).
    bool hasX11Display = false;
    // The absolute path of an installed program, or empty.
    std::function<std::string(const std::string& program)> findProgram;
    // Longest wait for the setter programs of one installation, in all.
    int timeoutMs = 5000;
};

WallpaperEnvironment CurrentWallpaperEnvironment();

// The setter for the desktop named first in currentDesktop whose program is
// installed, else feh or xwallpaper on an X display, else null.
std::unique_ptr<WallpaperSetter> ChooseWallpaperSetter(const WallpaperEnvironment& environment);

enum class WallpaperInstallStatus {
    kInstalled = 0,
    kNoSetter = 1,      // this desktop has no setter we can use
    kSetterFailed = 2,  // the setter failed or did not finish in time
};

// Chooses a setter for the environment and installs the picture with it.
// detail receives the setter's name and, on failure, its reason.
WallpaperInstallStatus InstallWallpaper(const std::string& styledPath, const std::string& plainPath,
                                        WallpaperStyle style,
                                        const WallpaperEnvironment& environment,
                                        std::string* detail = nullptr);
// The same for the running session.
WallpaperInstallStatus InstallWallpaper(const std::string& styledPath, const std::string& plainPath,
                                        WallpaperStyle style, std::string* detail = nullptr);

}  // namespace quillon
