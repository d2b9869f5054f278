#include "editor/app_services.h"

#include <utility>

namespace quillon {
namespace {
std::function<void(const QString&)>& StatusSink() {
    static std::function<void(const QString&)> sink;
    return sink;
}
bool g_advancedMode = true;
}  // namespace

void SetStatusTextSink(std::function<void(const QString&)> sink) {
    StatusSink() = std::move(sink);
}

void ShowStatusText(const QString& text) {
    if (StatusSink()) StatusSink()(text);
}

bool AdvancedMode() {
    return g_advancedMode;
}
void SetAdvancedMode(bool on) {
    g_advancedMode = on;
}

}  // namespace quillon
