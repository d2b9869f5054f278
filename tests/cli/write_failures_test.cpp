// quillon-render where writing fails or the target is not a plain file:
// the exit status, one line naming the file and the system's reason.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/cli_test_support.h"

namespace quillon {
namespace {

using clitest::ProgramResult;
using clitest::RunRender;
using clitest::TempDir;
using clitest::WriteFile;

// Runs quillon-render with its standard output going to outPath.
ProgramResult RunRenderTo(const std::string& outPath, std::vector<std::string> args) {
    TempDir capture;
    const std::string errPath = capture.File("stderr");
    args.insert(args.begin(), QUILLON_RENDER_PATH);
    std::vector<char*> raw;
    for (std::string& a : args) raw.push_back(a.data());
    raw.push_back(nullptr);
    ProgramResult result;
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(outPath.c_str(), O_WRONLY);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0) _exit(126);
        dup2(out, 1);
        dup2(err, 2);
        execv(raw[0], raw.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.status = clitest::DecodeStatus(status);
    result.err = clitest::ReadFile(errPath);
    return result;
}

// A 2 x 1 24-bit bitmap file.
std::string TinyBitmap() {
    std::string bmp(62, '\0');
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bmp[at + i] = static_cast<char>(v >> (8 * i));
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    put32(2, 62);
    put32(10, 54);
    put32(14, 40);
    put32(18, 2);
    put32(22, 1);
    bmp[26] = 1;
    bmp[28] = 24;
    for (std::size_t i = 54; i < 60; ++i) bmp[i] = static_cast<char>(40 * i);
    return bmp;
}

class WriteFailures : public ::testing::Test {
  protected:
    void SetUp() override {
        m_document = m_dir.File("grain.qln");
        WriteFile(m_document, clitest::kNoiseDocument);
    }
    TempDir m_dir;
    std::string m_document;
};

TEST_F(WriteFailures, AFullDeviceIsExitFourWithTheSystemsReason) {
    ProgramResult r = RunRenderTo("/dev/full", {"--print", m_document});
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.err, "quillon-render: Error writing to standard output: No space left on device\n");

    const std::string picture = m_dir.File("tiny.bmp");
    WriteFile(picture, TinyBitmap());
    r = RunRender({"--import", picture, "-o", "/dev/full"});
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.err,
              "quillon-render: cannot write '/dev/full': Error writing file /dev/full: No space "
              "left on device\n");

    r = RunRender({"--seed", "1", "-o", "/dev/full", "--format", "png", m_document});
    EXPECT_EQ(r.status, 4);
    EXPECT_NE(r.err.find("No space left on device\n"), std::string::npos) << r.err;
}

TEST_F(WriteFailures, DevicesStayDevices) {
    ProgramResult r = RunRender({"-q", "--format", "png", "-o", "/dev/null", m_document});
    EXPECT_EQ(r.status, 0) << r.err;
    struct stat st {};
    ASSERT_EQ(stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST_F(WriteFailures, EveryMessageIsOneLineNamingItsDocument) {
    // No bricks: the rendering goes on plainly and says which document.
    const std::string tiling = m_dir.File("wall\nnew.qln");
    WriteFile(tiling,
              "VERSION 2\nTEXTURE \"t\" {\n\tWIDTH 16\n\tHEIGHT 16\n\tLAYERS {\n"
              "\t\tTILINGLAYER \"w\" {\n\t\t}\n\t}\n}\n");
    ProgramResult r = RunRender({"-q", "-o", m_dir.File("wall.png"), tiling});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "quillon-render: '" + m_dir.File("wall?new.qln") +
                         "': No bricks defined for tiling layer\n");

    const std::string broken = m_dir.File("bro\x1b[2Jken\n.qln");
    WriteFile(broken, clitest::kBrokenDocument);
    r = RunRender({"--check", broken});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << r.err;
}

}  // namespace
}  // namespace quillon
