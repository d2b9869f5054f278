// The built quillon-render, run as a user would.
#include <signal.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli_test_support.h"
#include "image/bmp_file.h"
#include "image/image_buffer.h"
#include "image/jpeg_file.h"
#include "image/png_file.h"

namespace quillon {
namespace {

using clitest::ProgramResult;
using clitest::ReadFile;
using clitest::RunRender;
using clitest::TempDir;
using clitest::WriteFile;

class RenderProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        m_document = m_dir.File("grain.qln");
        WriteFile(m_document, clitest::kNoiseDocument);
    }
    std::string File(const std::string& name) const { return m_dir.File(name); }

    TempDir m_dir;
    std::string m_document;
};

// Pixel (x, y) counted from the top of a 3-byte image stored bottom row first.
PaletteEntry TopPixel(const ImageBuffer& image, int x, int y) {
    const std::uint8_t* p = image.Row(image.Height() - 1 - y) + 3 * x;
    return {p[0], p[1], p[2]};
}

std::unique_ptr<ImageBuffer> ReadPng(const std::string& path) {
    PngReader reader;
    auto image = reader.Read(path);
    EXPECT_TRUE(image) << reader.LastError();
    return image;
}

TEST_F(RenderProgram, AFixedSeedRendersTheSameBytesTwiceInEveryFormat) {
    for (const char* format : {"png", "bmp", "bmp8", "jpeg"}) {
        SCOPED_TRACE(format);
        const std::string first = File(std::string("first-") + format);
        const std::string second = File(std::string("second-") + format);
        for (const std::string& out : {first, second}) {
            ProgramResult r =
                RunRender({"--seed", "77", "--format", format, "-o", out, m_document});
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(r.err, "");  // no terminal, no progress line
        }
        const std::string bytes = ReadFile(first);
        ASSERT_GT(bytes.size(), 100u);
        EXPECT_EQ(bytes, ReadFile(second));
    }
    // Each format is what it claims to be.
    BitmapReadResult bmp = ReadBitmapFile(File("first-bmp"));
    ASSERT_TRUE(bmp.Ok());
    EXPECT_EQ(bmp.image->BitsPerPixel(), 24);
    BitmapReadResult bmp8 = ReadBitmapFile(File("first-bmp8"));
    ASSERT_TRUE(bmp8.Ok());
    EXPECT_EQ(bmp8.image->BitsPerPixel(), 8);
    EXPECT_LE(bmp8.palette.size(), 256u);
    JpegReader jpeg;
    auto jpegImage = jpeg.Read(File("first-jpeg"));
    ASSERT_TRUE(jpegImage) << jpeg.LastError();
    EXPECT_EQ(jpegImage->Width(), 48);
    // The same seed gives the same picture whatever the format: the 24-bit
    // bitmap and the PNG hold identical pixels.
    auto png = ReadPng(File("first-png"));
    ASSERT_TRUE(png);
    ASSERT_EQ(png->Size(), bmp.image->Size());
    EXPECT_TRUE(std::equal(png->Pixels(), png->Pixels() + png->Size(), bmp.image->Pixels()));
}

TEST_F(RenderProgram, JpegQualityChangesTheFile) {
    ASSERT_EQ(
        RunRender({"--seed", "1", "--quality", "10", "-o", File("low.jpg"), m_document}).status, 0);
    ASSERT_EQ(RunRender({"--seed", "1", "-o", File("default.jpg"), m_document}).status, 0);
    EXPECT_LT(ReadFile(File("low.jpg")).size(), ReadFile(File("default.jpg")).size());
}

TEST_F(RenderProgram, SizeRendersAtTheGivenSize) {
    ProgramResult r =
        RunRender({"--seed", "3", "--size", "100x60", "-o", File("s.png"), m_document});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "wrote " + File("s.png") + " (100 x 60, seed 3)\n");
    auto image = ReadPng(File("s.png"));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->Width(), 100);
    EXPECT_EQ(image->Height(), 60);
}

TEST_F(RenderProgram, MirrorReflectsThePictureItRenders) {
    ASSERT_EQ(RunRender({"--seed", "9", "-o", File("plain.png"), m_document}).status, 0);
    auto plain = ReadPng(File("plain.png"));
    ASSERT_TRUE(plain);
    const int w = plain->Width();
    const int h = plain->Height();
    for (const char* axes : {"x", "y", "xy"}) {
        SCOPED_TRACE(axes);
        const std::string out = File(std::string("mirror-") + axes + ".png");
        ProgramResult r = RunRender({"--mirror", axes, "--seed", "9", "-o", out, m_document});
        ASSERT_EQ(r.status, 0) << r.err;
        auto mirrored = ReadPng(out);
        ASSERT_TRUE(mirrored);
        const bool mx = std::string(axes).find('x') != std::string::npos;
        const bool my = std::string(axes).find('y') != std::string::npos;
        ASSERT_EQ(mirrored->Width(), mx ? 2 * w : w);
        ASSERT_EQ(mirrored->Height(), my ? 2 * h : h);
        for (int y = 0; y < mirrored->Height(); ++y) {
            for (int x = 0; x < mirrored->Width(); ++x) {
                const int sx = x < w ? x : 2 * w - 1 - x;
                const int sy = y < h ? y : 2 * h - 1 - y;
                ASSERT_EQ(TopPixel(*mirrored, x, y), TopPixel(*plain, sx, sy)) << x << ", " << y;
            }
        }
    }
}

TEST_F(RenderProgram, MirrorAfterSize) {
    ProgramResult r = RunRender(
        {"--size", "30x20", "--mirror", "y", "--seed", "2", "-o", File("m.png"), m_document});
    ASSERT_EQ(r.status, 0) << r.err;
    auto image = ReadPng(File("m.png"));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->Width(), 30);
    EXPECT_EQ(image->Height(), 40);
}

