#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringView>
#include <QTime>

#include <optional>

// One entry of a host folder listing.
struct ListEntry
{
    QString name;           // as the host wrote it, inner runs of spaces kept
    qint64 size = -1;       // bytes; -1 for a folder
    qint32 dosDateTime = 0; // MS-DOS date-time (see DosDateTime); 0 when the year is unusable
    bool isFolder = false;
    bool fromLink = false; // came from a symbolic link: shown as it says, never walked into
};

// Parses one line of a LIST reply in the Unix long-listing style (with or without the owner
// and group columns, day before month, symbolic links) or the DOS style of Windows hosts.
// Every other line (totals, blank lines, headers, other styles) gives no entry, and so does a
// line whose name could leave its folder when used as a local path: a name holding "/", "\"
// or a control character, or the names "." and "..".
// A Unix date without a year is taken in the year of `now`, or the year before when that would
// put it more than a day after `now`. A listing passes one `now` for all its lines.
std::optional<ListEntry> ParseListLine(QStringView line, const QDateTime &now);
std::optional<ListEntry> ParseListLine(QStringView line);

// High 16 bits: (year - 1980) * 512 + month * 32 + day; low 16 bits: hour * 2048 + minute * 32
// + seconds / 2. 0 when the year is outside 1980..2099 or the date is invalid.
qint32 DosDateTime(QDate date, QTime time);
// The date and time of a MS-DOS date-time; invalid for 0 or a value that is no date.
QDateTime DosDateTimeToQDateTime(qint32 dosDateTime);
