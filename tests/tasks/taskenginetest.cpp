// The task engine driven as the window drives it, against vsftpd on loopback.
#include "connectedengine.h"
#include "support/freeport.h"
#include "tasks/soundplayer.h"

#include <QDir>
#include <QFileInfo>
#include <QTcpServer>
#include <QTcpSocket>

using namespace enginetest;
using ovtest::readFile;
using ovtest::readTree;
using ovtest::testBytes;

namespace {
// Each part: its target, ok or failed, and the code of the host's last reply.
std::string parts(const OperationResult &result)
{
    QStringList lines;
    for (const ItemResult &item : result.items)
        lines << QStringLiteral("%1 %2 %3")
                         .arg(item.target, item.success ? "ok" : "failed", item.hostReply.left(3));
    return lines.join(QLatin1Char('\n')).toStdString();
}

// Remembers the sounds asked for; there is no audio device to play them here.
struct RecordingPlayer : SoundPlayer
{
    void play(const QString &wavFile) override { played << wavFile; }
    QStringList played;
};
} // namespace

using TaskEngineVsftpd = EngineTest;

TEST_F(TaskEngineVsftpd, ManyFilesWithFiveTasksArriveByteExact)
{
    FileTree files;
    for (int i = 0; i < 200; ++i)
        files.insert(QStringLiteral("small%1.bin").arg(i, 3, 10, QLatin1Char('0')),
                     testBytes(1 + (i * 7919) % 6000, i));
    for (int i = 0; i < 3; ++i)
        files.insert(QStringLiteral("large%1.bin").arg(i), testBytes(3 * 1024 * 1024 + i, 900 + i));
    const QString pub = publish(files);
    ASSERT_TRUE(connect(pub, 5));
    EXPECT_EQ(engine.currentHostFolder(), pub);
    queueDownloads(pub, files);
    engine.Pass();
    EXPECT_EQ(engine.taskList().count(), 5) << "sessions start up to the maximum in one pass";

    ASSERT_TRUE(waitEnded(int(files.size()), 120000)) << seen.ended << " ended\n" << log();
    EXPECT_EQ(seen.failures, QStringList());
    EXPECT_EQ(seen.maxTasksSeen, 5);
    const FileTree arrived = readTree(local.path());
    EXPECT_EQ(arrived.keys(), files.keys());
    EXPECT_TRUE(arrived == files);

    // The queue ran dry: the task sessions leave, the last first, and the main one stays.
    ASSERT_TRUE(waitFor([&] { return engine.taskList().count() == 1; }, 10000));
    EXPECT_EQ(seen.orderViolations, QStringList());
    EXPECT_EQ(engine.MainFTP()->State(), csIdle);
    EXPECT_EQ(seen.log().count(QStringLiteral("Task disconnected from host computer.")), 4);
    EXPECT_EQ(engine.statusTexts()->captions().mid(0, 2),
              (QStringList{"Tasks: 1 of 5", "Queue Items: 0"}));
    EXPECT_EQ(engine.queueRows()->count(), 0);
    EXPECT_EQ(engine.taskRows()->count(), 1);
}

