// The file commands on the local side, driven through the menus, the input dialog and the
// questions: rename, new folder, delete to the trash, open and view.
#include "commanddriver.h"
#include "formdriver.h"
#include "ui/localpane.h"

#include "platform/localpath.h"
#include "ui/filecommands.h"
#include "ui/systemdesktopservices.h"

#include <QTemporaryDir>

namespace {

struct LocalFixture
{
    QTemporaryDir dir;
    QTemporaryDir dataHome;
    QByteArray oldDataHome;
    bool hadDataHome;
    RecordingServices services;
    std::unique_ptr<TForm1> form;

    LocalFixture()
        : oldDataHome(qgetenv("XDG_DATA_HOME"))
        , hadDataHome(qEnvironmentVariableIsSet("XDG_DATA_HOME"))
    {
        EXPECT_TRUE(dir.isValid() && dataHome.isValid());
        // The trash goes into a folder of the test's own.
        qputenv("XDG_DATA_HOME", dataHome.path().toUtf8());
        form = showForm();
        form->setDesktopServices(&services);
    }
    ~LocalFixture()
    {
        form.reset();
        if (hadDataHome)
            qputenv("XDG_DATA_HOME", oldDataHome);
        else
            qunsetenv("XDG_DATA_HOME");
    }

    QString path(const QString &name) const { return dir.filePath(name); }
    QString folder() const { return dir.path() + QLatin1Char('/'); }

    // Shows the folder in the local pane, with the list focused.
    void show()
    {
        form->ChangeLocalFolder(NativeToLocal(folder()));
        ASSERT_EQ(form->currentLocalFolder(), NativeToLocal(folder()));
        focusOn(form->localPane()->lWin());
    }
    void select(const QStringList &names)
    {
        form->localPane()->lWin()->clearSelection();
        bool first = true;
        for (const QString &name : names) {
            clickRow(form->localPane()->lWin(),
                     rowOf(form->localPane()->lWin(), name),
                     first ? Qt::NoModifier : Qt::ControlModifier);
            first = false;
        }
        ASSERT_EQ(form->localPane()->lWin()->selectedRows().size(), names.size());
    }
    QStringList onDisk() const
    {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
    }
};

} // namespace

TEST(LocalCommands, RenameTakesTheTypedNameWithItsCaseAndNeverOverwrites)
{
    LocalFixture f;
    writeBytes(f.path("a.txt"), "one");
    writeBytes(f.path("b.txt"), "two");
    QDir(f.dir.path()).mkdir("Sub");
    f.show();

    // Only the case changes: on this file system that is another name.
    f.select({"a.txt"});
    UserScript toUpper;
    toUpper.type("A.TXT");
    f.form->Menu_Rename->trigger();
    ASSERT_TRUE(toUpper.waitFinished());
    EXPECT_EQ(toUpper.seen(), QStringList{"Renaming Local File | Type new filename: | a.txt"});
    EXPECT_EQ(f.onDisk(), QStringList({"A.TXT", "Sub", "b.txt"}));
    EXPECT_EQ(readAll(f.path("A.TXT")), "one");
    EXPECT_GE(rowOf(f.form->localPane()->lWin(), "A.TXT"), 0);
    EXPECT_EQ(rowOf(f.form->localPane()->lWin(), "a.txt"), -1);

    // The same name again, a name of removed characters only: nothing happens.
    const int logBefore = int(logLines(*f.form).size());
    for (const QString &typed : {QStringLiteral("A.TXT"), QStringLiteral("???")}) {
        f.select({"A.TXT"});
        UserScript script;
        script.type(typed);
        f.form->Menu_Rename->trigger();
        ASSERT_TRUE(script.waitFinished());
        EXPECT_EQ(f.onDisk(), QStringList({"A.TXT", "Sub", "b.txt"})) << typed.toStdString();
    }
    EXPECT_EQ(logLines(*f.form).size(), logBefore);

    // A name that is taken is refused: the other file stays as it was.
    f.select({"A.TXT"});
    UserScript taken;
    taken.type("b.txt");
    f.form->Menu_Rename->trigger();
    ASSERT_TRUE(taken.waitFinished());
    EXPECT_EQ(readAll(f.path("b.txt")), "two");
    EXPECT_EQ(readAll(f.path("A.TXT")), "one");
    EXPECT_TRUE(logLines(*f.form).contains(" !: Could not rename 'A.TXT' to 'b.txt'."))
            << logLines(*f.form).join("\n").toStdString();

    // One dialog per item, files first; Cancel ends that item only.
    f.select({"A.TXT", "Sub", "b.txt"});
    UserScript several;
    several.cancel().type("c.txt").type("Sub2");
    f.form->Menu_Rename->trigger();
    ASSERT_TRUE(several.waitFinished());
    EXPECT_EQ(several.seen(),
              QStringList({"Renaming Local File | Type new filename: | A.TXT",
                           "Renaming Local File | Type new filename: | b.txt",
                           "Renaming Local Folder | Type new foldername: | Sub"}));
    EXPECT_EQ(f.onDisk(), QStringList({"A.TXT", "Sub2", "c.txt"}));
    EXPECT_GE(rowOf(f.form->localPane()->lWin(), "Sub2"), 0);
    EXPECT_GE(rowOf(f.form->localPane()->lWin(), "c.txt"), 0);
}

