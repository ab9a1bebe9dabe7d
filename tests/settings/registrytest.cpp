#include "settings/registry.h"

#include "settings/filesizelimit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <thread>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

class RegistryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("conf/registry.json"));
    }

    QTemporaryDir m_dir;
    QString m_path;
};

TEST_F(RegistryTest, TypedValuesSurviveASave)
{
    {
        Registry reg(m_path);
        EXPECT_TRUE(reg.damageReport().isEmpty());
        ASSERT_TRUE(reg.openKey(QStringLiteral("\\Software\\Test\\Values"), true));
        EXPECT_TRUE(reg.writeString(QStringLiteral("Text"), QStringLiteral("h\u00e9llo \u20ac")));
        EXPECT_TRUE(reg.writeInteger(QStringLiteral("Small"), -2147483647 - 1));
        EXPECT_TRUE(reg.writeInteger(QStringLiteral("Big"), 2147483647));
        EXPECT_TRUE(reg.writeBool(QStringLiteral("On"), true));
        EXPECT_TRUE(reg.writeBool(QStringLiteral("Off"), false));
        EXPECT_TRUE(
                reg.writeBinary(QStringLiteral("Blob"), QByteArray("\x00\x01\xff toolbar", 11)));
        EXPECT_TRUE(reg.writeString(QStringLiteral("Nul"), QString::fromUtf8("abc\0def", 7)));
        ASSERT_TRUE(reg.openKey(QStringLiteral("\\Software\\Test\\Empty"), true));
        EXPECT_FALSE(QFile::exists(m_path)); // nothing reaches the file before save()
        EXPECT_TRUE(reg.hasPendingChanges());
        QString error;
        ASSERT_TRUE(reg.save(&error)) << error.toStdString();
        EXPECT_FALSE(reg.hasPendingChanges());
    }
    EXPECT_EQ(QFileInfo(m_path).permissions() & (QFile::ReadOther | QFile::ReadGroup), 0);

    Registry reg(m_path);
    ASSERT_TRUE(reg.openKey(QStringLiteral("\\Software\\Test\\Values"), false));
    EXPECT_EQ(reg.readString(QStringLiteral("Text")), QStringLiteral("h\u00e9llo \u20ac"));
    EXPECT_EQ(reg.readInteger(QStringLiteral("Small")), -2147483647 - 1);
    EXPECT_EQ(reg.readInteger(QStringLiteral("Big")), 2147483647);
    EXPECT_EQ(reg.readBool(QStringLiteral("On")), true);
    EXPECT_EQ(reg.readBool(QStringLiteral("Off")), false);
    EXPECT_EQ(reg.readBinary(QStringLiteral("Blob")), QByteArray("\x00\x01\xff toolbar", 11));
    EXPECT_EQ(reg.readString(QStringLiteral("Nul")), QStringLiteral("abc"));
    EXPECT_EQ(reg.valueType(QStringLiteral("Blob")), Registry::ValueType::Binary);

    // A mistyped or missing read fails instead of giving a made-up value.
    EXPECT_FALSE(reg.readInteger(QStringLiteral("Text")).has_value());
    EXPECT_FALSE(reg.readString(QStringLiteral("Big")).has_value());
    EXPECT_FALSE(reg.readBool(QStringLiteral("Blob")).has_value());
    EXPECT_FALSE(reg.readBinary(QStringLiteral("Text")).has_value());
    EXPECT_FALSE(reg.readString(QStringLiteral("Missing")).has_value());

    // An empty key survives the round trip.
    ASSERT_TRUE(reg.openKey(QStringLiteral("\\Software\\Test\\Empty"), false));
    const auto info = reg.keyInfo();
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->subKeys, 0);
    EXPECT_EQ(info->values, 0);
    EXPECT_FALSE(reg.openKey(QStringLiteral("\\Software\\Test\\Nowhere"), false));
    EXPECT_EQ(reg.currentPath(), QStringLiteral("\\Software\\Test\\Empty"));
}