TEST_F(TaskEngineVsftpd, OneTaskMainSessionWorksQueueAfterCommands)
{
    const FileTree files{{"f0.txt", "file 0"}, {"f1.txt", "file 1"}, {"f2.txt", "file 2"}};
    const QString pub = publish(files);
    QTemporaryDir temp;
    ASSERT_TRUE(engine.tempFolders().create(temp.path()));
    const TempFolders &folders = engine.tempFolders();
    RecordingPlayer player;
    engine.setSoundPlayer(&player);
    engine.options().doSND3 = true;
    engine.options().snd3 = QStringLiteral("/sounds/done.wav");
    ASSERT_TRUE(connect(pub, 1));
    QStringList unknown;
    QObject::connect(&engine, &TaskEngine::unknownQueueEntry, [&](const QString &entry) {
        unknown << entry;
    });
    // Results carry the transfer's own size: the session has reset its fields by then.
    QList<qint64> receivedSizes;
    QObject::connect(&engine,
                     &TaskEngine::localEntryChanged,
                     [&](const QString &, const QString &, qint64 size) { receivedSizes << size; });
    engine.transferQueue().append(QStringLiteral("x*no such kind"));
    queueDownloads(pub, files);
    engine.mainCmdList() << QStringLiteral("noop") << QStringLiteral("pwd");
    const int firstNewLine = engine.log()->lineCount();
    engine.Pass();
    ASSERT_TRUE(waitEnded(3)) << log();
    EXPECT_EQ(seen.maxTasksSeen, 1) << "no task session with MaxTasks 1";
    EXPECT_EQ(unknown, QStringList{"x*no such kind"});
    EXPECT_EQ(seen.failures, QStringList());
    QStringList sent;
    for (int i = firstNewLine; i < engine.log()->lineCount(); ++i) {
        if (engine.log()->line(i).startsWith(QStringLiteral("<<: ")))
            sent << engine.log()->line(i).mid(4).section(QLatin1Char(' '), 0, 0).toLower();
    }
    EXPECT_EQ(sent.mid(0, 2), (QStringList{"noop", "pwd"})) << sent.join(',').toStdString();
    EXPECT_EQ(sent.count(QStringLiteral("retr")), 3) << sent.join(',').toStdString();
    EXPECT_TRUE(readTree(local.path()) == files);
    EXPECT_EQ(receivedSizes, (QList<qint64>{6, 6, 6}));

    // An upload into a listed folder enters the file with the size sent.
    const QString upload = QStringLiteral("\\upload\\");
    engine.MainFTP()->listingBuffer()->store(upload, {});
    engine.transferQueue().append(TransferQueue::UploadEntry(localFolder + QStringLiteral("f1.txt"),
                                                             upload + QStringLiteral("sent.txt")));
    engine.Pass();
    ASSERT_TRUE(waitEnded(4)) << log();
    EXPECT_EQ(seen.failures, QStringList());
    EXPECT_EQ(LookupEntry(engine.listingBuffer(), upload, QStringLiteral("fsent.txt"))
                      .section(QLatin1Char('*'), 0, 0),
              QStringLiteral("6"));

    // Files received into the open and view folders are handed on; only a file received
    // elsewhere plays the sound.
    QStringList events;
    const auto record = [&](const char *what, const QString &folder) {
        return [&events, what, folder](const QString &f, const QString &name) {
            events << QStringLiteral("%1 %2 %3").arg(what).arg(f == folder).arg(name);
        };
    };
    QObject::connect(&engine, &TaskEngine::openFileReceived, record("open", folders.open()));
    QObject::connect(&engine, &TaskEngine::viewFileReceived, record("view", folders.view()));
    player.played.clear();
    const QString into[] = {folders.dragDrop(), folders.open(), folders.view(), localFolder};
    for (int i = 0; i < 4; ++i)
        engine.transferQueue().append(TransferQueue::DownloadEntry(
                pub + "f1.txt", into[i] + QStringLiteral("t%1").arg(i)));
    engine.Pass();
    ASSERT_TRUE(waitEnded(8)) << log();
    EXPECT_EQ(events, (QStringList{"open 1 t1", "view 1 t2"}));
    EXPECT_EQ(player.played, QStringList{"/sounds/done.wav"}) << "no sound for temporary files";
    EXPECT_EQ(readFile(LocalToNative(folders.view() + QStringLiteral("t2"))), "file 1");
}

TEST_F(TaskEngineVsftpd, FolderUploadWithFiveTasksSucceedsEveryTime)
{
    FileTree files;
    for (const char *folder : {"", "a/", "a/b/", "a/b/c/", "a/b2/", "d/"}) {
        for (int i = 0; i < 4; ++i)
            files.insert(QLatin1String(folder) + QStringLiteral("f%1.bin").arg(i),
                         testBytes(100 + i * 700, qHash(QLatin1String(folder)) + i));
    }
    ASSERT_TRUE(ovtest::writeTree(local.path(), files));
    ASSERT_TRUE(QDir(local.path()).mkpath(QStringLiteral("empty/inner")));
    ASSERT_TRUE(connect(QString(), 5));

    for (int round = 1; round <= 3; ++round) {
        SCOPED_TRACE(round);
        const QString name = own() + QString::number(round);
        const OperationStart start = engine.uploadTree(
                LocalPath{localFolder}, HostPath{"\\upload\\" + name + '\\'}, true);
        EXPECT_TRUE(start.skipped.isEmpty());
        // One folder command for each of the seven folders and the top one.
        EXPECT_EQ(engine.transferQueue().count(), files.size() + 8);
        const OperationResult result = run(start);
        EXPECT_TRUE(result.success()) << log();
        EXPECT_EQ(result.items.size(), files.size());
        const QString hostTop = vsftpd().path(VsftpdServer::Tree::Upload, name);
        EXPECT_TRUE(readTree(hostTop) == files);
        EXPECT_TRUE(QFileInfo(hostTop + QStringLiteral("/empty/inner")).isDir());
    }

    // A folder command the host refuses (the folder exists) holds nothing back for good.
    seen.ended = 0;
    const QString first = "\\upload\\" + own() + "1\\";
    engine.transferQueue().append(TransferQueue::MakeFolderEntry(first));
    engine.transferQueue().append(TransferQueue::UploadEntry(localFolder + QStringLiteral("f0.bin"),
                                                             first + "again.bin"));
    engine.Pass();
    ASSERT_TRUE(waitEnded(1)) << log();
    EXPECT_EQ(readFile(vsftpd().path(VsftpdServer::Tree::Upload, own() + "1/again.bin")),
              files.value(QStringLiteral("f0.bin")));
}

