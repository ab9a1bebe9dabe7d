#include "ftp/listingbuffer.h"

#include <gtest/gtest.h>

// The order of names, quick for ASCII, must be exactly "without regard to case, then by exact
// spelling" for every pair, whichever character the names first differ in.
TEST(ListingOrder, AgreesWithFoldedComparisonForEveryPair)
{
    const QStringList names{
            QStringLiteral(""),
            QStringLiteral("a"),
            QStringLiteral("A"),
            QStringLiteral("ab"),
            QStringLiteral("aB"),
            QStringLiteral("Ab"),
            QStringLiteral("a_b"),
            QStringLiteral("aZ"),
            QStringLiteral("a["),
            QStringLiteral("a{"),
            QStringLiteral("a@"),
            QStringLiteral("a~"),
            QStringLiteral("abc"),
            QStringLiteral("ABC"),
            QStringLiteral("abd"),
            QStringLiteral("k1"),
            QStringLiteral("\u212A1"),
            QStringLiteral("K1"),
            QStringLiteral("s"),
            QStringLiteral("\u017F"),
            QStringLiteral("S"),
            QStringLiteral("é"),
            QStringLiteral("É"),
            QStringLiteral("e"),
            QStringLiteral("xé1"),
            QStringLiteral("XÉ2"),
            QStringLiteral("xÉ1"),
            QStringLiteral("x\U0001F600"),
            QStringLiteral("x\U0001F601"),
            QStringLiteral("xz"),
            QStringLiteral("日本語"),
            QStringLiteral("日本"),
            QStringLiteral("1"),
    };
    for (const QString &a : names) {
        for (const QString &b : names) {
            const int folded = a.compare(b, Qt::CaseInsensitive);
            const bool expected = folded != 0 ? folded < 0 : a < b;
            EXPECT_EQ(ListingBuffer::sortsBefore(a, b), expected)
                    << qPrintable(a) << " / " << qPrintable(b);
        }
    }
}
