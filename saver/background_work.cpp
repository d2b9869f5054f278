#include "saver/background_work.h"

namespace quillon {

std::atomic<int> BackgroundWork::s_running{0};

bool BackgroundWork::WaitForAll(std::chrono::milliseconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (s_running.load() > 0) {
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace quillon
