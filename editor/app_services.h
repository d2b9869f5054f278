#pragma once

#include <QString>
#include <functional>

namespace quillon {

// What every window of the editor reaches without knowing the main window:
// the message pane of the status bar and the advanced-mode flag. The
// application sets them up; until it does, status text goes nowhere and
// advanced mode is on (its default).

// The main window installs its message pane here.
void SetStatusTextSink(std::function<void(const QString&)> sink);
// Shows text in the main window's message pane (no-op without a sink).
void ShowStatusText(const QString& text);

// Advanced mode as loaded from "Settings"/"Advanced"; pages read it when they fill their controls.
bool AdvancedMode();
void SetAdvancedMode(bool on);

}  // namespace quillon
