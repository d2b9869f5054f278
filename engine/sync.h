#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace quillon {

// An event that stays set until reset, as the worker protocol needs.
class ManualResetEvent {
  public:
    void Set();
    void Reset();
    bool IsSet() const;  // a wait with zero timeout
    void Wait() const;
    bool WaitFor(std::chrono::milliseconds timeout) const;

  private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::atomic<bool> m_set{false};
};

// The lock of one layer. Not recursive: an operation chain never takes the
// same layer's lock twice. It can be asked, without waiting, whether it is
// held, so that a user interface can refuse to edit a layer being rendered.
class LayerLock {
  public:
    void lock() {
        m_mutex.lock();
        m_held.store(true, std::memory_order_release);
    }
    void unlock() {
        m_held.store(false, std::memory_order_release);
        m_mutex.unlock();
    }
    bool try_lock() {
        if (!m_mutex.try_lock()) return false;
        m_held.store(true, std::memory_order_release);
        return true;
    }
    bool IsHeld() const { return m_held.load(std::memory_order_acquire); }

  private:
    std::mutex m_mutex;
    std::atomic<bool> m_held{false};
};

}  // namespace quillon
