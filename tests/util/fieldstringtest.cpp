#include "util/fieldstring.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>

TEST(FieldString, CountsPositionsReadsAndDeletes)
{
    // clang-format off
    struct Row { const char *text; int n; int count, position; const char *field, *deleted; };
    const Row rows[] = {
        {"", 1, 1, 1, "", ""},
        {"", 2, 1, 0, "", ""},
        {"a*b*c", 0, 3, 0, "", ""},
        {"a*b*c", -3, 3, 0, "", ""},
        {"a*b*c", 1, 3, 1, "a", "b*c"},
        {"a*b*c", 2, 3, 3, "b", "a*c"},
        {"a*b*c", 3, 3, 5, "c", "a*b"},
        {"a*b*c", 4, 3, 0, "", ""},
        {"a**", 1, 3, 1, "a", "*"},
        {"a**", 2, 3, 3, "", "a*"},
        {"a**", 3, 3, 4, "", "a*"},
        {"**", 2, 3, 2, "", "*"},
        {"*b", 1, 2, 1, "", "b"},
        {"abc", 1, 1, 1, "abc", ""},
        {"d*\\pub\\a b\\*Z:\\home\\ann\\", 3, 3, 13, "Z:\\home\\ann\\", "d*\\pub\\a b\\"},
    };
    // clang-format on
    const QChar star('*');
    for (const Row &row : rows) {
        SCOPED_TRACE(::testing::Message() << row.text << " field " << row.n);
        const QString text = QString::fromLatin1(row.text);
        EXPECT_EQ(FieldCount(text, star), row.count);
        if (row.n >= 0) {
            EXPECT_EQ(FieldPosition(text, row.n, star), row.position);
        }
        EXPECT_EQ(Field(text, row.n, star), QString::fromLatin1(row.field));
        EXPECT_EQ(DeleteField(text, row.n, star), QString::fromLatin1(row.deleted));
    }
    EXPECT_EQ(Field(QStringLiteral("/pub/gnu/"), 2, QLatin1Char('/')), QStringLiteral("pub"));
    // A queue entry ends with a local path, which may be far longer than 255 characters.
    const QString longPath = QStringLiteral("Z:\\") + QString(600, QLatin1Char('x'));
    EXPECT_EQ(Field(QStringLiteral("d*\\pub\\file*") + longPath, 3, star), longPath);
    EXPECT_EQ(Field("a*" + longPath + "*c", 2, star), longPath);
}

TEST(FieldString, FormatsKilobytes)
{
    const std::tuple<qint64, bool, const char *> rows[] = {
            {1023, true, "0KB"},
            {1048576, true, "1,024KB"},
            {1048576, false, "1,024"},
            {1024LL * 999, false, "999"},
            {1024LL * 1234567, false, "1,234,567"},
            {5000000000LL, true, "4,882,812KB"},
            {Q_INT64_C(9223372036854775807), false, "9,007,199,254,740,991"},
    };
    for (const auto &[bytes, unit, text] : rows)
        EXPECT_EQ(FormatSize(bytes, unit), QString::fromLatin1(text)) << bytes;
}
