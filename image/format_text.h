#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

namespace quillon {

// printf-style formatting into a string, for the readers' and writers'
// error texts. Only ever called with the library's own constant formats.
inline std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

inline std::string FormatText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text;
    if (n > 0) {
        text.resize(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(text.data(), text.size(), format, args);
        text.resize(static_cast<std::size_t>(n));
    }
    va_end(args);
    return text;
}

}  // namespace quillon
