// The host pane against a real vsftpd: Quick connect lists the host's folder, folders open by
// double-click, Reload and Buffer reach the host, and the window's connected look.
#include "formdriver.h"
#include "quickconnectdriver.h"
#include "ui/hostpane.h"
#include "ui/localpane.h"
#include "ui/logpanel.h"

#include "settings/options.h"
#include "support/vsftpdserver.h"
#include "tasks/taskengine.h"
#include "ui/tdialog.h"
#include "ui/tlogin.h"
#include "ui/tzetup.h"
#include "ui/wavplayer.h"
#include "widgets/headerstatus.h"
#include "widgets/logview.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>

using ovtest::VsftpdServer;

namespace {

int countCommands(const VsftpdServer &server, const QString &word)
{
    int n = 0;
    for (const QString &line : server.commands())
        n += line.startsWith(word, Qt::CaseInsensitive) ? 1 : 0;
    return n;
}

QStringList logLines(TForm1 &form)
{
    QStringList lines;
    for (int i = 0; i < form.logPanel()->lineCount(); ++i)
        lines << form.logPanel()->line(i);
    return lines;
}

QTreeWidgetItem *childNamed(QTreeWidgetItem *node, const QString &text)
{
    for (int i = 0; node && i < node->childCount(); ++i) {
        if (node->child(i)->text(0) == text)
            return node->child(i);
    }
    return nullptr;
}

struct Connected
{
    VsftpdServer server;
    std::unique_ptr<TForm1> form;

    explicit Connected(std::function<void(TForm1 &)> beforeConnecting = {})
    {
        EXPECT_TRUE(server.start());
        server.createUserFile("top.txt", "top");
        server.createUserFile("pub/readme.txt", "read me");
        server.createUserFile("pub/sub/deep.txt", "deep");
        server.createUserFolder("docs");
        form = showForm();
        if (beforeConnecting)
            beforeConnecting(*form);
        quickConnect(*form, {server.port(), VsftpdServer::userName(), VsftpdServer::password()});
    }
};

} // namespace

