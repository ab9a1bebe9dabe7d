#include "ftp/listparser.h"

#include <array>
#include <limits>

namespace {

// A column of the listing line: its text and where it starts in the line. Columns that a
// listing leaves out (owner, group) are filled with placeholders that have no position.
struct Column
{
    QStringView text;
    qsizetype offset = -1;
};

// Unix lines have at most nine columns before the name; the name is the rest of the line.
constexpr int MaxColumns = 9;

struct Columns
{
    std::array<Column, MaxColumns + 2> items;
    int count = 0;

    const Column &at(int n) const { return items[n - 1]; } // 1-based, like fields
    void insertPlaceholder(int n)
    {
        for (int i = count; i >= n; --i)
            items[i] = items[i - 1];
        items[n - 1] = Column{QStringView(u"?"), -1};
        ++count;
    }
    void move(int from, int to)
    {
        const Column c = items[from - 1];
        for (int i = from; i > to; --i)
            items[i - 1] = items[i - 2];
        items[to - 1] = c;
    }
};

bool isBlank(QChar c)
{
    return c.unicode() <= 0x20;
}

QStringView trimmed(QStringView s)
{
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && isBlank(s[begin]))
        ++begin;
    while (end > begin && isBlank(s[end - 1]))
        --end;
    return s.mid(begin, end - begin);
}

// Splits at runs of spaces: "a  b" has the columns "a" and "b". Stops after `limit` columns.
Columns splitColumns(QStringView line, int limit)
{
    Columns columns;
    qsizetype i = 0;
    const qsizetype size = line.size();
    while (i < size && columns.count < limit) {
        while (i < size && line[i] == QLatin1Char(' '))
            ++i;
        if (i == size)
            break;
        const qsizetype start = i;
        while (i < size && line[i] != QLatin1Char(' '))
            ++i;
        columns.items[columns.count++] = Column{line.mid(start, i - start), start};
    }
    return columns;
}

bool isDigit(QChar c)
{
    return c.unicode() >= '0' && c.unicode() <= '9';
}

// Decimal digits only; -1 when the text is empty, holds anything else or does not fit.
qint64 parseNumber(QStringView text)
{
    if (text.isEmpty())
        return -1;
    qint64 value = 0;
    for (QChar c : text) {
        if (!isDigit(c))
            return -1;
        const int digit = c.unicode() - '0';
        if (value > (std::numeric_limits<qint64>::max() - digit) / 10)
            return -1;
        value = value * 10 + digit;
    }
    return value;
}

int parseSmall(QStringView text, int maxDigits)
{
    if (text.size() > maxDigits)
        return -1;
    return int(parseNumber(text));
}

// "Jan".."Dec" in any case -> 1..12, else 0.
int monthNumber(QStringView text)
{
    static const char names[] = "janfebmaraprmayjunjulaugsepoctnovdec";
    if (text.size() != 3)
        return 0;
    char lower[3];
    for (int i = 0; i < 3; ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 'A' && c <= 'Z')
            lower[i] = char(c - 'A' + 'a');
        else if (c >= 'a' && c <= 'z')
            lower[i] = char(c);
        else
            return 0;
    }
    for (int m = 0; m < 12; ++m) {
        if (names[3 * m] == lower[0] && names[3 * m + 1] == lower[1]
            && names[3 * m + 2] == lower[2])
            return m + 1;
    }
    return 0;
}

bool isMonth(const Column &c)
{
    return monthNumber(c.text) != 0;
}

// "9:05", "09:05" or "09:05:30"
QTime parseClock(QStringView text)
{
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon < 1 || colon > 2)
        return QTime();
    const int hour = parseSmall(text.left(colon), 2);
    QStringView rest = text.mid(colon + 1);
    int second = 0;
    if (rest.size() == 5 && rest[2] == QLatin1Char(':')) {
        second = parseSmall(rest.mid(3), 2);
        rest = rest.left(2);
    }
    if (rest.size() != 2)
        return QTime();
    const int minute = parseSmall(rest, 2);
    if (!QTime::isValid(hour, minute, second))
        return QTime();
    return QTime(hour, minute, second);
}

