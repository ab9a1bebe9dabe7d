// An MLSD entry's time: UTC read exactly, and its date in local time, across the changes of the
// clocks: the local offset is looked up once per quarter hour and reused, so a time just after a
// change must not get the offset of a time just before it, in zones that change by an hour, by half
// an hour, or sit at half an hour from UTC.
#include "ftp/factlineparser.h"
#include "support/zonescope.h"

#include <QDateTime>

#include <gtest/gtest.h>

using ovtest::ZoneScope;

TEST(FactLineParser, ModifyIsUtcAndShownInLocalTime)
{
    const QDateTime utc(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::UTC);
    EXPECT_EQ(ParseFactTime(u"20260102030405"), utc);
    EXPECT_EQ(ParseFactTime(u"20260102030405.250"), utc);
    for (const char16_t *bad : {u"2026010203040", u"20261302030405", u"2026010203040x", u""})
        EXPECT_FALSE(ParseFactTime(bad).isValid());
    // Shown nine hours later where the clocks are nine hours ahead of UTC.
    const ZoneScope scope("JST-9");
    const FactLine line = ParseFactLine(u"type=file;size=1;modify=20260102030405; a");
    EXPECT_EQ(line.modified, utc);
    EXPECT_EQ(line.entry.dosDateTime, DosDateTime(QDate(2026, 1, 2), QTime(12, 4, 5)));
}

TEST(FactLineLocalTime, EveryTimeOfTheYearGetsItsOwnOffset)
{
    const char *const zones[] = {"Europe/Berlin", "America/St_Johns", "Australia/Lord_Howe"};
    // One time in each zone in turn: a change of zone is a change of offset.
    for (const char *zone : zones) {
        SCOPED_TRACE(zone);
        const ZoneScope scope(zone);
        const QDateTime utc(QDate(2026, 7, 1), QTime(12, 0, 59), Qt::UTC);
        const QDateTime local = utc.toLocalTime();
        EXPECT_EQ(ParseFactLine(u"type=file;modify=20260701120059; a.bin").entry.dosDateTime,
                  DosDateTime(local.date(), local.time()));
    }
    const QDateTime start(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC);
    for (const char *zone : zones) {
        SCOPED_TRACE(zone);
        const ZoneScope scope(zone);
        int mismatches = 0;
        // Seven minutes apart: every quarter hour of the year is met, in order, as a listing
        // of files written one after the other would meet them.
        for (qint64 step = 0; step < 365 * 24 * 60 / 7 && mismatches < 5; ++step) {
            const QDateTime utc = start.addSecs(step * 7 * 60 + 59);
            const QString line = QStringLiteral("type=file;size=1;modify=%1; a.bin")
                                         .arg(utc.toString(QStringLiteral("yyyyMMddHHmmss")));
            const QDateTime local = utc.toLocalTime();
            const qint32 expected = DosDateTime(local.date(), local.time());
            const qint32 got = ParseFactLine(line).entry.dosDateTime;
            if (got != expected) {
                ++mismatches;
                ADD_FAILURE() << utc.toString(Qt::ISODate).toStdString() << " shown as " << got
                              << ", local time is " << expected;
            }
        }
    }
}
