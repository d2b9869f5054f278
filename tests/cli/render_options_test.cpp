#include "cli/render_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillon {
namespace {

struct Parsed {
    bool ok = false;
    RenderOptions options;
    std::string error;
};

Parsed Parse(std::vector<std::string> args) {
    Parsed p;
    p.ok = ParseRenderOptions(args, p.options, p.error);
    return p;
}

// The error of a parse that must fail.
std::string ErrorOf(std::vector<std::string> args) {
    Parsed p = Parse(std::move(args));
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.error.find('\n'), std::string::npos) << "one line: " << p.error;
    return p.error;
}

TEST(RenderOptions, EveryOptionInAnyOrderAndBothValueSpellings) {
    Parsed p = Parse({"--mirror=xy", "a.qln", "--seed", "42", "-o", "out.JPG", "--quality=55",
                      "--size", "320x200", "-q"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.mode, RunMode::Render);
    EXPECT_EQ(p.options.documents, std::vector<std::string>{"a.qln"});
    EXPECT_EQ(p.options.outputFile, "out.JPG");
    EXPECT_EQ(ResolveFormat(p.options), OutputFormat::Jpeg);
    EXPECT_EQ(p.options.quality, 55);
    EXPECT_EQ(p.options.seed, 42);
    EXPECT_EQ(p.options.width, 320);
    EXPECT_EQ(p.options.height, 200);
    EXPECT_TRUE(p.options.mirrorX);
    EXPECT_TRUE(p.options.mirrorY);
    EXPECT_TRUE(p.options.quiet);

    p = Parse({"-oout.png", "a.qln"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.outputFile, "out.png");
    EXPECT_FALSE(p.options.seed.has_value());
    EXPECT_EQ(p.options.quality, 90);
    EXPECT_FALSE(p.options.HasSize());
}

TEST(RenderOptions, DoubleDashEndsOptionsAndLoneDashIsStandardInput) {
    Parsed p = Parse({"-d", "out", "--", "--seed", "-o"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.documents, (std::vector<std::string>{"--seed", "-o"}));
    EXPECT_FALSE(p.options.seed.has_value());
    p = Parse({"-o", "x.png", "--", "-"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.documents, (std::vector<std::string>{"-"}));
    EXPECT_EQ(ErrorOf({"-d", "out", "a.qln", "-"}),
              "-d names each picture after its document: the document read from standard input "
              "('-') needs -o FILE");
    EXPECT_EQ(ErrorOf({"--check", "-", "a.qln", "-"}),
              "standard input ('-') can be read only once");
}

TEST(RenderOptions, UnknownOptionsAndMissingValues) {
    EXPECT_EQ(ErrorOf({"--frobnicate", "a.qln"}), "unknown option '--frobnicate'");
    EXPECT_EQ(ErrorOf({"--frob=1", "a.qln"}), "unknown option '--frob'");
    EXPECT_EQ(ErrorOf({"-x", "a.qln"}), "unknown option '-x'");
    EXPECT_EQ(ErrorOf({"-qh", "a.qln"}), "unknown option '-qh'");  // flags are not bundled
    EXPECT_EQ(ErrorOf({"a.qln", "-o"}), "-o needs a value");
    EXPECT_EQ(ErrorOf({"a.qln", "-o", "x.png", "--seed"}), "--seed needs a value");
    EXPECT_EQ(ErrorOf({"--quiet=yes", "a.qln"}), "--quiet takes no value");
    EXPECT_EQ(ErrorOf({"-o", "", "a.qln"}), "-o needs a non-empty path");
}

TEST(RenderOptions, NumbersAreStrictAndRangeChecked) {
    for (const char* bad : {"12a", "", "+5", " 5", "5 ", "-1", "2147483648", "1e3", "0x10",
                            "99999999999999999999999"}) {
        EXPECT_NE(ErrorOf({"--seed", bad, "-o", "x.png", "a.qln"}).find("is not a seed"),
                  std::string::npos)
            << bad;
    }
    EXPECT_EQ(Parse({"--seed", "0", "-o", "x.png", "a"}).options.seed, 0);
    EXPECT_EQ(Parse({"--seed", "2147483647", "-o", "x.png", "a"}).options.seed, 2147483647);

    for (const char* bad : {"0", "101", "-5", "ninety"}) {
        EXPECT_NE(ErrorOf({"--quality", bad, "-o", "x.jpg", "a"}).find("quality from 1 to 100"),
                  std::string::npos)
            << bad;
    }
    EXPECT_EQ(Parse({"--quality", "1", "-o", "x.jpg", "a"}).options.quality, 1);
    EXPECT_EQ(Parse({"--quality", "100", "-o", "x.jpg", "a"}).options.quality, 100);

    EXPECT_EQ(ParseInteger("-12", -20, 0), -12);
    EXPECT_EQ(ParseInteger("-", -20, 0), std::nullopt);
}

TEST(RenderOptions, ThreadCounts) {
    EXPECT_EQ(Parse({"a.qln", "-o", "x.png"}).options.threads, 0);
    EXPECT_EQ(Parse({"--threads", "1", "-o", "x.png", "a"}).options.threads, 1);
    EXPECT_EQ(Parse({"--threads=1024", "-o", "x.png", "a"}).options.threads, 1024);
    for (const char* bad : {"0", "-2", "1025", "two", ""}) {
        EXPECT_NE(ErrorOf({"--threads", bad, "-o", "x.png", "a.qln"}).find("is not a thread count"),
                  std::string::npos)
            << bad;
    }
}

TEST(RenderOptions, SizesUpToTheLimit) {
    int w = 0, h = 0;
    std::string error;
    EXPECT_TRUE(ParseSize("1x1", w, h, error));
    EXPECT_TRUE(ParseSize("16384X16384", w, h, error));
    EXPECT_EQ(w, 16384);
    EXPECT_EQ(h, 16384);
    EXPECT_FALSE(ParseSize("16385x10", w, h, error));
    EXPECT_NE(error.find("too large"), std::string::npos) << error;
    EXPECT_NE(error.find("16384"), std::string::npos) << error;
    EXPECT_FALSE(ParseSize("10x100000", w, h, error));
    EXPECT_NE(error.find("too large"), std::string::npos) << error;
    for (const char* bad :
         {"0x10", "10x0", "10", "x10", "10x", "10x10x10", "-5x5", "10*10", "1.5x2"}) {
        EXPECT_FALSE(ParseSize(bad, w, h, error)) << bad;
        EXPECT_EQ(error.find("too large"), std::string::npos) << bad << ": " << error;
    }
    EXPECT_EQ(ErrorOf({"--size", "64", "-o", "x.png", "a"}),
              "--size: '64' is not a size WxH (for example 1024x768)");
}

TEST(RenderOptions, MirrorValues) {
    Parsed p = Parse({"--mirror", "x", "-o", "x.png", "a"});
    EXPECT_TRUE(p.options.mirrorX);
    EXPECT_FALSE(p.options.mirrorY);
    p = Parse({"--mirror", "xy", "--mirror", "y", "-o", "x.png", "a"});  // the last one counts
    EXPECT_FALSE(p.options.mirrorX);
    EXPECT_TRUE(p.options.mirrorY);
    EXPECT_EQ(ErrorOf({"--mirror", "z", "-o", "x.png", "a"}), "--mirror: 'z' is not x, y or xy");
    EXPECT_EQ(ErrorOf({"--mirror", "X", "-o", "x.png", "a"}), "--mirror: 'X' is not x, y or xy");
}

TEST(RenderOptions, FormatFromExtensionOrOption) {
    EXPECT_EQ(FormatFromExtension("a/b.BMP"), OutputFormat::Bmp);
    EXPECT_EQ(FormatFromExtension("b.jpeg"), OutputFormat::Jpeg);
    EXPECT_EQ(FormatFromExtension("b.Jpg"), OutputFormat::Jpeg);
    EXPECT_EQ(FormatFromExtension("b.png"), OutputFormat::Png);
    EXPECT_EQ(FormatFromExtension("b.tif"), std::nullopt);
    EXPECT_EQ(FormatFromExtension("png"), std::nullopt);

    // --format wins over the extension; bmp8 has none of its own.
    Parsed p = Parse({"--format", "bmp8", "-o", "pic.bmp", "a"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(ResolveFormat(p.options), OutputFormat::Bmp8);
    p = Parse({"--format", "png", "-o", "picture", "a"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(ResolveFormat(p.options), OutputFormat::Png);
    // -d writes PNG unless told otherwise.
    p = Parse({"-d", "out", "a", "b"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(ResolveFormat(p.options), OutputFormat::Png);

    EXPECT_EQ(ErrorOf({"-o", "pic.tif", "a"}),
              "cannot tell the picture format from 'pic.tif': name it .bmp, .jpg or .png, or "
              "use --format");
    EXPECT_EQ(ErrorOf({"--format", "gif", "-o", "x.png", "a"}),
              "--format: unknown format 'gif' (use bmp, bmp8, jpeg or png)");
}

TEST(RenderOptions, OutputNamesInAFolder) {
    EXPECT_EQ(OutputPathInDir("out", "examples/granite.qln", OutputFormat::Png), "out/granite.png");
    EXPECT_EQ(OutputPathInDir("out/", "archive.v2.qln", OutputFormat::Jpeg), "out/archive.v2.jpg");
    EXPECT_EQ(OutputPathInDir("out", "noext", OutputFormat::Bmp8), "out/noext.bmp");
}

TEST(RenderOptions, CombinationsThatCannotRun) {
    EXPECT_EQ(ErrorOf({}), "no document given");
    EXPECT_EQ(ErrorOf({"-o", "x.png"}), "no document given");
    EXPECT_EQ(ErrorOf({"a.qln"}),
              "no output given: use -o FILE for one document or -d DIR for several");
    EXPECT_EQ(ErrorOf({"-o", "x.png", "-d", "out", "a.qln"}), "-o and -d cannot be used together");
    EXPECT_EQ(ErrorOf({"-o", "x.png", "a.qln", "b.qln"}),
              "-o writes one picture but 2 documents were given; use -d DIR");
    EXPECT_EQ(ErrorOf({"--check", "--print", "a.qln"}),
              "--check and --print cannot be used together");
    EXPECT_EQ(ErrorOf({"--print", "a.qln", "b.qln"}), "--print reads one document, 2 were given");
    EXPECT_EQ(ErrorOf({"--check", "-o", "x.png", "a.qln"}),
              "--check writes no picture; -o and -d cannot be used with it");
    // Two documents of one base name would overwrite each other's picture.
    EXPECT_EQ(ErrorOf({"-d", "out", "a/x.qln", "b/x.qln"}),
              "'a/x.qln' and 'b/x.qln' would both be written to 'out/x.png'");
}

TEST(RenderOptions, CheckAndPrintNeedNoOutput) {
    Parsed p = Parse({"--check", "a.qln", "b.qln"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.mode, RunMode::Check);
    p = Parse({"a.qln", "--print"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.mode, RunMode::Print);
}

TEST(RenderOptions, HelpAndVersionAnswerWhateverElseIsGiven) {
    Parsed p = Parse({"--bogus-but-later-ignored", "--help"});
    EXPECT_FALSE(p.ok);  // the unknown option comes first
    p = Parse({"a.qln", "-h", "--bogus"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.mode, RunMode::Help);
    p = Parse({"--version"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.mode, RunMode::Version);
    EXPECT_EQ(VersionText().rfind("quillon-render ", 0), 0u);
    EXPECT_NE(UsageText().find("--mirror x|y|xy"), std::string::npos);
}

TEST(RenderOptions, ControlCharactersInMessagesAreMasked) {
    EXPECT_EQ(ErrorOf({"--\x1b[2J", "a"}), "unknown option '--?[2J'");
}

}  // namespace
}  // namespace quillon
