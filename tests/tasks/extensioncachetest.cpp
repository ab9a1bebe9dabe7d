#include "tasks/extensioncache.h"

#include <gtest/gtest.h>

namespace {

TEST(ExtensionCache, TypeNamesByExtensionGlobOnly)
{
    ExtensionCache cache;
    EXPECT_EQ(ExtensionCache::ExtensionOf("a.tar.gz"), ".gz");
    EXPECT_EQ(ExtensionCache::ExtensionOf("README"), ".README");

    // Unknown extensions and names without a dot get the "XYZ File" form; a README is not
    // matched on its whole name.
    EXPECT_EQ(cache.lookup("archive.xyz").TypeName.toStdString(), "XYZ File");
    EXPECT_EQ(cache.lookup("README").TypeName.toStdString(), "README File");
    EXPECT_EQ(cache.lookup("notes. q ").TypeName.toStdString(), "Q File");
    // Known extensions get the type's description, whatever the case of the extension.
    const QString text = cache.lookup("notes.txt").TypeName;
    EXPECT_FALSE(text.isEmpty());
    EXPECT_NE(text, "TXT File");
    EXPECT_EQ(cache.lookup("OTHER.TXT").TypeName, text);
}

TEST(ExtensionCache, EachExtensionIsLookedUpOnce)
{
    ExtensionCache cache;
    QStringList asked;
    int icon = 0;
    cache.setTypeService([&](const QString &extension) {
        asked << extension;
        tExtBufObj record = ExtensionCache::MimeTypeService(extension);
        record.IconIndex = icon++;
        return record;
    });
    EXPECT_EQ(cache.lookup("a.txt").IconIndex, 0);
    EXPECT_EQ(cache.lookup("B.TXT").IconIndex, 0);
    EXPECT_EQ(&cache.lookup("c.Txt"), &cache.lookup("a.txt"));
    EXPECT_EQ(cache.lookup("d.xyz").IconIndex, 1);
    EXPECT_EQ(cache.lookup("README").IconIndex, 2);
    EXPECT_EQ(cache.lookup("readme").IconIndex, 2);
    EXPECT_EQ(asked, QStringList({".txt", ".xyz", ".readme"}));
    EXPECT_EQ(cache.count(), 3);
}

} // namespace
