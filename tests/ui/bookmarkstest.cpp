// The bookmark buttons and their menu, driven by clicks on the buttons, the menu items and the
// input dialog: local bookmarks in name order, the selected one and the hint, removal, editing,
// a bookmark whose folder is gone.
#include "windowdriver.h"

#include "ui/bookmarks.h"

namespace {

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
    const QStringList addB = UserScript().choose("Add Bookmark").type("b").click(button);
    EXPECT_EQ(addB.value(1), "Adding Local Bookmark | Bookmark Name: | " + native("one"));
    form->ChangeLocalFolder(internal("two"));
    UserScript().choose("Add Bookmark").type("a").click(button);
    EXPECT_EQ(form->LocalBookmarks,
              QStringList({"a\r" + internal("two"), "b\r" + internal("one")}));
    EXPECT_EQ(button->toolTip(), "Bookmarks");

    // Going to "b" shows its folder and selects it.
    UserScript().choose("b").click(button);
    EXPECT_EQ(form->currentLocalFolder(), internal("one"));
    EXPECT_EQ(button->toolTip(), hint("b", native("one")));

    // Removing "a", listed before it, keeps "b" selected.
    UserScript().choose("Remove Bookmark").choose("a").click(button);
    EXPECT_EQ(form->LocalBookmarks, QStringList{"b\r" + internal("one")});
    EXPECT_EQ(form->bookmarks()->selectedIndex(Bookmarks::LocalSide), 0);
    EXPECT_EQ(button->toolTip(), hint("b", native("one")));

    // Editing asks for the name, then the folder.
    UserScript()
            .choose("Edit Bookmark")
            .choose("b")
            .type("zed")
            .type(native("three"))
            .click(button);
    EXPECT_EQ(form->LocalBookmarks, QStringList{"zed\r" + internal("three")});

    // A bookmark whose folder was deleted: the message, the folder stays, the bookmark is
    // selected all the same.
    ASSERT_TRUE(QDir(dir.filePath("three")).removeRecursively());
    const QString before = form->currentLocalFolder();
    const QStringList goGone = UserScript().choose("zed").press(QMessageBox::Ok).click(button);
    EXPECT_EQ(goGone.value(1), "Invalid Bookmark - Folder does not exist.");
    EXPECT_EQ(form->currentLocalFolder(), before);
    EXPECT_EQ(button->toolTip(), hint("zed", native("three")));
}