TEST(LocalCommands, NewFolderBelowTheCurrentFolderOrAtAFullPath)
{
    LocalFixture f;
    f.show();

    UserScript fresh;
    fresh.type("fresh");
    f.form->Menu_NewFolder->trigger();
    ASSERT_TRUE(fresh.waitFinished());
    EXPECT_EQ(fresh.seen(), QStringList{"Create New Local Folder | Type new foldername: | "});
    EXPECT_TRUE(QFileInfo(f.path("fresh")).isDir());
    EXPECT_GE(rowOf(f.form->localPane()->lWin(), "fresh"), 0);

    // It exists now: the second one fails and says so.
    UserScript again;
    again.type("fresh");
    f.form->Menu_NewFolder->trigger();
    ASSERT_TRUE(again.waitFinished());
    EXPECT_TRUE(logLines(*f.form).contains("!!: Cannot create folder."));

    UserScript full;
    full.type(f.path("fresh/inner"));
    f.form->Menu_NewFolder->trigger();
    ASSERT_TRUE(full.waitFinished());
    EXPECT_TRUE(QFileInfo(f.path("fresh/inner")).isDir());

    // Cancel makes nothing.
    UserScript cancelled;
    cancelled.cancel();
    f.form->Menu_NewFolder->trigger();
    ASSERT_TRUE(cancelled.waitFinished());
    EXPECT_EQ(f.onDisk(), QStringList{"fresh"});
}

