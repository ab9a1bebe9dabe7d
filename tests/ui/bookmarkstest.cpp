// The bookmark buttons and their menu, driven by clicks on the buttons, the menu items and the
// input dialog: local bookmarks in name order, the selected one and the hint, removal, editing,
// a bookmark whose folder is gone; host bookmarks against vsftpd and back into their site.
#include "commanddriver.h"
#include "formdriver.h"
#include "quickconnectdriver.h"
#include "ui/hostpane.h"
#include "ui/localpane.h"

#include "platform/localpath.h"
#include "sites/tsiteobject.h"
#include "support/vsftpdserver.h"
#include "tasks/taskengine.h"
#include "ui/bookmarks.h"

#include <QTemporaryDir>

using ovtest::VsftpdServer;

namespace {

// Clicks the button; the script answers the menu it opens.
void press(QPushButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton);
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

    QStringList items;
    UserScript empty;
    empty.look(&items);
    press(button);
    ASSERT_TRUE(empty.waitFinished());
    EXPECT_EQ(items,
              QStringList({"Add Bookmark", "Edit Bookmark (off)", "Remove Bookmark (off)", "-"}));
    EXPECT_EQ(button->toolTip(), "Bookmarks");

    // "b" first, then "a": the menu lists "a" first.
    form->ChangeLocalFolder(internal("one"));
    UserScript addB;
    addB.choose("Add Bookmark").type("b");
    press(button);
    ASSERT_TRUE(addB.waitFinished());
    ASSERT_EQ(addB.seen().size(), 2);
    EXPECT_EQ(addB.seen().at(1), "Adding Local Bookmark | Bookmark Name: | " + native("one"));
    form->ChangeLocalFolder(internal("two"));
    UserScript addA;
    addA.choose("Add Bookmark").type("a");
    press(button);
    ASSERT_TRUE(addA.waitFinished());
    UserScript listed;
    listed.look(&items);
    press(button);
    ASSERT_TRUE(listed.waitFinished());
    EXPECT_EQ(items,
              QStringList({"Add Bookmark", "Edit Bookmark", "Remove Bookmark", "-", "a", "b"}));
    EXPECT_EQ(form->LocalBookmarks,
              QStringList({"a\r" + internal("two"), "b\r" + internal("one")}));
    EXPECT_EQ(button->toolTip(), "Bookmarks");

    // Going to "b" shows its folder and selects it.
    UserScript goB;
    goB.choose("b");
    press(button);
    ASSERT_TRUE(goB.waitFinished());
    EXPECT_EQ(form->currentLocalFolder(), internal("one"));
    // The list takes the focus (the window's focus widget while the menu is away).
    QWidget *focus = form->focusWidget();
    EXPECT_TRUE(focus
                && (focus == form->localPane()->lWin()
                    || form->localPane()->lWin()->isAncestorOf(focus)));
    EXPECT_EQ(button->toolTip(), hint("b", native("one")));

    // Removing "a", listed before it, keeps "b" selected.
    UserScript removeA;
    removeA.choose("Remove Bookmark").choose("a");
    press(button);
    ASSERT_TRUE(removeA.waitFinished());
    EXPECT_EQ(form->LocalBookmarks, QStringList{"b\r" + internal("one")});
    EXPECT_EQ(form->bookmarks()->selectedIndex(Bookmarks::LocalSide), 0);
    EXPECT_EQ(button->toolTip(), hint("b", native("one")));

    // Removing the selected one clears the selection.
    form->ChangeLocalFolder(internal("two"));
    UserScript addC;
    addC.choose("Add Bookmark").type("c");
    press(button);
    ASSERT_TRUE(addC.waitFinished());
    UserScript removeB;
    removeB.choose("Remove Bookmark").choose("b");
    press(button);
    ASSERT_TRUE(removeB.waitFinished());
    EXPECT_EQ(button->toolTip(), "Bookmarks");
    EXPECT_EQ(form->bookmarks()->selectedIndex(Bookmarks::LocalSide), -1);

    // Editing asks for the name, then the folder; Cancel at the second leaves it as it was.
    UserScript editCancelled;
    editCancelled.choose("Edit Bookmark").choose("c").type("c2").cancel();
    press(button);
    ASSERT_TRUE(editCancelled.waitFinished());
    ASSERT_EQ(editCancelled.seen().size(), 4);
    EXPECT_EQ(editCancelled.seen().at(2), "Editing Local Bookmark | Bookmark Name: | c");
    EXPECT_EQ(editCancelled.seen().at(3),
              "Editing Local Bookmark | Bookmark Folder: | " + native("two"));
    EXPECT_EQ(form->LocalBookmarks, QStringList{"c\r" + internal("two")});
    UserScript edit;
    edit.choose("Edit Bookmark").choose("c").type("zed").type(native("three"));
    press(button);
    ASSERT_TRUE(edit.waitFinished());
    EXPECT_EQ(form->LocalBookmarks, QStringList{"zed\r" + internal("three")});

