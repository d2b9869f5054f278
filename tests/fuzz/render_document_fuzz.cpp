// Parse, then render, small documents: any setting a file can carry must
// give finite colours and finish quickly at a small size.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/fuzz/document_checks.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quillon::fuzz::InstallDiscardingReporter();
    const std::string problem = quillon::fuzz::CheckRendering(
        std::string(reinterpret_cast<const char*>(data), size), static_cast<int>(size));
    if (!problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
