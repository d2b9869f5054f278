#pragma once

#include <atomic>
#include <cstdio>
#include <string>

#include "engine/notification.h"

namespace quillon {

// One line of progress: the document, the number of the layer being
// rendered (layers counted as they start, in rendering order) and that
// layer's percentage. width is the terminal's; the label is shortened from
// the left to fit.
std::string FormatProgressLine(const std::string& label, int layer, int percent, int width);

// Follows a synthesis through the engine's notifications. Post runs on the
// worker and only updates counters; the main thread draws the line when it
// likes, so the worker never waits on the terminal.
class ProgressBar : public NotificationSink {
  public:
    ProgressBar(std::FILE* stream, std::string label);

    void Post(Notification notification) override;

    // Redraws the line in place (carriage return, no line feed).
    void Draw();
    // Erases the line, so that messages and the next line start clean.
    void Clear();

    int LayersStarted() const { return m_started.load(std::memory_order_relaxed); }
    int Percent() const { return m_percent.load(std::memory_order_relaxed); }

  private:
    std::FILE* m_stream;
    std::string m_label;
    std::atomic<int> m_started{0};
    std::atomic<int> m_percent{0};
    bool m_drawn = false;
};

// Columns of the terminal behind stream, or 80 when it cannot be asked.
int TerminalWidth(std::FILE* stream);

}  // namespace quillon
