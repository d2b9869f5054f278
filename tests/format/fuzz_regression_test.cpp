// Inputs the texture fuzzers found or were seeded with, checked as the
// fuzzers check them: tests/data/hostile/fuzz (what tools/fuzz.sh found;
// add each crashing input there) and the hostile documents.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/error_reporter.h"
#include "tests/format/format_test_util.h"
#include "tests/fuzz/document_checks.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> Inputs() {
    std::vector<fs::path> files;
    for (const char* folder : {"fuzz", "documents"}) {
        const fs::path dir = fs::path(QUILLON_TEST_DATA_DIR) / "hostile" / folder;
        if (!fs::is_directory(dir)) continue;
        for (const auto& entry : fs::directory_iterator(dir))
            if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    EXPECT_GE(files.size(), 20u);
    return files;
}

TEST(FuzzRegression, EveryInputReadsAllThreeWaysAndSavesBack) {
    CapturingErrorReporter reporter;
    ScopedErrorReporter scope(reporter);
    for (const fs::path& path : Inputs()) {
        EXPECT_EQ(fuzz::CheckParsing(testing::ReadBytes(path)), "") << path.filename();
    }
}

TEST(FuzzRegression, EveryDocumentRendersSmallToFiniteColours) {
    CapturingErrorReporter reporter;
    ScopedErrorReporter scope(reporter);
    for (const fs::path& path : Inputs()) {
        const std::string text = testing::ReadBytes(path);
        EXPECT_EQ(fuzz::CheckRendering(text, static_cast<int>(text.size())), "") << path.filename();
    }
}

}  // namespace
}  // namespace quillon
