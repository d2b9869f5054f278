#pragma once

#include <QString>
#include <optional>

#include "engine/random.h"

class QLineEdit;
class QPlainTextEdit;

namespace quillon {

// The edit fields of the pages. Each remembers what Load put into it: an
// untouched field gives back the loaded value exactly (the edit text of a
// number keeps six decimals, and a value read from a file may lie outside
// the field's range), so loading and applying changes nothing.

// A RandomNumber as its edit-field text: "2.5" or "(0, 10, 0.5)".
class RandomField {
  public:
    RandomField(QLineEdit* edit, const QString& label, int maxLength = 64);
    void Load(const RandomNumber& value);
    // Null for text that is no number or random range, or holds a number
    // that is not finite (1e400).
    std::optional<RandomNumber> Value() const;
    // Value or, for text that does not parse, the fixed number 0 (the
    // common fields usage, probability and transparency).
    RandomNumber ValueOrZero() const;
    // Reports the field's problem; false when Value is null.
    bool Validate() const;
    QLineEdit* Edit() const { return m_edit; }

  private:
    QLineEdit* m_edit;
    QString m_label;
    RandomNumber m_loaded;
    QString m_loadedText;
};

// An integer with a range, in a line edit.
class IntField {
  public:
    IntField(QLineEdit* edit, const QString& label, int minimum, int maximum);
    void Load(int value);
    std::optional<int> Value() const;  // null outside the range
    bool Validate() const;
    QLineEdit* Edit() const { return m_edit; }

  private:
    QLineEdit* m_edit;
    QString m_label;
    int m_minimum;
    int m_maximum;
    int m_loaded = 0;
    QString m_loadedText;
};

// A real number with a range, in a line edit.
class RealField {
  public:
    RealField(QLineEdit* edit, const QString& label, double minimum, double maximum);
    void Load(double value);
    std::optional<double> Value() const;
    bool Validate() const;
    bool Changed() const;
    QLineEdit* Edit() const { return m_edit; }

  private:
    QLineEdit* m_edit;
    QString m_label;
    double m_minimum;
    double m_maximum;
    double m_loaded = 0.0;
    QString m_loadedText;
};

// Parses edit-field text; null when invalid or not finite.
std::optional<RandomNumber> ParseRandomText(const QString& text);
// "Label" from "Label:" for messages.
QString FieldName(const QString& label);
// The text of a multi-line edit, refused (with a message) beyond maxLength.
bool ValidateTextLength(const QPlainTextEdit* edit, const QString& label, int maxLength);
// A real in the short form of the edit fields ("0.5", "1").
QString ShortReal(double value);

}  // namespace quillon
