#include "settings/registry.h"

#include "support/files.h"
#include "support/filesizelimit.h"
#include "support/qtprinters.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <thread>

using ovtest::readFile;

namespace {
class RegistryTest : public ::testing::Test
{
protected:
    QStringList filesBeside() const
    {
        return QFileInfo(m_path).dir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    }
    QTemporaryDir m_dir;
    QString m_path = m_dir.filePath(QStringLiteral("conf/registry.json"));
};
} // namespace

TEST_F(RegistryTest, TypedValuesAndNamesInAnyCaseSurviveASave)
{
    {
        Registry reg(m_path);
        ASSERT_TRUE(reg.openKey(QStringLiteral("\\Software\\Test\\Values"), true));
        reg.writeString(QStringLiteral("Text"), QStringLiteral("h\u00e9llo \u20ac"));
        reg.writeInteger(QStringLiteral("Small"), -2147483647 - 1);
        reg.writeBool(QStringLiteral("On"), true);
        reg.writeBinary(QStringLiteral("Blob"), QByteArray("\x00\x01\xff toolbar", 11));
        reg.writeString(QStringLiteral("Nul"), QString::fromUtf8("abc\0def", 7));
        ASSERT_TRUE(reg.openKey(QStringLiteral("\\SOFTWARE\\test\\VALUES\\Empty"), true));
        for (const char *name : {"beta", "Alpha", "..", "c:d", "alpha2", "."})
            ASSERT_TRUE(reg.openKey(QStringLiteral("\\Order\\") + QLatin1String(name), true));
        EXPECT_FALSE(QFile::exists(m_path)); // nothing reaches the file before save()
        ASSERT_TRUE(reg.save());
        EXPECT_FALSE(reg.hasPendingChanges());
    }
    EXPECT_EQ(QFileInfo(m_path).permissions() & (QFile::ReadOther | QFile::ReadGroup), 0);

    Registry reg(m_path);
    ASSERT_TRUE(reg.openKey(QStringLiteral("\\software\\TEST\\values"), false));
    EXPECT_EQ(reg.currentPath(), QStringLiteral("\\Software\\Test\\Values"));
    EXPECT_EQ(reg.readString(QStringLiteral("tExT")), QStringLiteral("h\u00e9llo \u20ac"));
    EXPECT_EQ(reg.readInteger(QStringLiteral("Small")), -2147483647 - 1);
    EXPECT_EQ(reg.readBool(QStringLiteral("On")), true);
    EXPECT_EQ(reg.readBinary(QStringLiteral("Blob")), QByteArray("\x00\x01\xff toolbar", 11));
    EXPECT_EQ(reg.readString(QStringLiteral("Nul")), QStringLiteral("abc"));
    EXPECT_EQ(reg.keyNames(), QStringList{"Empty"});
    // A mistyped or missing read fails instead of giving a made-up value.
    EXPECT_FALSE(reg.readInteger(QStringLiteral("Text")).has_value());
    EXPECT_FALSE(reg.readString(QStringLiteral("Small")).has_value());
    EXPECT_FALSE(reg.readBool(QStringLiteral("Blob")).has_value());
    EXPECT_FALSE(reg.readString(QStringLiteral("Missing")).has_value());
    // Subkeys enumerate in case-insensitive order; "..", ":" and "." are plain names.
    ASSERT_TRUE(reg.openKey(QStringLiteral("\\Order"), false));
    EXPECT_EQ(reg.keyNames(), (QStringList{".", "..", "Alpha", "alpha2", "beta", "c:d"}));

    // Deleting a key takes its subtree, and the current key with it.
    ASSERT_TRUE(reg.openKey(QStringLiteral("\\Software\\Test\\Values\\Empty"), false));
    EXPECT_FALSE(reg.deleteKey(QStringLiteral("\\")));
    EXPECT_TRUE(reg.deleteKey(QStringLiteral("\\software\\test")));
    EXPECT_FALSE(reg.hasCurrentKey());
    EXPECT_FALSE(reg.writeInteger(QStringLiteral("n"), 2));
    EXPECT_TRUE(reg.keyExists(QStringLiteral("\\Software")));
    EXPECT_FALSE(reg.keyExists(QStringLiteral("\\Software\\Test\\Values")));
    // Unsaved changes can be dropped.
    reg.discardChanges();
    EXPECT_TRUE(reg.keyExists(QStringLiteral("\\Software\\Test\\Values")));
}

