#pragma once

#include <QColor>
#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace quillon {

// The sixteen custom colours every colour chooser of the program offers,
// kept in "Custom Colors"/"Color0".."Color15" as 0x00BBGGRR (0: empty).
inline constexpr int kCustomColorCount = 16;
unsigned CustomColorValue(int slot);
void SetCustomColorValue(int slot, unsigned value);
unsigned ColorToBgr(const QColor& color);
QColor BgrToColor(unsigned value);
// Stores a colour in the first empty slot, or slot 0 when all are used;
// returns the slot.
int AddCustomColor(const QColor& color);

// The colour chooser: the custom colours are read before it opens and
// those not empty written back after OK. Null when cancelled.
std::optional<QColor> ChooseColor(const QColor& initial, QWidget* parent,
                                  const QString& title = {});

// Tests answer the colour chooser instead of the real dialog (file dialogs
// and modal dialogs go through editor/choosers.h).
using ColorChooserHook = std::function<std::optional<QColor>(const QColor& initial)>;
void SetColorChooserHook(ColorChooserHook hook);

}  // namespace quillon
