#include "editor/pages/page_fields.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <cmath>

#include "engine/error_reporter.h"

namespace quillon {

std::optional<RandomNumber> ParseRandomText(const QString& text) {
    // Anything longer than an edit field holds is no value (64 KB pasted).
    if (text.size() > 1024) return std::nullopt;
    auto value = RandomNumber::FromEditText(text.toStdString());
    if (!value) return std::nullopt;
    for (int k = 0; k < value->Count(); ++k) {
        if (!std::isfinite(value->Number(k))) return std::nullopt;
    }
    return value;
}

QString FieldName(const QString& label) {
    QString name = label.trimmed();
    name.remove(QLatin1Char('&'));
    if (name.endsWith(QLatin1Char(':'))) name.chop(1);
    return name;
}

bool ValidateTextLength(const QPlainTextEdit* edit, const QString& label, int maxLength) {
    if (edit->toPlainText().size() <= maxLength) return true;
    ReportError(QStringLiteral("%1: enter no more than %2 characters.")
                    .arg(FieldName(label))
                    .arg(maxLength)
                    .toStdString());
    return false;
}

QString ShortReal(double value) {
    return QString::fromStdString(FormatShortReal(value));
}

RandomField::RandomField(QLineEdit* edit, const QString& label, int maxLength)
    : m_edit(edit), m_label(label) {
    m_edit->setMaxLength(maxLength);
}

void RandomField::Load(const RandomNumber& value) {
    m_loaded = value;
    m_loadedText = QString::fromStdString(value.ToEditText());
    m_edit->setText(m_loadedText);
}

std::optional<RandomNumber> RandomField::Value() const {
    if (m_edit->text() == m_loadedText) return m_loaded;
    return ParseRandomText(m_edit->text());
}

RandomNumber RandomField::ValueOrZero() const {
    return Value().value_or(RandomNumber(0.0f));
}

bool RandomField::Validate() const {
    if (Value()) return true;
    ReportError(QStringLiteral("%1: enter a number, or up to four numbers in parentheses "
                               "such as (0, 10).")
                    .arg(FieldName(m_label))
                    .toStdString());
    return false;
}

IntField::IntField(QLineEdit* edit, const QString& label, int minimum, int maximum)
    : m_edit(edit), m_label(label), m_minimum(minimum), m_maximum(maximum) {
    m_edit->setMaxLength(16);
}

void IntField::Load(int value) {
    m_loaded = value;
    m_loadedText = QString::number(value);
    m_edit->setText(m_loadedText);
}

std::optional<int> IntField::Value() const {
    if (m_edit->text() == m_loadedText) return m_loaded;
    bool ok = false;
    const int value = m_edit->text().trimmed().toInt(&ok);
    if (!ok || value < m_minimum || value > m_maximum) return std::nullopt;
    return value;
}

bool IntField::Validate() const {
    if (Value()) return true;
    ReportError(QStringLiteral("%1: enter an integer between %2 and %3.")
                    .arg(FieldName(m_label))
                    .arg(m_minimum)
                    .arg(m_maximum)
                    .toStdString());
    return false;
}

RealField::RealField(QLineEdit* edit, const QString& label, double minimum, double maximum)
    : m_edit(edit), m_label(label), m_minimum(minimum), m_maximum(maximum) {
    m_edit->setMaxLength(32);
}

void RealField::Load(double value) {
    m_loaded = value;
    m_loadedText = ShortReal(value);
    m_edit->setText(m_loadedText);
}

std::optional<double> RealField::Value() const {
    if (m_edit->text() == m_loadedText) return m_loaded;
    bool ok = false;
    const double value = m_edit->text().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < m_minimum || value > m_maximum) return std::nullopt;
    return value;
}

bool RealField::Changed() const {
    return m_edit->text() != m_loadedText;
}

bool RealField::Validate() const {
    if (Value()) return true;
    ReportError(QStringLiteral("%1: enter a number between %2 and %3.")
                    .arg(FieldName(m_label), ShortReal(m_minimum), ShortReal(m_maximum))
                    .toStdString());
    return false;
}

}  // namespace quillon
