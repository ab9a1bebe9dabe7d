#include "util/fieldstring.h"

#include <gtest/gtest.h>

namespace {

const QChar Star('*');

TEST(FieldString, CountsAndPositions)
{
    struct Case
    {
        const char *text;
        int count;
        int n;
        int position;
    };
    const Case cases[] = {
            {"", 1, 1, 1},
            {"", 1, 2, 0},
            {"a*b*c", 3, 1, 1},
            {"a*b*c", 3, 2, 3},
            {"a*b*c", 3, 3, 5},
            {"a*b*c", 3, 4, 0},
            {"a*b*c", 3, 0, 0},
            {"a**", 3, 3, 4},
            {"**", 3, 2, 2},
            {"abc", 1, 1, 1},
    };
    for (const Case &c : cases) {
        const QString text = QString::fromLatin1(c.text);
        EXPECT_EQ(FieldCount(text, Star), c.count) << c.text;
        EXPECT_EQ(FieldPosition(text, c.n, Star), c.position) << c.text << " field " << c.n;
    }
}

TEST(FieldString, ReadsFields)
{
    struct Case
    {
        const char *text;
        int n;
        const char *field;
    };
    const Case cases[] = {
            {"a*b*c", 1, "a"},
            {"a*b*c", 2, "b"},
            {"a*b*c", 3, "c"},
            {"a*b*c", 4, ""},
            {"a*b*c", 0, ""},
            {"a*b*c", -3, ""},
            {"", 1, ""},
            {"a**", 1, "a"},
            {"a**", 2, ""},
            {"a**", 3, ""},
            {"d*\\pub\\a b\\*Z:\\home\\ann\\", 3, "Z:\\home\\ann\\"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Field(QString::fromLatin1(c.text), c.n, Star), QString::fromLatin1(c.field))
                << c.text << " field " << c.n;

    // Another separator: paths are split at "/".
    EXPECT_EQ(Field(QStringLiteral("/pub/gnu/"), 2, QLatin1Char('/')), QStringLiteral("pub"));
}

TEST(FieldString, LongFieldsAreNeverCut)
{
    // A queue entry ends with a local path, which may be far longer than 255 characters.
    const QString longPath = QStringLiteral("Z:\\") + QString(600, QLatin1Char('x'));
    const QString entry = QStringLiteral("d*\\pub\\file*") + longPath;
    EXPECT_EQ(Field(entry, 3, Star), longPath);
    EXPECT_EQ(Field(entry, 3, Star).size(), 603);

    const QString middle(300, QLatin1Char('m'));
    EXPECT_EQ(Field(QStringLiteral("a*") + middle + QStringLiteral("*c"), 2, Star), middle);
}

TEST(FieldString, DeletesFields)
{
    struct Case
    {
        const char *text;
        int n;
        const char *result;
    };
    const Case cases[] = {
            {"a*b*c", 1, "b*c"},
            {"a*b*c", 2, "a*c"},
            {"a*b*c", 3, "a*b"},
            {"a*b*c", 4, ""},
            {"a*b*c", 0, ""},
            {"abc", 1, ""},
            {"", 1, ""},
            {"a**", 2, "a*"},
            {"a**", 3, "a*"},
            {"*b", 1, "b"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(DeleteField(QString::fromLatin1(c.text), c.n, Star),
                  QString::fromLatin1(c.result))
                << c.text << " field " << c.n;
}

TEST(FieldString, PadsAndTestsTheLastCharacter)
{
    EXPECT_EQ(PadLeft(QStringLiteral("7"), 3, QLatin1Char('0')), QStringLiteral("007"));
    EXPECT_EQ(PadLeft(QStringLiteral("12"), 2, QLatin1Char('0')), QStringLiteral("12"));
    EXPECT_EQ(PadLeft(QStringLiteral("12345"), 3, QLatin1Char(' ')), QStringLiteral("12345"));
    EXPECT_EQ(PadLeft(QString(), 2, QLatin1Char(' ')), QStringLiteral("  "));

    EXPECT_TRUE(EndsWithChar(QStringLiteral("/pub/"), QLatin1Char('/')));
    EXPECT_FALSE(EndsWithChar(QStringLiteral("/pub"), QLatin1Char('/')));
    EXPECT_FALSE(EndsWithChar(QString(), QLatin1Char('/')));
    EXPECT_TRUE(EndsWithChar(QStringLiteral("\\"), QLatin1Char('\\')));
}

TEST(FieldString, FormatsSizesInKilobytes)
{
    struct Case
    {
        qint64 bytes;
        bool unit;
        const char *text;
    };
    const Case cases[] = {
            {0, true, "0KB"},
            {1023, true, "0KB"},
            {1024, true, "1KB"},
            {1048576, true, "1,024KB"},
            {1048576, false, "1,024"},
            {1024LL * 999, false, "999"},
            {1024LL * 1000, false, "1,000"},
            {1024LL * 123456, false, "123,456"},
            {1024LL * 1234567, false, "1,234,567"},
            {5000000000LL, true, "4,882,812KB"},
            {Q_INT64_C(9223372036854775807), false, "9,007,199,254,740,991"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FormatSize(c.bytes, c.unit), QString::fromLatin1(c.text)) << c.bytes;
}

} // namespace
