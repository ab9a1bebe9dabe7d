// The file commands on the host side against a real vsftpd, driven through the menus, the
// questions and the input dialog: receive, send, delete a folder tree, rename, new folder, open
// and view through the temporary folders.
#include "commanddriver.h"
#include "formdriver.h"
#include "quickconnectdriver.h"
#include "ui/hostpane.h"
#include "ui/localpane.h"

#include "platform/localpath.h"
#include "settings/options.h"
#include "support/vsftpdserver.h"
#include "tasks/taskengine.h"

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

QTreeWidgetItem *hostChild(TForm1 &form, const QString &text)
{
    QTreeWidgetItem *root = form.hostPane()->RPathTree()->topLevelItem(0);
    for (int i = 0; root && i < root->childCount(); ++i) {
        if (root->child(i)->text(0) == text)
            return root->child(i);
    }
    return nullptr;
}

struct HostFixture
{
    VsftpdServer server;
    QTemporaryDir local;
    QTemporaryDir temp;
    RecordingServices services;
    std::unique_ptr<TForm1> form;

    QString home(const QString &relative) const
    {
        return server.userHome() + QLatin1Char('/') + relative;
    }
    QString localPath(const QString &relative) const { return local.filePath(relative); }

    // Connects through Quick connect and waits for the root folder's list.
    ::testing::AssertionResult connect(const QStringList &rootList, int tasks = 2)
    {
        form = showForm();
        form->setDesktopServices(&services);
        // Confirmations on: the questions come before anything is queued.
        form->options().ConfirmTransfer = true;
        form->options().ConfirmDelete = true;
        if (!form->engine()->tempFolders().create(temp.path()))
            return ::testing::AssertionFailure() << "no temporary folders";
        quickConnect(
                *form,
                {server.port(), VsftpdServer::userName(), VsftpdServer::password(), {}, tasks});
        if (!waitForHostList(*form, QStringLiteral("\\"), rootList))
            return ::testing::AssertionFailure()
                   << listCaptions(form->hostPane()->rWin()).join(", ").toStdString() << "\n"
                   << logLines(*form).join("\n").toStdString();
        return ::testing::AssertionSuccess();
    }

    void selectHost(const QStringList &names)
    {
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        focusOn(form->hostPane()->rWin());
        form->hostPane()->rWin()->clearSelection();
        bool first = true;
        for (const QString &name : names) {
            clickRow(form->hostPane()->rWin(),
                     rowOf(form->hostPane()->rWin(), name),
                     first ? Qt::NoModifier : Qt::ControlModifier);
            first = false;
        }
        ASSERT_EQ(form->hostPane()->rWin()->selectedRows().size(), names.size());
    }
    void selectLocal(const QStringList &names)
    {
        form->ChangeLocalFolder(NativeToLocal(local.path() + QLatin1Char('/')));
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        focusOn(form->localPane()->lWin());
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
    bool idle() { return form->engine()->transferQueue().isEmpty(); }
};

} // namespace

