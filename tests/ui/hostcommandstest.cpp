// The host-side file commands through the menus, the questions and the input dialog, against
// vsftpd: receive, send, rename, new folder.
#include "windowdriver.h"

using ovtest::readFile;
using ovtest::testBytes;

namespace {

struct HostCommands : ::testing::Test
{
    ConnectedWindow w;

    ::testing::AssertionResult connect(const QStringList &files,
                                       const QStringList &root,
                                       int tasks = 2)
    {
        const auto result = w.connect(files, root, tasks);
        w.form->options().ConfirmTransfer = true;
        return result;
    }
    // Triggers the action with one answer; returns what the question said.
    QString ask(QAction *action, QMessageBox::StandardButton answer)
    {
        return UserScript().press(answer).trigger(action).value(0);
    }
    bool hostShows(const QStringList &names, bool shown = true)
    {
        return QTest::qWaitFor(
                [&] {
                    for (const QString &name : names) {
                        if ((rowOf(w.hostList(), name) >= 0) != shown)
                            return false;
                    }
                    return true;
                },
                10000);
    }
};

} // namespace

// The question names what is selected and No queues nothing; a fresh account has no Downloads
// folder: the first Receive makes it and says so.
TEST_F(HostCommands, ReceiveAsksThenMakesAMissingDownloadFolder)
{
    ASSERT_TRUE(
            connect({"a.bin", "tree/x.bin", "not-this.txt"}, {"a.bin", "not-this.txt", "tree"}));
    const QString downloads = w.localPath("fresh/Downloads");
    w.form->options().DownLoadFolder = NativeToLocal(downloads + '/');
    // clang-format off
    struct Case { QStringList rows; const char *question; };
    for (const Case &c : {Case{{"a.bin", "tree"}, "Receive selected file(s) and folder(s) from host?"},
                          Case{{"not-this.txt"}, "Receive selected file(s) from host?"},
                          Case{{}, "Receive selected folder from host?"}}) {
        // clang-format on
        if (c.rows.isEmpty())
            focusOn(w.form->hostPane()->RPathTree());
        else
            selectRows(w.hostList(), c.rows);
        EXPECT_EQ(ask(w.form->Menu_Transfer, QMessageBox::No), c.question);
        EXPECT_TRUE(w.engine()->transferQueue().isEmpty());
    }
    selectRows(w.hostList(), {"a.bin", "tree"});
    ask(w.form->Menu_Transfer, QMessageBox::Yes);
    EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return readFile(downloads + "/a.bin") == "a.bin"
                       && readFile(downloads + "/tree/x.bin") == "tree/x.bin";
            },
            30000))
            << w.log().toStdString();
    EXPECT_EQ(w.count("RETR"), 2);
    EXPECT_FALSE(QFileInfo::exists(downloads + "/not-this.txt"));
    const QString said = "The folder '" + downloads + "/' did not exist; it has been made.";
    EXPECT_EQ(w.log().count(said), 1) << w.log().toStdString();
}

// Host folders whose names differ in case alone are shown each with its own files, in the list
// and in the tree.
TEST_F(HostCommands, FoldersDifferingInCaseAloneShowTheirOwnFiles)
{
    ASSERT_TRUE(connect({"pub/Sub/upper.txt", "pub/sub/lower.txt"}, {"pub"}));
    // clang-format off
    struct Step { const char *open; const char *folder; QStringList shown; };
    for (const Step &s : {Step{"pub", "\\pub\\", {"..", "Sub", "sub"}},
                          Step{"Sub", "\\pub\\Sub\\", {"..", "upper.txt"}},
                          Step{"..", "\\pub\\", {"..", "Sub", "sub"}},
                          Step{"sub", "\\pub\\sub\\", {"..", "lower.txt"}}}) {
        // clang-format on
        doubleClickRow(w.hostList(), rowOf(w.hostList(), s.open));
        ASSERT_TRUE(waitForHostList(*w.form, s.folder, s.shown))
                << s.open << ": " << captions(w.hostList()).join(", ").toStdString();
    }
    QTreeWidgetItem *pub = childNode(w.form->hostPane()->RPathTree()->topLevelItem(0), "pub");
    EXPECT_EQ(childTexts(pub), QStringList({"Sub", "sub"}));
    EXPECT_EQ(w.form->hostPane()->RPathTree()->currentItem(), childNode(pub, "sub"));
}