TEST_F(RegistryTest, StoresOnOneFileKeepEachOthersKeysEvenRacing)
{
    Registry window(m_path);
    Registry cli(m_path);
    ASSERT_TRUE(window.openKey(QStringLiteral("\\Setup"), true));
    window.writeString(QStringLiteral("screen"), QStringLiteral("layout"));
    ASSERT_TRUE(cli.openKey(QStringLiteral("\\Sites\\Mine"), true));
    ASSERT_TRUE(window.save());
    ASSERT_TRUE(cli.save());
    ASSERT_TRUE(window.openKey(QStringLiteral("\\Setup"), false));
    window.writeString(QStringLiteral("setup"), QStringLiteral("options"));
    ASSERT_TRUE(window.save());
    EXPECT_TRUE(window.keyExists(QStringLiteral("\\Sites\\Mine"))); // seen after its own save
    cli.reload();
    ASSERT_TRUE(cli.openKey(QStringLiteral("\\Setup"), false));
    EXPECT_EQ(cli.readString(QStringLiteral("screen")), QStringLiteral("layout"));
    EXPECT_EQ(cli.readString(QStringLiteral("setup")), QStringLiteral("options"));

    const int rounds = 40;
    auto writer = [this](const QString &side) {
        Registry reg(m_path);
        for (int i = 0; i < rounds; ++i) {
            reg.openKey(QStringLiteral("\\Race\\%1\\%2").arg(side).arg(i), true);
            reg.save(nullptr, 10000);
        }
    };
    std::thread left(writer, QStringLiteral("left"));
    std::thread right(writer, QStringLiteral("right"));
    left.join();
    right.join();
    Registry reg(m_path);
    for (const QString &side : {QStringLiteral("left"), QStringLiteral("right")}) {
        ASSERT_TRUE(reg.openKey(QStringLiteral("\\Race\\") + side, false));
        EXPECT_EQ(reg.keyInfo()->subKeys, rounds) << side.toStdString();
    }
    EXPECT_TRUE(reg.keyExists(QStringLiteral("\\Sites\\Mine")));
}

TEST_F(RegistryTest, DamagedFileIsSetAsideAndTheStoreStartsEmpty)
{
    const QByteArray damaged[] = {
            "{\"format\": \"orvane-registry\", \"root\": {\"keys\": {\"A\": ",
            "[1, 2]",
            "{\"format\": \"orvane-registry\", \"version\": 1, \"root\": {\"values\": "
            "{\"x\": {\"type\": \"integer\", \"data\": 1.5}}}}",
            "",
    };
    for (const QByteArray &bytes : damaged) {
        SCOPED_TRACE(bytes.constData());
        QDir(QFileInfo(m_path).path()).removeRecursively();
        ASSERT_TRUE(ovtest::writeFile(m_path, bytes));
        Registry reg(m_path);
        EXPECT_TRUE(reg.damageReport().contains(m_path));
        EXPECT_FALSE(QFile::exists(m_path));
        const QStringList aside = filesBeside();
        ASSERT_EQ(aside.size(), 1);
        EXPECT_TRUE(aside.first().startsWith("registry.json.damaged-"));
        EXPECT_EQ(readFile(QFileInfo(m_path).dir().filePath(aside.first())), bytes);
        // The program goes on with a fresh store.
        EXPECT_FALSE(reg.takeDamageReport().isEmpty());
        EXPECT_TRUE(reg.damageReport().isEmpty());
        ASSERT_TRUE(reg.openKey(QStringLiteral("\\A"), true));
        ASSERT_TRUE(reg.save());
        EXPECT_TRUE(Registry(m_path).keyExists(QStringLiteral("\\A")));
    }
}

// A file that is there but cannot be read (played by a folder in its place, which stops root
// as well as a user) is no damage: it stays where it is, and no save replaces it.
TEST_F(RegistryTest, UnreadableFileIsLeftAloneAndNeverReplaced)
{
    ASSERT_TRUE(QDir().mkpath(m_path));
    Registry reg(m_path);
    EXPECT_TRUE(reg.readError().contains(QStringLiteral("cannot be read")));
    EXPECT_TRUE(reg.readError().contains(m_path)) << reg.readError().toStdString();
    EXPECT_TRUE(reg.damageReport().isEmpty());
    ASSERT_TRUE(reg.openKey(QStringLiteral("\\A"), true));
    QString error;
    EXPECT_FALSE(reg.save(&error));
    EXPECT_TRUE(error.contains(QStringLiteral("cannot be read"))) << error.toStdString();
    EXPECT_TRUE(QFileInfo(m_path).isDir());
    EXPECT_EQ(filesBeside(), QStringList{"registry.json"});
    EXPECT_TRUE(reg.hasPendingChanges());
}

TEST_F(RegistryTest, FailedSaveLeavesThePreviousFile)
{
    {
        Registry reg(m_path);
        ASSERT_TRUE(reg.openKey(QStringLiteral("\\Keep"), true));
        ASSERT_TRUE(reg.save());
    }
    const QByteArray before = readFile(m_path);
    Registry reg(m_path);
    ASSERT_TRUE(reg.deleteKey(QStringLiteral("\\Keep")));
    ASSERT_TRUE(reg.openKey(QStringLiteral("\\New"), true));
    reg.writeString(QStringLiteral("v"), QString(5000, QLatin1Char('n')));
    // Interrupt the save at several points: the lock file, the start, the middle and the end
    // of the new content.
    for (qint64 limit : {0, 1, 100, 2500, 5000}) {
        SCOPED_TRACE(limit);
        QString error;
        bool saved = true;
        {
            ovtest::FileSizeLimit full(limit);
            ASSERT_TRUE(full.isActive());
            saved = reg.save(&error, 500);
        }
        EXPECT_FALSE(saved);
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(readFile(m_path), before);
        EXPECT_TRUE(Registry(m_path).damageReport().isEmpty());
        EXPECT_TRUE(reg.hasPendingChanges());
    }
    EXPECT_EQ(filesBeside(), QStringList{"registry.json"});
    // With room again, the pending changes land.
    ASSERT_TRUE(reg.save());
    Registry reader(m_path);
    EXPECT_FALSE(reader.keyExists(QStringLiteral("\\Keep")));
    EXPECT_TRUE(reader.keyExists(QStringLiteral("\\New")));
}
