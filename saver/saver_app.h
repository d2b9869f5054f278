#pragma once

#include <QSize>
#include <cstdint>

namespace quillon {

// lumadrift's main: the settings dialog, the preview inside another
// program's window, or the full-screen run, by the command line.
int RunLumadrift(int argc, char** argv);

// The size of an X window by id; false when there is no such window (or
// no X server).
bool ForeignWindowSize(std::uint64_t id, QSize& size);

}  // namespace quillon