TEST_F(HostCommands, SendFilesAndALocalFolderTreeThenCompareOnTheHost)
{
    ASSERT_TRUE(connect({"docs/"}, {"docs"}));
    const ovtest::FileTree files{{"s1.txt", QByteArray("text line\n").repeated(400)},
                                 {"s2.bin", testBytes(150000, 12)},
                                 {"up/u.txt", "one\ntwo\n"},
                                 {"up/inner/v.bin", testBytes(90000, 14)}};
    ASSERT_TRUE(ovtest::writeTree(w.local.path(), files));
    ASSERT_TRUE(QDir().mkpath(w.localPath("up/inner/deepest")));
    ASSERT_TRUE(ovtest::writeFile(w.localPath("stay.txt"), "stay"));
    // Text files go in type A, their lines ending in CR LF, which vsftpd stores as they came.
    ovtest::FileTree onHost = files;
    for (auto it = onHost.begin(); it != onHost.end(); ++it) {
        if (it.key().endsWith(".txt"))
            it.value().replace("\n", "\r\n");
    }
    w.form->ChangeLocalFolder(w.localFolder());

    selectRows(w.localList(), {"up"});
    EXPECT_EQ(ask(w.form->Menu_Transfer, QMessageBox::No), "Send selected folder(s) to host?");
    EXPECT_TRUE(w.engine()->transferQueue().isEmpty());

    // The host has no "up" yet: its folders are made before its files go.
    selectRows(w.localList(), {"s1.txt", "s2.bin", "up"});
    EXPECT_EQ(ask(w.form->tbBtn_Upload, QMessageBox::Yes),
              "Send selected file(s) and folder(s) to host?");
    EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return ovtest::readTree(w.host->userRoot()) == onHost
                       && QFileInfo(w.home("up/inner/deepest")).isDir();
            },
            30000))
            << w.log().toStdString() << "\n"
            << w.host->log().toStdString();
    EXPECT_TRUE(hostShows({"s1.txt", "s2.bin", "up"}));
}

TEST_F(HostCommands, RenameAndNewFolderShowInTheList)
{
    ASSERT_TRUE(connect({"a.txt"}, {"a.txt"}, 1));
    const auto rename = [&](const QString &from, const QString &typed) {
        selectRows(w.hostList(), {from});
        return UserScript().type(typed).trigger(w.form->Menu_Rename).value(0);
    };
    EXPECT_EQ(rename("a.txt", "A.TXT"), "Renaming Host File | Type new filename: | a.txt");
    EXPECT_TRUE(
            QTest::qWaitFor([&] { return captions(w.hostList()) == QStringList{"A.TXT"}; }, 10000));
    EXPECT_EQ(readFile(w.home("A.TXT")), "a.txt");
    // Removed characters only, or the same name: no command at all.
    rename("A.TXT", "???");
    rename("A.TXT", "A.TXT");
    EXPECT_TRUE(w.engine()->mainCmdList().isEmpty());
    EXPECT_EQ(w.count("RNFR"), 1);

    focusOn(w.hostList());
    UserScript().type("made").trigger(w.form->Menu_NewFolder);
    EXPECT_TRUE(hostShows({"made"}));
    EXPECT_TRUE(QFileInfo(w.home("made")).isDir());
    EXPECT_EQ(rename("made", "Made2"), "Renaming Host Folder | Type new foldername: | made");
    EXPECT_TRUE(hostShows({"Made2"}) && hostShows({"made"}, false));
    EXPECT_TRUE(QFileInfo(w.home("Made2")).isDir());
}
