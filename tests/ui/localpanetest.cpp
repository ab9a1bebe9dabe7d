// The local pane: its list and tree over a real folder, and the local file commands through the
// menus, the input dialog and the questions.
#include "windowdriver.h"

#include "ui/systemdesktopservices.h"
#include "widgets/headerstatus.h"

using ovtest::readFile;
using ovtest::writeFile;

namespace {

// Desktop services that move to the program's own trash (XDG_DATA_HOME points at a folder of
// the test's own), or have none when trashWorks is false.
class RecordingServices : public DesktopServices
{
public:
    bool openFile(const QString &, const QString &) override { return false; }
    bool openFolder(const QString &) override { return false; }
    bool startTextEditor(const QString &, const QString &) override { return false; }
    bool moveToTrash(const QString &path, QString *reason) override
    {
        *reason = QStringLiteral("no trash here");
        return trashWorks && SystemDesktopServices().moveToTrash(path, reason);
    }
    bool trashWorks = true;
};

bool inLocaleOrder(const QStringList &names)
{
    for (int i = 1; i < names.size(); ++i) {
        if (QString::localeAwareCompare(names.at(i - 1), names.at(i)) > 0)
            return false;
    }
    return true;
}

// A window showing a folder of its own, its trash in a folder of the test's own.
struct LocalPaneTest : ::testing::Test
{
    QTemporaryDir dir, dataHome;
    QByteArray oldDataHome = qgetenv("XDG_DATA_HOME");
    RecordingServices services;
    std::unique_ptr<TForm1> form;
    FileListView *list = nullptr;

    void SetUp() override
    {
        qputenv("XDG_DATA_HOME", dataHome.path().toUtf8());
        using Files = std::initializer_list<std::pair<const char *, int>>;
        for (const auto &[name, size] : Files{{"README", 10},
                                              {"notes.txt", 2048},
                                              {"Docs/upper-only.txt", 1},
                                              {"docs/lower-only.txt", 1}})
            ASSERT_TRUE(writeFile(path(name), QByteArray(size, 'x')));
        ASSERT_TRUE(QDir(dir.path()).mkpath("zeta/inner/deepest"));
        form = showForm();
        form->setDesktopServices(&services);
        list = form->localPane()->lWin();
        show();
    }
    void TearDown() override
    {
        form.reset();
        oldDataHome.isEmpty() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", oldDataHome);
    }
    QString path(const QString &name) const { return dir.filePath(name); }
    QString folder() const { return NativeToLocal(dir.path() + '/'); }
    void show()
    {
        form->ChangeLocalFolder(folder());
        ASSERT_EQ(form->currentLocalFolder(), folder());
    }
    QStringList onDisk() const
    {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
    }
    QTreeWidget *tree() const { return form->localPane()->LPathTree(); }
    QString status(int panel) const { return form->localPane()->LStat()->panelText(panel); }
};

} // namespace

TEST_F(LocalPaneTest, SiblingsDifferingByCaseOpenTheRightFolder)
{
    // clang-format off
    struct Step { const char *open; const char *folder; QStringList shown; };
    for (const Step &s : {Step{"Docs", "Docs\\", {"..", "upper-only.txt"}}, Step{"..", "", {}},
                          Step{"docs", "docs\\", {"..", "lower-only.txt"}}}) {
        // clang-format on
        doubleClickRow(list, rowOf(list, s.open));
        EXPECT_EQ(form->currentLocalFolder(), folder() + s.folder);
        if (!s.shown.isEmpty()) {
            EXPECT_EQ(captions(list), s.shown);
            EXPECT_EQ(tree()->currentItem()->text(0), s.open);
        }
    }
    // The tree holds both siblings, each once; a click on the other one lists that one.
    QTreeWidgetItem *parent = tree()->currentItem()->parent();
    EXPECT_EQ(childTexts(parent).count("Docs") + 10 * childTexts(parent).count("docs"), 11);
    clickNode(tree(), childNode(parent, "Docs"));
    EXPECT_EQ(form->currentLocalFolder(), folder() + "Docs\\");
    EXPECT_EQ(captions(list), QStringList({"..", "upper-only.txt"}));
}

