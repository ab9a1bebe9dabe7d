// A site's encryption choice and pinned certificate: new values in the store that older stores
// lack, carried to the connection; WS_FTP entries stay plain FTP unless they say otherwise.
#include "settings/options.h"
#include "settings/registry.h"
#include "sites/siteconnection.h"
#include "sites/sitestore.h"
#include "sites/sitetreemodel.h"
#include "sites/wsftpimport.h"

#include <QBuffer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const TSiteObject *siteNamed(const SiteNode *node, const QString &text)
{
    for (int i = 0; node && i < node->childCount(); ++i) {
        if (node->child(i)->text() == text)
            return node->child(i)->site();
    }
    return nullptr;
}

} // namespace

TEST(SiteEncryption, StoredBesideOlderSitesAndCarriedToTheConnection)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("registry.json"));
    const QString pin(64, QLatin1Char('a'));
    {
        // A site saved before encryption existed: only the old values.
        Registry reg(path);
        ASSERT_TRUE(reg.openKey(SiteStore::rootKeyPath() + QStringLiteral("\\Old"), true));
        reg.writeString(QStringLiteral("Host Address"), QStringLiteral("old.example"));
        reg.writeInteger(QStringLiteral("Port"), 2121);
        reg.writeBool(QStringLiteral("PassiveMode"), true);
        ASSERT_TRUE(reg.save());
    }
    Registry reg(path);
    SiteStore store(reg);
    auto root = store.loadTree().root;
    ASSERT_TRUE(root);
    const TSiteObject *old = siteNamed(root.get(), QStringLiteral("Old"));
    ASSERT_TRUE(old);
    EXPECT_EQ(old->Encryption, 0);
    EXPECT_TRUE(old->CertificateFingerprint.isEmpty());
    EXPECT_EQ(old->Port, 2121);
    EXPECT_TRUE(old->PassiveMode);
    EXPECT_EQ(SiteConnection::fromSite(*old, Options()).request().security.encryption,
              ceExplicitIfAvailable);

    // Each choice and a pin read back; going back to the default removes the values again.
    for (const int encryption : {1, 2, 3, 0}) {
        SCOPED_TRACE(encryption);
        TSiteObject site = *old;
        site.Encryption = encryption;
        site.CertificateFingerprint = encryption == 0 ? QString() : pin;
        auto tree = SiteNode::makeRoot(SiteStore::rootText());
        tree->addSite(QStringLiteral("Old"), site);
        ASSERT_TRUE(store.saveTree(*tree));
        Registry again(path);
        const auto loaded = SiteStore(again).loadTree().root;
        const TSiteObject *back = siteNamed(loaded.get(), QStringLiteral("Old"));
        ASSERT_TRUE(back);
        EXPECT_EQ(*back, site);
        const ConnectRequest request = SiteConnection::fromSite(*back, Options()).request();
        EXPECT_EQ(int(request.security.encryption), encryption);
        EXPECT_EQ(request.security.pinnedFingerprint, site.CertificateFingerprint);
        ASSERT_TRUE(again.openKey(SiteStore::rootKeyPath() + QStringLiteral("\\Old"), false));
        EXPECT_EQ(again.valueNames().contains(QStringLiteral("Encryption")), encryption != 0);
    }

    // Imported WS_FTP entries keep plain FTP unless the host's scheme or port 990 says otherwise.
    SiteTreeModel model;
    model.setRoot(SiteNode::makeRoot(QStringLiteral("Site Manager")));
    WsFtpImport import(model);
    QBuffer buffer;
    buffer.setData(
            "[Plain]\r\nHOST=ftp.example\r\n[Url]\r\nHOST=ftp://url.example/pub\r\n"
            "[Implicit]\r\nHOST=FTPS://implicit.example\r\n[Explicit]\r\nPORT=990\r\n"
            "HOST=ftpes://explicit.example\r\n[Port990]\r\nHOST=tls.example\r\nPORT=990\r\n");
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    ASSERT_TRUE(import.run(buffer));
    QStringList imported;
    for (const QString name : {"Plain", "Url", "Implicit", "Explicit", "Port990"}) {
        const TSiteObject *site = siteNamed(import.folder(), name);
        imported << (site ? QStringLiteral("%1 %2").arg(site->Host).arg(site->Encryption) : name);
    }
    EXPECT_EQ(imported,
              QStringList({"ftp.example 3",
                           "url.example 3",
                           "implicit.example 2",
                           "explicit.example 1",
                           "tls.example 2"}));
}