TEST(HostCommands, ReceiveFilesAndAFolderTreeByteForByte)
{
    HostFixture f;
    ASSERT_TRUE(f.server.start());
    const QMap<QString, QByteArray> files{{"a.txt", sampleBytes(3000, 1)},
                                          {"b.bin", sampleBytes(200000, 2)},
                                          {"tree/x.txt", sampleBytes(5000, 3)},
                                          {"tree/sub/y.bin", sampleBytes(70000, 4)},
                                          {"tree/sub/deeper/z", sampleBytes(10, 5)}};
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        f.server.createUserFile(it.key(), it.value());
    f.server.createUserFile("not-this.txt", "no");
    ASSERT_TRUE(f.connect({"a.txt", "b.bin", "not-this.txt", "tree"}));
    f.form->options().DownLoadFolder = NativeToLocal(f.local.path() + QLatin1Char('/'));
    f.form->ChangeLocalFolder(f.form->options().DownLoadFolder);

    // With confirmations on, No drops the selection.
    f.selectHost({"a.txt", "b.bin", "tree"});
    UserScript no;
    no.press(QMessageBox::No);
    EXPECT_TRUE(f.form->Menu_Transfer->isEnabled());
    f.form->Menu_Transfer->trigger();
    ASSERT_TRUE(no.waitFinished());
    EXPECT_EQ(no.seen(), QStringList{"Receive selected file(s) and folder(s) from host?"});
    EXPECT_TRUE(f.form->engine()->transferQueue().isEmpty());

    f.selectHost({"a.txt", "b.bin", "tree"});
    UserScript yes;
    yes.press(QMessageBox::Yes);
    f.form->Menu_Transfer->trigger();
    ASSERT_TRUE(yes.waitFinished());
    const bool arrived = QTest::qWaitFor(
            [&] {
                for (auto it = files.cbegin(); it != files.cend(); ++it) {
                    if (readAll(f.localPath(it.key())) != it.value())
                        return false;
                }
                return true;
            },
            30000);
    EXPECT_TRUE(arrived) << logLines(*f.form).join("\n").toStdString();
    EXPECT_FALSE(QFileInfo::exists(f.localPath("not-this.txt")));
    EXPECT_EQ(countCommands(f.server, "RETR"), files.size());
    // What arrived shows in the local list on display.
    EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return rowOf(f.form->localPane()->lWin(), "a.txt") >= 0
                       && rowOf(f.form->localPane()->lWin(), "b.bin") >= 0
                       && rowOf(f.form->localPane()->lWin(), "tree") >= 0;
            },
            5000))
            << listCaptions(f.form->localPane()->lWin()).join(", ").toStdString();

    // Files only: the question names files; No leaves the queue empty and nothing is fetched.
    f.selectHost({"not-this.txt"});
    UserScript filesNo;
    filesNo.press(QMessageBox::No);
    f.form->Menu_Transfer->trigger();
    ASSERT_TRUE(filesNo.waitFinished());
    EXPECT_EQ(filesNo.seen(), QStringList{"Receive selected file(s) from host?"});
    EXPECT_TRUE(f.form->engine()->transferQueue().isEmpty());
    QTest::qWait(300);
    EXPECT_FALSE(QFileInfo::exists(f.localPath("not-this.txt")));

    // From the tree: its folder as a whole.
    f.form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(f.form.get()));
    focusOn(f.form->hostPane()->RPathTree());
    UserScript treeNo;
    treeNo.press(QMessageBox::No);
    f.form->Menu_Transfer->trigger();
    ASSERT_TRUE(treeNo.waitFinished());
    EXPECT_EQ(treeNo.seen(), QStringList{"Receive selected folder from host?"});
    EXPECT_TRUE(f.form->engine()->transferQueue().isEmpty());
}

// A fresh account has no Downloads folder: the first Receive makes it and says so.
TEST(HostCommands, ReceiveMakesAMissingDownloadFolder)
{
    HostFixture f;
    ASSERT_TRUE(f.server.start());
    f.server.createUserFile("a.bin", sampleBytes(3000, 21));
    f.server.createUserFile("tree/x.bin", sampleBytes(9000, 22));
    ASSERT_TRUE(f.connect({"a.bin", "tree"}));
    const QString downloads = f.localPath("fresh/Downloads");
    f.form->options().DownLoadFolder = NativeToLocal(downloads + QLatin1Char('/'));

    f.selectHost({"a.bin", "tree"});
    UserScript yes;
    yes.press(QMessageBox::Yes);
    f.form->Menu_Transfer->trigger();
    ASSERT_TRUE(yes.waitFinished());
    EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return readAll(downloads + "/a.bin") == sampleBytes(3000, 21)
                       && readAll(downloads + "/tree/x.bin") == sampleBytes(9000, 22);
            },
            30000))
            << logLines(*f.form).join("\n").toStdString();
    EXPECT_EQ(logLines(*f.form)
                      .filter("The folder '" + downloads + "/' did not exist; it has been made.")
                      .size(),
              1)
            << logLines(*f.form).join("\n").toStdString();
}