TEST(LocalCommands, DeleteAsksThenMovesToTheTrashAndNeverDeletesForGood)
{
    LocalFixture f;
    writeBytes(f.path("x.txt"), "x");
    writeBytes(f.path("tree/inner.txt"), "inner");
    writeBytes(f.path("keep.txt"), "keep");
    f.show();

    f.select({"tree", "x.txt"});
    UserScript no;
    no.press(QMessageBox::No);
    f.form->Menu_Delete->trigger();
    ASSERT_TRUE(no.waitFinished());
    EXPECT_EQ(no.seen(), QStringList{"Move selected file(s) and folder(s) to the trash?"});
    EXPECT_EQ(f.onDisk(), QStringList({"keep.txt", "tree", "x.txt"}));
    EXPECT_TRUE(f.services.calls.isEmpty());

    f.select({"tree", "x.txt"});
    UserScript yes;
    yes.press(QMessageBox::Yes);
    f.form->Menu_Delete->trigger();
    ASSERT_TRUE(yes.waitFinished());
    EXPECT_EQ(f.onDisk(), QStringList{"keep.txt"});
    EXPECT_EQ(listCaptions(f.form->localPane()->lWin()).filter("x.txt").size(), 0);
    EXPECT_EQ(rowOf(f.form->localPane()->lWin(), "tree"), -1);
    const QDir trash(f.dataHome.filePath("Trash/files"));
    EXPECT_EQ(trash.entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name),
              QStringList({"tree", "x.txt"}));
    EXPECT_EQ(readAll(trash.filePath("tree/inner.txt")), "inner");

    // Without a trash nothing is deleted, and the user is told.
    f.services.trashWorks = false;
    f.select({"keep.txt"});
    UserScript noTrash;
    noTrash.press(QMessageBox::Yes).press(QMessageBox::Ok);
    f.form->Menu_Delete->trigger();
    ASSERT_TRUE(noTrash.waitFinished());
    ASSERT_EQ(noTrash.seen().size(), 2);
    EXPECT_TRUE(noTrash.seen().at(1).contains("could not be moved to the trash"));
    EXPECT_TRUE(noTrash.seen().at(1).contains(f.path("keep.txt")));
    EXPECT_EQ(readAll(f.path("keep.txt")), "keep");
    EXPECT_GE(rowOf(f.form->localPane()->lWin(), "keep.txt"), 0);

    // No usable trash (its folder cannot be made): nothing moves, not even below the working
    // folder, and the message says why.
    f.services.trashWorks = true;
    writeBytes(f.path("blocker"), "a file where the data folder would be");
    qputenv("XDG_DATA_HOME", f.path("blocker/data").toUtf8());
    QTemporaryDir work;
    const QString oldCurrent = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(work.path()));
    f.select({"keep.txt"});
    UserScript unusable;
    unusable.press(QMessageBox::Yes).press(QMessageBox::Ok);
    f.form->Menu_Delete->trigger();
    const bool answered = unusable.waitFinished();
    QDir::setCurrent(oldCurrent);
    ASSERT_TRUE(answered);
    ASSERT_EQ(unusable.seen().size(), 2);
    EXPECT_TRUE(unusable.seen().at(1).contains("were not deleted"))
            << unusable.seen().at(1).toStdString();
    EXPECT_TRUE(unusable.seen().at(1).contains("Not a directory"))
            << unusable.seen().at(1).toStdString();
    EXPECT_EQ(readAll(f.path("keep.txt")), "keep");
    EXPECT_EQ(QDir(work.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

TEST(LocalCommands, OpenAndViewHandTheFileToTheDesktop)
{
    LocalFixture f;
    writeBytes(f.path("doc.txt"), "doc");
    QDir(f.dir.path()).mkdir("Folder");
    f.show();
    const QString doc = f.path("doc.txt");

    // The desktop cannot open it: after a Yes the text editor gets it.
    f.services.opens = false;
    f.select({"doc.txt"});
    UserScript fallBack;
    fallBack.press(QMessageBox::Yes);
    f.form->Menu_Open->trigger();
    ASSERT_TRUE(fallBack.waitFinished());
    EXPECT_EQ(fallBack.seen(),
              QStringList{"Unable to open 'doc.txt' with an associated program.\n\nWould you "
                          "like to view it in your default text editor instead?"});
    EXPECT_EQ(f.services.calls,
              QStringList(
                      {"open " + doc + " in " + f.folder(), "edit " + doc + " in " + f.folder()}));

    // A No leaves it at that.
    f.services.calls.clear();
    UserScript declined;
    declined.press(QMessageBox::No);
    f.form->Menu_Open->trigger();
    ASSERT_TRUE(declined.waitFinished());
    EXPECT_EQ(f.services.calls, QStringList{"open " + doc + " in " + f.folder()});

    // View goes to the text editor directly; a folder in the selection is ignored.
    f.services.calls.clear();
    f.select({"doc.txt"});
    f.form->Menu_View->trigger();
    EXPECT_EQ(f.services.calls, QStringList{"edit " + doc + " in " + f.folder()});

    // A folder the desktop cannot show is reported.
    f.services.calls.clear();
    f.select({"Folder"});
    UserScript folderMessage;
    folderMessage.press(QMessageBox::Ok);
    f.form->fileCommands()->LocalFileAction(f.form->localPane()->lWin(), FileCommands::Open);
    ASSERT_TRUE(folderMessage.waitFinished());
    EXPECT_EQ(folderMessage.seen(), QStringList{"Unable to open folder 'Folder'."});
    EXPECT_EQ(f.services.calls, QStringList{"folder " + f.path("Folder") + "/"});
}

TEST(SystemDesktopServices, EditorCommandLines)
{
    const QString file = QStringLiteral("/tmp/a b;$(x).txt");
    // $VISUAL may carry arguments; the file is one argument whatever it holds.
    EXPECT_EQ(SystemDesktopServices::editorCommand("emacsclient -c", "gedit %U", file),
              QStringList({"emacsclient", "-c", file}));
    EXPECT_EQ(SystemDesktopServices::editorCommand("", "gedit %U", file),
              QStringList({"gedit", file}));
    EXPECT_EQ(SystemDesktopServices::editorCommand("", "\"/opt/my editor/ed\" --new %f %i", file),
              QStringList({"/opt/my editor/ed", "--new", file}));
    EXPECT_EQ(SystemDesktopServices::editorCommand("", "kate -b --50%%", file),
              QStringList({"kate", "-b", "--50%", file}));
    EXPECT_TRUE(SystemDesktopServices::editorCommand("", "", file).isEmpty());
    EXPECT_TRUE(SystemDesktopServices::editorCommand(" ", "%f", file).isEmpty());
}
