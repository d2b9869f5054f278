#pragma once

namespace quillon {

// What a rendering tells the window that follows it. Each program maps
// the roles onto its own message numbers.
enum class Notification {
    LayerStarted,     // a layer or texture begins rendering; progress back to 0
    ProgressStep,     // one hundredth of a generator layer's pixels done
    LayerComposited,  // a layer was composited; the picture may be repainted
    SynthesisDone,    // the worker finished successfully
};

// Receives notifications from the worker thread. Post must be thread-safe
// and must never block the worker (queue, do not wait for the user).
class NotificationSink {
  public:
    virtual ~NotificationSink() = default;
    virtual void Post(Notification notification) = 0;
};

}  // namespace quillon
