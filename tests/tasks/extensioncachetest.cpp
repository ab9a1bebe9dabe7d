#include "tasks/extensioncache.h"

#include <QMimeDatabase>

#include <gtest/gtest.h>

namespace {

// The icon a name gets is that of the first type the database gives "x" + its extension; the
// service below records that type's name in place of an icon.
QStringList g_iconTypes;

tExtBufObj TypeAndIconOf(const QString &extension)
{
    static const QMimeDatabase db;
    tExtBufObj record = ExtensionCache::MimeTypeService(extension);
    const QList<QMimeType> types = db.mimeTypesForFileName(QStringLiteral("x") + extension);
    const QString type
            = types.isEmpty() || types.first().isDefault() ? QString() : types.first().name();
    if (!g_iconTypes.contains(type))
        g_iconTypes << type;
    record.IconIndex = int(g_iconTypes.indexOf(type));
    return record;
}

TEST(ExtensionCache, SharedTableGivesWhatEachNameWouldBeGivenAlone)
{
    ExtensionCache cache;
    // The service the table asks by default gives a known type its description.
    EXPECT_NE(ExtensionCache().lookup("notes.txt").TypeName, "TXT File");
    EXPECT_EQ(ExtensionCache::ExtensionOf("a.tar.gz"), ".gz");
    EXPECT_EQ(ExtensionCache::ExtensionOf("README"), ".README");
    QStringList asked;
    cache.setTypeService([&](const QString &extension) {
        asked << extension;
        return TypeAndIconOf(extension);
    });
    const QStringList names
            = {"a.txt",    "B.TXT",     "c.Txt",      "d.xyz",     "README",    "readme",
               "Makefile", "file00001", "tar",        "TAR",       "anim1",     "7",
               "notes~",   "x.tar.gz",  "core",       "ChangeLog", "notes. q ", "Äbc",
               ".hidden",  "end.",      "photo.JPEG", "7z"};
    for (const QString &name : names) {
        // What a fresh table asked for this name alone would give.
        const QString key = ExtensionCache::ExtensionOf(name).toLower();
        tExtBufObj alone = TypeAndIconOf(key);
        if (alone.TypeName.isEmpty())
            alone.TypeName = key.mid(1).trimmed().toUpper() + QStringLiteral(" File");
        const tExtBufObj shared = cache.lookup(name);
        EXPECT_EQ(shared.TypeName, alone.TypeName) << name.toStdString();
        EXPECT_EQ(g_iconTypes.value(shared.IconIndex), g_iconTypes.value(alone.IconIndex))
                << name.toStdString();
    }
    // One question per extension; the plain names without a dot share one.
    EXPECT_EQ(asked.count(QStringLiteral(".txt")), 1);
    EXPECT_EQ(asked.count(QStringLiteral(".")), 1);
    EXPECT_FALSE(asked.contains(QStringLiteral(".readme")));
    EXPECT_FALSE(asked.contains(QStringLiteral(".file00001")));
    EXPECT_TRUE(asked.contains(QStringLiteral(".tar")));

    // The table is bounded and still answers after starting over.
    for (int i = 0; i < ExtensionCache::Capacity + 10; ++i)
        cache.lookup(QStringLiteral("f.e%1").arg(i));
    EXPECT_LE(cache.count(), ExtensionCache::Capacity);
    EXPECT_EQ(cache.lookup("B.TXT").TypeName, cache.lookup("z.txt").TypeName);
    EXPECT_EQ(cache.lookup("f.e1").TypeName.toStdString(), "E1 File");
}

} // namespace
