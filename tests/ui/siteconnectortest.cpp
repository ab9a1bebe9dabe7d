// The window's connect-from-a-site path with a real engine and vsftpd on loopback: a site
// made in the Site manager logs in with its user, password and port and opens its initial
// folder.
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
#include "ui/tdialog.h"
#include "ui/tsite.h"
#include "ui/tsitemgr.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

using ovtest::VsftpdServer;

namespace {

void typeInto(QLineEdit *field, const QString &text)
{
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
    QTest::keyClicks(field, text);
}

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

TEST(SiteConnector, EditedSiteConnectsAndSurvivesItsDeletion)
{
    VsftpdServer server;
    ASSERT_TRUE(server.start());
    server.createUserFolder(QStringLiteral("incoming/deep"));

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Registry registry(dir.filePath(QStringLiteral("registry.json")));
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
    QString prompt;
    bool connected = false;
    {
        ModalScript script;
        script.then<TSiteMgr>([&](TSiteMgr *mgr) {
                  clickNode(mgr, SiteStore::rootText());
                  QTest::mouseClick(mgr->Add_Site, Qt::LeftButton);
                  // As if bookmarks had been kept from an earlier session.
                  mgr->selectedSite()->Bookmarks = QStringLiteral("inc\r\\incoming\\");
                  QTest::mouseClick(mgr->Connect, Qt::LeftButton);
              })
                .then<TDialog>([](TDialog *dialog) {
                    typeInto(dialog->Edit1, QStringLiteral("Loop/back"));
                    QTest::mouseClick(dialog->OkButton, Qt::LeftButton);
                })
                .then<TSite>([&server](TSite *site) {
                    typeInto(site->Host, QStringLiteral("127.0.0.1"));
                    typeInto(site->Username, VsftpdServer::userName());
                    typeInto(site->InitPath, QStringLiteral("incoming/deep"));
                    QTest::keyClick(site->InitPath, Qt::Key_Tab);
                    site->Pages->setCurrentIndex(1);
                    typeInto(site->port, QString::number(server.port()));
                    typeInto(site->tasks, QStringLiteral("3"));
                    QTest::mouseClick(site->passive, Qt::LeftButton);
                    QTest::mouseClick(site->OkButton, Qt::LeftButton);
                })
                .then<TDialog>([&](TDialog *dialog) {
                    prompt = dialog->windowTitle() + QLatin1Char('|') + dialog->Label1->text();
                    typeInto(dialog->Edit1, VsftpdServer::password());
                    QTest::mouseClick(dialog->OkButton, Qt::LeftButton);
                });
        connected = connector.tbBtn_SiteManagerClick();
        EXPECT_TRUE(script.finished()) << script.unexpected().join(',').toStdString();
    }
    ASSERT_TRUE(connected);
    EXPECT_EQ(prompt, QStringLiteral("Needs password for session|Session Password:"));
    EXPECT_EQ(engine.hostBookmarks(), QStringList{QStringLiteral("inc\r\\incoming\\")});
    engine.hostBookmarks() = QStringList{QStringLiteral("new\r\\new\\")};
    EXPECT_EQ(engine.MaxTasks(), 3);
    TcFTP *ftp = engine.MainFTP();
    ASSERT_TRUE(ovtest::waitFor(
            [ftp] {
                return ftp->LoggedIn() && ftp->Folder() == QStringLiteral("\\incoming\\deep\\");
            },
            15000))
            << engine.log()->lines().join('\n').toStdString();
    // The walk ends with the folder listed and shown.
    EXPECT_TRUE(ovtest::waitFor(
            [&engine] {
                return engine.currentHostFolder() == QStringLiteral("\\incoming\\deep\\");
            },
            10000))
            << engine.log()->lines().join('\n').toStdString();
    EXPECT_TRUE(ftp->PassiveMode());
    EXPECT_EQ(ftp->Username(), VsftpdServer::userName());
    EXPECT_EQ(ftp->Port(), QString::number(server.port()));
    const QStringList commands = server.commands();
    // The host logs passwords masked; the login itself shows the password was right, and the
    // folder exists only in that user's tree.
    EXPECT_TRUE(commands.contains(QStringLiteral("USER ") + VsftpdServer::userName()))
            << commands.join('\n').toStdString();
    EXPECT_TRUE(commands.contains(QStringLiteral("CWD /incoming/deep")))
            << commands.join('\n').toStdString();
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

    Registry reread(registry.filePath());
    EXPECT_FALSE(reread.keyExists(SiteStore::rootKeyPath() + QStringLiteral("\\Loopback")));
    EXPECT_TRUE(reread.keyExists(SiteStore::rootKeyPath()));
}