TEST(RemotePane, QuickConnectListsTheHostAndFoldersOpenByDoubleClick)
{
    Connected c;
    TForm1 &form = *c.form;
    ASSERT_TRUE(waitForHostList(form, "\\", {"docs", "pub", "top.txt"}))
            << captions(form.hostPane()->rWin()).join(", ").toStdString() << "\n"
            << logLines(form).join("\n").toStdString();

    // The connected look.
    EXPECT_EQ(form.tbBtn_Quick->text(), "Log Off");
    EXPECT_EQ(form.windowTitle(), "Orvane FTP - Connected to : 127.0.0.1");
    EXPECT_EQ(form.windowIconText(), "127.0.0.1 - Orvane FTP");
    EXPECT_TRUE(form.hostPane()->rpanel2()->isVisible());
    EXPECT_FALSE(form.hostPane()->RPanelCaption()->isVisible());
    EXPECT_EQ(form.hostPane()->RStat()->panelText(1), "3 object(s)"); // no ".." at the root folder
    EXPECT_EQ(form.hostPane()->RStat()->panelText(2), "\\");
    QTreeWidgetItem *root = form.hostPane()->RPathTree()->topLevelItem(0);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->text(0), "(Host Computer)");
    EXPECT_TRUE(root->isExpanded()); // the first listing opens the root
    QTreeWidgetItem *pub = childNamed(root, "pub");
    ASSERT_NE(pub, nullptr);
    EXPECT_EQ(pub->childCount(), 1); // its ".." placeholder: not listed yet
    EXPECT_FALSE(form.hostPane()->isListedNode(pub));

    // The password never reaches the log or the log-in window; the masked form does.
    const QStringList log = logLines(form);
    EXPECT_TRUE(log.contains("<<: pass *****")) << log.join("\n").toStdString();
    EXPECT_FALSE(log.join("\n").contains(VsftpdServer::password()));
    bool maskedInLogin = false;
    for (int i = 0; i < form.LogIn->lineCount(); ++i) {
        maskedInLogin |= form.LogIn->line(i) == "Sending password to host (pass *****)";
        EXPECT_FALSE(form.LogIn->line(i).contains(VsftpdServer::password()));
    }
    EXPECT_TRUE(maskedInLogin);
    EXPECT_TRUE(form.Menu_ShowLoginInfo->isEnabled());
    // Options a running session was started with cannot change now.
    EXPECT_FALSE(form.Zetup->Resume->isEnabled());
    EXPECT_FALSE(form.Zetup->KAP->isEnabled());
    EXPECT_FALSE(form.Zetup->ASCExtBtn->isEnabled());

    // Double-clicking a folder lists it on the host and shows it.
    const int listsBefore = countCommands(c.server, "LIST");
    doubleClickRow(form.hostPane()->rWin(), rowOf(form.hostPane()->rWin(), "pub"));
    ASSERT_TRUE(waitForHostList(form, "\\pub\\", {"..", "readme.txt", "sub"}))
            << captions(form.hostPane()->rWin()).join(", ").toStdString();
    EXPECT_EQ(countCommands(c.server, "LIST"), listsBefore + 1);
    EXPECT_TRUE(c.server.commands().contains("CWD /pub")) << c.server.log().toStdString();
    EXPECT_EQ(form.hostPane()->RStat()->panelText(1), "2 object(s)");
    EXPECT_EQ(form.hostPane()->RStat()->panelText(2), "\\pub\\");
    EXPECT_TRUE(form.hostPane()->isListedNode(pub));
    EXPECT_EQ(form.hostPane()->RPathTree()->currentItem(), pub);
    EXPECT_TRUE(log.size() < logLines(form).size());
    EXPECT_TRUE(logLines(form).contains("  : Listing host folder '\\pub\\'"));
    // ".." is marked listed (the root is buffered); the unlisted "sub" is not.
    const auto listed = [&form](const QString &name) {
        return form.hostPane()
                ->rWin()
                ->model()
                ->index(rowOf(form.hostPane()->rWin(), name), FileListView::NameColumn)
                .data(HostPane::ListedRole)
                .toBool();
    };
    EXPECT_TRUE(listed(".."));
    EXPECT_FALSE(listed("sub"));

    // Back up: the root folder is drawn from the buffer without asking the host.
    const int listsInPub = countCommands(c.server, "LIST");
    doubleClickRow(form.hostPane()->rWin(), rowOf(form.hostPane()->rWin(), ".."));
    ASSERT_TRUE(waitForHostList(form, "\\", {"docs", "pub", "top.txt"}));
    QTest::qWait(300);
    EXPECT_EQ(countCommands(c.server, "LIST"), listsInPub);
    EXPECT_TRUE(listed("pub"));
    EXPECT_FALSE(listed("docs"));

    // Reload asks the host again, and a file that appeared meanwhile shows.
    c.server.createUserFile("new.txt", "new");
    focusOn(form.hostPane()->rWin());
    ASSERT_TRUE(form.Menu_Reload->isEnabled());
    form.Menu_Reload->trigger();
    ASSERT_TRUE(waitForHostList(form, "\\", {"docs", "new.txt", "pub", "top.txt"}));
    EXPECT_EQ(countCommands(c.server, "LIST"), listsInPub + 1);

    // Buffer lists the folder's whole tree into the buffer; the tree shows it listed.
    ASSERT_TRUE(form.Menu_Buffer->isEnabled());
    form.Menu_Buffer->trigger();
    ListingBuffer &buffer = *form.engine()->MainFTP()->listingBuffer();
    ASSERT_TRUE(QTest::qWaitFor(
            [&] { return buffer.contains("\\pub\\sub\\") && buffer.contains("\\docs\\"); }, 15000))
            << c.server.log().toStdString();
    // The reload, then the two folders not listed before: docs and pub/sub.
    EXPECT_EQ(countCommands(c.server, "LIST"), listsInPub + 1 + 2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.engine()->transferQueue().isEmpty(); }, 5000));

    // Opening "docs" now needs no host command: it is buffered.
    const int listsBuffered = countCommands(c.server, "LIST");
    doubleClickRow(form.hostPane()->rWin(), rowOf(form.hostPane()->rWin(), "docs"));
    ASSERT_TRUE(waitForHostList(form, "\\docs\\", {".."}));
    EXPECT_EQ(form.hostPane()->RStat()->panelText(1), "0 object(s)");
    QTest::qWait(300);
    EXPECT_EQ(countCommands(c.server, "LIST"), listsBuffered);
}

