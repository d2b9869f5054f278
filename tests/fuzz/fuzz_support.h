#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/error_reporter.h"

namespace quillon::fuzz {

// Messages are expected on hostile input; keeping them would grow without
// bound over millions of runs.
class DiscardingReporter : public ErrorReporter {
  public:
    void Report(const std::string&) override {}
};

inline void InstallDiscardingReporter() {
    static DiscardingReporter reporter;
    SetErrorReporter(&reporter);
}

// One scratch file per process for the readers that take a path. It lives in
// memory when /dev/shm exists.
inline const std::string& ScratchPath(const char* suffix) {
    static const std::string path = [suffix] {
        const char* dir = std::getenv("TMPDIR");
        std::string base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : (dir ? dir : "/tmp");
        return base + "/quillon-fuzz-" + std::to_string(getpid()) + suffix;
    }();
    return path;
}

inline bool WriteScratch(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool ok = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && ok;
}

}  // namespace quillon::fuzz
