#include "wallpaper/wallpaper_setter.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <vector>

namespace quillon {

namespace {

constexpr int kMaxReportedOutput = 400;

// Runs external programs with argument lists (never a shell), all of one
// installation under one deadline.
class ProgramRunner {
  public:
    explicit ProgramRunner(int timeoutMs) : m_deadline(std::max(timeoutMs, 0)) {}

    // True when the program ran to the end with exit code 0.
    bool Run(const std::string& program, const QStringList& arguments, QString* output = nullptr) {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setStandardInputFile(QProcess::nullDevice());
        process.start(QString::fromStdString(program), arguments);
        if (!process.waitForStarted(Remaining())) {
            Fail(program, "could not be started");
            return false;
        }
        if (!process.waitForFinished(Remaining())) {
            process.kill();
            process.waitForFinished(1000);
            Fail(program, "did not finish in time");
            return false;
        }
        const QString text = QString::fromLocal8Bit(process.readAll());
        if (output) *output = text;
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
            std::string why = process.exitStatus() != QProcess::NormalExit
                                  ? std::string("crashed")
                                  : "failed with exit code " + std::to_string(process.exitCode());
            const QString trimmed = text.trimmed().left(kMaxReportedOutput);
            if (!trimmed.isEmpty()) why += ": " + trimmed.toStdString();
            Fail(program, why);
            return false;
        }
        return true;
    }

    const std::string& Error() const { return m_error; }

  private:
    int Remaining() const {
        // waitFor...(0) would not wait at all; an expired deadline still
        // gives a finished program a moment to be collected.
        return static_cast<int>(std::max<qint64>(m_deadline.remainingTime(), 1));
    }
    void Fail(const std::string& program, const std::string& why) {
        if (m_error.empty()) m_error = program + " " + why;
    }