TEST_F(RegistryTest, NamesIgnoreCaseAndKeepTheirFirstSpelling)
{
    Registry reg(m_path);
    ASSERT_TRUE(reg.openKey(QStringLiteral("\\Software\\Quillon Software\\Setup"), true));
    reg.writeString(QStringLiteral("Screen"), QStringLiteral("one"));
    ASSERT_TRUE(reg.openKey(QStringLiteral("\\SOFTWARE\\quillon software\\SETUP\\Toolbars"), true));
    reg.writeBinary(QStringLiteral("Pos"), "x");
    ASSERT_TRUE(reg.openKey(QStringLiteral("software\\QUILLON SOFTWARE\\setup\\"), false));
    reg.writeString(QStringLiteral("SCREEN"), QStringLiteral("two"));
    ASSERT_TRUE(reg.save());

    Registry again(m_path);
    ASSERT_TRUE(again.openKey(QStringLiteral("\\software\\quillon software\\setup"), false));
    EXPECT_EQ(again.currentPath(), QStringLiteral("\\Software\\Quillon Software\\Setup"));
    EXPECT_EQ(again.valueNames(), QStringList{QStringLiteral("Screen")});
    EXPECT_EQ(again.readString(QStringLiteral("sCrEeN")), QStringLiteral("two"));
    EXPECT_EQ(again.keyNames(), QStringList{QStringLiteral("Toolbars")});

    // Subkeys enumerate in case-insensitive order; "..", ":" and "." are plain names.
    ASSERT_TRUE(again.openKey(QStringLiteral("\\Order"), true));
    for (const char *name : {"beta", "Alpha", "..", "c:d", "Gamma", "alpha2", "."})
        ASSERT_TRUE(again.openKey(QStringLiteral("\\Order\\") + QLatin1String(name), true));
    ASSERT_TRUE(again.openKey(QStringLiteral("\\Order"), false));
    EXPECT_EQ(again.keyNames(),
              (QStringList{QStringLiteral("."),
                           QStringLiteral(".."),
                           QStringLiteral("Alpha"),
                           QStringLiteral("alpha2"),
                           QStringLiteral("beta"),
                           QStringLiteral("c:d"),
                           QStringLiteral("Gamma")}));
    ASSERT_TRUE(again.openKey(QStringLiteral("\\Order\\..\\Inner"), true));
    EXPECT_EQ(again.currentPath(), QStringLiteral("\\Order\\..\\Inner"));
    ASSERT_TRUE(again.openKey(QStringLiteral("\\Order"), false));
    EXPECT_EQ(again.keyInfo()->subKeys, 7);
}

TEST_F(RegistryTest, DeleteKeyTakesTheSubtree)
{
    Registry reg(m_path);
    ASSERT_TRUE(reg.openKey(QStringLiteral("\\A\\B\\C"), true));
    reg.writeInteger(QStringLiteral("n"), 1);
    ASSERT_TRUE(reg.openKey(QStringLiteral("\\A\\Other"), true));
    ASSERT_TRUE(reg.openKey(QStringLiteral("\\A\\B\\C"), false));
    EXPECT_FALSE(reg.deleteKey(QStringLiteral("\\")));
    EXPECT_FALSE(reg.deleteKey(QStringLiteral("\\A\\Nothing")));
    EXPECT_TRUE(reg.deleteKey(QStringLiteral("\\a\\b")));
    EXPECT_FALSE(reg.hasCurrentKey()); // the current key was inside
    EXPECT_FALSE(reg.writeInteger(QStringLiteral("n"), 2));
    EXPECT_FALSE(reg.keyExists(QStringLiteral("\\A\\B\\C")));
    ASSERT_TRUE(reg.save());

    Registry again(m_path);
    EXPECT_FALSE(again.keyExists(QStringLiteral("\\A\\B")));
    EXPECT_TRUE(again.keyExists(QStringLiteral("\\A\\Other")));
    ASSERT_TRUE(again.openKey(QStringLiteral("\\A"), false));
    EXPECT_EQ(again.keyNames(), QStringList{QStringLiteral("Other")});
}

