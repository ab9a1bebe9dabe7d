// A site made in the Site manager reaches a real host: vsftpd on loopback, logged in with the
// site's user, password and port, and changed into the site's initial folder.
#include "modalscript.h"

#include "ftp/tcftp.h"
#include "settings/options.h"
#include "settings/registry.h"
#include "sites/siteconnection.h"
#include "sites/sitestore.h"
#include "sites/sitetreemodel.h"
#include "support/eventwait.h"
#include "support/vsftpdserver.h"
#include "tasks/taskengine.h"
#include "ui/tdialog.h"
#include "ui/tsite.h"
#include "ui/tsitemgr.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
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

void clickNode(TSiteMgr &mgr, const SiteNode *node)
{
    const QModelIndex index = mgr.model()->indexOf(node);
    ASSERT_TRUE(index.isValid());
    QTest::mouseClick(
            mgr.TreeView->viewport(), Qt::LeftButton, {}, mgr.TreeView->visualRect(index).center());
    ASSERT_EQ(mgr.selectedNode(), node);
}

} // namespace

TEST(SiteConnect, EditedSiteLogsInToVsftpdAndOpensItsInitialFolder)
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

    TSiteMgr mgr(registry, options);
    mgr.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&mgr));
    clickNode(mgr, mgr.model()->root());

    // Add Site, then the site dialog: the stored password is left empty, so the connect asks.
    {
        ModalScript script;
        script.then<TDialog>([](TDialog *dialog) {
                  typeInto(dialog->Edit1, QStringLiteral("Loopback"));
                  QTest::mouseClick(dialog->OkButton, Qt::LeftButton);
              }).then<TSite>([&server](TSite *site) {
            typeInto(site->Host, QStringLiteral("127.0.0.1"));
            typeInto(site->Username, VsftpdServer::userName());
            typeInto(site->InitPath, QStringLiteral("incoming/deep"));
            QTest::keyClick(site->InitPath, Qt::Key_Tab);
            site->Pages->setCurrentIndex(1);
            typeInto(site->port, QString::number(server.port()));
            typeInto(site->tasks, QStringLiteral("3"));
            QTest::mouseClick(site->passive, Qt::LeftButton);
            QTest::mouseClick(site->OkButton, Qt::LeftButton);
        });
        QTest::mouseClick(mgr.Add_Site, Qt::LeftButton);
        ASSERT_TRUE(script.finished()) << script.unexpected().join(',').toStdString();
    }
    QTest::mouseClick(mgr.Connect, Qt::LeftButton);
    ASSERT_EQ(mgr.result(), QDialog::Accepted);
    const std::shared_ptr<TSiteObject> site = mgr.selectedSite();
    ASSERT_NE(site, nullptr);

    SiteConnection connection = SiteConnection::fromSite(*site, options);
    EXPECT_EQ(site->Tasks, 3);
    EXPECT_EQ(connection.MaxTasks, 3);
    EXPECT_TRUE(connection.needsPassword);
    EXPECT_FALSE(connection.needsUsername);
    QString caption;
    bool masked = false;
    {
        ModalScript script;
        script.then<TDialog>([&](TDialog *dialog) {
            caption = dialog->windowTitle() + QLatin1Char('|') + dialog->Label1->text();
            masked = dialog->Edit1->echoMode() == QLineEdit::Password;
            typeInto(dialog->Edit1, VsftpdServer::password());
            QTest::mouseClick(dialog->OkButton, Qt::LeftButton);
        });
        mgr.completeLogin(connection);
        EXPECT_TRUE(script.finished()) << script.unexpected().join(',').toStdString();
    }
    EXPECT_EQ(caption, QStringLiteral("Needs password for session|Session Password:"));
    EXPECT_TRUE(masked);
    EXPECT_EQ(mgr.Dialog->Edit1->echoMode(), QLineEdit::Normal); // unmasked again afterwards

    // The engine connects, logs in and walks to the initial folder.
    TaskEngine engine;
    engine.startTimers();
    engine.connectMain(connection.request());
    TcFTP *ftp = engine.MainFTP();
    ASSERT_TRUE(ovtest::waitFor(
            [ftp] {
                return ftp->LoggedIn() && ftp->Folder() == QStringLiteral("\\incoming\\deep\\");
            },
            15000))
            << engine.log()->lines().join('\n').toStdString();
    EXPECT_TRUE(ftp->LoggedIn());
    EXPECT_TRUE(ftp->PassiveMode());
    EXPECT_EQ(ftp->Username(), VsftpdServer::userName());
    EXPECT_EQ(ftp->Port(), QString::number(server.port()));
    EXPECT_EQ(engine.MaxTasks(), 3);

    const QStringList commands = server.commands();
    EXPECT_TRUE(commands.contains(QStringLiteral("USER ") + VsftpdServer::userName()))
            << commands.join('\n').toStdString();
    // The host logs passwords masked; the login itself shows the password was right, and the
    // folder exists only in that user's tree.
    EXPECT_TRUE(commands.contains(QStringLiteral("CWD /incoming/deep")))
            << commands.join('\n').toStdString();
    engine.DisconnectMain();
    EXPECT_TRUE(ovtest::waitFor([ftp] { return ftp->State() == csNotConnected; }, 5000));
}