TEST_F(LocalPaneTest, AddFileItemShowsOnlyItemsOfTheFolderShown)
{
    const int before = list->rowCount();
    // A late result for another folder, or for the same name in another letter case.
    QString otherCase = folder();
    otherCase = otherCase.left(3) + otherCase.mid(3).toUpper();
    EXPECT_EQ(form->AddFileItem(false, list, -1, 10, "late.txt", "Z:\\elsewhere\\"), -1);
    EXPECT_EQ(form->AddFileItem(false, list, -1, 10, "late.txt", otherCase), -1);
    EXPECT_EQ(list->rowCount(), before);

    // An item of the same caption is replaced, not doubled; a caption in another case is another.
    ASSERT_GE(form->AddFileItem(false, list, -1, 4096, "README", folder()), 0);
    EXPECT_EQ(list->rowCount(), before);
    EXPECT_EQ(list->text(rowOf(list, "README"), FileListView::SizeColumn), "4KB");
    EXPECT_GE(form->AddFileItem(false, list, -1, 1, "readme", folder()), 0);

    // Arrivals and a folder made land at their sorted places, and the count follows them.
    for (const char *name : {"0first.bin", "middle.dat", "zzz"})
        form->AddFileItem(false, list, -1, 1, name, folder());
    form->AddFileItem(false, list, -1, -1, "Made", folder());
    QStringList files, folders;
    for (int row = 1; row < list->rowCount(); ++row) {
        const bool isFolder = list->kind(row) == FileListView::FolderEntry;
        EXPECT_FALSE(isFolder && !files.isEmpty()) << "a folder after the files";
        (isFolder ? folders : files) << list->text(row, FileListView::NameColumn);
    }
    EXPECT_TRUE(inLocaleOrder(files) && inLocaleOrder(folders))
            << (folders + files).join(' ').toStdString();
    EXPECT_EQ(list->rowCount(), before + 5);
    EXPECT_EQ(status(1), QStringLiteral("%1 object(s)").arg(before + 4));
}

TEST_F(LocalPaneTest, RenameTakesTheTypedNameWithItsCaseAndNeverOverwrites)
{
    selectRows(list, {"notes.txt"});
    EXPECT_EQ(UserScript().type("NOTES.TXT").trigger(form->Menu_Rename),
              QStringList{"Renaming Local File | Type new filename: | notes.txt"});
    EXPECT_TRUE(QFileInfo::exists(path("NOTES.TXT")) && !QFileInfo::exists(path("notes.txt")));
    EXPECT_EQ(rowOf(list, "notes.txt"), -1);
    // The same name, a name of removed characters only, a name that is taken: nothing changes.
    const QStringList before = onDisk();
    for (const char *typed : {"NOTES.TXT", "???", "README"}) {
        selectRows(list, {"NOTES.TXT"});
        UserScript().type(typed).trigger(form->Menu_Rename);
    }
    EXPECT_EQ(onDisk(), before);
    EXPECT_EQ(readFile(path("README")), QByteArray(10, 'x'));
    EXPECT_TRUE(logLines(*form).contains(" !: Could not rename 'NOTES.TXT' to 'README'."))
            << logLines(*form).join('\n').toStdString();
}

TEST_F(LocalPaneTest, DeleteAsksThenMovesToTheTrashAndNeverDeletesForGood)
{
    selectRows(list, {"zeta", "README"});
    EXPECT_EQ(UserScript().press(QMessageBox::No).trigger(form->Menu_Delete),
              QStringList{"Move selected file(s) and folder(s) to the trash?"});
    EXPECT_TRUE(onDisk().contains("zeta") && onDisk().contains("README"));

    selectRows(list, {"zeta", "README"});
    UserScript().press(QMessageBox::Yes).trigger(form->Menu_Delete);
    EXPECT_FALSE(onDisk().contains("zeta") || onDisk().contains("README"));
    EXPECT_EQ(rowOf(list, "zeta"), -1);
    const QDir trash(dataHome.filePath("Trash/files"));
    EXPECT_EQ(trash.entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name),
              QStringList({"README", "zeta"}));
    EXPECT_TRUE(QFileInfo(trash.filePath("zeta/inner/deepest")).isDir());

    // Without a trash nothing is deleted, and the user is told.
    services.trashWorks = false;
    selectRows(list, {"notes.txt"});
    const QStringList told = UserScript()
                                     .press(QMessageBox::Yes)
                                     .press(QMessageBox::Ok)
                                     .trigger(form->Menu_Delete);
    EXPECT_TRUE(told.value(1).contains("could not be moved to the trash")
                && told.value(1).contains(path("notes.txt")));
    EXPECT_TRUE(QFileInfo::exists(path("notes.txt")));
    EXPECT_GE(rowOf(list, "notes.txt"), 0);
}

TEST(SystemDesktopServices, EditorCommandLines)
{
    const QString file = QStringLiteral("/tmp/a b;$(x).txt");
    // $VISUAL may carry arguments; the file is one argument whatever it holds.
    // clang-format off
    struct Case { const char *visual; const char *desktopExec; QStringList command; };
    for (const Case &c : {Case{"emacsclient -c", "gedit %U", {"emacsclient", "-c", file}},
                          Case{"", "gedit %U", {"gedit", file}},
                          Case{"", "\"/opt/my editor/ed\" --new %f %i", {"/opt/my editor/ed", "--new", file}},
                          Case{"", "kate -b --50%%", {"kate", "-b", "--50%", file}},
                          Case{"", "", {}}, Case{" ", "%f", {}}})
        // clang-format on
        EXPECT_EQ(SystemDesktopServices::editorCommand(c.visual, c.desktopExec, file), c.command)
                << c.desktopExec;
}
