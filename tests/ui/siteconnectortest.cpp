// The window's connect-from-a-site path with a real engine and vsftpd on loopback.
#include "modalscript.h"

#include "ftp/tcftp.h"
#include "settings/options.h"
#include "settings/registry.h"
#include "sites/sitestore.h"
#include "sites/sitetreemodel.h"
#include "support/eventwait.h"
#include "support/vsftpdserver.h"
#include "tasks/taskengine.h"
#include "ui/siteconnector.h"
#include "ui/tsitemgr.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

using ovtest::VsftpdServer;

namespace {

SiteNode *findNode(SiteNode *node, const QString &text)
{
    if (node->text() == text)
        return node;
    for (int i = 0; i < node->childCount(); ++i) {
        if (SiteNode *found = findNode(node->child(i), text))
            return found;
    }
    return nullptr;
}

// Clicks the node of that name, opening its folders first; false when there is none.
bool clickNode(TSiteMgr *mgr, const QString &text)
{
    SiteNode *node = findNode(mgr->model()->root(), text);
    if (!node)
        return false;
    const QModelIndex index = mgr->model()->indexOf(node);
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
        mgr->TreeView->expand(up);
    mgr->TreeView->scrollTo(index);
    QTest::mouseClick(mgr->TreeView->viewport(),
                      Qt::LeftButton,
                      {},
                      mgr->TreeView->visualRect(index).center());
    return mgr->selectedNode() == node;
}

} // namespace

TEST(SiteConnector, ConnectsFromTheSiteManagerAndSurvivesDeletingTheSite)
{
    VsftpdServer server;
    ASSERT_TRUE(server.start());
    server.createUserFolder(QStringLiteral("incoming"));

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Registry registry(dir.filePath(QStringLiteral("registry.json")));
    {
        auto root = SiteNode::makeRoot(SiteStore::rootText());
        TSiteObject site;
        site.Host = QStringLiteral("127.0.0.1");
        site.Port = server.port();
        site.Anonymous = false;
        site.Username = VsftpdServer::userName();
        site.Password = VsftpdServer::password();
        site.InitialPath = QStringLiteral("\\incoming\\");
        site.Tasks = 2;
        site.Bookmarks = QStringLiteral("inc\r\\incoming\\");
        root->addFolder(QStringLiteral("Work"))->addSite(QStringLiteral("Loopback"), site);
        QString error;
        ASSERT_TRUE(SiteStore(registry).saveTree(*root, &error)) << error.toStdString();
    }
    Options options = Options::defaults();
    options.ConfirmDelete = false;

    QWidget window;
    TaskEngine engine;
    engine.startTimers();
    SiteConnector connector(engine, registry, options, &window);
    connector.bookmarkText = [] {
        return QStringLiteral("new\r\\new\\");
    };
    QStringList loaded;
    QObject::connect(&connector, &SiteConnector::bookmarksLoaded, [&](const QStringList &items) {
        loaded = items;
    });

    // Pick the site and connect.
    bool picked = false;
    bool connected = false;
    {
        ModalScript script;
        script.then<TSiteMgr>([&](TSiteMgr *mgr) {
            picked = clickNode(mgr, QStringLiteral("Loopback"));
            QTest::mouseClick(mgr->Connect, Qt::LeftButton);
        });
        connected = connector.tbBtn_SiteManagerClick();
        EXPECT_TRUE(script.finished()) << script.unexpected().join(',').toStdString();
    }
    ASSERT_TRUE(picked);
    ASSERT_TRUE(connected);
    EXPECT_EQ(loaded, QStringList{QStringLiteral("inc\r\\incoming\\")});
    EXPECT_EQ(engine.MaxTasks(), 2);
    TcFTP *ftp = engine.MainFTP();
    ASSERT_TRUE(ovtest::waitFor(
            [ftp] { return ftp->LoggedIn() && ftp->Folder() == QStringLiteral("\\incoming\\"); },
            15000))
            << engine.log()->lines().join('\n').toStdString();
    const std::weak_ptr<TSiteObject> current = connector.CurrentSite();
    ASSERT_FALSE(current.expired());

    // While logged in, Connect asks first; No leaves the session running.
    QString question;
    {
        ModalScript script;
        script.then<TSiteMgr>([&](TSiteMgr *mgr) {
                  clickNode(mgr, QStringLiteral("Loopback"));
                  QTest::mouseClick(mgr->Connect, Qt::LeftButton);
              }).then<QMessageBox>([&](QMessageBox *box) {
            question = box->text();
            QTest::mouseClick(box->button(QMessageBox::No), Qt::LeftButton);
        });
        EXPECT_FALSE(connector.tbBtn_SiteManagerClick());
        EXPECT_TRUE(script.finished()) << script.unexpected().join(',').toStdString();
    }
    EXPECT_EQ(question,
              QStringLiteral("One session is allready in progress. Quit it and start a new?"));
    EXPECT_TRUE(ftp->LoggedIn());

    // Delete the connected site, close the Site manager (which saves), then end the session:
    // the bookmarks go into the record the connector still holds.
    {
        ModalScript script;
        script.then<TSiteMgr>([&](TSiteMgr *mgr) {
            clickNode(mgr, QStringLiteral("Loopback"));
            QTest::mouseClick(mgr->Delete, Qt::LeftButton);
            QTest::mouseClick(mgr->Exit, Qt::LeftButton);
        });
        EXPECT_FALSE(connector.tbBtn_SiteManagerClick());
        EXPECT_TRUE(script.finished()) << script.unexpected().join(',').toStdString();
    }
    EXPECT_EQ(findNode(connector.siteManager()->model()->root(), QStringLiteral("Loopback")),
              nullptr);
    ASSERT_FALSE(current.expired());
    engine.DisconnectMain();
    ASSERT_TRUE(ovtest::waitFor([ftp] { return ftp->State() == csNotConnected; }, 5000));
    EXPECT_EQ(connector.CurrentSite()->Bookmarks, QStringLiteral("new\r\\new\\"));

    // The store no longer holds it.
    Registry reread(registry.filePath());
    EXPECT_FALSE(reread.keyExists(SiteStore::rootKeyPath() + QStringLiteral("\\Work\\Loopback")));
    EXPECT_TRUE(reread.keyExists(SiteStore::rootKeyPath() + QStringLiteral("\\Work")));
}