// Host folders whose names differ in case alone are shown each with its own files, in the
// list and in the tree.
TEST(HostCommands, FoldersDifferingInCaseAloneShowTheirOwnFiles)
{
    HostFixture f;
    ASSERT_TRUE(f.server.start());
    f.server.createUserFile("pub/Sub/upper.txt", "U");
    f.server.createUserFile("pub/sub/lower.txt", "l");
    ASSERT_TRUE(f.connect({"pub"}));
    doubleClickRow(f.form->hostPane()->rWin(), rowOf(f.form->hostPane()->rWin(), "pub"));
    ASSERT_TRUE(waitForHostList(*f.form, "\\pub\\", {"..", "Sub", "sub"}))
            << listCaptions(f.form->hostPane()->rWin()).join(", ").toStdString();
    doubleClickRow(f.form->hostPane()->rWin(), rowOf(f.form->hostPane()->rWin(), "Sub"));
    ASSERT_TRUE(waitForHostList(*f.form, "\\pub\\Sub\\", {"..", "upper.txt"}))
            << listCaptions(f.form->hostPane()->rWin()).join(", ").toStdString();
    doubleClickRow(f.form->hostPane()->rWin(), rowOf(f.form->hostPane()->rWin(), ".."));
    ASSERT_TRUE(waitForHostList(*f.form, "\\pub\\", {"..", "Sub", "sub"}));
    doubleClickRow(f.form->hostPane()->rWin(), rowOf(f.form->hostPane()->rWin(), "sub"));
    EXPECT_TRUE(waitForHostList(*f.form, "\\pub\\sub\\", {"..", "lower.txt"}))
            << listCaptions(f.form->hostPane()->rWin()).join(", ").toStdString();

    QTreeWidgetItem *pub = hostChild(*f.form, "pub");
    ASSERT_NE(pub, nullptr);
    QStringList nodes;
    for (int i = 0; i < pub->childCount(); ++i)
        nodes << pub->child(i)->text(0);
    EXPECT_EQ(nodes, QStringList({"Sub", "sub"}));
    ASSERT_NE(f.form->hostPane()->RPathTree()->currentItem(), nullptr);
    EXPECT_EQ(f.form->hostPane()->RPathTree()->currentItem()->text(0), "sub");
    EXPECT_EQ(f.form->hostPane()->RPathTree()->currentItem()->parent(), pub);
}

TEST(HostCommands, SendFilesAndALocalFolderTreeThenCompareOnTheHost)
{
    HostFixture f;
    ASSERT_TRUE(f.server.start());
    f.server.createUserFolder("docs");
    const QMap<QString, QByteArray> files{{"s1.txt", QByteArray("text line\n").repeated(400)},
                                          {"s2.bin", sampleBytes(150000, 12)},
                                          {"up/u.txt", QByteArray("one\ntwo\n")},
                                          {"up/inner/v.bin", sampleBytes(90000, 14)}};
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        writeBytes(f.localPath(it.key()), it.value());
    // Text files go in type A, their lines ending in CR LF, which vsftpd stores as they came.
    QMap<QString, QByteArray> onHost = files;
    for (auto it = onHost.begin(); it != onHost.end(); ++it) {
        if (it.key().endsWith(QLatin1String(".txt")))
            it.value().replace("\n", "\r\n");
    }
    QDir().mkpath(f.localPath("up/inner/deepest"));
    writeBytes(f.localPath("stay.txt"), "stay");
    ASSERT_TRUE(f.connect({"docs"}));

    // A folder alone: the question names folders; No sends nothing.
    f.selectLocal({"up"});
    UserScript no;
    no.press(QMessageBox::No);
    EXPECT_TRUE(f.form->Menu_Transfer->isEnabled());
    f.form->Menu_Transfer->trigger();
    ASSERT_TRUE(no.waitFinished());
    EXPECT_EQ(no.seen(), QStringList{"Send selected folder(s) to host?"});
    EXPECT_TRUE(f.form->engine()->transferQueue().isEmpty());
    f.form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(f.form.get()));
    focusOn(f.form->localPane()->LPathTree());
    UserScript treeNo;
    treeNo.press(QMessageBox::No);
    f.form->Menu_Transfer->trigger();
    ASSERT_TRUE(treeNo.waitFinished());
    EXPECT_EQ(treeNo.seen(), QStringList{"Send selected folder to host?"});
    EXPECT_TRUE(f.form->engine()->transferQueue().isEmpty());

    f.selectLocal({"s1.txt", "s2.bin", "up"});
    UserScript yes;
    yes.press(QMessageBox::Yes);
    f.form->tbBtn_Upload->trigger();
    ASSERT_TRUE(yes.waitFinished());
    EXPECT_EQ(yes.seen(), QStringList{"Send selected file(s) and folder(s) to host?"});
    const bool arrived = QTest::qWaitFor(
            [&] {
                for (auto it = onHost.cbegin(); it != onHost.cend(); ++it) {
                    if (readAll(f.home(it.key())) != it.value())
                        return false;
                }
                return QFileInfo(f.home("up/inner/deepest")).isDir();
            },
            30000);
    EXPECT_TRUE(arrived) << logLines(*f.form).join("\n").toStdString() << "\n"
                         << f.server.log().toStdString();
    EXPECT_FALSE(QFileInfo::exists(f.home("stay.txt")));
    // The host list on display shows what was sent.
    EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return rowOf(f.form->hostPane()->rWin(), "s1.txt") >= 0
                       && rowOf(f.form->hostPane()->rWin(), "s2.bin") >= 0
                       && rowOf(f.form->hostPane()->rWin(), "up") >= 0;
            },
            5000))
            << listCaptions(f.form->hostPane()->rWin()).join(", ").toStdString();
}

