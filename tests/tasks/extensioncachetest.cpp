#include "tasks/extensioncache.h"

#include <gtest/gtest.h>

namespace {

TEST(ExtensionCache, TypeNamesByExtensionGlobOnly)
{
    ExtensionCache cache;
    EXPECT_EQ(ExtensionCache::ExtensionOf("a.tar.gz"), "gz");
    EXPECT_EQ(ExtensionCache::ExtensionOf("README"), "README");
    EXPECT_EQ(ExtensionCache::KeyOf("Photo.PNG"), ".png");
    EXPECT_EQ(ExtensionCache::KeyOf("README"), ".readme");

    // Unknown extensions and names without a dot get the "XYZ File" form; a README is not
    // matched on its whole name.
    EXPECT_EQ(cache.TypeName("archive.xyz").toStdString(), "XYZ File");
    EXPECT_EQ(cache.TypeName("README").toStdString(), "README File");
    EXPECT_EQ(cache.TypeName("notes. q ").toStdString(), "Q File");
    EXPECT_EQ(cache.TypeName("trailing.").toStdString(), "File");
    // Known extensions get the type's description, whatever the case of the extension.
    const QString text = cache.TypeName("notes.txt");
    EXPECT_FALSE(text.isEmpty());
    EXPECT_NE(text, "TXT File");
    EXPECT_EQ(cache.TypeName("OTHER.TXT"), text);
    EXPECT_LE(text.size(), ExtensionCache::MaxTypeNameLength);
}

TEST(ExtensionCache, EachExtensionIsLookedUpOnce)
{
    ExtensionCache cache;
    tExtBufObj &first = cache.Lookup("a.txt");
    EXPECT_EQ(first.IconIndex, -1);
    first.IconIndex = 7;
    EXPECT_EQ(cache.Lookup("B.TXT").IconIndex, 7);
    EXPECT_EQ(&cache.Lookup("c.Txt"), &first);
    cache.Lookup("d.xyz");
    cache.Lookup("README");
    EXPECT_EQ(cache.count(), 3);
}

} // namespace