    // A bookmark whose folder was deleted: the message, the folder stays, the bookmark is
    // selected all the same.
    ASSERT_TRUE(QDir(dir.filePath("three")).removeRecursively());
    const QString before = form->currentLocalFolder();
    UserScript goGone;
    goGone.choose("zed").press(QMessageBox::Ok);
    press(button);
    ASSERT_TRUE(goGone.waitFinished());
    ASSERT_EQ(goGone.seen().size(), 2);
    EXPECT_EQ(goGone.seen().at(1), "Invalid Bookmark - Folder does not exist.");
    EXPECT_EQ(form->currentLocalFolder(), before);
    EXPECT_EQ(button->toolTip(), hint("zed", native("three")));

    // Shift+B with the local list focused opens the local menu.
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    focusOn(form->localPane()->lWin());
    UserScript shiftB;
    shiftB.look(&items);
    form->Menu_ViewBookmarks->trigger();
    ASSERT_TRUE(shiftB.waitFinished());
    EXPECT_EQ(items.mid(4), QStringList{"zed"});
    EXPECT_EQ(form->bookmarks()->side(), Bookmarks::LocalSide);
}

TEST(Bookmarks, HostBookmarksListAfreshAndGoBackIntoTheirSite)
{
    VsftpdServer server;
    ASSERT_TRUE(server.start());
    server.createUserFile("pub/readme.txt", "read me");
    auto form = showForm();

    TSiteObject site;
    site.Host = "127.0.0.1";
    site.Port = server.port();
    site.Username = VsftpdServer::userName();
    site.Password = VsftpdServer::password();
    site.Anonymous = false;
    site.Bookmarks = "old\r\\pub\\";
    ConnectRequest request;
    request.site = &site;
    request.session.Host = site.Host;
    request.session.Port = QString::number(site.Port);
    request.session.Username = site.Username;
    request.session.Password = site.Password;
    request.passive = true;
    form->engine()->connectMain(request);
    ASSERT_TRUE(waitForHostList(*form, "\\", {"pub"})) << logLines(*form).join("\n").toStdString();
    QPushButton *button = form->hostPane()->rbookmark();

    const auto lists = [&server] {
        int n = 0;
        for (const QString &line : server.commands())
            n += line.startsWith("LIST") ? 1 : 0;
        return n;
    };
    UserScript goOld;
    goOld.choose("old");
    press(button);
    ASSERT_TRUE(goOld.waitFinished());
    ASSERT_TRUE(waitForHostList(*form, "\\pub\\", {"..", "readme.txt"}));
    EXPECT_EQ(button->toolTip(), hint("old", "\\pub\\"));
    EXPECT_EQ(form->bookmarks()->side(), Bookmarks::HostSide);

    // Back to the root, then the bookmark again: its "*list" goes to the session although the
    // folder is buffered, and the session shows it from the buffer.
    doubleClickRow(form->hostPane()->rWin(), rowOf(form->hostPane()->rWin(), ".."));
    ASSERT_TRUE(waitForHostList(*form, "\\", {"pub"}));
    const int listsBefore = lists();
    UserScript again;
    again.choose("old");
    press(button);
    ASSERT_TRUE(again.waitFinished());
    ASSERT_TRUE(waitForHostList(*form, "\\pub\\", {"..", "readme.txt"}));
    EXPECT_EQ(lists(), listsBefore);

    UserScript add;
    add.choose("Add Bookmark").type("docs");
    press(button);
    ASSERT_TRUE(add.waitFinished());
    ASSERT_EQ(add.seen().size(), 2);
    EXPECT_EQ(add.seen().at(1), "Adding Host Bookmark | Bookmark Name: | \\pub\\");

    // The session ends: the host bookmarks go back into the site record.
    form->tbBtn_Quick->trigger();
    ASSERT_TRUE(QTest::qWaitFor(
            [&] { return form->engine()->MainFTP()->State() == csNotConnected; }, 10000));
    EXPECT_EQ(site.Bookmarks, "docs\r\\pub\\\nold\r\\pub\\");
    EXPECT_EQ(button->toolTip(), "Bookmarks");
    EXPECT_EQ(form->bookmarks()->selectedIndex(Bookmarks::HostSide), -1);
}
