// The bookmark buttons and their menu, driven by clicks on the buttons, the menu items and the
// input dialog: local bookmarks in name order, the selected one and the hint, removal, editing,
// a bookmark whose folder is gone; host bookmarks against vsftpd and back into their site.
#include "windowdriver.h"

#include "ftp/tcftp.h"
#include "sites/tsiteobject.h"
#include "ui/bookmarks.h"

using ovtest::VsftpdServer;

namespace {

// Clicks the button with a script armed by steps for the menu and dialogs; what the script saw.
QStringList press(QPushButton *button, const std::function<void(UserScript &)> &steps)
{
    UserScript script;
    steps(script);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(script.waitFinished());
    return script.seen();
}

QString hint(const QString &name, const QString &folder)
{
    return "Selected Bookmark:\n\n  -  Name : " + name + "\n  -  Folder : " + folder;
}

} // namespace

TEST(Bookmarks, LocalBookmarksInNameOrderWithTheSelectionFollowingRemovals)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const char *name : {"one", "two", "three"})
        QDir(dir.path()).mkdir(name);
    const auto native = [&](const QString &name) {
        return dir.filePath(name) + "/";
    };
    const auto internal = [&](const QString &name) {
        return NativeToLocal(native(name));
    };
    auto form = showForm();
    QPushButton *button = form->localPane()->lbookmark();

    // "b" first, then "a": the list keeps "a" first.
    form->ChangeLocalFolder(internal("one"));
    const QStringList addB
            = press(button, [&](UserScript &s) { s.choose("Add Bookmark").type("b"); });
    EXPECT_EQ(addB.value(1), "Adding Local Bookmark | Bookmark Name: | " + native("one"));
    form->ChangeLocalFolder(internal("two"));
    press(button, [&](UserScript &s) { s.choose("Add Bookmark").type("a"); });
    EXPECT_EQ(form->LocalBookmarks,
              QStringList({"a\r" + internal("two"), "b\r" + internal("one")}));
    EXPECT_EQ(button->toolTip(), "Bookmarks");

    // Going to "b" shows its folder and selects it.
    press(button, [&](UserScript &s) { s.choose("b"); });
    EXPECT_EQ(form->currentLocalFolder(), internal("one"));
    EXPECT_EQ(button->toolTip(), hint("b", native("one")));

    // Removing "a", listed before it, keeps "b" selected.
    press(button, [&](UserScript &s) { s.choose("Remove Bookmark").choose("a"); });
    EXPECT_EQ(form->LocalBookmarks, QStringList{"b\r" + internal("one")});
    EXPECT_EQ(form->bookmarks()->selectedIndex(Bookmarks::LocalSide), 0);
    EXPECT_EQ(button->toolTip(), hint("b", native("one")));

    // Editing asks for the name, then the folder.
    press(button, [&](UserScript &s) {
        s.choose("Edit Bookmark").choose("b").type("zed").type(native("three"));
    });
    EXPECT_EQ(form->LocalBookmarks, QStringList{"zed\r" + internal("three")});

    // A bookmark whose folder was deleted: the message, the folder stays, the bookmark is
    // selected all the same.
    ASSERT_TRUE(QDir(dir.filePath("three")).removeRecursively());
    const QString before = form->currentLocalFolder();
    const QStringList goGone
            = press(button, [&](UserScript &s) { s.choose("zed").press(QMessageBox::Ok); });
    EXPECT_EQ(goGone.value(1), "Invalid Bookmark - Folder does not exist.");
    EXPECT_EQ(form->currentLocalFolder(), before);
    EXPECT_EQ(button->toolTip(), hint("zed", native("three")));
}

TEST(Bookmarks, HostBookmarksListAfreshAndGoBackIntoTheirSite)
{
    ovtest::FtpTestServer *server = hostWith({{"pub/readme.txt", "read me"}});
    ASSERT_NE(server, nullptr);
    auto form = showForm();

    TSiteObject site;
    site.Bookmarks = "old\r\\pub\\";
    ConnectRequest request;
    request.fromSite = true;
    request.hostBookmarks = site.Bookmarks.split('\n');
    QObject::connect(form->engine(),
                     &TaskEngine::hostBookmarksReturned,
                     [&site](const QStringList &items) { site.Bookmarks = items.join('\n'); });
    request.session.Host = "127.0.0.1";
    request.session.Port = QString::number(server->port());
    request.session.Username = VsftpdServer::userName();
    request.session.Password = VsftpdServer::password();
    request.passive = true;
    form->engine()->connectMain(request);
    ASSERT_TRUE(waitForHostList(*form, "\\", {"pub"})) << logLines(*form).join("\n").toStdString();
    QPushButton *button = form->hostPane()->rbookmark();

    const auto lists = [&server] {
        return server->commands().filter(QRegularExpression("^LIST")).size();
    };
    press(button, [&](UserScript &s) { s.choose("old"); });
    ASSERT_TRUE(waitForHostList(*form, "\\pub\\", {"..", "readme.txt"}));
    EXPECT_EQ(button->toolTip(), hint("old", "\\pub\\"));
    EXPECT_EQ(form->bookmarks()->side(), Bookmarks::HostSide);

    // Back to the root, then the bookmark again: its "*list" goes to the session although the
    // folder is buffered, and the session shows it from the buffer.
    doubleClickRow(form->hostPane()->rWin(), rowOf(form->hostPane()->rWin(), ".."));
    ASSERT_TRUE(waitForHostList(*form, "\\", {"pub"}));
    const int listsBefore = lists();
    press(button, [&](UserScript &s) { s.choose("old"); });
    ASSERT_TRUE(waitForHostList(*form, "\\pub\\", {"..", "readme.txt"}));
    EXPECT_EQ(lists(), listsBefore);

    const QStringList add
            = press(button, [&](UserScript &s) { s.choose("Add Bookmark").type("docs"); });
    EXPECT_EQ(add.value(1), "Adding Host Bookmark | Bookmark Name: | \\pub\\");

    // The session ends: the host bookmarks go back into the site record.
    form->tbBtn_Quick->trigger();
    ASSERT_TRUE(QTest::qWaitFor(
            [&] { return form->engine()->MainFTP()->State() == csNotConnected; }, 10000));
    EXPECT_EQ(site.Bookmarks, "docs\r\\pub\\\nold\r\\pub\\");
    EXPECT_EQ(button->toolTip(), "Bookmarks");
    EXPECT_EQ(form->bookmarks()->selectedIndex(Bookmarks::HostSide), -1);
}
