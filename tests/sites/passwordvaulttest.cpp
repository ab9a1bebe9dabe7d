#include "sites/passwordvault.h"

#include "settings/registry.h"
#include "sites/keyringstore.h"
#include "sites/mastercipher.h"
#include "sites/passwordcipher.h"
#include "sites/sitestore.h"
#include "sites/sitetreejson.h"
#include "support/files.h"
#include "support/qtprinters.h"
#include "support/secretservice.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString Plain = QStringLiteral("Pl@in-secret-42");

// The file must hold the password in no form: neither plain nor in the old enciphered form.
void expectNoPasswordIn(const QString &path, const QString &plain)
{
    const QByteArray bytes = ovtest::readFile(path);
    ASSERT_FALSE(bytes.isEmpty());
    EXPECT_FALSE(bytes.contains(plain.toUtf8())) << bytes.constData();
    EXPECT_FALSE(bytes.contains(EncipherPassword(plain).toUtf8())) << bytes.constData();
}

std::unique_ptr<SiteNode> treeWithSite(const QString &password)
{
    auto root = SiteNode::makeRoot(SiteStore::rootText());
    TSiteObject site;
    site.Host = QStringLiteral("127.0.0.1");
    site.Username = QStringLiteral("alice");
    site.Password = password;
    site.Anonymous = false;
    root->addFolder(QStringLiteral("Work"))->addSite(QStringLiteral("Files"), site);
    return root;
}

const TSiteObject *firstSite(const SiteNode &root)
{
    const SiteNode *folder = root.childCount() ? root.child(0) : nullptr;
    return folder && folder->childCount() ? folder->child(0)->site() : nullptr;
}

PasswordVault::Prompt answering(QStringList answers, int *asked)
{
    return [answers, asked](const QString &) mutable -> std::optional<QString> {
        ++*asked;
        if (answers.isEmpty())
            return std::nullopt;
        return answers.takeFirst();
    };
}

} // namespace

TEST(MasterCipher, SealedTextsOpenOnlyUnderTheirPassphraseAndTellDamage)
{
    const QString a = MasterCipher::seal(Plain, QStringLiteral("master"));
    const QString b = MasterCipher::seal(Plain, QStringLiteral("master"));
    ASSERT_TRUE(MasterCipher::looksSealed(a)) << a.toStdString();
    EXPECT_NE(a, b); // own salt and nonce each time
    EXPECT_FALSE(a.contains(Plain));
    QString plain;
    EXPECT_EQ(MasterCipher::open(a, QStringLiteral("master"), &plain), MasterCipher::Opened::Ok);
    EXPECT_EQ(plain, Plain);
    EXPECT_EQ(MasterCipher::open(a, QStringLiteral("Master"), &plain),
              MasterCipher::Opened::WrongPassphrase);
    // A changed ciphertext byte fails the tag; a cut or foreign text is damage.
    QStringList fields = a.split(QLatin1Char(':'));
    QByteArray body = QByteArray::fromBase64(fields[4].toLatin1());
    body[0] = char(body[0] ^ 1);
    fields[4] = QString::fromLatin1(body.toBase64());
    EXPECT_EQ(MasterCipher::open(fields.join(QLatin1Char(':')), QStringLiteral("master"), &plain),
              MasterCipher::Opened::WrongPassphrase);
    for (const QString &bad :
         {a.left(20), QStringLiteral("006123"), QString(), a + QStringLiteral(":x")})
        EXPECT_EQ(MasterCipher::open(bad, QStringLiteral("master"), &plain),
                  MasterCipher::Opened::Damaged)
                << bad.toStdString();

    const QString check = MasterCipher::makeVerifier(QStringLiteral("master"));
    EXPECT_EQ(MasterCipher::check(check, QStringLiteral("master")), MasterCipher::Opened::Ok);
    EXPECT_EQ(MasterCipher::check(check, QStringLiteral("other")),
              MasterCipher::Opened::WrongPassphrase);
    // A sealed text of something else is no check even under the right passphrase.
    EXPECT_EQ(MasterCipher::check(a, QStringLiteral("master")), MasterCipher::Opened::Damaged);
}