// Folders differing in case alone ("x" and "X") are two folders all the way.
TEST_F(TaskEngineVsftpd, TreeDownloadAndTreeDelete)
{
    FileTree files;
    for (const char *folder : {"", "x/", "x/y/", "x/y/z/", "X/", "w/"}) {
        for (int i = 0; i < 3; ++i)
            files.insert(QLatin1String(folder) + QStringLiteral("g%1.dat").arg(i),
                         testBytes(50 + i * 3000, qHash(QLatin1String(folder)) + i));
    }
    vsftpd().createTree(VsftpdServer::Tree::Upload, own(), files);
    vsftpd().createFolder(VsftpdServer::Tree::Upload, own() + QStringLiteral("/emptyone"));
    vsftpd().createFolder(VsftpdServer::Tree::Upload, own() + QStringLiteral("/x/emptytwo"));
    const HostPath tree{"\\upload\\" + own() + '\\'};
    ASSERT_TRUE(connect(QString(), 3));

    const OperationResult download
            = run(engine.downloadTree(tree, LocalPath{localFolder + "got\\"}));
    // The top folder's listing and one part per file, each done.
    EXPECT_TRUE(download.success()) << log();
    EXPECT_EQ(download.items.size(), files.size() + 1);
    EXPECT_EQ(seen.ended, files.size());
    const FileTree got = readTree(local.filePath(QStringLiteral("got")));
    EXPECT_EQ(got.keys(), files.keys());
    EXPECT_TRUE(got == files);
    EXPECT_TRUE(QFileInfo(local.filePath(QStringLiteral("got/emptyone"))).isDir());
    EXPECT_TRUE(QFileInfo(local.filePath(QStringLiteral("got/x/emptytwo"))).isDir());
    ASSERT_TRUE(waitFor([&] { return engine.taskList().count() == 1; }, 10000));

    // The same tree deleted on the host: buffered by a task, then removed by the main session.
    const OperationResult removal = run(engine.deleteTree(tree), 30000);
    EXPECT_FALSE(QFileInfo::exists(vsftpd().path(VsftpdServer::Tree::Upload, own())));
    // The listing, every file and every folder (the top one included) deleted.
    EXPECT_TRUE(removal.success()) << log();
    EXPECT_EQ(removal.items.size(), 1 + files.size() + 8);
    EXPECT_TRUE(QFileInfo(vsftpd().uploadFolder()).isDir());
}

TEST_F(TaskEngineVsftpd, PasswordsNeverReachTheLog)
{
    vsftpd().createFile(VsftpdServer::Tree::UserHome, QStringLiteral("one.txt"), "one");
    ConnectRequest request = anonymousRequest(vsftpd().port(), QStringLiteral("\\"), 2);
    request.session.Username = VsftpdServer::userName();
    request.session.Password = VsftpdServer::password();
    ASSERT_TRUE(connect(request));
    // A task session logs in too.
    engine.transferQueue().append(
            TransferQueue::DownloadEntry(QStringLiteral("\\one.txt"), localFolder + "one.txt"));
    engine.Pass();
    ASSERT_TRUE(waitEnded(1)) << log();
    EXPECT_EQ(seen.failures, QStringList());

    // The main session (00) and the task session (01) log in; neither the log nor the log-in
    // lines show the password.
    const QString info = engine.loginInfo().join('\n');
    EXPECT_FALSE((seen.log() + info).contains(VsftpdServer::password()))
            << log() << info.toStdString();
    EXPECT_TRUE(seen.log().contains(QStringLiteral("<<: (00) pass *****"))
                && seen.log().contains(QStringLiteral("<<: (01) pass *****")))
            << log();
    EXPECT_TRUE(info.contains(QStringLiteral("Sending password to host (pass *****)")))
            << info.toStdString();
}

