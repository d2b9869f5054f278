#include "cli/progress_bar.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>

namespace quillon {

std::string FormatProgressLine(const std::string& title, int layer, int percent, int width) {
    percent = std::clamp(percent, 0, 100);
    const std::string layerText = layer > 0 ? "layer " + std::to_string(layer) : "starting";
    const std::string percentText = std::to_string(percent) + "%";
    // [label, two blanks,] layer text, two blanks, [bar], blank, percentage in 4.
    width = std::max(width, 2) - 1;  // never write into the last column: no wrap
    const int fixed = static_cast<int>(layerText.size()) + 3 + 2 + 4;
    const int titleLength = static_cast<int>(title.size());
    int barWidth = std::clamp(width - fixed - titleLength - 2, 10, 40);
    barWidth = std::max(0, std::min(barWidth, width - fixed));
    std::string shown = title;
    const int room = width - fixed - barWidth - 2;
    if (room < 4) {
        shown.clear();
    } else if (titleLength > room) {
        shown = "..." + shown.substr(shown.size() - static_cast<std::size_t>(room - 3));
    }
    std::string line;
    if (!shown.empty()) line = shown + "  ";
    line += layerText + "  [";
    const int filled = barWidth * percent / 100;
    line.append(static_cast<std::size_t>(filled), '#');
    line.append(static_cast<std::size_t>(barWidth - filled), '.');
    line += "] ";
    line.append(4 - std::min<std::size_t>(4, percentText.size()), ' ');
    line += percentText;
    return line;
}

ProgressBar::ProgressBar(std::FILE* stream, std::string label)
    : m_stream(stream), m_label(std::move(label)) {}

void ProgressBar::Post(Notification notification) {
    switch (notification) {
        case Notification::LayerStarted:
            m_started.fetch_add(1, std::memory_order_relaxed);
            m_percent.store(0, std::memory_order_relaxed);
            break;
        case Notification::ProgressStep:
            // A layer posts at most 100 steps, but never show more than 100%.
            if (m_percent.load(std::memory_order_relaxed) < 100) {
                m_percent.fetch_add(1, std::memory_order_relaxed);
            }
            break;
        case Notification::LayerComposited:
        case Notification::SynthesisDone:
            break;
    }
}

void ProgressBar::Draw() {
    // The texture itself announces the first start; its layers are the rest.
    const int layer = std::max(0, LayersStarted() - 1);
    const std::string line = FormatProgressLine(m_label, layer, Percent(), TerminalWidth(m_stream));
    std::fprintf(m_stream, "\r%s\033[K", line.c_str());
    std::fflush(m_stream);
    m_drawn = true;
}

void ProgressBar::Clear() {
    if (!m_drawn) return;
    std::fputs("\r\033[K", m_stream);
    std::fflush(m_stream);
    m_drawn = false;
}

int TerminalWidth(std::FILE* stream) {
    winsize size{};
    if (ioctl(fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

}  // namespace quillon
