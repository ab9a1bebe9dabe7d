#include "settings/asciiextensionlist.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>

TEST(AsciiExtensionList, OneSortedLowerCaseCopyOfEachExtension)
{
    AsciiExtensionList list;
    // ":" goes before the dot test; an inner dot without a leading one still gets the leading
    // dot, so the session sees the whole extension.
    for (const char *added : {"TXT", "a:b", "tar.gz", ".C", "<html>"})
        EXPECT_TRUE(list.add(QLatin1String(added))) << added;
    for (const char *refused : {".TXT", "\\/:*?\"<>|", "", ".", "*.*"})
        EXPECT_FALSE(list.add(QLatin1String(refused))) << refused;
    EXPECT_EQ(list.save(), QStringLiteral(".ab:.c:.html:.tar.gz:.txt"));
    EXPECT_EQ(list.engineForm(), (QStringList{"ab", "c", "html", "tar.gz", "txt"}));

    list.removeAt({4, 1, -1, 42});
    EXPECT_EQ(list.save(), QStringLiteral(".ab:.html:.tar.gz"));
    EXPECT_TRUE(list.remove(QStringLiteral(".ab")));
    EXPECT_FALSE(list.remove(QStringLiteral(".ab")));

    list.load(QStringLiteral("a::b:"));
    EXPECT_EQ(list.save(), QStringLiteral(".a:.b"));
    list.load(QStringLiteral(".TXT:.txt:txt:.Doc"));
    EXPECT_EQ(list.save(), QStringLiteral(".doc:.txt"));
}
