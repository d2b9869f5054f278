// Documents from pipes and standard input, and memory a document cannot
// make the program take.
#include <signal.h>
#include <sys/resource.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "cli/cli_test_support.h"
#include "image/bmp_file.h"
#include "image/image_buffer.h"

namespace quillon {
namespace {

using clitest::CollectRun;
using clitest::ExecRender;
using clitest::ProgramResult;
using clitest::ReadFile;
using clitest::RenderArgv;
using clitest::RunRender;
using clitest::TempDir;

// Runs quillon-render with input written into a pipe on its standard
// input and, when limit is above 0, its address space limited to it.
ProgramResult RunRenderFed(const std::vector<std::string>& args, const std::string& input,
                           rlim_t limit = 0) {
    TempDir capture;
    const std::string outPath = capture.File("stdout");
    const std::string errPath = capture.File("stderr");
    RenderArgv argv(args);
    // A program that stops reading early must not end the test by SIGPIPE.
    signal(SIGPIPE, SIG_IGN);
    int fds[2];
    if (pipe(fds) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[1]);
        signal(SIGPIPE, SIG_DFL);
        if (limit > 0) {
            const rlimit rl{limit, limit};
            setrlimit(RLIMIT_AS, &rl);
        }
        ExecRender(argv, fds[0], outPath, errPath);
    }
    close(fds[0]);
    if (pid < 0) return {};
    std::thread feeder([&] {
        std::size_t done = 0;
        while (done < input.size()) {
            const ssize_t n = write(fds[1], input.data() + done, input.size() - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        close(fds[1]);
    });
    ProgramResult result = CollectRun(pid, outPath, errPath);
    feeder.join();
    return result;
}

const std::string kGranite = ReadFile(QUILLON_TEST_DATA_DIR "/format/granite.qln");

// A pipe is read once: its first bytes are not lost to a look at them.
TEST(StandardInput, DashAndPipesAreReadOnce) {
    ProgramResult r = RunRenderFed({"--print", "-"}, kGranite);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, kGranite);
    r = RunRenderFed({"--check", "/dev/stdin"}, kGranite);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("/dev/stdin: ok (texture", 0), 0u) << r.out;

    TempDir dir;
    r = RunRenderFed({"--seed", "3", "-o", dir.File("a.png"), "-"}, clitest::kNoiseDocument);
    EXPECT_EQ(r.status, 0) << r.err;
    clitest::WriteFile(dir.File("doc.qln"), clitest::kNoiseDocument);
    EXPECT_EQ(RunRender({"--seed", "3", "-o", dir.File("b.png"), dir.File("doc.qln")}).status, 0);
    EXPECT_EQ(ReadFile(dir.File("a.png")), ReadFile(dir.File("b.png")));

    r = RunRenderFed({"--check", "-"}, clitest::kBrokenDocument);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error stdin(line 3): Invalid Token(BOGUS) in Texture Map\n");
    r = RunRenderFed({"--check", "-"}, "");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("'stdin' is empty"), std::string::npos) << r.err;
}

TEST(StandardInput, IsReadAtMostOnceAndNeedsANameForItsPicture) {
    EXPECT_EQ(RunRenderFed({"--check", "-", "-"}, kGranite).status, 2);
    ProgramResult r = RunRenderFed({"-d", "/nonexistent", "-"}, kGranite);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("needs -o FILE"), std::string::npos) << r.err;
}

// A picture from a pipe is copied once, then read like a file.
TEST(StandardInput, PicturesImportFromAPipe) {
    ImageBuffer image;
    ASSERT_TRUE(image.Allocate(5, 3, 3, 24));
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 15; ++x) image.Row(y)[x] = static_cast<std::uint8_t>(16 * x + y);
    }
    std::vector<std::uint8_t> bmp;
    ASSERT_TRUE(EncodeBitmap(image, Palette(), bmp).Ok());
    TempDir dir;
    for (const char* source : {"-", "/dev/stdin"}) {
        ProgramResult r = RunRenderFed({"--import", source, "-o", dir.File("p.qln")},
                                       std::string(bmp.begin(), bmp.end()));
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(ReadFile(dir.File("p.qln")).find("BITMAP_WIDTH 5"), std::string::npos);
    }
    ProgramResult r = RunRenderFed({"--import", "-", "-o", dir.File("q.qln")}, "not a picture");
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err.rfind("quillon-render: cannot read the picture 'stdin'", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find("/proc/"), std::string::npos) << r.err;
}

#if !defined(__SANITIZE_ADDRESS__)
// Reading never takes memory for a declared size, and memory that runs out
// while reading is exit 3 with a message, never an abort.
TEST(StandardInput, ReadingTakesNoMemoryForTheDeclaredSize) {
    const std::string tall = "VERSION 2\nTEXTURE \"x\" {\n\tWIDTH 1\n\tHEIGHT 268435456\n}\n";
    const rlim_t limit = 256u << 20;
    ProgramResult r = RunRenderFed({"--check", "-"}, tall, limit);
    EXPECT_EQ(r.status, 0) << r.err;
    r = RunRenderFed({"--print", "-"}, tall, limit);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(RunRenderFed({"--check", "-"}, r.out, limit).status, 0) << "the printed form loads";

    // A million layers take more than a small limit allows.
    std::string many = "VERSION 2\nTEXTURE \"x\" {\n\tLAYERS {\n";
    for (int k = 0; k < 1000000; ++k) many += "\t\tBASELAYER \"e\" { }\n";
    many += "\t}\n}\n";
    r = RunRenderFed({"--check", "-"}, many, limit);
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_NE(r.err.find("Error stdin(line "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("): Not enough memory to read the file"), std::string::npos) << r.err;
}
#endif

}  // namespace
}  // namespace quillon
