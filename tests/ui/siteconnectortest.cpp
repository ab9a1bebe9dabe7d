// The window's connect-from-a-site path with a real engine and vsftpd on loopback: a site
// made in the Site manager logs in with its user, password and port and opens its initial
// folder.
#include "windowdriver.h"

#include "ftp/tcftp.h"
#include "settings/registry.h"
#include "sites/sitestore.h"
#include "support/eventwait.h"
#include "ui/siteconnector.h"
#include "ui/tsite.h"

using ovtest::VsftpdServer;

TEST(SiteConnector, EditedSiteConnectsAndSurvivesItsDeletion)
{
    ovtest::FtpTestServer *server = hostWith({{"incoming/deep/", {}}});
    ASSERT_NE(server, nullptr);
    const qsizetype commandsBefore = server->commands().size();

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Registry registry(dir.filePath("registry.json"));
    ASSERT_TRUE(registry.openKey(SiteStore::rootKeyPath(), true));
    ASSERT_TRUE(registry.save());
    Options options = Options::defaults();
    options.ConfirmDelete = false;

    QWidget window;
    TaskEngine engine;
    engine.startTimers();
    SiteConnector connector(engine, registry, options, &window);

    // Add a site, fill it in the site dialog (no password stored), connect; the password is
    // asked for then.
    bool connected = false;
    {
        UserScript script;
        script.on<TSiteMgr>([&](TSiteMgr *mgr) {
                  clickSite(mgr, "");
                  QTest::mouseClick(mgr->Add_Site, Qt::LeftButton);
                  // As if bookmarks had been kept from an earlier session.
                  mgr->selectedSite()->Bookmarks = "inc\r\\incoming\\";
                  QTest::mouseClick(mgr->Connect, Qt::LeftButton);
              })
                .type("Loop/back")
                .on<TSite>([&server](TSite *site) {
                    typeText(site->Host, "127.0.0.1");
                    typeText(site->Username, VsftpdServer::userName());
                    typeText(site->InitPath, "incoming/deep");
                    site->Pages->setCurrentIndex(1);
                    typeText(site->port, QString::number(server->port()));
                    typeText(site->tasks, "3");
                    QTest::mouseClick(site->passive, Qt::LeftButton);
                    QTest::mouseClick(site->OkButton, Qt::LeftButton);
                })
                .type(VsftpdServer::password());
        EXPECT_EQ(script.after([&] { connected = connector.tbBtn_SiteManagerClick(); }).value(3),
                  "Needs password for session | Session Password: | ");
    }
    ASSERT_TRUE(connected);
    EXPECT_EQ(engine.hostBookmarks(), QStringList{"inc\r\\incoming\\"});
    engine.hostBookmarks() = QStringList{"new\r\\new\\"};
    EXPECT_EQ(engine.MaxTasks(), 3);
    TcFTP *ftp = engine.MainFTP();
    ASSERT_TRUE(ovtest::waitFor(
            [ftp] { return ftp->LoggedIn() && ftp->Folder() == "\\incoming\\deep\\"; }, 15000))
            << engine.log()->lines().join('\n').toStdString();
    // The login itself shows the password was right; the folder is only in that user's tree.
    EXPECT_TRUE(ftp->PassiveMode());
    EXPECT_TRUE(server->commands().mid(commandsBefore).contains("CWD /incoming/deep"));
    const std::weak_ptr<TSiteObject> current = connector.CurrentSite();
    ASSERT_FALSE(current.expired());

    // Delete the connected site, close the Site manager (which saves), then end the session:
    // the bookmarks go into the record the connector still holds.
    UserScript()
            .on<TSiteMgr>([&](TSiteMgr *mgr) {
                clickSite(mgr, "Loopback");
                QTest::mouseClick(mgr->Delete, Qt::LeftButton);
                QTest::mouseClick(mgr->Exit, Qt::LeftButton);
            })
            .after([&] { EXPECT_FALSE(connector.tbBtn_SiteManagerClick()); });
    EXPECT_EQ(siteNode(connector.siteManager(), "Loopback"), nullptr);
    ASSERT_FALSE(current.expired());
    engine.DisconnectMain();
    ASSERT_TRUE(ovtest::waitFor([ftp] { return ftp->State() == csNotConnected; }, 5000));
    EXPECT_EQ(connector.CurrentSite()->Bookmarks, "new\r\\new\\");

    Registry reread(registry.filePath());
    EXPECT_FALSE(reread.keyExists(SiteStore::rootKeyPath() + "\\Loopback"));
    EXPECT_TRUE(reread.keyExists(SiteStore::rootKeyPath()));
}