TEST_F(RegistryTest, TwoStoresOnOneFileKeepEachOthersKeys)
{
    Registry window(m_path);
    Registry cli(m_path);
    ASSERT_TRUE(window.openKey(QStringLiteral("\\Setup"), true));
    window.writeString(QStringLiteral("screen"), QStringLiteral("layout"));
    ASSERT_TRUE(cli.openKey(QStringLiteral("\\Sites\\Mine"), true));
    cli.writeInteger(QStringLiteral("Port"), 2121);
    ASSERT_TRUE(window.save());
    ASSERT_TRUE(cli.save());
    ASSERT_TRUE(window.openKey(QStringLiteral("\\Setup"), false));
    window.writeString(QStringLiteral("setup"), QStringLiteral("options"));
    ASSERT_TRUE(window.save());

    Registry reader(m_path);
    ASSERT_TRUE(reader.openKey(QStringLiteral("\\Setup"), false));
    EXPECT_EQ(reader.readString(QStringLiteral("screen")), QStringLiteral("layout"));
    EXPECT_EQ(reader.readString(QStringLiteral("setup")), QStringLiteral("options"));
    ASSERT_TRUE(reader.openKey(QStringLiteral("\\Sites\\Mine"), false));
    EXPECT_EQ(reader.readInteger(QStringLiteral("Port")), 2121);

    // Each sees the other's keys after its own save, or after reload().
    EXPECT_TRUE(window.keyExists(QStringLiteral("\\Sites\\Mine")));
    EXPECT_FALSE(cli.valueExists(QStringLiteral("setup")));
    cli.reload();
    ASSERT_TRUE(cli.openKey(QStringLiteral("\\Setup"), false));
    EXPECT_EQ(cli.readString(QStringLiteral("setup")), QStringLiteral("options"));
}