TEST(HostCommands, DeleteAHostFolderTreeDeepestFirstAndFilesByName)
{
    HostFixture f;
    ASSERT_TRUE(f.server.start());
    f.server.createUserFile("gone/a.txt", "a");
    f.server.createUserFile("gone/sub/b.txt", "b");
    f.server.createUserFile("gone/sub/deeper/c.txt", "c");
    f.server.createUserFile("keep.txt", "keep");
    f.server.createUserFile("drop.txt", "drop");
    ASSERT_TRUE(f.connect({"drop.txt", "gone", "keep.txt"}, 1));
    ASSERT_NE(hostChild(*f.form, "gone"), nullptr);

    f.selectHost({"gone"});
    UserScript no;
    no.press(QMessageBox::No);
    f.form->Menu_Delete->trigger();
    ASSERT_TRUE(no.waitFinished());
    EXPECT_EQ(no.seen(), QStringList{"Delete selected host folder(s)?"});
    EXPECT_TRUE(f.form->engine()->transferQueue().isEmpty());
    EXPECT_TRUE(f.form->engine()->mainCmdList().isEmpty());

    const int before = int(f.server.commands().size());
    f.selectHost({"gone"});
    UserScript yes;
    yes.press(QMessageBox::Yes);
    f.form->tbBtn_Delete->trigger();
    ASSERT_TRUE(yes.waitFinished());
    EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return !QFileInfo::exists(f.home("gone"))
                       && rowOf(f.form->hostPane()->rWin(), "gone") < 0
                       && !hostChild(*f.form, "gone");
            },
            20000))
            << logLines(*f.form).join("\n").toStdString();
    EXPECT_EQ(readAll(f.home("keep.txt")), "keep");

    // After the tree was listed: to the parent folder, each file, then the folders deepest first.
    QStringList deletes;
    QString lastCwd;
    for (const QString &line : f.server.commands().mid(before)) {
        if (line.startsWith("CWD") && deletes.isEmpty())
            lastCwd = line;
        if (line.startsWith("DELE") || line.startsWith("RMD"))
            deletes << line;
    }
    EXPECT_EQ(lastCwd, "CWD /");
    ASSERT_EQ(deletes.size(), 6) << deletes.join("\n").toStdString();
    QStringList dele = deletes.mid(0, 3);
    dele.sort();
    EXPECT_EQ(dele,
              QStringList(
                      {"DELE /gone/a.txt", "DELE /gone/sub/b.txt", "DELE /gone/sub/deeper/c.txt"}));
    EXPECT_EQ(deletes.mid(3), QStringList({"RMD /gone/sub/deeper", "RMD /gone/sub", "RMD /gone"}));

    // Files: one "dele" each, with its own question.
    f.selectHost({"drop.txt"});
    UserScript file;
    file.press(QMessageBox::Yes);
    f.form->Menu_Delete->trigger();
    ASSERT_TRUE(file.waitFinished());
    EXPECT_EQ(file.seen(), QStringList{"Delete selected host file(s)?"});
    EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return !QFileInfo::exists(f.home("drop.txt"))
                       && rowOf(f.form->hostPane()->rWin(), "drop.txt") < 0;
            },
            10000));
    EXPECT_TRUE(f.server.commands().contains("DELE /drop.txt"));
    EXPECT_EQ(listCaptions(f.form->hostPane()->rWin()), QStringList{"keep.txt"});
}

