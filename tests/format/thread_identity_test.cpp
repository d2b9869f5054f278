// Renders are the same at every thread count, and the same as the serial
// renders recorded in tests/data/golden/render_hashes.txt. After an
// intended change of results, regenerate that file by running this test
// with QUILLON_UPDATE_GOLDEN=1.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/parallel.h"
#include "engine/random.h"
#include "engine/synthesis_job.h"
#include "engine/texture_map.h"
#include "format/texture_files.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> Documents() {
    std::vector<fs::path> paths;
    for (const auto& entry : fs::directory_iterator(fs::path(QUILLON_SOURCE_DIR) / "examples")) {
        if (entry.path().extension() == ".qln") paths.push_back(entry.path());
    }
    paths.push_back(fs::path(QUILLON_TEST_DATA_DIR) / "format" / "every_construct.qln");
    std::sort(paths.begin(), paths.end());
    return paths;
}

// The float picture of a seeded render, as the command line makes it.
std::vector<float> Render(const fs::path& path, int threads) {
    SetMaxThreads(threads);
    RandomGenerator::Instance().Seed(1);
    TextureMap texture;
    EXPECT_EQ(LoadDocument(path, texture), LoadStatus::Ok) << path;
    const std::size_t n = static_cast<std::size_t>(texture.Size());
    std::vector<float> rgb(3 * n, 0.0f), alpha(n, 1.0f);
    SynthesisJob job;
    job.texture = &texture;
    job.rgb = rgb.data();
    job.alpha = alpha.data();
    EXPECT_TRUE(job.RunHere()) << path;
    SetMaxThreads(0);
    return rgb;
}

std::uint64_t Fnv1a(const std::vector<float>& data) {
    std::uint64_t h = 1469598103934665603ULL;
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    for (std::size_t k = 0; k < data.size() * sizeof(float); ++k) {
        h ^= bytes[k];
        h *= 1099511628211ULL;
    }
    return h;
}

fs::path GoldenPath() { return fs::path(QUILLON_TEST_DATA_DIR) / "golden" / "render_hashes.txt"; }

std::map<std::string, std::string> ReadGolden() {
    std::map<std::string, std::string> golden;
    std::ifstream in(GoldenPath());
    std::string name, hash;
    while (in >> name >> hash) golden[name] = hash;
    return golden;
}

TEST(ThreadIdentity, EveryDocumentRendersTheSameAtOneAndManyThreads) {
    const bool update = std::getenv("QUILLON_UPDATE_GOLDEN") != nullptr;
    const auto golden = ReadGolden();
    std::ostringstream fresh;
    for (const fs::path& path : Documents()) {
        const std::vector<float> serial = Render(path, 1);
        const std::vector<float> parallel = Render(path, 4);
        ASSERT_EQ(serial.size(), parallel.size());
        EXPECT_EQ(std::memcmp(serial.data(), parallel.data(), serial.size() * sizeof(float)), 0)
            << path.filename() << " differs between 1 and 4 threads";
        char hash[17];
        std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(Fnv1a(serial)));
        const std::string name = path.filename().string();
        fresh << name << ' ' << hash << '\n';
        if (!update) {
            auto it = golden.find(name);
            if (it == golden.end()) {
                ADD_FAILURE() << name << " has no recorded render; run with QUILLON_UPDATE_GOLDEN=1";
            } else {
                EXPECT_EQ(it->second, hash) << name << " renders differently than recorded";
            }
        }
    }
    if (update) {
        std::ofstream out(GoldenPath());
        out << fresh.str();
    }
}

}  // namespace
}  // namespace quillon
