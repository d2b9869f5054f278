#include "saver/saver_settings.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <algorithm>
#include <cctype>

namespace quillon {

namespace {

const char* const kWeightKeys[4] = {"StdImg", "BWImg", "3DImg", "EngImg"};

}  // namespace

QString DefaultPicturesFolder() {
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!pictures.isEmpty() && QDir(pictures).exists()) return pictures;
    return QDir::homePath();
}

SaverSettings LoadSaverSettings() {
    QSettings store("Veltrana", "Lumadrift");
    store.beginGroup("Settings");
    SaverSettings s;
    s.path = store.value("Path", DefaultPicturesFolder()).toString();
    s.recurse = std::clamp(store.value("Recurse", 2).toInt(), SaverSettings::kMinDepth,
                           SaverSettings::kMaxDepth);
    s.delay = std::clamp(store.value("Delay", 10).toInt(), SaverSettings::kMinDelay,
                         SaverSettings::kMaxDelay);
    s.desktop = store.value("Desktop", 0).toInt() != 0;
    const int defaults[4] = {40, 20, 20, 20};
    for (int i = 0; i < 4; ++i) {
        s.weights[static_cast<std::size_t>(i)] = store.value(kWeightKeys[i], defaults[i]).toInt();
    }
    return s;
}

void SaveSaverSettings(const SaverSettings& s) {
    QSettings store("Veltrana", "Lumadrift");
    store.beginGroup("Settings");
    store.setValue("Path", s.path);
    store.setValue("Desktop", s.desktop ? 1 : 0);
    store.setValue("Delay", s.delay);
    store.setValue("Recurse", s.recurse);
    for (int i = 0; i < 4; ++i)
        store.setValue(kWeightKeys[i], s.weights[static_cast<std::size_t>(i)]);
    store.endGroup();
    store.sync();
}

std::array<int, 4> NormalizeWeights(std::array<int, 4> w) {
    int sum = 0;
    for (int& v : w) {
        v = std::clamp(v, 0, 100);
        sum += v;
    }
    int d = 100 - sum;
    for (std::size_t i = 0; i < w.size() && d != 0; ++i) {
        const int v = w[i] + d;
        if (v > 100) {
            w[i] = 100;
            d = v - 100;
        } else if (v < 0) {
            w[i] = 0;
            d = v;
        } else {
            w[i] = v;
            d = 0;
        }
    }
    return w;
}

std::array<int, 4> RebalanceWeights(std::array<int, 4> w, int moved) {
    moved = std::clamp(moved, 0, 3);
    int sum = 0;
    for (int v : w) sum += v;
    int d = 100 - sum;
    for (int k = (moved + 1) % 4; k != moved && d != 0; k = (k + 1) % 4) {
        int& v = w[static_cast<std::size_t>(k)];
        const int target = v + d;
        v = std::clamp(target, 0, 100);
        d = target - v;
    }
    return w;
}

bool ParseWindowId(const std::string& text, std::uint64_t& id) {
    std::string digits = text;
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits = digits.substr(2);
        base = 16;
    }
    if (digits.empty() || digits.size() > 16) return false;
    std::uint64_t value = 0;
    for (char ch : digits) {
        int digit;
        if (ch >= '0' && ch <= '9') {
            digit = ch - '0';
        } else if (base == 16 && std::isxdigit(static_cast<unsigned char>(ch))) {
            digit = std::tolower(static_cast<unsigned char>(ch)) - 'a' + 10;
        } else {
            return false;
        }
        const std::uint64_t next =
            value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
        if (next / static_cast<std::uint64_t>(base) != value) return false;  // overflow
        value = next;
    }
    // X window ids have 29 bits; anything wider is not a window.
    if (value == 0 || value > 0xffffffffULL) return false;
    id = value;
    return true;
}

CommandLine ParseCommandLine(const std::vector<std::string>& args,
                             const std::string& xscreensaverWindow) {
    CommandLine line;
    if (args.empty()) return line;
    const std::string& first = args[0];
    if (first == "-h" || first == "--help" || first == "-help") {
        line.kind = RunKind::Help;
        return line;
    }
    std::size_t at = 0;
    if (!first.empty() && (first[0] == '-' || first[0] == '/')) at = 1;
    const char letter = at < first.size()
                            ? static_cast<char>(std::tolower(static_cast<unsigned char>(first[at])))
                            : '\0';
    switch (letter) {
        case 'c':
            line.kind = RunKind::Settings;
            return line;
        case 's':
            line.kind = RunKind::FullScreen;
            return line;
        case 'p':
        case 'w': {
            // "/p ID", "-window-id ID", and the "/p:ID" form some callers use.
            std::string idText;
            if (args.size() > 1) {
                idText = args[1];
            } else if (letter == 'p' && first.find(':') != std::string::npos) {
                idText = first.substr(first.find(':') + 1);
            }
            if (idText.empty()) {
                line.kind = RunKind::Invalid;
                line.error = "the preview needs the id of the window to draw in";
            } else if (!ParseWindowId(idText, line.windowId)) {
                line.kind = RunKind::Invalid;
                line.error = "'" + idText + "' is not a window id";
            } else {
                line.kind = RunKind::Preview;
            }
            return line;
        }
        case 'r':
            line.kind = RunKind::Root;
            if (!xscreensaverWindow.empty() && !ParseWindowId(xscreensaverWindow, line.windowId)) {
                line.windowId = 0;  // no usable window: full screen instead
            }
            return line;
        default:
            line.kind = RunKind::Invalid;
            line.error = "unknown option '" + first + "'";
            return line;
    }
}

}  // namespace quillon
