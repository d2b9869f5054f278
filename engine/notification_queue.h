#pragma once

#include <functional>
#include <mutex>
#include <vector>

#include "engine/notification.h"

namespace quillon {

// Each program numbers the notifications its own way (window messages,
// events); this maps the roles onto those numbers.
struct MessageNumbers {
    int layerStarted;
    int progressStep;
    int layerComposited;
    int synthesisDone;

    int Of(Notification n) const {
        switch (n) {
            case Notification::LayerStarted:
                return layerStarted;
            case Notification::ProgressStep:
                return progressStep;
            case Notification::LayerComposited:
                return layerComposited;
            case Notification::SynthesisDone:
                return synthesisDone;
        }
        return 0;
    }
};

// Queues notifications from the worker for a user-interface thread. The
// optional wake function is called after each post (a GUI schedules a
// queued call that drains the queue); it must not block either.
class QueuedNotificationSink : public NotificationSink {
  public:
    explicit QueuedNotificationSink(std::function<void()> wake = {}) : m_wake(std::move(wake)) {}

    void Post(Notification notification) override {
        {
            std::lock_guard<std::mutex> hold(m_mutex);
            m_pending.push_back(notification);
        }
        if (m_wake) m_wake();
    }

    // The notifications posted since the last call, in posting order.
    std::vector<Notification> TakeAll() {
        std::lock_guard<std::mutex> hold(m_mutex);
        std::vector<Notification> taken;
        taken.swap(m_pending);
        return taken;
    }

  private:
    std::function<void()> m_wake;
    std::mutex m_mutex;
    std::vector<Notification> m_pending;
};

}  // namespace quillon
