#pragma once

#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace quillon::clitest {

// A fresh folder under the system's temporary folder, removed afterwards.
class TempDir {
  public:
    TempDir() {
        static int counter = 0;
        m_path = std::filesystem::temp_directory_path() /
                 ("quillon-cli-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string File(const std::string& name) const { return (m_path / name).string(); }
    const std::filesystem::path& Path() const { return m_path; }

  private:
    std::filesystem::path m_path;
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A small, non-square document: its mirror images differ along each axis.
inline const char* kNoiseDocument =
    "VERSION 2\n"
    "TEXTURE \"Test grain\" {\n"
    "\tWIDTH 48\n"
    "\tHEIGHT 32\n"
    "\tLAYERS {\n"
    "\t\tWHITENOISELAYER \"Grain\" {\n"
    "\t\t\tCOLORMAP SIZE 2\n"
    "\t\t\tRANDOM FALSE\n"
    "\t\t\t(0, 0, 0, 0, 1)\n"
    "\t\t\t(255, 255, 200, 100, 1)\n"
    "\t\t}\n"
    "\t}\n"
    "}\n";

// Fails on line 3 (lines counted from 0).
inline const char* kBrokenDocument =
    "VERSION 2\n"
    "TEXTURE \"Broken\" {\n"
    "\tWIDTH 48\n"
    "\tBOGUS 1\n"
    "}\n";

struct ProgramResult {
    int status = -1;  // exit status, or 128 + signal
    std::string out;
    std::string err;
};

// The process id of the program RunRender started last (0 before), so that
// a test can signal it.
inline std::atomic<pid_t> g_lastChild{0};
inline pid_t LastChild() {
    return g_lastChild.load();
}

inline int DecodeStatus(int raw) {
    if (WIFEXITED(raw)) return WEXITSTATUS(raw);
    if (WIFSIGNALED(raw)) return 128 + WTERMSIG(raw);
    return -1;
}

// quillon-render's argument vector for execv: the strings and the pointers into them.
struct RenderArgv {
    explicit RenderArgv(const std::vector<std::string>& args) : strings{QUILLON_RENDER_PATH} {
        strings.insert(strings.end(), args.begin(), args.end());
        for (std::string& a : strings) raw.push_back(a.data());
        raw.push_back(nullptr);
    }
    RenderArgv(const RenderArgv&) = delete;
    RenderArgv& operator=(const RenderArgv&) = delete;

    std::vector<std::string> strings;
    std::vector<char*> raw;
};

// In a forked child: standard input from `in`, stdout and stderr into the
// files, then the program.
[[noreturn]] inline void ExecRender(RenderArgv& argv, int in, const std::string& outPath,
                                    const std::string& errPath) {
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    execv(argv.raw[0], argv.raw.data());
    _exit(127);
}

// Waits for the child and collects its status and what it wrote.
inline ProgramResult CollectRun(pid_t pid, const std::string& outPath, const std::string& errPath) {
    int rawStatus = 0;
    while (waitpid(pid, &rawStatus, 0) < 0 && errno == EINTR) {
    }
    ProgramResult result;
    result.status = DecodeStatus(rawStatus);
    result.out = ReadFile(outPath);
    result.err = ReadFile(errPath);
    return result;
}

// Runs quillon-render with the arguments; stdout and stderr are captured
// through files, stdin is /dev/null.
inline ProgramResult RunRender(const std::vector<std::string>& args) {
    TempDir capture;
    const std::string outPath = capture.File("stdout");
    const std::string errPath = capture.File("stderr");
    RenderArgv argv(args);
    const pid_t pid = fork();
    if (pid == 0) ExecRender(argv, open("/dev/null", O_RDONLY), outPath, errPath);
    if (pid < 0) return {};
    g_lastChild.store(pid);
    return CollectRun(pid, outPath, errPath);
}

// Runs quillon-render on a pseudo-terminal (stdout and stderr both), as a
// user at a terminal would; returns everything the terminal received.
inline ProgramResult RunRenderOnTerminal(const std::vector<std::string>& args) {
    RenderArgv argv(args);

    ProgramResult result;
    int master = -1;
    winsize size{};
    size.ws_col = 100;
    size.ws_row = 24;
    const pid_t pid = forkpty(&master, nullptr, nullptr, &size);
    if (pid == 0) {
        execv(argv.raw[0], argv.raw.data());
        _exit(127);
    }
    if (pid < 0) return result;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(master, buffer, sizeof buffer);
        if (n > 0) {
            result.out.append(buffer, static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break;  // EIO once the program has closed the terminal
        }
    }
    close(master);
    int raw_status = 0;
    while (waitpid(pid, &raw_status, 0) < 0 && errno == EINTR) {
    }
    result.status = DecodeStatus(raw_status);
    return result;
}

}  // namespace quillon::clitest