// A store of the old form moves its password into the keyring on its first save.
TEST(SitePasswordsInKeyring, StoredReadBackAfterRestartAndNeverInTheFile)
{
    QString error;
    ASSERT_TRUE(ovtest::SecretService::ensure(&error)) << error.toStdString();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("registry.json"));
    {
        Registry registry(file); // as an older version wrote it
        ASSERT_TRUE(SiteStore(registry).saveTree(*treeWithSite(Plain), &error));
    }
    ASSERT_TRUE(ovtest::readFile(file).contains(EncipherPassword(Plain).toUtf8()));
    {
        Registry registry(file);
        KeyringStore keyring;
        PasswordVault vault(registry, &keyring);
        SiteStore store(registry, &vault);
        const SiteStore::LoadResult loaded = store.loadTree();
        ASSERT_EQ(firstSite(*loaded.root)->Password, Plain);
        ASSERT_TRUE(store.saveTree(*loaded.root, &error)) << error.toStdString();
        EXPECT_FALSE(vault.usedObfuscation());
    }
    expectNoPasswordIn(file, Plain);
    EXPECT_TRUE(ovtest::readFile(file).contains("PasswordKeyring"));
    // In the keyring, as its own tools find it by the site's path.
    QProcess tool;
    tool.start(QStringLiteral("secret-tool"),
               {QStringLiteral("search"),
                QStringLiteral("--all"),
                QStringLiteral("user"),
                QStringLiteral("Work\\Files")});
    ASSERT_TRUE(tool.waitForFinished(10000));
    const QString shown = QString::fromUtf8(tool.readAllStandardOutput());
    EXPECT_TRUE(shown.contains(QStringLiteral("secret = ") + Plain)) << shown.toStdString();

    // A new run: new store objects, a new keyring connection.
    Registry registry(file);
    KeyringStore keyring;
    PasswordVault vault(registry, &keyring);
    const SiteStore::LoadResult loaded = SiteStore(registry, &vault).loadTree();
    ASSERT_NE(firstSite(*loaded.root), nullptr);
    EXPECT_EQ(firstSite(*loaded.root)->Password, Plain);

    // Renamed: the entry follows the new name and the old one leaves the keyring.
    loaded.root->child(0)->child(0)->setText(QStringLiteral("Renamed"));
    ASSERT_TRUE(SiteStore(registry, &vault).saveTree(*loaded.root, &error));
    EXPECT_EQ(keyring.read(QStringLiteral("Work\\Renamed")).text, Plain);
    EXPECT_EQ(keyring.read(QStringLiteral("Work\\Files")).status, KeyringStore::Status::NotFound);
}