TEST_F(RegistryTest, SavesRacingFromTwoThreadsLoseNothing)
{
    const int rounds = 40;
    auto writer = [this](const QString &side) {
        Registry reg(m_path);
        for (int i = 0; i < rounds; ++i) {
            reg.openKey(QStringLiteral("\\Race\\%1\\%2").arg(side).arg(i), true);
            reg.writeInteger(QStringLiteral("i"), i);
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
}

TEST_F(RegistryTest, DamagedFileIsSetAsideAndTheStoreStartsEmpty)
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    const QByteArray damaged = "{\"format\": \"orvane-registry\", \"root\": {\"keys\": {\"A\": ";
    writeAll(m_path, damaged);

    Registry reg(m_path);
    EXPECT_FALSE(reg.damageReport().isEmpty());
    EXPECT_TRUE(reg.damageReport().contains(m_path));
    EXPECT_FALSE(reg.keyExists(QStringLiteral("\\A")));
    EXPECT_FALSE(QFile::exists(m_path));
    const QStringList aside
            = QFileInfo(m_path).dir().entryList({QStringLiteral("registry.json.damaged-*")});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(readAll(QFileInfo(m_path).dir().filePath(aside.first())), damaged);

    // The program goes on with a fresh store.
    ASSERT_TRUE(reg.openKey(QStringLiteral("\\A"), true));
    ASSERT_TRUE(reg.save());
    Registry again(m_path);
    EXPECT_TRUE(again.damageReport().isEmpty());
    EXPECT_TRUE(again.keyExists(QStringLiteral("\\A")));

    // Well-formed JSON that is not a store, and mistyped values, count as damage too.
    for (const QByteArray &bad :
         {QByteArray("[1, 2]"),
          QByteArray("{\"format\": \"orvane-registry\", \"version\": 1, \"root\": {\"values\": "
                     "{\"x\": {\"type\": \"integer\", \"data\": 1.5}}}}"),
          QByteArray()}) {
        writeAll(m_path, bad);
        Registry other(m_path);
        EXPECT_FALSE(other.takeDamageReport().isEmpty()) << bad.constData();
        EXPECT_TRUE(other.damageReport().isEmpty());
        EXPECT_FALSE(other.keyExists(QStringLiteral("\\A")));
    }
}

// A file that is there but cannot be read (played by a folder in its place, which stops root
// as well as a user) is no damage: it stays where it is, and no save replaces it.
TEST_F(RegistryTest, UnreadableFileIsLeftAloneAndNeverReplaced)
{
    ASSERT_TRUE(QDir().mkpath(m_path));
    Registry reg(m_path);
    EXPECT_TRUE(reg.readError().contains(QStringLiteral("cannot be read")))
            << reg.readError().toStdString();
    EXPECT_TRUE(reg.readError().contains(m_path));
    EXPECT_TRUE(reg.damageReport().isEmpty());
    EXPECT_TRUE(QFileInfo(m_path).isDir());
    EXPECT_TRUE(QFileInfo(m_path).dir().entryList({QStringLiteral("*.damaged-*")}).isEmpty());

    ASSERT_TRUE(reg.openKey(QStringLiteral("\A"), true));
    QString error;
    EXPECT_FALSE(reg.save(&error));
    EXPECT_TRUE(error.contains(QStringLiteral("cannot be read"))) << error.toStdString();
    EXPECT_TRUE(QFileInfo(m_path).isDir());
    EXPECT_TRUE(reg.hasPendingChanges());
}

TEST_F(RegistryTest, FailedSaveLeavesThePreviousFile)
{
    {
        Registry reg(m_path);
        ASSERT_TRUE(reg.openKey(QStringLiteral("\\Keep"), true));
        reg.writeString(QStringLiteral("v"), QStringLiteral("old"));
        ASSERT_TRUE(reg.save());
    }
    const QByteArray before = readAll(m_path);
    ASSERT_FALSE(before.isEmpty());

    Registry reg(m_path);
    ASSERT_TRUE(reg.deleteKey(QStringLiteral("\\Keep")));
    ASSERT_TRUE(reg.openKey(QStringLiteral("\\New"), true));
    reg.writeString(QStringLiteral("v"), QString(5000, QLatin1Char('n')));
    // Interrupt the save at several points: the lock file, the start, the middle and the end
    // of the new content.
    for (rlim_t limit : {rlim_t(0), rlim_t(1), rlim_t(100), rlim_t(2500), rlim_t(5000)}) {
        QString error;
        bool saved = true;
        {
            FileSizeLimit full(limit);
            ASSERT_TRUE(full.active());
            saved = reg.save(&error, 500);
        }
        EXPECT_FALSE(saved) << "limit " << limit;
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(readAll(m_path), before) << "limit " << limit;
        Registry reader(m_path);
        EXPECT_TRUE(reader.damageReport().isEmpty());
        ASSERT_TRUE(reader.openKey(QStringLiteral("\\Keep"), false));
        EXPECT_EQ(reader.readString(QStringLiteral("v")), QStringLiteral("old"));
        EXPECT_FALSE(reader.keyExists(QStringLiteral("\\New")));
        EXPECT_TRUE(reg.hasPendingChanges());
    }
    const QStringList leftovers = QFileInfo(m_path).dir().entryList(QDir::Files);
    EXPECT_EQ(leftovers, QStringList{QStringLiteral("registry.json")});

    // With room again, the pending changes land.
    ASSERT_TRUE(reg.save());
    Registry reader(m_path);
    EXPECT_FALSE(reader.keyExists(QStringLiteral("\\Keep")));
    EXPECT_TRUE(reader.keyExists(QStringLiteral("\\New")));
}

TEST_F(RegistryTest, DiscardChangesReturnsToTheFile)
{
    Registry reg(m_path);
    ASSERT_TRUE(reg.openKey(QStringLiteral("\\Saved"), true));
    ASSERT_TRUE(reg.save());
    ASSERT_TRUE(reg.openKey(QStringLiteral("\\Unsaved"), true));
    EXPECT_TRUE(reg.keyExists(QStringLiteral("\\Unsaved")));
    reg.discardChanges();
    EXPECT_FALSE(reg.hasPendingChanges());
    EXPECT_FALSE(reg.keyExists(QStringLiteral("\\Unsaved")));
    EXPECT_TRUE(reg.keyExists(QStringLiteral("\\Saved")));
}

} // namespace