// A name that would step out of its folder, or could not be a file name, is not taken.
bool isSafeName(QStringView name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (QChar c : name) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F || (u >= 0x80 && u <= 0x9F) || u == '/' || u == '\\')
            return false;
    }
    return true;
}

// 01-25-98  10:30AM       <DIR>          My Folder
// 01-25-98  02:05PM                 1234 notes.txt
std::optional<ListEntry> parseDosLine(QStringView line, const Columns &columns)
{
    const QStringView date = columns.at(1).text;
    const QStringView time = columns.at(2).text;
    const QStringView sizeText = columns.at(3).text;

    ListEntry entry;
    if (sizeText.compare(QLatin1String("<dir>"), Qt::CaseInsensitive) == 0) {
        entry.isFolder = true;
        entry.size = -1;
    } else {
        entry.size = parseNumber(sizeText);
        if (entry.size < 0)
            return std::nullopt;
    }

    const int month = parseSmall(date.mid(0, 2), 2);
    const int day = parseSmall(date.mid(3, 2), 2);
    const int shortYear = parseSmall(date.mid(6, 2), 2);
    if (date.mid(0, 2).size() != 2 || date.mid(3, 2).size() != 2 || shortYear < 0)
        return std::nullopt;
    const int year = shortYear >= 80 ? 1900 + shortYear : 2000 + shortYear;
    if (!QDate::isValid(year, month, day))
        return std::nullopt;

    const QChar half = time[5].toLower();
    int hour = parseSmall(time.mid(0, 2), 2);
    const int minute = parseSmall(time.mid(3, 2), 2);
    if (time.mid(0, 2).size() != 2 || time.mid(3, 2).size() != 2 || hour < 0 || hour > 12
        || (half != QLatin1Char('a') && half != QLatin1Char('p')))
        return std::nullopt;
    if (hour == 12)
        hour = 0;
    if (half == QLatin1Char('p'))
        hour += 12;
    if (!QTime::isValid(hour, minute, 0))
        return std::nullopt;

    entry.name = line.mid(columns.at(4).offset).toString();
    entry.dosDateTime = DosDateTime(QDate(year, month, day), QTime(hour, minute));
    return entry;
}

// -rw-r--r--    1 0        0               2 Dec 06 13:46 a  b.txt
// -rw-r--r--    1 0        0               0 Jan 05  1998 old.txt
std::optional<ListEntry> parseUnixLine(QStringView line,
                                       QChar kind,
                                       Columns columns,
                                       const QDateTime &now)
{
    // Bring the month to column 6.
    if (columns.count >= 4 && isMonth(columns.at(4))) {
        // -rw-r--r-- 1 1234 Jan 5 12:00 notes.txt (no owner, no group)
        columns.insertPlaceholder(3);
        columns.insertPlaceholder(3);
    } else if (columns.count >= 5 && isMonth(columns.at(5))) {
        // -rw-r--r-- 1 ann 1234 Jan 5 12:00 notes.txt (no group)
        columns.insertPlaceholder(4);
    } else if (columns.count >= 7 && isMonth(columns.at(7))) {
        // -rw-r--r-- 1 ann staff 1234 5 Jan 12:00 notes.txt (day before month)
        columns.move(7, 6);
    }
    if (columns.count < 9 || !isMonth(columns.at(6)) || columns.at(9).offset < 0)
        return std::nullopt;

    ListEntry entry;
    if (kind == QLatin1Char('d')) {
        entry.isFolder = true;
        entry.size = -1;
    } else {
        entry.size = parseNumber(columns.at(5).text);
        if (entry.size < 0)
            return std::nullopt;
    }

    const int month = monthNumber(columns.at(6).text);
    const int day = parseSmall(columns.at(7).text, 2);
    const QStringView yearOrTime = columns.at(8).text;
    QDate date;
    QTime time(0, 0);
    if (yearOrTime.contains(QLatin1Char(':'))) {
        // Without a year the date lies within the last months: this year, unless that is
        // more than a day ahead (a December file listed in January).
        time = parseClock(yearOrTime);
        if (!time.isValid())
            return std::nullopt;
        const QDate latest = now.date().addDays(1);
        const QTime nowTime = now.time();
        for (int year = now.date().year(); year >= now.date().year() - 1 && !date.isValid();
             --year) {
            const QDate candidate(year, month, day);
            if (candidate.isValid()
                && (candidate < latest || (candidate == latest && time <= nowTime)))
                date = candidate;
        }
    } else {
        if (yearOrTime.size() != 4)
            return std::nullopt;
        const int year = parseSmall(yearOrTime, 4);
        if (year < 0 || !QDate::isValid(year, month, day))
            return std::nullopt;
        date = QDate(year, month, day);
    }
    if (!date.isValid())
        return std::nullopt;

    entry.name = line.mid(columns.at(9).offset).toString();
    entry.dosDateTime = DosDateTime(date, time);
    return entry;
}

} // namespace

