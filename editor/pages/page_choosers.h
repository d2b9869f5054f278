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

// File dialogs. filter in Qt's form ("Color Map Files (*.cmp);;All Files (*)");
// selectedFilter receives the chosen filter. Empty when cancelled.
QString ChooseOpenFile(QWidget* parent, const QString& title, const QString& filter,
                       QString* selectedFilter = nullptr);
QString ChooseSaveFile(QWidget* parent, const QString& title, const QString& filter,
                       const QString& defaultSuffix);

// Tests answer the choosers instead of the real dialogs.
using ColorChooserHook = std::function<std::optional<QColor>(const QColor& initial)>;
using FileChooserHook =
    std::function<QString(const QString& title, const QString& filter, QString* selectedFilter)>;
void SetColorChooserHook(ColorChooserHook hook);
void SetFileChooserHook(FileChooserHook hook);

}  // namespace quillon