TEST_F(RenderProgram, BadOptionsExitWithTwoAndAHint) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--nope", m_document},
          std::vector<std::string>{m_document, "-o"},
          std::vector<std::string>{"--size", "0x5", "-o", File("a.png"), m_document},
          std::vector<std::string>{"--quality", "101", "-o", File("a.jpg"), m_document},
          std::vector<std::string>{m_document}, std::vector<std::string>{}}) {
        ProgramResult r = RunRender(args);
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("quillon-render: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find("\nTry 'quillon-render --help' for more information.\n"),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 2) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(File("a.png")));
}

TEST_F(RenderProgram, AParseErrorShowsTheParsersMessageAndExitsWithOne) {
    const std::string broken = File("broken.qln");
    WriteFile(broken, clitest::kBrokenDocument);
    WriteFile(File("keep.png"), "old picture");
    ProgramResult r = RunRender({"-o", File("keep.png"), broken});
    EXPECT_EQ(r.status, 1);
    // The parser names the file without its folder.
    EXPECT_EQ(r.err, "Error broken.qln(line 3): Invalid Token(BOGUS) in Texture Map\n");
    EXPECT_EQ(ReadFile(File("keep.png")), "old picture");

    WriteFile(File("notes.qln"), "some notes\n");
    r = RunRender({"--check", File("notes.qln")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("is not a texture document"), std::string::npos) << r.err;
}

TEST_F(RenderProgram, UnreadableInputExitsWithThree) {
    ProgramResult r = RunRender({"-o", File("a.png"), File("missing.qln")});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "quillon-render: cannot read '" + File("missing.qln") +
                         "': No such file or directory\n");
    EXPECT_FALSE(std::filesystem::exists(File("a.png")));
}

TEST_F(RenderProgram, UnwritableOutputExitsWithFourAndLeavesNoTemporaryFile) {
    ProgramResult r = RunRender({"-o", File("no/such/folder/a.png"), m_document});
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(
        r.err.rfind("quillon-render: cannot write '" + File("no/such/folder/a.png") + "': ", 0), 0u)
        << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;

    // A folder where the picture should go stays a folder, untouched.
    std::filesystem::create_directories(File("taken.png/inside"));
    r = RunRender({"-o", File("taken.png"), m_document});
    EXPECT_EQ(r.status, 4);
    EXPECT_TRUE(std::filesystem::is_directory(File("taken.png/inside")));
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir.Path())) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 2) << "only the document and the folder";
}

TEST_F(RenderProgram, APictureTooLargeExitsWithFive) {
    // A document may be wider than a mirrored picture can be.
    const std::string wide = File("wide.qln");
    WriteFile(wide, "VERSION 2\nTEXTURE \"Wide\" {\n\tWIDTH 40000\n\tHEIGHT 2\n}\n");
    ProgramResult r = RunRender({"--mirror", "x", "-o", File("a.png"), wide});
    EXPECT_EQ(r.status, 5);
    EXPECT_NE(r.err.find("too large"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(File("a.png")));
}

TEST_F(RenderProgram, HelpAndVersion) {
    ProgramResult r = RunRender({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("Usage: quillon-render [options] DOCUMENT...\n", 0), 0u) << r.out;
    r = RunRender({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "quillon-render 2.0.0\n");
}

TEST_F(RenderProgram, PrintIsTheEditorsSavedForm) {
    ProgramResult r = RunRender({"--print", QUILLON_TEST_DATA_DIR "/format/granite.qln"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, ReadFile(QUILLON_TEST_DATA_DIR "/format/granite.qln"));
}

TEST_F(RenderProgram, ProgressLineOnATerminalOnly) {
    ProgramResult r =
        clitest::RunRenderOnTerminal({"--seed", "4", "-o", File("t.png"), m_document});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("grain.qln  layer 1  ["), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("100%"), std::string::npos) << r.out;
    // The line is erased before the summary is printed.
    const std::size_t erase = r.out.rfind("\r\033[K");
    ASSERT_NE(erase, std::string::npos);
    EXPECT_LT(erase, r.out.find("wrote "));

    r = clitest::RunRenderOnTerminal({"-q", "--seed", "4", "-o", File("t.png"), m_document});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "");
}

// A closed terminal (SIGHUP) stops a run as Ctrl-C does.
TEST_F(RenderProgram, InterruptCancelsTheSynthesisAndWritesNothing) {
    for (const int signal : {SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        // Large enough to still be rendering when the signal arrives.
        ProgramResult r;
        clitest::g_lastChild.store(0);
        std::thread runner([&] {
            r = RunRender({"--size", "6000x6000", "-o", File("big.png"), m_document});
        });
        // Wait until the program runs, then interrupt it.
        pid_t child = 0;
        for (int i = 0; i < 200 && child == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            child = clitest::LastChild();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        if (child > 0) kill(child, signal);
        runner.join();
        if (r.status == 0) GTEST_SKIP() << "the rendering finished before the signal";
        EXPECT_EQ(r.status, 130) << r.err;
        EXPECT_NE(r.err.find("quillon-render: interrupted"), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(File("big.png")));
    }
}

TEST(Examples, EveryExampleDocumentReads) {
    std::vector<std::string> args{"--check"};
    for (const auto& entry : std::filesystem::directory_iterator(QUILLON_SOURCE_DIR "/examples")) {
        if (entry.path().extension() == ".qln") args.push_back(entry.path().string());
    }
    ASSERT_GT(args.size(), 1u);
    ProgramResult r = RunRender(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
}

}  // namespace
}  // namespace quillon