std::optional<ListEntry> ParseListLine(QStringView line, const QDateTime &now)
{
    QStringView text = trimmed(line);
    if (text.isEmpty())
        return std::nullopt;

    QChar kind = text[0];
    bool fromLink = false;
    if (kind.toLower() == QLatin1Char('l')) {
        // lrwxrwxrwx    1 0        0               3 Dec 06 13:46 link2pub -> pub
        // A link whose name ends in "." counts as a file, any other as a folder.
        const qsizetype arrow = text.indexOf(QLatin1String(" -> "));
        if (arrow < 0)
            return std::nullopt;
        text = trimmed(text.left(arrow));
        if (text.isEmpty())
            return std::nullopt;
        kind = text.back() == QLatin1Char('.') ? QLatin1Char('-') : QLatin1Char('d');
        fromLink = true;
    }

    std::optional<ListEntry> entry;
    Columns columns = splitColumns(text, MaxColumns);
    if (columns.count >= 4 && columns.at(1).text.size() == 8 && columns.at(2).text.size() == 7
        && columns.at(1).text[2] == QLatin1Char('-') && columns.at(1).text[5] == QLatin1Char('-')
        && columns.at(2).text[2] == QLatin1Char(':')
        && columns.at(2).text[6].toLower() == QLatin1Char('m')) {
        entry = parseDosLine(text, columns);
    } else if (kind == QLatin1Char('d') || kind == QLatin1Char('s') || kind == QLatin1Char('-')) {
        entry = parseUnixLine(text, kind, columns, now);
    }
    if (!entry || !isSafeName(entry->name))
        return std::nullopt;
    entry->fromLink = fromLink;
    return entry;
}

std::optional<ListEntry> ParseListLine(QStringView line)
{
    return ParseListLine(line, QDateTime::currentDateTime());
}

qint32 DosDateTime(QDate date, QTime time)
{
    if (!date.isValid() || !time.isValid() || date.year() < 1980 || date.year() > 2099)
        return 0;
    const quint32 high = quint32((date.year() - 1980) * 512 + date.month() * 32 + date.day());
    const quint32 low = quint32(time.hour() * 2048 + time.minute() * 32 + time.second() / 2);
    return qint32((high << 16) | low);
}

QDateTime DosDateTimeToQDateTime(qint32 dosDateTime)
{
    const quint32 value = quint32(dosDateTime);
    const quint32 high = value >> 16;
    const quint32 low = value & 0xFFFF;
    const QDate date(int(high >> 9) + 1980, int((high >> 5) & 15), int(high & 31));
    const QTime time(int(low >> 11), int((low >> 5) & 63), int(low & 31) * 2);
    if (value == 0 || !date.isValid() || !time.isValid())
        return QDateTime();
    return QDateTime(date, time);
}