TEST_F(TaskEngineVsftpd, HostileNamesInATreeDownloadStayInside)
{
    vsftpd().createFile(VsftpdServer::Tree::Upload, own() + QStringLiteral("/good.txt"), "good");
    ASSERT_TRUE(QDir(local.path()).mkpath(QStringLiteral("inside")));
    ASSERT_TRUE(connect(QString(), 2));

    // The folder is already buffered with names no listing parser should let through; the
    // tree download must still keep every local path inside its target.
    const QString evil = "\\upload\\" + own() + '\\';
    for (const char *name : {"good.txt", "..", "../../escape.txt", "..\\up.txt", "star*name"})
        engine.MainFTP()->listingBuffer()->addEntry(
                evil, 'f' + QLatin1String(name), QStringLiteral("4*0"));
    engine.transferQueue().append(
            TransferQueue::DownloadTreeEntry(evil, localFolder + "inside\\got\\"));
    engine.Pass();
    ASSERT_TRUE(waitFor([&] { return seen.ended >= 1 && engine.transferQueue().isEmpty(); }, 15000))
            << log();
    ovtest::spinFor(300);
    EXPECT_EQ(seen.ended, 1);
    EXPECT_EQ(readTree(local.path()), (FileTree{{"inside/got/good.txt", "good"}}));
    EXPECT_EQ(QDir(local.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{"inside"});
    EXPECT_EQ(seen.log().count(QStringLiteral("Skipped the host file")), 4) << log();
}

// The engine's operations: each part's result and the names left out.
TEST_F(TaskEngineVsftpd, EachPartHasItsResultAndUnusableNamesAreLeftOut)
{
    vsftpd().createFile(VsftpdServer::Tree::Upload, own() + QStringLiteral("/a.txt"), "hello");
    ASSERT_TRUE(connect(QString(), 2));
    const QString ops = "\\upload\\" + own() + '\\';
    const QString into = localFolder;

    // A listing of a folder that is not there fails; the other one succeeds. A download takes
    // its size from the listing.
    EXPECT_FALSE(run(engine.listHostFolder(HostPath{ops + "nowhere\\"})).success());
    EXPECT_TRUE(run(engine.listHostFolder(HostPath{ops})).success());

    // Two files asked for, one missing on the host (so never asked for); a name holding "*"
    // never travels.
    OperationStart start = engine.download({{HostPath{ops + "a.txt"}, LocalPath{into + "a.txt"}},
                                            {HostPath{ops + "none.txt"}, LocalPath{into + "n"}},
                                            {HostPath{ops + "odd*name"}, LocalPath{into + "o"}}});
    ASSERT_EQ(start.skipped.size(), 1);
    EXPECT_EQ(start.skipped.first().name, ops + "odd*name");
    OperationResult result = run(start);
    ASSERT_EQ(result.items.size(), 2) << log();
    EXPECT_EQ(result.items.at(0).bytes, 5);
    EXPECT_EQ(result.items.at(0).target, into + "a.txt");
    EXPECT_TRUE(result.items.at(0).success);
    EXPECT_EQ(result.items.at(1).target, into + "n");
    EXPECT_FALSE(result.items.at(1).success);
    EXPECT_FALSE(result.success());

    // Renames settle one by one from the host's answers.
    result = run(engine.renameOnHost({{HostPath{ops + "a.txt"}, QStringLiteral("b.txt")},
                                      {HostPath{ops + "gone.txt"}, QStringLiteral("c.txt")}}));
    EXPECT_EQ(parts(result), "b.txt ok 250\nc.txt failed 550") << log();
    EXPECT_TRUE(QFileInfo::exists(vsftpd().path(VsftpdServer::Tree::Upload, own() + "/b.txt")));

    result = run(engine.makeHostFolder(HostPath{ops + "made\\"}));
    EXPECT_TRUE(result.success()) << parts(result);
    EXPECT_TRUE(QFileInfo(vsftpd().path(VsftpdServer::Tree::Upload, own() + "/made")).isDir());

    result = run(engine.deleteOnHost({HostPath{ops + "b.txt"}, HostPath{ops + "zzz"}}));
    EXPECT_EQ(parts(result), (ops + "b.txt ok 250\n" + ops + "zzz failed 550").toStdString())
            << log();
}

// Options edited after the connection started leave its sessions alone, also a task session
// started afterwards: the file is received in binary as at connect, though the live options
// say ASCII by now (which would turn the file's CR LF into LF).
TEST_F(TaskEngineVsftpd, SessionsStartedLaterUseTheOptionsOfTheConnect)
{
    const QByteArray text("one\r\ntwo\r\nthree\r\n");
    vsftpd().createFile(VsftpdServer::Tree::Upload, own() + QStringLiteral("/notes.txt"), text);
    Options options = Options::defaults();
    options.TransferMode = Options::Binary;
    engine.useOptions(options);
    ASSERT_TRUE(connect(QString(), 2));

    // The download takes its size from the folder's listing.
    const QString folder = "\\upload\\" + own() + "\\";
    ASSERT_TRUE(run(engine.listHostFolder(HostPath{folder})).success()) << log();
    ASSERT_EQ(engine.taskList().count(), 1); // no task session yet

    options.TransferMode = Options::Ascii;
    options.changed();
    const OperationResult result = run(engine.download(
            {{HostPath{folder + "notes.txt"}, LocalPath{localFolder + "notes.txt"}}}));
    EXPECT_TRUE(result.success()) << log();
    EXPECT_GE(seen.maxTasksSeen, 2); // the file went through a task session
    EXPECT_EQ(readFile(local.filePath(QStringLiteral("notes.txt"))), text);
}

// vsftpd closing sessions idle for two seconds, sending slowly.
class TaskEngineClosingHost : public EngineTest
{
protected:
    static void SetUpTestSuite()
    {
        startServer({{"idle_session_timeout", "2"}, {"anon_max_rate", "150000"}});
    }
};

TEST_F(TaskEngineClosingHost, MainOfflineWithQueuedDownloadsEndsEveryEntry)
{
    FileTree files;
    for (int i = 0; i < 5; ++i)
        files.insert(QStringLiteral("q%1.bin").arg(i), testBytes(300 * 1024, i));
    const QString pub = publish(files);
    ASSERT_TRUE(connect(pub, 2));
    queueDownloads(pub, files);
    engine.Pass();
    // The idle main session is closed by the host after two seconds; what was queued then
    // ends one way or the other, and the engine comes to rest.
    ASSERT_TRUE(waitFor([&] { return seen.ended + seen.dropped == 5; }, 30000))
            << seen.ended << " ended, " << seen.dropped << " dropped\n"
            << log();
    EXPECT_GE(seen.dropped, 1);
    ASSERT_TRUE(waitFor([&] { return engine.taskList().count() == 1; }, 10000));
    EXPECT_EQ(engine.MainFTP()->State(), csNotConnected);
    EXPECT_EQ(engine.ReconnectCountdown(), 0);
    EXPECT_TRUE(engine.transferQueue().isEmpty());
}

TEST_F(TaskEngineClosingHost, HostClosingAWorkingConnectionThenConnectingAgain)
{
    engine.options().ShowMainIO = false;
    QList<bool> locks;
    QObject::connect(&engine, &TaskEngine::setupLockChanged, [&](bool locked) { locks << locked; });
    QList<QStringList> returned;
    QObject::connect(&engine, &TaskEngine::hostBookmarksReturned, [&](const QStringList &items) {
        returned << items;
    });
    engine.startTimers();
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        ConnectRequest request = anonymousRequest(vsftpd().port(), QString(), 1);
        request.fromSite = round == 1;
        if (round == 1)
            request.hostBookmarks = QStringList{"pub\r\\pub\\", "up\r\\upload\\"};
        engine.connectMain(request);
        if (round == 1) {
            EXPECT_EQ(engine.hostBookmarks(), request.hostBookmarks);
            engine.hostBookmarks().removeFirst();
            engine.hostBookmarks().append(QStringLiteral("new\r\\new\\"));
        }
        ASSERT_TRUE(waitForLogin(QString()));
        // The host's replies during login reach the log-in lines even with the host text
        // kept out of the log.
        EXPECT_TRUE(engine.loginInfo().join('\n').contains(QStringLiteral("220")));
        EXPECT_FALSE(seen.log().contains(QStringLiteral(">>: ")));
        EXPECT_TRUE(engine.setupLocked());
        // vsftpd closes the idle session: a closed working connection, no reconnection.
        ASSERT_TRUE(waitFor([&] { return engine.MainFTP()->State() == csNotConnected; }, 10000));
        EXPECT_EQ(engine.ReconnectCountdown(), 0);
        EXPECT_EQ(engine.MainFTP()->Idles(), 0);
        EXPECT_FALSE(engine.setupLocked());
        EXPECT_TRUE(engine.RootFolder().isEmpty());
        EXPECT_TRUE(engine.listingBuffer().isEmpty());
    }
    EXPECT_EQ(seen.log().count(
                      QStringLiteral("  : Maintask disconnected from host. Session closed.")),
              2);
    EXPECT_EQ(locks, (QList<bool>{true, false, true, false}));
    // The bookmarks went back when the site's connection ended; a quick connection has none.
    EXPECT_EQ(returned, (QList<QStringList>{{"up\r\\upload\\", "new\r\\new\\"}}));
    EXPECT_TRUE(engine.hostBookmarks().isEmpty());
}

