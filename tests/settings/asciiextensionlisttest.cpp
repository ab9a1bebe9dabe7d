#include "settings/asciiextensionlist.h"

#include <gtest/gtest.h>

namespace {

TEST(AsciiExtensionList, AddNormalisesAndKeepsOneSortedCopy)
{
    AsciiExtensionList list;
    EXPECT_TRUE(list.add(QStringLiteral("TXT")));
    EXPECT_EQ(list.items(), QStringList{QStringLiteral(".txt")});
    EXPECT_FALSE(list.add(QStringLiteral(".TXT"))); // already there once lower-cased
    EXPECT_TRUE(list.add(QStringLiteral("a:b")));   // ":" goes before the dot test
    EXPECT_FALSE(list.add(QStringLiteral("\\/:*?\"<>|")));
    EXPECT_FALSE(list.add(QString()));
    EXPECT_FALSE(list.add(QStringLiteral("."))); // nothing after the dot
    EXPECT_FALSE(list.add(QStringLiteral("*.*")));
    // An inner dot without a leading one still gets the leading dot, so the session sees the
    // whole extension.
    EXPECT_TRUE(list.add(QStringLiteral("tar.gz")));
    EXPECT_TRUE(list.add(QStringLiteral(".C")));
    EXPECT_TRUE(list.add(QStringLiteral("<html>")));
    EXPECT_EQ(list.items(),
              (QStringList{QStringLiteral(".ab"),
                           QStringLiteral(".c"),
                           QStringLiteral(".html"),
                           QStringLiteral(".tar.gz"),
                           QStringLiteral(".txt")}));
    EXPECT_EQ(list.engineForm(),
              (QStringList{QStringLiteral("ab"),
                           QStringLiteral("c"),
                           QStringLiteral("html"),
                           QStringLiteral("tar.gz"),
                           QStringLiteral("txt")}));
    EXPECT_EQ(list.save(), QStringLiteral(".ab:.c:.html:.tar.gz:.txt"));
}

TEST(AsciiExtensionList, RemoveSelectedItems)
{
    AsciiExtensionList list;
    list.load(AsciiExtensionList::defaultItems().join(QLatin1Char(':')));
    ASSERT_EQ(list.count(), 9);
    // Three selected: .c, .h and .txt (indexes 1, 3 and 8 of the sorted list).
    list.removeAt({8, 1, 3});
    EXPECT_EQ(list.items(),
              (QStringList{QStringLiteral(".bat"),
                           QStringLiteral(".cpp"),
                           QStringLiteral(".htm"),
                           QStringLiteral(".html"),
                           QStringLiteral(".mak"),
                           QStringLiteral(".pas")}));
    list.removeAt({-1, 42});
    EXPECT_EQ(list.count(), 6);
    EXPECT_TRUE(list.remove(QStringLiteral(".pas")));
    EXPECT_FALSE(list.remove(QStringLiteral(".pas")));
    EXPECT_EQ(list.count(), 5);
}

TEST(AsciiExtensionList, LoadSkipsEmptyPiecesAndRepairsItems)
{
    AsciiExtensionList list;
    list.add(QStringLiteral("old"));
    list.load(QStringLiteral("a::b:"));
    EXPECT_EQ(list.items(), (QStringList{QStringLiteral(".a"), QStringLiteral(".b")}));
    list.load(QStringLiteral(".TXT:.txt:txt:.Doc"));
    EXPECT_EQ(list.items(), (QStringList{QStringLiteral(".doc"), QStringLiteral(".txt")}));
    list.load(QString());
    EXPECT_EQ(list.count(), 0);
    list.load(QStringLiteral(".h:.c:.bat"));
    EXPECT_EQ(list.save(), QStringLiteral(".bat:.c:.h"));
}

} // namespace
