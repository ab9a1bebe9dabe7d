#include "ftp/listparser.h"

#include <gtest/gtest.h>

namespace {

// Listings are read on 10 January 2026 at noon, so that a December date without a year
// belongs to the year before.
const QDateTime Now(QDate(2026, 1, 10), QTime(12, 0));

struct Accepted
{
    const char *line;
    const char *name;
    qint64 size;
    QDate date;
    QTime time;
    bool folder;
    bool link;
};

void expectEntries(const std::vector<Accepted> &cases, const QDateTime &now)
{
    for (const Accepted &c : cases) {
        SCOPED_TRACE(c.line);
        const std::optional<ListEntry> entry = ParseListLine(QString::fromUtf8(c.line), now);
        ASSERT_TRUE(entry.has_value());
        EXPECT_EQ(entry->name, QString::fromUtf8(c.name));
        EXPECT_EQ(entry->size, c.size);
        EXPECT_EQ(entry->isFolder, c.folder);
        EXPECT_EQ(entry->fromLink, c.link);
        EXPECT_EQ(DosDateTimeToQDateTime(entry->dosDateTime), QDateTime(c.date, c.time));
    }
}

void expectRejected(const std::vector<const char *> &lines, const QDateTime &now)
{
    for (const char *line : lines) {
        const std::optional<ListEntry> entry = ParseListLine(QString::fromUtf8(line), now);
        EXPECT_FALSE(entry.has_value()) << line << " gave " << qPrintable(entry->name);
    }
}

const QDate Jan5(2026, 1, 5);
const QTime Noon(12, 0);

TEST(ListParser, UnixColumnVariants)
{
    expectEntries(
            {
                    {"-rw-r--r--   1 ann      staff        1234 Jan  5 12:00 notes.txt",
                     "notes.txt",
                     1234,
                     Jan5,
                     Noon,
                     false,
                     false},
                    {"-rw-r--r--   1              1234 Jan  5 12:00 notes.txt",
                     "notes.txt",
                     1234,
                     Jan5,
                     Noon,
                     false,
                     false},
                    {"-rw-r--r--   1 ann          1234 Jan  5 12:00 notes.txt",
                     "notes.txt",
                     1234,
                     Jan5,
                     Noon,
                     false,
                     false},
                    {"-rw-r--r--   1 ann      staff        1234  5 Jan 12:00 notes.txt",
                     "notes.txt",
                     1234,
                     Jan5,
                     Noon,
                     false,
                     false},
                    {"-rw-r--r--   1 a        b            1234 JAN  5 12:00 notes.txt",
                     "notes.txt",
                     1234,
                     Jan5,
                     Noon,
                     false,
                     false},
                    {"-rw-r--r-- 1 ann staff 1234 jan 5 9:05 notes.txt\r",
                     "notes.txt",
                     1234,
                     Jan5,
                     QTime(9, 5),
                     false,
                     false},
                    {"drwxr-xr-x   2 ann      staff        4096 Jan  5 12:00 pub",
                     "pub",
                     -1,
                     Jan5,
                     Noon,
                     true,
                     false},
                    {"drwxr-xr-x 2 ann staff many Jan 5 12:00 odd size column",
                     "odd size column",
                     -1,
                     Jan5,
                     Noon,
                     true,
                     false},
                    {"srwxr-xr-x   1 ann      staff           0 Jan  5 12:00 socket",
                     "socket",
                     0,
                     Jan5,
                     Noon,
                     false,
                     false},
                    {"-rw-r--r--   1 ann      staff        1234 Jan  5 12:00:30 seconds",
                     "seconds",
                     1234,
                     Jan5,
                     QTime(12, 0, 30),
                     false,
                     false},
            },
            Now);
}

TEST(ListParser, UnixNamesAreTakenAsWritten)
{
    expectEntries(
            {
                    {"-rw-r--r-- 1 ann staff 2 Jan 5 12:00 a  b.txt",
                     "a  b.txt",
                     2,
                     Jan5,
                     Noon,
                     false,
                     false},
                    {"-rw-r--r-- 1 ann staff 2 Jan 5 12:00 one   two    three",
                     "one   two    three",
                     2,
                     Jan5,
                     Noon,
                     false,
                     false},
                    {"-rw-r--r-- 1 ann staff 2 Jan 5 12:00 trailing   ",
                     "trailing",
                     2,
                     Jan5,
                     Noon,
                     false,
                     false},
                    {"-rw-r--r-- 1 2 Jan 5 12:00 no  owner",
                     "no  owner",
                     2,
                     Jan5,
                     Noon,
                     false,
                     false},
                    {"-rw-r--r-- 1 ann staff 2 Jan 5 12:00 Grüße  日本.txt",
                     "Grüße  日本.txt",
                     2,
                     Jan5,
                     Noon,
                     false,
                     false},
                    {"-rw-r--r-- 1 ann staff 2 Jan 5 12:00 a -> b",
                     "a -> b",
                     2,
                     Jan5,
                     Noon,
                     false,
                     false},
                    {"-rw-r--r-- 1 ann staff 2 Jan 5 12:00 star*name",
                     "star*name",
                     2,
                     Jan5,
                     Noon,
                     false,
                     false},
                    {"-rw-r--r-- 1 ann staff 2 Jan 5 12:00 Jan",
                     "Jan",
                     2,
                     Jan5,
                     Noon,
                     false,
                     false},
            },
            Now);
}

TEST(ListParser, SymbolicLinks)
{
    expectEntries(
            {
                    {"lrwxrwxrwx   1 ann      staff          14 Jan  5 12:00 docs -> "
                     "/usr/share/doc",
                     "docs",
                     -1,
                     Jan5,
                     Noon,
                     true,
                     true},
                    {"lrwxrwxrwx   1 ann      staff           1 Jan  5 12:00 loop -> .",
                     "loop",
                     -1,
                     Jan5,
                     Noon,
                     true,
                     true},
                    {"lrwxrwxrwx   1 ann      staff           9 Jan  5 12:00 file.lnk. -> "
                     "notes.txt",
                     "file.lnk.",
                     9,
                     Jan5,
                     Noon,
                     false,
                     true},
                    {"Lrwxrwxrwx 1 ann staff 3 Jan 5 12:00 my  link -> x",
                     "my  link",
                     -1,
                     Jan5,
                     Noon,
                     true,
                     true},
                    {"lrwxrwxrwx 1 ann staff 3 Jan 5 12:00 a->b -> c",
                     "a->b",
                     -1,
                     Jan5,
                     Noon,
                     true,
                     true},
            },
            Now);
    expectRejected(
            {
                    "lrwxrwxrwx   1 ann      staff          14 Jan  5 12:00 docs",
                    "lrwxrwxrwx   1 ann      staff          14 Jan  5 12:00 -> target",
                    "lrwxrwxrwx   1 ann      staff           1 Jan  5 12:00 .. -> /",
            },
            Now);
}

TEST(ListParser, UnixDates)
{
    expectEntries(
            {
                    // a year keeps all four digits
                    {"-rw-r--r-- 1 ann staff 1234 Jan 5 1998 old.txt",
                     "old.txt",
                     1234,
                     QDate(1998, 1, 5),
                     QTime(0, 0),
                     false,
                     false},
                    {"-rw-r--r-- 1 ann staff 1234 Mar 1 2045 far.txt",
                     "far.txt",
                     1234,
                     QDate(2045, 3, 1),
                     QTime(0, 0),
                     false,
                     false},
                    // without a year: this year unless that is more than a day ahead
                    {"-rw-r--r-- 1 ann staff 1 Dec 6 13:46 december",
                     "december",
                     1,
                     QDate(2025, 12, 6),
                     QTime(13, 46),
                     false,
                     false},
                    {"-rw-r--r-- 1 ann staff 1 Jan 11 11:59 tomorrow",
                     "tomorrow",
                     1,
                     QDate(2026, 1, 11),
                     QTime(11, 59),
                     false,
                     false},
                    {"-rw-r--r-- 1 ann staff 1 Jan 11 12:00 day-ahead",
                     "day-ahead",
                     1,
                     QDate(2026, 1, 11),
                     QTime(12, 0),
                     false,
                     false},
                    {"-rw-r--r-- 1 ann staff 1 Jan 11 12:01 past-a-day",
                     "past-a-day",
                     1,
                     QDate(2025, 1, 11),
                     QTime(12, 1),
                     false,
                     false},
                    {"-rw-r--r-- 1 ann staff 1 Jan 10 08:00 today",
                     "today",
                     1,
                     QDate(2026, 1, 10),
                     QTime(8, 0),
                     false,
                     false},
            },
            Now);
    // A leap day without a year belongs to the last year that had one.
    expectEntries({{"-rw-r--r-- 1 ann staff 1 Feb 29 10:00 leap",
                    "leap",
                    1,
                    QDate(2024, 2, 29),
                    QTime(10, 0),
                    false,
                    false}},
                  QDateTime(QDate(2025, 1, 10), Noon));
    expectEntries({{"-rw-r--r-- 1 ann staff 1 Dec 31 23:59 late",
                    "late",
                    1,
                    QDate(2026, 12, 31),
                    QTime(23, 59),
                    false,
                    false}},
                  QDateTime(QDate(2026, 12, 31), QTime(0, 1)));

    // Years outside the MS-DOS range keep the entry and have no date.
    for (const char *line : {"-rw-r--r-- 1 ann staff 7 Jan 1 1970 epoch",
                             "-rw-r--r-- 1 ann staff 7 Jan 1 2100 later"}) {
        const std::optional<ListEntry> entry = ParseListLine(QString::fromLatin1(line), Now);
        ASSERT_TRUE(entry.has_value()) << line;
        EXPECT_EQ(entry->dosDateTime, 0) << line;
        EXPECT_EQ(entry->size, 7) << line;
    }

    expectRejected(
            {
                    "-rw-r--r-- 1 ann staff 1234 an 5 12:00 not-a-month",
                    "-rw-r--r-- 1 ann staff 1234 Jay 5 12:00 not-a-month",
                    "-rw-r--r-- 1 ann staff 1234 Feb 30 12:00 no-such-day",
                    "-rw-r--r-- 1 ann staff 1234 Feb 29 12:00 no-leap-day-near",
                    "-rw-r--r-- 1 ann staff 1234 Jan 0 12:00 day-zero",
                    "-rw-r--r-- 1 ann staff 1234 Jan 5 25:00 bad-hour",
                    "-rw-r--r-- 1 ann staff 1234 Jan 5 12:60 bad-minute",
                    "-rw-r--r-- 1 ann staff 1234 Jan 5 12:5 short-minute",
                    "-rw-r--r-- 1 ann staff 1234 Jan 5 98 short-year",
                    "-rw-r--r-- 1 ann staff 1234 Jan 5 19x8 letters-in-year",
                    "-rw-r--r-- 1 ann staff 1234 Jan 5 12:00",
            },
            Now);
}

TEST(ListParser, Sizes)
{
    expectEntries(
            {
                    {"-rw-r--r-- 1 ann staff 5000000000 Jan 5 12:00 big.iso",
                     "big.iso",
                     Q_INT64_C(5000000000),
                     Jan5,
                     Noon,
                     false,
                     false},
                    {"-rw-r--r-- 1 ann staff 2147483648 Jan 5 12:00 two-gib",
                     "two-gib",
                     Q_INT64_C(2147483648),
                     Jan5,
                     Noon,
                     false,
                     false},
                    {"-rw-r--r-- 1 ann staff 9223372036854775807 Jan 5 12:00 max",
                     "max",
                     Q_INT64_C(9223372036854775807),
                     Jan5,
                     Noon,
                     false,
                     false},
                    {"01-05-26  12:00PM           5000000000 big.iso",
                     "big.iso",
                     Q_INT64_C(5000000000),
                     Jan5,
                     Noon,
                     false,
                     false},
            },
            Now);
    expectRejected(
            {
                    "-rw-r--r-- 1 ann staff -5 Jan 5 12:00 negative",
                    "-rw-r--r-- 1 ann staff 12a Jan 5 12:00 letters",
                    "-rw-r--r-- 1 ann staff 9223372036854775808 Jan 5 12:00 too-big",
                    "01-05-26  12:00PM                  -12 negative",
            },
            Now);
}

TEST(ListParser, DosLines)
{
    expectEntries(
            {
                    {"01-25-98  10:30AM       <DIR>          My Folder",
                     "My Folder",
                     -1,
                     QDate(1998, 1, 25),
                     QTime(10, 30),
                     true,
                     false},
                    {"01-25-98  10:30AM       <dir>          My  Folder",
                     "My  Folder",
                     -1,
                     QDate(1998, 1, 25),
                     QTime(10, 30),
                     true,
                     false},
                    {"01-25-98  02:05PM                 1234 notes.txt",
                     "notes.txt",
                     1234,
                     QDate(1998, 1, 25),
                     QTime(14, 5),
                     false,
                     false},
                    {"01-25-98  12:15AM                 1234 midnight",
                     "midnight",
                     1234,
                     QDate(1998, 1, 25),
                     QTime(0, 15),
                     false,
                     false},
                    {"01-25-98  12:15PM                 1234 noon",
                     "noon",
                     1234,
                     QDate(1998, 1, 25),
                     QTime(12, 15),
                     false,
                     false},
                    {"03-04-05  09:00am                   12 pivot 05",
                     "pivot 05",
                     12,
                     QDate(2005, 3, 4),
                     QTime(9, 0),
                     false,
                     false},
                    {"12-31-79  11:59PM                   12 pivot 79",
                     "pivot 79",
                     12,
                     QDate(2079, 12, 31),
                     QTime(23, 59),
                     false,
                     false},
                    {"01-01-80  01:00AM                   12 pivot 80",
                     "pivot 80",
                     12,
                     QDate(1980, 1, 1),
                     QTime(1, 0),
                     false,
                     false},
                    {"02-29-00  01:00AM                   12 leap 2000",
                     "leap 2000",
                     12,
                     QDate(2000, 2, 29),
                     QTime(1, 0),
                     false,
                     false},
                    {"01-25-98  10:30AM       <DIR>          -rw-r--r-- looks unix",
                     "-rw-r--r-- looks unix",
                     -1,
                     QDate(1998, 1, 25),
                     QTime(10, 30),
                     true,
                     false},
            },
            Now);
    expectRejected(
            {
                    "01-25-1998  10:30AM       <DIR>          My Folder",
                    "01-25-1998  10:30AM                 1234 notes.txt",
                    "13-25-98  10:30AM                 1234 bad-month",
                    "02-30-98  10:30AM                 1234 bad-day",
                    "01-25-98  13:30PM                 1234 bad-hour",
                    "01-25-98  10:61AM                 1234 bad-minute",
                    "01-25-98  10:30XM                 1234 bad-half",
                    "01-25-98  10:30AM                 1234",
                    "01-25-98  10:30                   1234 twenty-four-hours",
                    "ab-cd-ef  10:30AM                 1234 letters",
            },
            Now);
}

TEST(ListParser, LinesThatAreNoEntries)
{
    expectRejected(
            {
                    "",
                    "   ",
                    "\r",
                    "total 24",
                    "total 0",
                    "Directory of C:\\pub",
                    "+i8388621.48594,m825718503,r,s280,\tdjb.html",
                    "README.TXT;1   2/4   5-JAN-1998 12:00:00.00  [ANN]  (RWED,RWED,RE,)",
                    "crw-rw-rw-   1 root     root       1,   3 Jan  5 12:00 null",
                    "prw-r--r--   1 ann      staff        0 Jan  5 12:00 fifo",
                    "-rw-r--r--",
                    "-",
                    "d",
            },
            Now);
}

TEST(ListParser, HostileNamesAreRejected)
{
    expectRejected(
            {
                    "drwxr-xr-x   2 ann staff 4096 Jan  5 12:00 .",
                    "drwxr-xr-x   2 ann staff 4096 Jan  5 12:00 ..",
                    "-rw-r--r--   1 ann staff    1 Jan  5 12:00 ../../etc/passwd",
                    "-rw-r--r--   1 ann staff    1 Jan  5 12:00 a/b",
                    "-rw-r--r--   1 ann staff    1 Jan  5 12:00 /etc/passwd",
                    "-rw-r--r--   1 ann staff    1 Jan  5 12:00 ..\\..\\evil.bat",
                    "-rw-r--r--   1 ann staff    1 Jan  5 12:00 tab\tinside",
                    "-rw-r--r--   1 ann staff    1 Jan  5 12:00 bell\x07ring",
                    "-rw-r--r--   1 ann staff    1 Jan  5 12:00 del\x7f",
                    "-rw-r--r--   1 ann staff    1 Jan  5 12:00 line\nbreak",
                    "lrwxrwxrwx   1 ann staff    1 Jan  5 12:00 up/.. -> /",
                    "01-25-98  10:30AM       <DIR>          ..",
                    "01-25-98  10:30AM                 1234 a\\b.txt",
                    "01-25-98  10:30AM                 1234 a/b.txt",
            },
            Now);
    // A name with dots that is neither "." nor ".." is an ordinary name.
    expectEntries({{"-rw-r--r-- 1 ann staff 1 Jan 5 12:00 ...", "...", 1, Jan5, Noon, false, false},
                   {"drwxr-xr-x 2 ann staff 1 Jan 5 12:00 .hidden",
                    ".hidden",
                    -1,
                    Jan5,
                    Noon,
                    true,
                    false}},
                  Now);
}

// Lines as vsftpd and pyftpdlib write them (captured from both with the same folder).
TEST(ListParser, ServerListings)
{
    const QDate dec6(2025, 12, 6);
    const QTime t1346(13, 46);
    expectEntries(
            {
                    // vsftpd
                    {"-rw-r--r--    1 0        0               2 Dec 06 13:46 a  b.txt\r",
                     "a  b.txt",
                     2,
                     dec6,
                     t1346,
                     false,
                     false},
                    {"-rw-r--r--    1 0        0        5000000000 Dec 06 13:46 big.iso\r",
                     "big.iso",
                     Q_INT64_C(5000000000),
                     dec6,
                     t1346,
                     false,
                     false},
                    {"lrwxrwxrwx    1 0        0               9 Dec 06 13:46 file.lnk. -> "
                     "notes.txt\r",
                     "file.lnk.",
                     9,
                     dec6,
                     t1346,
                     false,
                     true},
                    {"lrwxrwxrwx    1 0        0               3 Dec 06 13:46 link2pub -> pub\r",
                     "link2pub",
                     -1,
                     dec6,
                     t1346,
                     true,
                     true},
                    {"lrwxrwxrwx    1 0        0               1 Dec 06 13:46 loop -> .\r",
                     "loop",
                     -1,
                     dec6,
                     t1346,
                     true,
                     true},
                    {"-rw-r--r--    1 0        0               0 Jan 05  1998 old.txt\r",
                     "old.txt",
                     0,
                     QDate(1998, 1, 5),
                     QTime(0, 0),
                     false,
                     false},
                    {"drwxr-xr-x    2 0        0            4096 Dec 06 13:46 sub dir\r",
                     "sub dir",
                     -1,
                     dec6,
                     t1346,
                     true,
                     false},
                    // pyftpdlib
                    {"-rw-r--r--   1 root     root            2 Dec 06 13:46 a  b.txt\r",
                     "a  b.txt",
                     2,
                     dec6,
                     t1346,
                     false,
                     false},
                    {"-rw-r--r--   1 root     root     5000000000 Dec 06 13:46 big.iso\r",
                     "big.iso",
                     Q_INT64_C(5000000000),
                     dec6,
                     t1346,
                     false,
                     false},
                    {"lrwxrwxrwx   1 root     root            1 Dec 06 13:46 loop -> .\r",
                     "loop",
                     -1,
                     dec6,
                     t1346,
                     true,
                     true},
                    {"-rw-r--r--   1 root     root            0 Jan 05  1998 old.txt\r",
                     "old.txt",
                     0,
                     QDate(1998, 1, 5),
                     QTime(0, 0),
                     false,
                     false},
                    {"-rw-r--r--   1 root     root            0 Jan 04 09:15 recent.txt\r",
                     "recent.txt",
                     0,
                     QDate(2026, 1, 4),
                     QTime(9, 15),
                     false,
                     false},
                    {"drwxr-xr-x   2 root     root         4096 Dec 06 13:46 sub dir\r",
                     "sub dir",
                     -1,
                     dec6,
                     t1346,
                     true,
                     false},
            },
            Now);
}

TEST(ListParser, DosDateTimeValues)
{
    EXPECT_EQ(DosDateTime(QDate(2026, 1, 5), QTime(12, 0)), 1545953280);
    EXPECT_EQ(DosDateTime(QDate(1998, 1, 25), QTime(10, 30)), 607736768);
    EXPECT_EQ(DosDateTime(QDate(1980, 1, 1), QTime(0, 0)), 2162688);
    // from 2044 on the high bit is set and the value is negative
    EXPECT_EQ(DosDateTime(QDate(2099, 12, 31), QTime(23, 59, 58)), -274743427);
    EXPECT_EQ(DosDateTime(QDate(1979, 12, 31), QTime(23, 59)), 0);
    EXPECT_EQ(DosDateTime(QDate(2100, 1, 1), QTime(0, 0)), 0);
    EXPECT_EQ(DosDateTimeToQDateTime(-274743427),
              QDateTime(QDate(2099, 12, 31), QTime(23, 59, 58)));
    EXPECT_FALSE(DosDateTimeToQDateTime(0).isValid());
    EXPECT_FALSE(DosDateTimeToQDateTime(1).isValid()); // month 0
}

} // namespace
