// Listing lines, one row each: the entry a line gives, or none. Listings are read on 10 January
// 2026 at noon unless a row says otherwise, so that a December date without a year belongs to the
// year before.
#include "ftp/listparser.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>

namespace {

struct Row
{
    const char *line;
    const char *name = nullptr; // nullptr: no entry
    qint64 size = 0;
    const char *when = "2026-01-05T12:00"; // "" for no date
    const char *kind = "f";                // f file, d folder, fl/dl the same from a link
    const char *now = "2026-01-10T12:00";
};

// clang-format off
const Row Rows[] = {
    // Unix columns, with or without owner and group, day before month, upper and lower case
    {"-rw-r--r--   1 ann      staff        1234 Jan  5 12:00 notes.txt", "notes.txt", 1234},
    {"-rw-r--r--   1              1234 Jan  5 12:00 notes.txt", "notes.txt", 1234},
    {"-rw-r--r--   1 ann          1234 Jan  5 12:00 notes.txt", "notes.txt", 1234},
    {"-rw-r--r--   1 ann      staff        1234  5 Jan 12:00 notes.txt", "notes.txt", 1234},
    {"-rw-r--r--   1 a        b            1234 JAN  5 12:00 notes.txt", "notes.txt", 1234},
    {"-rw-r--r-- 1 ann staff 1234 jan 5 9:05 notes.txt\r", "notes.txt", 1234, "2026-01-05T09:05"},
    {"drwxr-xr-x   2 ann      staff        4096 Jan  5 12:00 pub", "pub", -1, "2026-01-05T12:00", "d"},
    {"drwxr-xr-x 2 ann staff many Jan 5 12:00 odd size column", "odd size column", -1, "2026-01-05T12:00", "d"},
    {"srwxr-xr-x   1 ann      staff           0 Jan  5 12:00 socket", "socket", 0},
    {"-rw-r--r--   1 ann      staff        1234 Jan  5 12:00:30 seconds", "seconds", 1234, "2026-01-05T12:00:30"},
    // names as written
    {"-rw-r--r-- 1 ann staff 2 Jan 5 12:00 a  b.txt", "a  b.txt", 2},
    {"-rw-r--r-- 1 ann staff 2 Jan 5 12:00 one   two    three", "one   two    three", 2},
    {"-rw-r--r-- 1 ann staff 2 Jan 5 12:00 trailing   ", "trailing", 2},
    {"-rw-r--r-- 1 2 Jan 5 12:00 no  owner", "no  owner", 2},
    {"-rw-r--r-- 1 ann staff 2 Jan 5 12:00 Grüße  日本.txt", "Grüße  日本.txt", 2},
    {"-rw-r--r-- 1 ann staff 2 Jan 5 12:00 a -> b", "a -> b", 2},
    {"-rw-r--r-- 1 ann staff 2 Jan 5 12:00 star*name", "star*name", 2},
    {"-rw-r--r-- 1 ann staff 2 Jan 5 12:00 Jan", "Jan", 2},
    {"-rw-r--r-- 1 ann staff 1 Jan 5 12:00 ...", "...", 1},
    {"drwxr-xr-x 2 ann staff 1 Jan 5 12:00 .hidden", ".hidden", -1, "2026-01-05T12:00", "d"},
    // symbolic links: folders unless the target looks like a file
    {"lrwxrwxrwx   1 ann      staff          14 Jan  5 12:00 docs -> /usr/share/doc", "docs", -1, "2026-01-05T12:00", "dl"},
    {"lrwxrwxrwx   1 ann      staff           1 Jan  5 12:00 loop -> .", "loop", -1, "2026-01-05T12:00", "dl"},
    {"lrwxrwxrwx   1 ann      staff           9 Jan  5 12:00 file.lnk. -> notes.txt", "file.lnk.", 9, "2026-01-05T12:00", "fl"},
    {"Lrwxrwxrwx 1 ann staff 3 Jan 5 12:00 my  link -> x", "my  link", -1, "2026-01-05T12:00", "dl"},
    {"lrwxrwxrwx 1 ann staff 3 Jan 5 12:00 a->b -> c", "a->b", -1, "2026-01-05T12:00", "dl"},
    {"lrwxrwxrwx   1 ann      staff          14 Jan  5 12:00 docs"},
    {"lrwxrwxrwx   1 ann      staff          14 Jan  5 12:00 -> target"},
    {"lrwxrwxrwx   1 ann      staff           1 Jan  5 12:00 .. -> /"},
    // dates: a year keeps its four digits; without one this year unless more than a day ahead
    {"-rw-r--r-- 1 ann staff 1234 Jan 5 1998 old.txt", "old.txt", 1234, "1998-01-05T00:00"},
    {"-rw-r--r-- 1 ann staff 1234 Mar 1 2045 far.txt", "far.txt", 1234, "2045-03-01T00:00"},
    {"-rw-r--r-- 1 ann staff 1 Dec 6 13:46 december", "december", 1, "2025-12-06T13:46"},
    {"-rw-r--r-- 1 ann staff 1 Jan 11 11:59 tomorrow", "tomorrow", 1, "2026-01-11T11:59"},
    {"-rw-r--r-- 1 ann staff 1 Jan 11 12:00 day-ahead", "day-ahead", 1, "2026-01-11T12:00"},
    {"-rw-r--r-- 1 ann staff 1 Jan 11 12:01 past-a-day", "past-a-day", 1, "2025-01-11T12:01"},
    {"-rw-r--r-- 1 ann staff 1 Jan 10 08:00 today", "today", 1, "2026-01-10T08:00"},
    {"-rw-r--r-- 1 ann staff 1 Feb 29 10:00 leap", "leap", 1, "2024-02-29T10:00", "f", "2025-01-10T12:00"},
    {"-rw-r--r-- 1 ann staff 1 Dec 31 23:59 late", "late", 1, "2026-12-31T23:59", "f", "2026-12-31T00:01"},
    {"-rw-r--r-- 1 ann staff 7 Jan 1 1970 epoch", "epoch", 7, ""},
    {"-rw-r--r-- 1 ann staff 7 Jan 1 2100 later", "later", 7, ""},
    {"-rw-r--r-- 1 ann staff 1234 an 5 12:00 not-a-month"},
    {"-rw-r--r-- 1 ann staff 1234 Jay 5 12:00 not-a-month"},
    {"-rw-r--r-- 1 ann staff 1234 Feb 30 12:00 no-such-day"},
    {"-rw-r--r-- 1 ann staff 1234 Feb 29 12:00 no-leap-day-near"},
    {"-rw-r--r-- 1 ann staff 1234 Jan 0 12:00 day-zero"},
    {"-rw-r--r-- 1 ann staff 1234 Jan 5 25:00 bad-hour"},
    {"-rw-r--r-- 1 ann staff 1234 Jan 5 12:60 bad-minute"},
    {"-rw-r--r-- 1 ann staff 1234 Jan 5 12:5 short-minute"},
    {"-rw-r--r-- 1 ann staff 1234 Jan 5 98 short-year"},
    {"-rw-r--r-- 1 ann staff 1234 Jan 5 19x8 letters-in-year"},
    {"-rw-r--r-- 1 ann staff 1234 Jan 5 12:00"},
    // sizes
    {"-rw-r--r-- 1 ann staff 5000000000 Jan 5 12:00 big.iso", "big.iso", 5000000000},
    {"-rw-r--r-- 1 ann staff 2147483648 Jan 5 12:00 two-gib", "two-gib", 2147483648},
    {"-rw-r--r-- 1 ann staff 9223372036854775807 Jan 5 12:00 max", "max", 9223372036854775807},
    {"01-05-26  12:00PM           5000000000 big.iso", "big.iso", 5000000000},
    {"-rw-r--r-- 1 ann staff -5 Jan 5 12:00 negative"},
    {"-rw-r--r-- 1 ann staff 12a Jan 5 12:00 letters"},
    {"-rw-r--r-- 1 ann staff 9223372036854775808 Jan 5 12:00 too-big"},
    {"01-05-26  12:00PM                  -12 negative"},
    // DOS lines: two-digit years pivot at 80, 12 AM is midnight
    {"01-25-98  10:30AM       <DIR>          My Folder", "My Folder", -1, "1998-01-25T10:30", "d"},
    {"01-25-98  10:30AM       <dir>          My  Folder", "My  Folder", -1, "1998-01-25T10:30", "d"},
    {"01-25-98  02:05PM                 1234 notes.txt", "notes.txt", 1234, "1998-01-25T14:05"},
    {"01-25-98  12:15AM                 1234 midnight", "midnight", 1234, "1998-01-25T00:15"},
    {"01-25-98  12:15PM                 1234 noon", "noon", 1234, "1998-01-25T12:15"},
    {"03-04-05  09:00am                   12 pivot 05", "pivot 05", 12, "2005-03-04T09:00"},
    {"12-31-79  11:59PM                   12 pivot 79", "pivot 79", 12, "2079-12-31T23:59"},
    {"01-01-80  01:00AM                   12 pivot 80", "pivot 80", 12, "1980-01-01T01:00"},
    {"02-29-00  01:00AM                   12 leap 2000", "leap 2000", 12, "2000-02-29T01:00"},
    {"01-25-98  10:30AM       <DIR>          -rw-r--r-- looks unix", "-rw-r--r-- looks unix", -1, "1998-01-25T10:30", "d"},
    {"01-25-1998  10:30AM       <DIR>          My Folder"},
    {"01-25-1998  10:30AM                 1234 notes.txt"},
    {"13-25-98  10:30AM                 1234 bad-month"},
    {"02-30-98  10:30AM                 1234 bad-day"},
    {"01-25-98  13:30PM                 1234 bad-hour"},
    {"01-25-98  10:61AM                 1234 bad-minute"},
    {"01-25-98  10:30XM                 1234 bad-half"},
    {"01-25-98  10:30AM                 1234"},
    {"01-25-98  10:30                   1234 twenty-four-hours"},
    {"ab-cd-ef  10:30AM                 1234 letters"},
    // lines that are no entries
    {""}, {"   "}, {"\r"}, {"total 24"}, {"total 0"}, {"Directory of C:\\pub"}, {"-rw-r--r--"}, {"-"}, {"d"},
    {"+i8388621.48594,m825718503,r,s280,\tdjb.html"},
    {"README.TXT;1   2/4   5-JAN-1998 12:00:00.00  [ANN]  (RWED,RWED,RE,)"},
    {"crw-rw-rw-   1 root     root       1,   3 Jan  5 12:00 null"},
    {"prw-r--r--   1 ann      staff        0 Jan  5 12:00 fifo"},
    // hostile names
    {"drwxr-xr-x   2 ann staff 4096 Jan  5 12:00 ."},
    {"drwxr-xr-x   2 ann staff 4096 Jan  5 12:00 .."},
    {"-rw-r--r--   1 ann staff    1 Jan  5 12:00 ../../etc/passwd"},
    {"-rw-r--r--   1 ann staff    1 Jan  5 12:00 a/b"},
    {"-rw-r--r--   1 ann staff    1 Jan  5 12:00 /etc/passwd"},
    {"-rw-r--r--   1 ann staff    1 Jan  5 12:00 ..\\..\\evil.bat"},
    {"-rw-r--r--   1 ann staff    1 Jan  5 12:00 tab\tinside"},
    {"-rw-r--r--   1 ann staff    1 Jan  5 12:00 bell\x07ring"},
    {"-rw-r--r--   1 ann staff    1 Jan  5 12:00 del\x7f"},
    {"-rw-r--r--   1 ann staff    1 Jan  5 12:00 line\nbreak"},
    {"lrwxrwxrwx   1 ann staff    1 Jan  5 12:00 up/.. -> /"},
    {"01-25-98  10:30AM       <DIR>          .."},
    {"01-25-98  10:30AM                 1234 a\\b.txt"},
    {"01-25-98  10:30AM                 1234 a/b.txt"},
    // as vsftpd and pyftpdlib write them (the listing tests read theirs whole)
    {"-rw-r--r--    1 0        0        5000000000 Dec 06 13:46 big.iso\r", "big.iso", 5000000000, "2025-12-06T13:46"},
    {"-rw-r--r--   1 root     root            0 Jan 04 09:15 recent.txt\r", "recent.txt", 0, "2026-01-04T09:15"},
};
// clang-format on

TEST(ListParser, ParsesEveryLineOfTheTable)
{
    for (const Row &row : Rows) {
        SCOPED_TRACE(row.line);
        const QDateTime now = QDateTime::fromString(row.now, Qt::ISODate);
        const std::optional<ListEntry> entry = ParseListLine(QString::fromUtf8(row.line), now);
        ASSERT_EQ(entry.has_value(), row.name != nullptr)
                << (entry ? entry->name.toStdString() : "");
        if (!entry)
            continue;
        EXPECT_EQ(entry->name, QString::fromUtf8(row.name));
        EXPECT_EQ(entry->size, row.size);
        EXPECT_EQ(entry->isFolder, row.kind[0] == 'd');
        EXPECT_EQ(entry->fromLink, row.kind[1] == 'l');
        const QDateTime when = QDateTime::fromString(row.when, Qt::ISODate);
        EXPECT_EQ(entry->dosDateTime, when.isValid() ? DosDateTime(when.date(), when.time()) : 0);
    }
}

TEST(ListParser, DosDateTimeValues)
{
    // clang-format off
    const struct { QDateTime when; qint32 value; } rows[] = {
        {{{1980, 1, 1}, {0, 0}}, 2162688},
        {{{2099, 12, 31}, {23, 59, 58}}, -274743427}, // from 2044 on the high bit is set
        {{{1979, 12, 31}, {23, 59}}, 0},
        {{{2100, 1, 1}, {0, 0}}, 0},
    };
    // clang-format on
    for (const auto &row : rows) {
        EXPECT_EQ(DosDateTime(row.when.date(), row.when.time()), row.value);
        if (row.value != 0) {
            EXPECT_EQ(DosDateTimeToQDateTime(row.value), row.when);
        }
    }
    EXPECT_FALSE(DosDateTimeToQDateTime(0).isValid());
    EXPECT_FALSE(DosDateTimeToQDateTime(1).isValid()); // month 0
}

} // namespace
