#include "ui/dosdatetime.h"

qint64 ToDosDateTime(const QDateTime &time)
{
    const QDateTime local = time.toLocalTime();
    const QDate date = local.date();
    const QTime clock = local.time();
    if (!date.isValid() || date.year() < 1980)
        return (1 << 21) | (1 << 16);
    const int year = qMin(date.year(), 1980 + 127);
    return (qint64(year - 1980) << 25) | (qint64(date.month()) << 21) | (qint64(date.day()) << 16)
           | (clock.hour() << 11) | (clock.minute() << 5) | (clock.second() / 2);
}

QDate DosDateTimeToDate(qint64 dosDateTime)
{
    const int year = 1980 + int((dosDateTime >> 25) & 0x7F);
    const int month = int((dosDateTime >> 21) & 0x0F);
    const int day = int((dosDateTime >> 16) & 0x1F);
    return QDate(year, month, day);
}