TEST(RemotePane, ExpandingAnUnlistedNodeRequestsItsListingAndLogOffRestoresTheOfflineLook)
{
    // A connection sound: a short WAV of silence. Without an audio device it stays silent.
    QTemporaryDir dir;
    const QString wav = dir.filePath("connected.wav");
    {
        QFile file(wav);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        const quint32 samples = 800;
        QByteArray header("RIFF");
        auto put32 = [&header](quint32 v) {
            header.append(reinterpret_cast<const char *>(&v), 4);
        };
        auto put16 = [&header](quint16 v) {
            header.append(reinterpret_cast<const char *>(&v), 2);
        };
        put32(36 + samples * 2);
        header.append("WAVEfmt ");
        put32(16);
        put16(1);
        put16(1);
        put32(8000);
        put32(16000);
        put16(2);
        put16(16);
        header.append("data");
        put32(samples * 2);
        file.write(header);
        file.write(QByteArray(samples * 2, '\0'));
    }
    Connected c([&wav](TForm1 &form) {
        form.options().doSND1 = true;
        form.options().snd1 = wav;
    });
    TForm1 &form = *c.form;
    ASSERT_TRUE(waitForHostList(form, "\\", {"docs", "pub", "top.txt"}));
    EXPECT_EQ(form.wavPlayer()->playsAsked(), 1);
    EXPECT_EQ(form.wavPlayer()->lastFile(), wav);

    // The log-in information window: shown on request, hidden by OK.
    ASSERT_TRUE(form.Menu_ShowLoginInfo->isEnabled());
    form.Menu_ShowLoginInfo->trigger();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.LogIn));
    EXPECT_EQ(form.LogIn->windowTitle(), "Orvane FTP - Log-in Information");
    EXPECT_TRUE(form.LogIn->line(0).startsWith("220")) << form.LogIn->line(0).toStdString();
    QTest::mouseClick(form.LogIn->OkButton, Qt::LeftButton);
    EXPECT_FALSE(form.LogIn->isVisible());
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));

    // Stop while working reads "Reset" for half a second.
    form.tbBtn_Stop->trigger();
    EXPECT_EQ(form.tbBtn_Stop->text(), "Reset");
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.tbBtn_Stop->text() == "Stop"; }, 3000));
    QTreeWidgetItem *pub = childNamed(form.hostPane()->RPathTree()->topLevelItem(0), "pub");
    ASSERT_NE(pub, nullptr);

    // The expansion is refused until the listing arrives; then the node opens, while the list
    // keeps showing the folder it showed.
    const int listsBefore = countCommands(c.server, "LIST");
    pub->setExpanded(true);
    EXPECT_FALSE(pub->isExpanded());
    ASSERT_TRUE(QTest::qWaitFor(
            [&] { return form.hostPane()->isListedNode(pub) && pub->isExpanded(); }, 15000));
    EXPECT_EQ(countCommands(c.server, "LIST"), listsBefore + 1);
    EXPECT_NE(childNamed(pub, "sub"), nullptr);
    EXPECT_EQ(childNamed(pub, ".."), nullptr);
    EXPECT_EQ(form.currentHostFolder(), "\\");

    // The connected rules of the commands, item by item.
    focusOn(form.hostPane()->rWin());
    clickRow(form.hostPane()->rWin(), rowOf(form.hostPane()->rWin(), "top.txt"));
    EXPECT_FALSE(form.Menu_QuickConnect->isEnabled());
    EXPECT_TRUE(form.Menu_Disconnect->isEnabled());
    EXPECT_TRUE(form.Menu_Rename->isEnabled());
    EXPECT_TRUE(form.Menu_View->isEnabled());
    EXPECT_TRUE(form.Menu_Transfer->isEnabled());
    EXPECT_TRUE(form.Menu_Buffer->isEnabled());
    EXPECT_TRUE(form.tbBtn_Download->isEnabled());
    EXPECT_FALSE(form.tbBtn_Upload->isEnabled());
    EXPECT_TRUE(form.tbBtn_Stop->isEnabled());
    clickRow(form.hostPane()->rWin(), rowOf(form.hostPane()->rWin(), "pub"));
    EXPECT_FALSE(form.Menu_View->isEnabled()); // a folder
    EXPECT_TRUE(form.Menu_Delete->isEnabled());
    focusOn(form.localPane()->lWin());
    EXPECT_FALSE(form.Menu_Buffer->isEnabled());
    clickRow(form.localPane()->lWin(), 1);
    EXPECT_TRUE(form.tbBtn_Upload->isEnabled()); // logged in, a local item selected

    // Change Folder takes a folder relative to the root folder; the same folder in other
    // letters changes nothing.
    focusOn(form.hostPane()->rWin());
    whenShown(form.Dialog, [&form] {
        EXPECT_EQ(form.Dialog->windowTitle(), "Change Host Folder");
        EXPECT_EQ(form.Dialog->Label1->text(), "Type the host folder name:");
        EXPECT_EQ(form.Dialog->Edit1->text(), "\\");
        typeText(form.Dialog->Edit1, "pub/sub");
        QTest::mouseClick(form.Dialog->OkButton, Qt::LeftButton);
    });
    form.Menu_ChangeFolder->trigger();
    backTo(&form);
    ASSERT_TRUE(waitForHostList(form, "\\pub\\sub\\", {"..", "deep.txt"}));
    EXPECT_EQ(form.hostPane()->RPathTree()->currentItem(), childNamed(pub, "sub"));
    const int listsInSub = countCommands(c.server, "LIST");
    focusOn(form.hostPane()->rWin());
    whenShown(form.Dialog, [&form] {
        typeText(form.Dialog->Edit1, "\\PUB\\Sub\\");
        QTest::mouseClick(form.Dialog->OkButton, Qt::LeftButton);
    });
    form.Menu_ChangeFolder->trigger();
    backTo(&form);
    QTest::qWait(300);
    EXPECT_EQ(countCommands(c.server, "LIST"), listsInSub);
    EXPECT_EQ(form.currentHostFolder(), "\\pub\\sub\\");

    // A queue entry of no known kind is dropped with a message.
    form.engine()->transferQueue().append("zwhat");
    form.engine()->Pass();
    ASSERT_TRUE(
            QTest::qWaitFor([&] { return form.findChild<QMessageBox *>("EngineMessage"); }, 5000));
    QMessageBox *box = form.findChild<QMessageBox *>("EngineMessage");
    EXPECT_EQ(box->text(), "Unknown command from tranferqueue");
    box->accept();

    // Log Off: the pane returns to its offline look.
    form.tbBtn_Quick->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.tbBtn_Quick->text() == "Connect"; }, 10000));
    EXPECT_EQ(form.windowTitle(), "Orvane FTP");
    EXPECT_EQ(form.windowIconText(), "Orvane FTP");
    EXPECT_FALSE(form.hostPane()->rpanel2()->isVisible());
    EXPECT_TRUE(form.hostPane()->RPanelCaption()->isVisible());
    EXPECT_EQ(form.hostPane()->RPathTree()->topLevelItemCount(), 0);
    EXPECT_EQ(form.hostPane()->rWin()->rowCount(), 0);
    EXPECT_TRUE(form.Menu_QuickConnect->isEnabled());
    EXPECT_FALSE(form.Menu_Disconnect->isEnabled());
    EXPECT_TRUE(form.Zetup->Resume->isEnabled());
    EXPECT_TRUE(form.Zetup->ASCExtBtn->isEnabled());
    EXPECT_TRUE(logLines(form).contains("  : Maintask disconnected from host. Session closed."));
}
