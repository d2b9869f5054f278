#pragma once

#include <QObject>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace quillon {

// Slow work that cannot be interrupted (decoding a huge picture, waiting
// for a wallpaper setter) runs on a thread of its own, so that the window
// stays responsive and can close at once. When the owner goes away first,
// the work is abandoned: it finishes on its own and its result is dropped.
// At most one piece of work runs per BackgroundWork.
class BackgroundWork {
  public:
    explicit BackgroundWork(QObject* owner) : m_owner(owner) {}
    ~BackgroundWork() { Abandon(); }
    BackgroundWork(const BackgroundWork&) = delete;
    BackgroundWork& operator=(const BackgroundWork&) = delete;

    bool Busy() const { return m_state && !m_state->finished.load(); }

    // Runs work() on a new thread, then done(result) on the owner's thread.
    // False (nothing started) while earlier work is still busy.
    template <class Result>
    bool Run(std::function<Result()> work, std::function<void(Result&)> done) {
        if (Busy()) return false;
        Abandon();
        auto state = std::make_shared<State>();
        m_state = state;
        QObject* owner = m_owner;
        s_running.fetch_add(1);
        std::thread([state, owner, work = std::move(work), done = std::move(done)]() mutable {
            auto result = std::make_shared<Result>(work());
            {
                std::lock_guard<std::mutex> hold(state->mutex);
                state->finished.store(true);
                // Queued to the owner: Qt drops the call if the owner dies
                // before it runs; abandoned work never posts at all.
                if (!state->abandoned) {
                    QMetaObject::invokeMethod(
                        owner, [done = std::move(done), result]() mutable { done(*result); },
                        Qt::QueuedConnection);
                }
            }
            result.reset();
            s_running.fetch_sub(1);
        }).detach();
        return true;
    }

    // Drops the result of running work.
    void Abandon() {
        if (!m_state) return;
        std::lock_guard<std::mutex> hold(m_state->mutex);
        m_state->abandoned = true;
        m_state.reset();
    }

    // Threads of any BackgroundWork still running in this process.
    static int Running() { return s_running.load(); }
    // Waits up to timeout for them to end; false when some still run.
    static bool WaitForAll(std::chrono::milliseconds timeout);

  private:
    struct State {
        std::mutex mutex;
        bool abandoned = false;
        std::atomic<bool> finished{false};
    };

    QObject* m_owner;
    std::shared_ptr<State> m_state;
    static std::atomic<int> s_running;
};

}  // namespace quillon
