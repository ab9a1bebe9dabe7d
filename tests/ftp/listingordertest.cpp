#include "ftp/listingbuffer.h"

#include <gtest/gtest.h>

// The order of names, quick for ASCII, must be exactly "without regard to case, then by exact
// spelling" for every pair, whichever character the names first differ in: ASCII letters and
// the signs between the upper and lower case ones, characters that fold to ASCII letters (the
// Kelvin sign, the long s), accented and wide characters, surrogate pairs, prefixes.
TEST(ListingOrder, AgreesWithFoldedComparisonForEveryPair)
{
    const QStringList names
            = QStringLiteral("|a|A|ab|aB|Ab|a_b|aZ|a[|a{|a@|a~|abc|ABC|abd|k1|\u212A1|K1|s|\u017F|S"
                             "|é|É|e|xé1|XÉ2|xÉ1|x\U0001F600|x\U0001F601|xz|日本語|日本|1")
                      .split(QLatin1Char('|'));
    for (const QString &a : names) {
        for (const QString &b : names) {
            const int folded = a.compare(b, Qt::CaseInsensitive);
            const bool expected = folded != 0 ? folded < 0 : a < b;
            EXPECT_EQ(ListingBuffer::sortsBefore(a, b), expected)
                    << qPrintable(a) << " / " << qPrintable(b);
        }
    }
}