TEST(TaskEngineConnect, RefusedConnectionSchedulesReconnection)
{
    const quint16 nobody = ovtest::freePort();
    // clang-format off
    struct Case { int reconnect; int countdown; const char *text; };
    for (const Case &c : {Case{4, 20, "Reattempting in 20 seconds."}, Case{31, 1324512000, "Reattempting in 42 years."},
                          Case{0, 1, "Reattempting ..."}}) {
        // clang-format on
        SCOPED_TRACE(c.text);
        TaskEngine engine;
        Observer seen(engine);
        engine.options().Reconnect = c.reconnect;
        engine.startTimers();
        // Stop while offline changes nothing: the failure below is still taken as one.
        engine.Stop();
        engine.connectMain(anonymousRequest(nobody, QString(), 1));
        ASSERT_TRUE(waitFor([&] { return engine.ReconnectCountdown() > 0; }, 10000))
                << seen.log().toStdString();
        EXPECT_GE(engine.ReconnectCountdown(), c.countdown - 1);
        EXPECT_LE(engine.ReconnectCountdown(), c.countdown);
        EXPECT_TRUE(seen.log().contains(
                QStringLiteral(" !: Could not establish a connection to the host computer. ")
                + QLatin1String(c.text)))
                << seen.log().toStdString();
        if (c.reconnect == 4) {
            // The countdown runs once a second and the rows show it.
            ASSERT_TRUE(waitFor([&] { return engine.ReconnectCountdown() <= 18; }, 3500));
            EXPECT_GE(engine.ReconnectCountdown(), 16);
            engine.Pass();
            EXPECT_EQ(engine.taskRows()->caption(0),
                      QStringLiteral("Retrying to Connect in %1 Second(s)")
                              .arg(engine.ReconnectCountdown()));
            EXPECT_TRUE(engine.statusTexts()->caption(2).startsWith("Retrying to Connect in "));
            engine.Stop();
            EXPECT_EQ(engine.ReconnectCountdown(), 0) << "Stop cancels the reconnection";
        }
        if (c.reconnect == 0) {
            EXPECT_TRUE(waitFor(
                    [&] { return seen.log().contains(QStringLiteral("Re-attempting to connect")); },
                    3000))
                    << seen.log().toStdString();
        }
    }
}

TEST(TaskEngineConnect, LogOffWhileLoggingInSchedulesNothing)
{
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    TaskEngine engine;
    Observer seen(engine);
    engine.startTimers();
    engine.connectMain(anonymousRequest(silent.serverPort(), QString(), 1));
    ASSERT_TRUE(waitFor([&] { return engine.MainFTP()->State() == csWaitForReply; }, 5000));
    engine.logOff();
    ASSERT_TRUE(waitFor([&] { return engine.MainFTP()->State() == csNotConnected; }, 5000));
    ovtest::spinFor(300);
    EXPECT_EQ(engine.ReconnectCountdown(), 0);
    EXPECT_TRUE(seen.log().contains(
            QStringLiteral("  : Maintask disconnected from host. Session closed.")))
            << seen.log().toStdString();
    EXPECT_FALSE(seen.log().contains(QStringLiteral("Could not establish")));
}
