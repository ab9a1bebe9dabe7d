#include "util/hostpath.h"

#include <gtest/gtest.h>

namespace {

TEST(HostPath, EverySpellingOfAPathBecomesOne)
{
    // clang-format off
    struct Row { const char *in; const char *out; };
    const Row rows[] = {
        {"/", "/"},
        {"//", "/"},
        {"/./", "/"},
        {"/.", "/"},
        {"/pub/..", "/"},
        {"/pub/../", "/"},
        {"/pub/./../", "/"},
        {"/pub/.././/", "/"},
        {"/pub/gnu/../../", "/"},
        {"/pub/./", "/pub/"},
        {"/pub/.", "/pub/"},
        {"//pub//gnu//", "/pub/gnu/"},
        {"/pub/gnu/..", "/pub/"},
        {"/pub/gnu/../doc/a.txt", "/pub/doc/a.txt"},
        {"/pub/a.txt", "/pub/a.txt"},
        {"/pub/a.txt/..", "/pub/"},
        {"/pub/...", "/pub/..."},
        {"/pub/..a/", "/pub/..a/"},
        {"/pub/ . /", "/pub/ . /"},
    };
    // clang-format on
    for (const Row &row : rows) {
        SCOPED_TRACE(row.in);
        QString out = QStringLiteral("untouched");
        ASSERT_TRUE(NormaliseHostPath(QString::fromUtf8(row.in), QLatin1Char('/'), &out));
        EXPECT_EQ(out, QString::fromUtf8(row.out));
        EXPECT_EQ(IsHostRoot(QString::fromUtf8(row.in), QLatin1Char('/')), out == "/");
    }

    QString back;
    ASSERT_TRUE(NormaliseHostPath(QStringLiteral("\\pub\\.\\..\\"), QLatin1Char('\\'), &back));
    EXPECT_EQ(back, QStringLiteral("\\"));
    EXPECT_TRUE(IsHostRoot(QStringLiteral("\\\\"), QLatin1Char('\\')));
}

TEST(HostPath, RefusesClimbingAboveTheRootAndRelativePaths)
{
    for (const char *in : {"/..", "/../", "/pub/../../", "/./../etc/", "//..//", "pub/", ""}) {
        SCOPED_TRACE(in);
        QString out = QStringLiteral("untouched");
        EXPECT_FALSE(NormaliseHostPath(QString::fromUtf8(in), QLatin1Char('/'), &out));
        EXPECT_EQ(out, QStringLiteral("untouched"));
        EXPECT_FALSE(IsHostRoot(QString::fromUtf8(in), QLatin1Char('/')));
    }
}

} // namespace