    QDeadlineTimer m_deadline;
    std::string m_error;
};

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

QString FileUri(const std::string& path) {
    return QString::fromLatin1(QUrl::fromLocalFile(Q(path)).toEncoded());
}

// A GVariant text string, as gsettings reads its value argument.
QString GVariantString(const QString& text) {
    QString quoted = "'";
    for (QChar c : text) {
        if (c == '\\' || c == '\'') quoted += '\\';
        quoted += c;
    }
    return quoted + "'";
}

// A JavaScript string literal.
QString ScriptString(const QString& text) {
    QString quoted = "\"";
    for (QChar c : text) {
        if (c == '\\' || c == '"') {
            quoted += '\\';
            quoted += c;
        } else if (c.unicode() < 0x20 || c == QChar(0x2028) || c == QChar(0x2029)) {
            quoted += QString("\\u%1").arg(c.unicode(), 4, 16, QChar('0'));
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

bool Finish(const ProgramRunner& runner, bool ok, std::string* error) {
    if (!ok && error) *error = runner.Error();
    return ok;
}

// GNOME, its relatives and Cinnamon: a URI and a style in gsettings.
class GSettingsUriSetter : public WallpaperSetter {
  public:
    GSettingsUriSetter(std::string name, std::string program, QString schema, bool darkKey,
                       int timeoutMs)
        : m_name(std::move(name)),
          m_program(std::move(program)),
          m_schema(std::move(schema)),
          m_darkKey(darkKey),
          m_timeoutMs(timeoutMs) {}
    std::string Name() const override { return m_name; }
    bool Install(const std::string& styledPath, const std::string&, WallpaperStyle style,
                 std::string* error) override {
        ProgramRunner runner(m_timeoutMs);
        const QString uri = GVariantString(FileUri(styledPath));
        const QString options =
            GVariantString(style == WallpaperStyle::kTile ? "wallpaper" : "centered");
        bool ok = runner.Run(m_program, {"set", m_schema, "picture-options", options}) &&
                  runner.Run(m_program, {"set", m_schema, "picture-uri", uri});
        // The dark variant exists from GNOME 42 on; older ones have no such
        // key, so its failure is not the installation's.
        if (ok && m_darkKey) runner.Run(m_program, {"set", m_schema, "picture-uri-dark", uri});
        return Finish(runner, ok, error);
    }

  private:
    std::string m_name;
    std::string m_program;
    QString m_schema;
    bool m_darkKey;
    int m_timeoutMs;
};

class MateSetter : public WallpaperSetter {
  public:
    MateSetter(std::string program, int timeoutMs)
        : m_program(std::move(program)), m_timeoutMs(timeoutMs) {}
    std::string Name() const override { return "MATE"; }
    bool Install(const std::string& styledPath, const std::string&, WallpaperStyle style,
                 std::string* error) override {
        ProgramRunner runner(m_timeoutMs);
        const QString schema = "org.mate.background";
        const QString options =
            GVariantString(style == WallpaperStyle::kTile ? "wallpaper" : "centered");
        bool ok = runner.Run(m_program, {"set", schema, "picture-options", options}) &&
                  runner.Run(m_program,
                             {"set", schema, "picture-filename", GVariantString(Q(styledPath))});
        return Finish(runner, ok, error);
    }

  private:
    std::string m_program;
    int m_timeoutMs;
};

// XFCE keeps one backdrop per monitor and workspace: every one gets it.
class XfceSetter : public WallpaperSetter {
  public:
    XfceSetter(std::string program, int timeoutMs)
        : m_program(std::move(program)), m_timeoutMs(timeoutMs) {}
    std::string Name() const override { return "XFCE"; }
    bool Install(const std::string& styledPath, const std::string&, WallpaperStyle style,
                 std::string* error) override {
        ProgramRunner runner(m_timeoutMs);
        const QString channel = "xfce4-desktop";
        QString listing;
        if (!runner.Run(m_program, {"-c", channel, "-l"}, &listing))
            return Finish(runner, false, error);
        static const QRegularExpression kImageProperty("^(/backdrop/\\S+)/last-image$");
        QStringList backdrops;
        for (const QString& line : listing.split('\n', Qt::SkipEmptyParts)) {
            const QRegularExpressionMatch match = kImageProperty.match(line.trimmed());
            if (match.hasMatch()) backdrops << match.captured(1);
        }
        // A desktop that never had a picture set lists none yet.
        if (backdrops.isEmpty()) backdrops << "/backdrop/screen0/monitor0/workspace0";
        // 2 tiled, 1 centred.
        const QString styleValue = style == WallpaperStyle::kTile ? "2" : "1";
        bool ok = true;
        for (const QString& backdrop : backdrops) {
            ok = runner.Run(m_program, {"-c", channel, "-p", backdrop + "/image-style", "-n", "-t",
                                        "int", "-s", styleValue}) &&
                 runner.Run(m_program, {"-c", channel, "-p", backdrop + "/last-image", "-n", "-t",
                                        "string", "-s", Q(styledPath)});
            if (!ok) break;
        }
        return Finish(runner, ok, error);
    }

  private:
    std::string m_program;
    int m_timeoutMs;
};

// KDE Plasma: a desktop script over D-Bus when a D-Bus client is there,
// else Plasma's own command, which knows no style.
class PlasmaSetter : public WallpaperSetter {
  public:
    PlasmaSetter(std::string program, bool isScriptClient, int timeoutMs)
        : m_program(std::move(program)), m_isScriptClient(isScriptClient), m_timeoutMs(timeoutMs) {}
    std::string Name() const override { return "KDE Plasma"; }
    bool Install(const std::string& styledPath, const std::string&, WallpaperStyle style,
                 std::string* error) override {
        ProgramRunner runner(m_timeoutMs);
        if (!m_isScriptClient) return Finish(runner, runner.Run(m_program, {Q(styledPath)}), error);
        // Fill modes of the image wallpaper: 3 tiled, 6 centred.
        const QString fillMode = style == WallpaperStyle::kTile ? "3" : "6";
        const QString script =
            "var all = desktops();"
            "for (var i = 0; i < all.length; i++) {"
            " var d = all[i];"
            " d.wallpaperPlugin = \"org.kde.image\";"
            " d.currentConfigGroup = [\"Wallpaper\", \"org.kde.image\", \"General\"];"
            " d.writeConfig(\"Image\", " +
            ScriptString(FileUri(styledPath)) +
            ");"
            " d.writeConfig(\"FillMode\", " +
            fillMode + ");}";
        bool ok = runner.Run(m_program, {"org.kde.plasmashell", "/PlasmaShell",
                                         "org.kde.PlasmaShell.evaluateScript", script});
        return Finish(runner, ok, error);
    }

  private:
    std::string m_program;
    bool m_isScriptClient;
    int m_timeoutMs;
};

class LxqtSetter : public WallpaperSetter {
  public:
    LxqtSetter(std::string program, int timeoutMs)
        : m_program(std::move(program)), m_timeoutMs(timeoutMs) {}
    std::string Name() const override { return "LXQt"; }
    bool Install(const std::string& styledPath, const std::string&, WallpaperStyle style,
                 std::string* error) override {
        ProgramRunner runner(m_timeoutMs);
        bool ok = runner.Run(m_program, {"--set-wallpaper", Q(styledPath), "--wallpaper-mode",
                                         style == WallpaperStyle::kTile ? "tile" : "center"});
        return Finish(runner, ok, error);
    }

  private:
    std::string m_program;
    int m_timeoutMs;
};

// A bare X session: the root window gets the plain picture, tiled (it is
// either the tile itself or a whole screen).
class RootWindowSetter : public WallpaperSetter {
  public:
    RootWindowSetter(std::string name, std::string program, QStringList options, int timeoutMs)
        : m_name(std::move(name)),
          m_program(std::move(program)),
          m_options(std::move(options)),
          m_timeoutMs(timeoutMs) {}
    std::string Name() const override { return m_name; }
    bool Install(const std::string&, const std::string& plainPath, WallpaperStyle,
                 std::string* error) override {
        ProgramRunner runner(m_timeoutMs);
        QStringList arguments = m_options;
        arguments << Q(plainPath);
        return Finish(runner, runner.Run(m_program, arguments), error);
    }

  private:
    std::string m_name;
    std::string m_program;
    QStringList m_options;
    int m_timeoutMs;
};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::vector<std::string> DesktopNames(const std::string& currentDesktop) {
    std::vector<std::string> names;
    std::string::size_type start = 0;
    while (start <= currentDesktop.size()) {
        const std::string::size_type end = currentDesktop.find(':', start);
        const std::string name =
            currentDesktop.substr(start, end == std::string::npos ? end : end - start);
        if (!name.empty()) names.push_back(Lower(name));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return names;
}

std::unique_ptr<WallpaperSetter> SetterForDesktop(const std::string& desktop,
                                                  const WallpaperEnvironment& environment) {
    const auto find = [&](const char* program) {
        return environment.findProgram ? environment.findProgram(program) : std::string();
    };
    const int timeout = environment.timeoutMs;
    if (desktop == "gnome" || desktop == "unity" || desktop == "budgie" || desktop == "pantheon" ||
        desktop == "gnome-flashback" || desktop == "gnome-classic") {
        if (std::string p = find("gsettings"); !p.empty())
            return std::make_unique<GSettingsUriSetter>("GNOME", p, "org.gnome.desktop.background",
                                                        true, timeout);
    } else if (desktop == "x-cinnamon" || desktop == "cinnamon") {
        if (std::string p = find("gsettings"); !p.empty())
            return std::make_unique<GSettingsUriSetter>(
                "Cinnamon", p, "org.cinnamon.desktop.background", false, timeout);
    } else if (desktop == "mate") {
        if (std::string p = find("gsettings"); !p.empty())
            return std::make_unique<MateSetter>(p, timeout);
    } else if (desktop == "xfce") {
        if (std::string p = find("xfconf-query"); !p.empty())
            return std::make_unique<XfceSetter>(p, timeout);
    } else if (desktop == "kde") {
        for (const char* client : {"qdbus6", "qdbus", "qdbus-qt6", "qdbus-qt5"})
            if (std::string p = find(client); !p.empty())
                return std::make_unique<PlasmaSetter>(p, true, timeout);
        if (std::string p = find("plasma-apply-wallpaperimage"); !p.empty())
            return std::make_unique<PlasmaSetter>(p, false, timeout);
    } else if (desktop == "lxqt") {
        if (std::string p = find("pcmanfm-qt"); !p.empty())
            return std::make_unique<LxqtSetter>(p, timeout);
    }
    return nullptr;
}

}  // namespace

WallpaperEnvironment CurrentWallpaperEnvironment() {
    WallpaperEnvironment environment;
    if (const char* desktop = std::getenv("XDG_CURRENT_DESKTOP"))
        environment.currentDesktop = desktop;
    const char* display = std::getenv("DISPLAY");
    environment.hasX11Display = display && *display;
    environment.findProgram = [](const std::string& program) {
        return QStandardPaths::findExecutable(Q(program)).toStdString();
    };
    return environment;
}

std::unique_ptr<WallpaperSetter> ChooseWallpaperSetter(const WallpaperEnvironment& environment) {
    for (const std::string& desktop : DesktopNames(environment.currentDesktop))
        if (auto setter = SetterForDesktop(desktop, environment)) return setter;
    if (environment.hasX11Display && environment.findProgram) {
        if (std::string p = environment.findProgram("feh"); !p.empty())
            return std::make_unique<RootWindowSetter>(
                "feh", p, QStringList{"--no-fehbg", "--bg-tile"}, environment.timeoutMs);
        if (std::string p = environment.findProgram("xwallpaper"); !p.empty())
            return std::make_unique<RootWindowSetter>("xwallpaper", p, QStringList{"--tile"},
                                                      environment.timeoutMs);
    }
    return nullptr;
}

WallpaperInstallStatus InstallWallpaper(const std::string& styledPath, const std::string& plainPath,
                                        WallpaperStyle style,
                                        const WallpaperEnvironment& environment,
                                        std::string* detail) {
    std::unique_ptr<WallpaperSetter> setter = ChooseWallpaperSetter(environment);
    if (!setter) {
        if (detail) *detail = "No program to set the wallpaper of this desktop was found.";
        return WallpaperInstallStatus::kNoSetter;
    }
    std::string error;
    if (!setter->Install(styledPath, plainPath, style, &error)) {
        if (detail) *detail = setter->Name() + ": " + error;
        return WallpaperInstallStatus::kSetterFailed;
    }
    if (detail) *detail = setter->Name();
    return WallpaperInstallStatus::kInstalled;
}

WallpaperInstallStatus InstallWallpaper(const std::string& styledPath, const std::string& plainPath,
                                        WallpaperStyle style, std::string* detail) {
    return InstallWallpaper(styledPath, plainPath, style, CurrentWallpaperEnvironment(), detail);
}

}  // namespace quillon
