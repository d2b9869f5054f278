// Every document in tests/data/hostile/documents, given to the program as a
// user would: it either writes a picture or exits non-zero with one line
// that names the problem. Never a crash, a hang or a partial picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/cli/cli_test_support.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;
using clitest::RunRender;
using clitest::TempDir;

std::vector<fs::path> HostileDocuments() {
    std::vector<fs::path> files;
    for (const auto& entry :
         fs::directory_iterator(fs::path(QUILLON_TEST_DATA_DIR) / "hostile" / "documents"))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

long Lines(const std::string& text) {
    return std::count(text.begin(), text.end(), '\n');
}

TEST(HostileDocuments, RefusedWithOneLineOrRendered) {
    const auto files = HostileDocuments();
    ASSERT_GE(files.size(), 15u);
    TempDir dir;
    for (const fs::path& path : files) {
        const std::string name = path.filename().string();
        const std::string picture = dir.File(path.stem().string() + ".bmp");
        const auto result = RunRender({"--quiet", "--seed", "7", "-o", picture, path.string()});
        ASSERT_LT(result.status, 128) << name << " killed the program: " << result.err;
        if (result.status == 0) {
            EXPECT_TRUE(fs::exists(picture)) << name;
            EXPECT_EQ(result.err, "") << name;
        } else {
            EXPECT_FALSE(fs::exists(picture)) << name;
            // One line; the version message carries its fixed second line.
            const long expected = name == "version_huge.qln" ? 2 : 1;
            EXPECT_EQ(Lines(result.err), expected) << name << ":\n" << result.err;
            EXPECT_LT(result.err.size(), 600u) << name;  // no echo of a 64 KB token
        }
    }
}

TEST(HostileDocuments, MessagesNameTheFault) {
    struct Case {
        const char* file;
        const char* words;
    };
    const Case cases[] = {
        {"nested_100000_deep.qln", "nested too deeply"},
        {"bitmap_2g_claim.qln", "Invalid bitmap size in Bitmap Layer"},
        {"bitmap_int_max_claim.qln", "Invalid bitmap size in Bitmap Layer"},
        {"bitmap_negative.qln", "Invalid bitmap size in Bitmap Layer"},
        {"size_2g.qln", "Invalid WIDTH(2147483647) in Texture Map"},
        {"size_negative.qln", "Invalid WIDTH(-5) in Texture Map"},
        {"size_100000_wide.qln", "too large"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        const auto path = fs::path(QUILLON_TEST_DATA_DIR) / "hostile" / "documents" / c.file;
        const auto result = RunRender({"--quiet", "-o", dir.File("out.png"), path.string()});
        EXPECT_NE(result.status, 0) << c.file;
        EXPECT_NE(result.err.find(c.words), std::string::npos) << c.file << ": " << result.err;
    }
}

TEST(HostileDocuments, OversizedCommandLineSizeIsRefusedBeforeReading) {
    TempDir dir;
    const auto path = fs::path(QUILLON_TEST_DATA_DIR) / "format" / "granite.qln";
    const auto result = RunRender({"--size", "16385x16", "-o", dir.File("big.png"), path.string()});
    EXPECT_NE(result.status, 0);
    const std::string first = result.err.substr(0, result.err.find('\n'));
    EXPECT_NE(first.find("'16385x16' is too large"), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(dir.File("big.png")));
}

}  // namespace
}  // namespace quillon
