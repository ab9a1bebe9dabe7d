#pragma once

#include <QDate>
#include <QDateTime>

// MS-DOS date-time values as the listings and the file lists carry them: bits 25-31 years since
// 1980, 21-24 month, 16-20 day, 11-15 hours, 5-10 minutes, 0-4 seconds / 2.

// The DOS date-time of a local time; times before 1980 become 1 January 1980 0:00.
qint64 ToDosDateTime(const QDateTime &time);
// The date part; an invalid date when the value holds none.
QDate DosDateTimeToDate(qint64 dosDateTime);
