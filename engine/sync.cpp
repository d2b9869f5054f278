#include "engine/sync.h"

namespace quillon {

void ManualResetEvent::Set() {
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        m_set.store(true);
    }
    m_changed.notify_all();
}

void ManualResetEvent::Reset() {
    std::lock_guard<std::mutex> hold(m_mutex);
    m_set.store(false);
}

bool ManualResetEvent::IsSet() const {
    return m_set.load();
}

void ManualResetEvent::Wait() const {
    std::unique_lock<std::mutex> hold(m_mutex);
    m_changed.wait(hold, [this] { return m_set.load(); });
}

bool ManualResetEvent::WaitFor(std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> hold(m_mutex);
    return m_changed.wait_for(hold, timeout, [this] { return m_set.load(); });
}

}  // namespace quillon
