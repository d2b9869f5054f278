// Texture documents, layer files and colour-map files from anywhere. Every
// input is read all three ways. Whatever reads must also write out and read
// back: a saved file that cannot be opened again is lost work.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/fuzz/document_checks.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quillon::fuzz::InstallDiscardingReporter();
    const std::string problem =
        quillon::fuzz::CheckParsing(std::string(reinterpret_cast<const char*>(data), size));
    if (!problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
