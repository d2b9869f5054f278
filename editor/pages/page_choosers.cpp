#include "editor/pages/page_choosers.h"

#include <QColorDialog>
#include <QSettings>

namespace quillon {

namespace {

ColorChooserHook& ColorHook() {
    static ColorChooserHook hook;
    return hook;
}

QString SlotKey(int slot) {
    return QStringLiteral("Custom Colors/Color%1").arg(slot);
}

}  // namespace

void SetColorChooserHook(ColorChooserHook hook) {
    ColorHook() = std::move(hook);
}

unsigned ColorToBgr(const QColor& color) {
    return static_cast<unsigned>(color.red()) | (static_cast<unsigned>(color.green()) << 8) |
           (static_cast<unsigned>(color.blue()) << 16);
}

QColor BgrToColor(unsigned value) {
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

unsigned CustomColorValue(int slot) {
    if (slot < 0 || slot >= kCustomColorCount) return 0;
    QSettings settings("Veltrana", "Quillon");
    bool ok = false;
    const qlonglong value = settings.value(SlotKey(slot), 0).toLongLong(&ok);
    // Only the colour bits count; anything else in the settings is an empty slot.
    if (!ok || value < 0 || value > 0xFFFFFF) return 0;
    return static_cast<unsigned>(value);
}

void SetCustomColorValue(int slot, unsigned value) {
    if (slot < 0 || slot >= kCustomColorCount) return;
    QSettings settings("Veltrana", "Quillon");
    settings.setValue(SlotKey(slot), static_cast<int>(value & 0xFFFFFF));
}

int AddCustomColor(const QColor& color) {
    int slot = 0;
    for (int k = 0; k < kCustomColorCount; ++k) {
        if (CustomColorValue(k) == 0) {
            slot = k;
            break;
        }
    }
    SetCustomColorValue(slot, ColorToBgr(color));
    return slot;
}

std::optional<QColor> ChooseColor(const QColor& initial, QWidget* parent, const QString& title) {
    // Empty slots show as black, which is also how they are written back (0).
    for (int k = 0; k < kCustomColorCount; ++k) {
        QColorDialog::setCustomColor(k, BgrToColor(CustomColorValue(k)));
    }
    std::optional<QColor> chosen;
    if (ColorHook()) {
        chosen = ColorHook()(initial);
    } else {
        const QColor color = QColorDialog::getColor(initial, parent, title);
        if (color.isValid()) chosen = color;
    }
    if (!chosen) return std::nullopt;
    for (int k = 0; k < kCustomColorCount; ++k) {
        const unsigned value = ColorToBgr(QColorDialog::customColor(k));
        if (value != 0) SetCustomColorValue(k, value);
    }
    return chosen;
}

}  // namespace quillon
