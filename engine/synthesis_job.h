#pragma once

#include <cstdint>
#include <functional>
#include <thread>

#include "engine/render_context.h"
#include "engine/sync.h"

namespace quillon {

class BaseLayer;

// The worker thread's niceness: below the user interface it serves.
inline constexpr int kWorkerNiceness = 5;

// One synthesis shared between a user interface and its worker thread.
// The caller fills in the fields, calls Start, follows the notifications
// and may Cancel; the worker sets the done event in every case.
class SynthesisJob {
  public:
    SynthesisJob() = default;
    ~SynthesisJob();  // cancels and joins a running worker
    SynthesisJob(const SynthesisJob&) = delete;
    SynthesisJob& operator=(const SynthesisJob&) = delete;

    NotificationSink* sink = nullptr;
    float* rgb = nullptr;    // width x height x 3, cleared by the caller (or prepare)
    float* alpha = nullptr;  // width x height, filled with 1.0 by the caller
    // The caller only allocated rgb and alpha: the worker fills alpha and
    // leaves rgb to the rendering, which writes every value (black where
    // nothing is composited), both on the pool. A texture of one layer then
    // needs no scratch picture.
    bool unwrittenPicture = false;
    float scale = 1.0f;
    float xScale = 1.0f;
    float yScale = 1.0f;
    // What to render: a texture map, or any single layer (the editor's
    // preview of one layer renders it through the same operation).
    BaseLayer* texture = nullptr;
    // Converts the float picture into the window's image; called on the worker.
    CompositeCallback onComposite;
    // Called on the worker before the render: a window clears its large
    // buffers there rather than on its user-interface thread.
    std::function<void()> prepare;
    std::uintptr_t callbackArg = 0;

    ManualResetEvent& CancelEvent() { return m_cancel; }
    ManualResetEvent& DoneEvent() { return m_done; }
    const ManualResetEvent& CancelEvent() const { return m_cancel; }
    const ManualResetEvent& DoneEvent() const { return m_done; }

    // Resets both events, joins a previous worker and starts a new one.
    // False when there is nothing to render.
    bool Start();
    // If a worker runs: sets the cancel event, waits for the done event and
    // joins the thread.
    void Cancel();
    // Waits for a started worker to finish and joins it.
    void Wait();
    bool IsRunning() const;
    // The result of the last run: true when the texture rendered completely.
    bool Succeeded() const { return m_succeeded; }
    // Whether the last run failed for want of memory (not a cancel).
    bool RanOutOfMemory() const { return m_outOfMemory; }

    // The worker's work, on the calling thread (the command line uses it).
    bool RunHere();

  private:
    void Join();

    ManualResetEvent m_cancel;
    ManualResetEvent m_done;
    std::thread m_thread;
    bool m_succeeded = false;
    bool m_outOfMemory = false;
};

}  // namespace quillon