TEST(SitePasswordsUnderMasterPassword, RightWrongAndMissing)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("registry.json"));
    QString error;
    {
        Registry registry(file);
        PasswordVault vault(registry, nullptr); // no keyring answers
        ASSERT_TRUE(vault.setMasterPassword(QStringLiteral("master-1")));
        ASSERT_TRUE(SiteStore(registry, &vault).saveTree(*treeWithSite(Plain), &error));
        EXPECT_FALSE(vault.usedObfuscation());
    }
    expectNoPasswordIn(file, Plain);
    EXPECT_FALSE(ovtest::readFile(file).contains("master-1"));
    EXPECT_TRUE(ovtest::readFile(file).contains("PasswordSealed"));

    Registry registry(file);
    // Wrong twice, then given up: asked until the prompt gives up, then never again.
    {
        PasswordVault vault(registry, nullptr);
        int asked = 0;
        vault.setPrompt(answering({QStringLiteral("nope"), QStringLiteral("still")}, &asked));
        const SiteStore::LoadResult loaded = SiteStore(registry, &vault).loadTree();
        const TSiteObject *site = firstSite(*loaded.root);
        EXPECT_TRUE(site->Password.isEmpty());
        EXPECT_TRUE(PasswordVault::isSealedForm(site->PasswordKept));
        EXPECT_EQ(asked, 3);
        EXPECT_EQ(vault.unlock(), PasswordVault::Unlock::Wrong);
        EXPECT_EQ(asked, 3);
        EXPECT_EQ(vault.resolve(site->PasswordKept).problem,
                  PasswordVault::unlockProblem(PasswordVault::Unlock::Wrong));
        // Saved while locked: the sealed text is written back, not lost.
        ASSERT_TRUE(SiteStore(registry, &vault).saveTree(*loaded.root, &error));
    }
    {
        PasswordVault vault(registry, nullptr); // missing: nobody to ask
        const auto root = SiteStore(registry, &vault).loadTree().root;
        const TSiteObject *site = firstSite(*root);
        EXPECT_EQ(vault.resolve(site->PasswordKept).problem,
                  PasswordVault::unlockProblem(PasswordVault::Unlock::NotGiven));
    }
    {
        PasswordVault vault(registry, nullptr);
        int asked = 0;
        vault.setPrompt(answering({QStringLiteral("master-1")}, &asked));
        auto root = SiteStore(registry, &vault).loadTree().root;
        root->child(0)->addSite(QStringLiteral("Second"), *firstSite(*root));
        EXPECT_EQ(firstSite(*root)->Password, Plain);
        EXPECT_EQ(asked, 1); // once per run, however many sites need it
        // Without keyring and master password the old form is back, and that is reported.
        ASSERT_TRUE(vault.setMasterPassword(QString()));
        ASSERT_TRUE(SiteStore(registry, &vault).saveTree(*root, &error));
        EXPECT_TRUE(vault.usedObfuscation());
        EXPECT_TRUE(ovtest::readFile(file).contains(EncipherPassword(Plain).toUtf8()));
    }
    // A damaged check is told apart from a wrong password.
    ASSERT_TRUE(registry.openKey(PasswordVault::passwordsKeyPath(), true));
    registry.writeString(QStringLiteral("MasterCheck"), QStringLiteral("1:14:garbage"));
    PasswordVault vault(registry, nullptr);
    EXPECT_EQ(vault.unlockWith(QStringLiteral("master-1")), PasswordVault::Unlock::Damaged);
}

TEST(SiteTreeJson, ExportAndImportWithAndWithoutPassphrase)
{
    auto root = treeWithSite(Plain);
    root->addSite(QStringLiteral("Loose"), TSiteObject());
    const QByteArray bare = SiteTreeJson::write(*root, QString());
    EXPECT_FALSE(bare.contains(Plain.toUtf8()));
    const QByteArray sealed = SiteTreeJson::write(*root, QStringLiteral("phrase"));
    EXPECT_FALSE(sealed.contains(Plain.toUtf8()));

    QString error;
    SiteTreeJson::Imported imported;
    auto into = SiteNode::makeRoot(SiteStore::rootText());
    ASSERT_TRUE(SiteTreeJson::read(bare, QString(), into.get(), &imported, &error));
    EXPECT_EQ(imported.sites, 2);
    EXPECT_FALSE(imported.passwordsLeftOut);
    EXPECT_EQ(firstSite(*into)->Host, QStringLiteral("127.0.0.1"));
    EXPECT_TRUE(firstSite(*into)->Password.isEmpty());

    // Imported again: names already taken get a number.
    ASSERT_TRUE(SiteTreeJson::read(sealed, QStringLiteral("phrase"), into.get(), &imported, &error))
            << error.toStdString();
    ASSERT_EQ(into->childCount(), 4);
    EXPECT_EQ(into->child(2)->text(), QStringLiteral("Work (2)"));
    EXPECT_EQ(into->child(2)->child(0)->site()->Password, Plain);
    EXPECT_EQ(into->child(3)->text(), QStringLiteral("Loose (2)"));

    EXPECT_FALSE(
            SiteTreeJson::read(sealed, QStringLiteral("wrong"), into.get(), &imported, &error));
    EXPECT_EQ(into->childCount(), 4);
    ASSERT_TRUE(SiteTreeJson::read(sealed, QString(), into.get(), &imported, &error));
    EXPECT_TRUE(imported.passwordsLeftOut);
    EXPECT_TRUE(into->child(4)->child(0)->site()->Password.isEmpty());
    EXPECT_FALSE(SiteTreeJson::read("{\"tree\": []}", QString(), into.get(), &imported, &error));
}
