#include "util/fieldstring.h"

int FieldCount(const QString &text, QChar sep)
{
    return int(text.count(sep)) + 1;
}

int FieldPosition(const QString &text, int n, QChar sep)
{
    if (n < 1)
        return 0;
    if (n == 1)
        return 1;
    int seen = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == sep && ++seen == n - 1)
            return int(i) + 2;
    }
    return 0;
}

QString Field(const QString &text, int n, QChar sep)
{
    const int pos = FieldPosition(text, n, sep);
    if (pos == 0)
        return QString();
    const qsizetype start = pos - 1;
    const qsizetype end = text.indexOf(sep, start);
    return end < 0 ? text.mid(start) : text.mid(start, end - start);
}

QString DeleteField(const QString &text, int n, QChar sep)
{
    const int pos = FieldPosition(text, n, sep);
    if (pos == 0 || FieldCount(text, sep) == 1)
        return QString();
    const qsizetype start = pos - 1;
    const qsizetype end = text.indexOf(sep, start);
    QString result = text;
    if (end >= 0)
        result.remove(start, end - start + 1); // the field and the separator after it
    else
        result.truncate(start - 1); // the last field and the separator before it
    return result;
}

QString PadLeft(const QString &text, int width, QChar fill)
{
    if (text.size() >= width)
        return text;
    return QString(width - text.size(), fill) + text;
}

QString FormatSize(qint64 bytes, bool withUnit)
{
    const qint64 kilobytes = bytes / 1024;
    const QString digits = QString::number(kilobytes < 0 ? -kilobytes : kilobytes);
    QString grouped;
    grouped.reserve(digits.size() + digits.size() / 3 + 3);
    if (kilobytes < 0)
        grouped += QLatin1Char('-');
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped += QLatin1Char(',');
        grouped += digits.at(i);
    }
    if (withUnit)
        grouped += QLatin1String("KB");
    return grouped;
}
