// The host pane against vsftpd: Quick connect lists the host's folder, folders open by
// double-click, by expanding their node and by Change Folder, Reload and Buffer reach the host,
// and Log Off returns the pane to its offline look.
#include "windowdriver.h"

#include "ftp/tcftp.h"
#include "widgets/headerstatus.h"

TEST(RemotePane, ListsOpensBuffersReloadsAndLogsOff)
{
    ConnectedWindow w;
    ASSERT_TRUE(w.connect({"top.txt", "pub/readme.txt", "pub/sub/deep.txt", "docs/"},
                          {"docs", "pub", "top.txt"}));
    TForm1 &form = *w.form;
    EXPECT_EQ(form.hostPane()->RStat()->panelText(1), "3 object(s)"); // no ".." at the root folder
    QTreeWidgetItem *pub = childNode(form.hostPane()->RPathTree()->topLevelItem(0), "pub");
    ASSERT_NE(pub, nullptr);

    // The expansion is refused until the listing arrives; then the node opens, while the list
    // keeps showing the folder it showed.
    pub->setExpanded(true);
    EXPECT_FALSE(pub->isExpanded());
    ASSERT_TRUE(QTest::qWaitFor(
            [&] { return form.hostPane()->isListedNode(pub) && pub->isExpanded(); }, 15000));
    EXPECT_EQ(childTexts(pub), QStringList{"sub"});
    EXPECT_EQ(form.currentHostFolder(), "\\");

    // Double-clicking a listed folder shows it from the buffer; back up, the same.
    doubleClickRow(w.hostList(), rowOf(w.hostList(), "pub"));
    ASSERT_TRUE(waitForHostList(form, "\\pub\\", {"..", "readme.txt", "sub"}));
    EXPECT_EQ(form.hostPane()->RStat()->panelText(2), "\\pub\\");
    EXPECT_EQ(form.hostPane()->RPathTree()->currentItem(), pub);
    doubleClickRow(w.hostList(), rowOf(w.hostList(), ".."));
    ASSERT_TRUE(waitForHostList(form, "\\", {"docs", "pub", "top.txt"}));
    QTest::qWait(300);
    EXPECT_EQ(w.count("LIST"), 2);

    // Reload asks the host again, and a file that appeared meanwhile shows.
    w.host->createUserFile("new.txt", "new");
    focusOn(w.hostList());
    form.Menu_Reload->trigger();
    ASSERT_TRUE(waitForHostList(form, "\\", {"docs", "new.txt", "pub", "top.txt"}));
    EXPECT_EQ(w.count("LIST"), 3);

    // Buffer lists the folder's whole tree: the two folders not listed before.
    form.Menu_Buffer->trigger();
    ListingBuffer &buffer = *w.engine()->MainFTP()->listingBuffer();
    ASSERT_TRUE(QTest::qWaitFor(
            [&] { return buffer.contains("\\pub\\sub\\") && buffer.contains("\\docs\\"); }, 15000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.engine()->transferQueue().isEmpty(); }, 5000));
    EXPECT_EQ(w.count("LIST"), 5);

    // Change Folder takes a folder relative to the root folder; the same folder in other
    // letters changes nothing; both come from the buffer.
    for (const char *typed : {"pub/sub", "\\PUB\\Sub\\"}) {
        focusOn(w.hostList());
        UserScript().type(typed).trigger(form.Menu_ChangeFolder);
        ASSERT_TRUE(waitForHostList(form, "\\pub\\sub\\", {"..", "deep.txt"}));
        EXPECT_EQ(form.hostPane()->RPathTree()->currentItem(), childNode(pub, "sub"));
    }
    QTest::qWait(300);
    EXPECT_EQ(w.count("LIST"), 5);

    // Log Off: the pane returns to its offline look.
    form.tbBtn_Quick->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.tbBtn_Quick->text() == "Connect"; }, 10000));
    EXPECT_FALSE(form.hostPane()->rpanel2()->isVisible());
    EXPECT_EQ(form.hostPane()->RPathTree()->topLevelItemCount(), 0);
    EXPECT_EQ(w.hostList()->rowCount(), 0);
    EXPECT_TRUE(form.Menu_QuickConnect->isEnabled() && !form.Menu_Disconnect->isEnabled());
    EXPECT_TRUE(logLines(form).contains("  : Maintask disconnected from host. Session closed."));
}
