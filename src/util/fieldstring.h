#pragma once

#include <QString>

// Field strings: records whose fields are joined by one separator character (mostly "*").
// There is no escaping: a field can never hold its separator. Positions are 1-based.

// Number of fields: occurrences of sep plus one (the empty string has one empty field).
int FieldCount(const QString &text, QChar sep);
// Position of the first character of field n, or 0 when n is out of range.
int FieldPosition(const QString &text, int n, QChar sep);
// Field n, whole (also the last one, however long); empty when n is out of range.
QString Field(const QString &text, int n, QChar sep);
// The text without field n and one separator next to it; empty when n is out of range or the
// text has one field only.
QString DeleteField(const QString &text, int n, QChar sep);
// The text preceded by fill characters up to width.
QString PadLeft(const QString &text, int width, QChar fill);
// Whole kilobytes with "," between groups of three digits: 1048576 -> "1,024KB".
QString FormatSize(qint64 bytes, bool withUnit);
