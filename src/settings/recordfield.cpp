#include "settings/recordfield.h"

#include "util/fieldstring.h"

#include <algorithm>

namespace RecordField {

void applyFields(const QString &record,
                 int fieldCount,
                 const std::function<void(int, const QString &)> &apply,
                 QChar separator)
{
    const int fields = std::min(FieldCount(record, separator), fieldCount);
    for (int n = 1; n <= fields; ++n)
        apply(n, Field(record, n, separator));
}

void setNumber(int *target, const QString &field, int low, int high)
{
    bool ok = false;
    const int number = field.trimmed().toInt(&ok);
    if (ok)
        *target = std::clamp(number, low, high);
}

void setFlag(bool *target, const QString &field)
{
    bool ok = false;
    const int number = field.trimmed().toInt(&ok);
    if (ok)
        *target = number != 0;
}

QString flag(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

QString text(const QString &value, const QString &forbidden)
{
    QString cleaned = value;
    for (const QChar c : forbidden)
        cleaned.remove(c);
    return cleaned;
}

} // namespace RecordField
