#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quillon {

// Lumadrift's settings, kept in QSettings("Veltrana", "Lumadrift") under
// "Settings" with the value names the program has always used.
struct SaverSettings {
    static constexpr int kMinDepth = 1, kMaxDepth = 4;
    static constexpr int kMinDelay = 1, kMaxDelay = 180;

    QString path;          // "Path": the folder to scan
    int recurse = 2;       // "Recurse": scan depth
    int delay = 10;        // "Delay": seconds a finished picture stays
    bool desktop = false;  // "Desktop": replace the desktop wallpaper
    // "StdImg", "BWImg", "3DImg", "EngImg": Standard, Black and White,
    // 3dify, Engrave, in percent.
    std::array<int, 4> weights{40, 20, 20, 20};
};

// The user's Pictures folder, or home when there is none.
QString DefaultPicturesFolder();

// Reads every value with its default; values outside their ranges are
// brought into them (weights are left as stored).
SaverSettings LoadSaverSettings();
// Writes all eight values.
void SaveSaverSettings(const SaverSettings& settings);

// Each weight limited to 0..100, then the difference to 100 given to the
// weights in order until it is absorbed: 40 20 20 20 stays, 80 60 0 0
// becomes 40 60 0 0, 0 0 0 0 becomes 100 0 0 0.
std::array<int, 4> NormalizeWeights(std::array<int, 4> weights);

// After slider `moved` changed: the others, from the next one on
// (cyclically), absorb the difference to 100, each within 0..100.
std::array<int, 4> RebalanceWeights(std::array<int, 4> weights, int moved);

// ---- Command line ------------------------------------------------------

enum class RunKind {
    Settings,    // no argument, /c
    Preview,     // /p ID, -window-id ID: inside another program's window
    FullScreen,  // /s
    Root,        // -root: $XSCREENSAVER_WINDOW, else full screen
    Help,        // -h, --help
    Invalid,     // anything else: the program ends
};

struct CommandLine {
    RunKind kind = RunKind::Settings;
    std::uint64_t windowId = 0;  // preview and root runs
    std::string error;           // why it is Invalid
};

// Window ids are decimal or 0x hexadecimal; 0 and junk are refused.
bool ParseWindowId(const std::string& text, std::uint64_t& id);

// args without the program name. The first argument decides: a leading
// "-" or "/" is skipped and only the next letter counts, in either case.
// xscreensaverWindow is $XSCREENSAVER_WINDOW (empty when unset).
CommandLine ParseCommandLine(const std::vector<std::string>& args,
                             const std::string& xscreensaverWindow);

}  // namespace quillon