TEST(HostCommands, RenameListsTheFolderAgainAndNewFoldersAppear)
{
    HostFixture f;
    ASSERT_TRUE(f.server.start());
    f.server.createUserFile("a.txt", "a");
    ASSERT_TRUE(f.connect({"a.txt"}, 1));

    f.selectHost({"a.txt"});
    UserScript upper;
    upper.type("A.TXT");
    f.form->Menu_Rename->trigger();
    ASSERT_TRUE(upper.waitFinished());
    EXPECT_EQ(upper.seen(), QStringList{"Renaming Host File | Type new filename: | a.txt"});
    EXPECT_TRUE(QTest::qWaitFor(
            [&] { return listCaptions(f.form->hostPane()->rWin()) == QStringList{"A.TXT"}; },
            10000))
            << listCaptions(f.form->hostPane()->rWin()).join(", ").toStdString();
    EXPECT_TRUE(f.server.commands().contains("RNFR /a.txt"));
    EXPECT_TRUE(f.server.commands().contains("RNTO /A.TXT"));
    EXPECT_EQ(readAll(f.home("A.TXT")), "a");

    // Removed characters only, or the same name: no command at all.
    for (const QString &typed : {QStringLiteral("???"), QStringLiteral("A.TXT")}) {
        f.selectHost({"A.TXT"});
        UserScript nothing;
        nothing.type(typed);
        f.form->Menu_Rename->trigger();
        ASSERT_TRUE(nothing.waitFinished());
        EXPECT_TRUE(f.form->engine()->mainCmdList().isEmpty()) << typed.toStdString();
    }
    EXPECT_EQ(countCommands(f.server, "RNFR"), 1);

    f.form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(f.form.get()));
    focusOn(f.form->hostPane()->rWin());
    UserScript made;
    made.type("made");
    f.form->Menu_NewFolder->trigger();
    ASSERT_TRUE(made.waitFinished());
    EXPECT_EQ(made.seen(), QStringList{"Create New Host Folder | Type new foldername: | "});
    EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return QFileInfo(f.home("made")).isDir()
                       && rowOf(f.form->hostPane()->rWin(), "made") >= 0;
            },
            10000))
            << listCaptions(f.form->hostPane()->rWin()).join(", ").toStdString();
    EXPECT_TRUE(f.server.commands().contains("MKD /made"));

    f.selectHost({"made"});
    UserScript folder;
    folder.type("Made2");
    f.form->Menu_Rename->trigger();
    ASSERT_TRUE(folder.waitFinished());
    EXPECT_EQ(folder.seen(), QStringList{"Renaming Host Folder | Type new foldername: | made"});
    EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return rowOf(f.form->hostPane()->rWin(), "Made2") >= 0
                       && rowOf(f.form->hostPane()->rWin(), "made") < 0;
            },
            10000))
            << listCaptions(f.form->hostPane()->rWin()).join(", ").toStdString();
    EXPECT_TRUE(QFileInfo(f.home("Made2")).isDir());
}

TEST(HostCommands, OpenAndViewReceiveIntoTheirFoldersAndAskTheDesktop)
{
    HostFixture f;
    ASSERT_TRUE(f.server.start());
    f.server.createUserFile("note.txt", "a note");
    ASSERT_TRUE(f.connect({"note.txt"}));
    const TempFolders &temp = f.form->engine()->tempFolders();
    const QString openFolder = LocalToNative(temp.open());
    const QString viewFolder = LocalToNative(temp.view());

    // Open: received into the open folder; the desktop cannot open it, Yes views it instead.
    f.services.opens = false;
    f.selectHost({"note.txt"});
    UserScript fallBack;
    fallBack.press(QMessageBox::Yes);
    f.form->Menu_Open->trigger();
    ASSERT_TRUE(fallBack.waitFinished(20000)) << logLines(*f.form).join("\n").toStdString();
    EXPECT_EQ(fallBack.seen(),
              QStringList{"Unable to open 'note.txt'. \n\nWould you like to view it in your "
                          "default text editor instead?"});
    EXPECT_EQ(f.services.calls,
              QStringList({"open " + openFolder + "note.txt in " + openFolder,
                           "edit " + openFolder + "note.txt in " + viewFolder}));
    EXPECT_EQ(readAll(openFolder + "note.txt"), "a note");
    EXPECT_TRUE(
            logLines(*f.form).contains("  : (01) Successfully received file to open: 'note.txt'."))
            << logLines(*f.form).join("\n").toStdString();

    // View: received into the view folder and given to the text editor.
    f.services.calls.clear();
    f.selectHost({"note.txt"});
    f.form->Menu_View->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !f.services.calls.isEmpty(); }, 10000));
    EXPECT_EQ(f.services.calls, QStringList{"edit " + viewFolder + "note.txt in " + viewFolder});
    EXPECT_EQ(readAll(viewFolder + "note.txt"), "a note");
    EXPECT_TRUE(
            logLines(*f.form).contains("  : (01) Successfully received file to view: 'note.txt'."));

    // An editor that does not start is logged.
    f.services.edits = false;
    f.selectHost({"note.txt"});
    f.form->Menu_View->trigger();
    EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return logLines(*f.form).contains(" !: Could not view the file in the default "
                                                  "text editor. Please associate 'TXT' files "
                                                  "with a program.");
            },
            10000));
}
