#pragma once

#include <QString>

#include <functional>

// Reading and writing the "*"-separated records kept in the Setup key (the options record
// "setup" and the layout record "screen"): integers in decimal, flags "0"/"1", texts as they
// are. There is no escaping, so a text never holds the separator.
namespace RecordField {

inline constexpr QChar Separator = QLatin1Char('*');

// Calls apply(n, field) for fields 1, 2, ... of record in order, at most fieldCount of them;
// fields past fieldCount are ignored, and a record that ends early leaves the rest untouched.
void applyFields(const QString &record,
                 int fieldCount,
                 const std::function<void(int number, const QString &field)> &apply,
                 QChar separator = Separator);

// Sets target from a number field held to [low, high]; a field that is not a number changes
// nothing.
void setNumber(int *target, const QString &field, int low, int high);
// Sets target from a number field: any non-zero number is true; a field that is not a number
// changes nothing.
void setFlag(bool *target, const QString &field);

QString flag(bool on);
// value without the characters in forbidden (by default the separator), so that it stays one
// field.
QString text(const QString &value, const QString &forbidden = QString(Separator));

} // namespace RecordField
