// The task engine driven as the window drives it, against vsftpd on loopback.
#include "tasks/taskengine.h"
#include "enginetesthelpers.h"
#include "platform/localpath.h"
#include "sites/tsiteobject.h"
#include "support/eventwait.h"
#include "support/freeport.h"
#include "support/qtprinters.h"
#include "support/vsftpdserver.h"
#include "tasks/soundplayer.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using ovtest::VsftpdServer;
using ovtest::waitFor;
using namespace enginetest;

TEST(TaskEngineVsftpd, ManyFilesWithFiveTasksArriveByteExact)
{
    VsftpdServer vsftpd;
    ASSERT_TRUE(vsftpd.start());
    QMap<QString, QByteArray> files;
    for (int i = 0; i < 200; ++i)
        files.insert(QStringLiteral("small%1.bin").arg(i, 3, 10, QLatin1Char('0')),
                     randomBytes(1 + QRandomGenerator::global()->bounded(6000)));
    for (int i = 0; i < 3; ++i)
        files.insert(QStringLiteral("large%1.bin").arg(i), randomBytes(3 * 1024 * 1024 + i));
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        vsftpd.createFile(VsftpdServer::Tree::AnonymousRoot, "pub/" + it.key(), it.value());

    QTemporaryDir local;
    ASSERT_TRUE(local.isValid());
    const QString localFolder = NativeToLocal(local.path() + QLatin1Char('/'));

    TaskEngine engine;
    Observer seen(engine);
    engine.startTimers();
    engine.connectMain(anonymousRequest(vsftpd.port(), QStringLiteral("\\pub\\"), 5));
    ASSERT_TRUE(waitFor([&] { return seen.loginWalkDone(); }, 15000)) << seen.log().toStdString();
    EXPECT_EQ(engine.currentHostFolder(), QStringLiteral("\\pub\\"));
    if (!engine.listingBuffer().contains(QStringLiteral("\\pub\\")))
        bufferFiles(engine, QStringLiteral("\\pub\\"), files);

    for (auto it = files.cbegin(); it != files.cend(); ++it)
        engine.transferQueue().append(
                TransferQueue::DownloadEntry("\\pub\\" + it.key(), localFolder + it.key()));
    engine.Pass();
    EXPECT_EQ(engine.taskList().count(), 5) << "sessions start up to the maximum in one pass";

    ASSERT_TRUE(waitFor([&] { return seen.ended == files.size(); }, 120000))
            << seen.ended << " of " << files.size() << "\n"
            << seen.log().toStdString();
    EXPECT_TRUE(seen.failures.isEmpty()) << seen.failures.join('\n').toStdString();
    EXPECT_EQ(seen.maxTasksSeen, 5);
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        EXPECT_TRUE(readFile(local.filePath(it.key())) == it.value()) << it.key().toStdString();

    // The queue ran dry: the task sessions leave, the last first, and the main one stays.
    ASSERT_TRUE(waitFor([&] { return engine.taskList().count() == 1; }, 10000));
    EXPECT_TRUE(seen.orderViolations.isEmpty()) << seen.orderViolations.join('\n').toStdString();
    EXPECT_EQ(engine.MainFTP()->State(), csIdle);
    EXPECT_EQ(seen.log().count(QStringLiteral("Task disconnected from host computer.")), 4);
    EXPECT_EQ(engine.statusTexts()->caption(0), QStringLiteral("Tasks: 1 of 5"));
    EXPECT_EQ(engine.statusTexts()->caption(1), QStringLiteral("Queue Items: 0"));
    EXPECT_EQ(engine.queueRows()->count(), 0);
    EXPECT_EQ(engine.taskRows()->count(), 1);
}

TEST(TaskEngineVsftpd, LoweringMaxTasksWaitsForIdleSessions)
{
    VsftpdServer vsftpd;
    vsftpd.setOption(QStringLiteral("anon_max_rate"), QStringLiteral("150000"));
    ASSERT_TRUE(vsftpd.start());
    QMap<QString, QByteArray> files;
    for (int i = 0; i < 4; ++i) {
        files.insert(QStringLiteral("slow%1.bin").arg(i), randomBytes(1200 * 1024));
        vsftpd.createFile(VsftpdServer::Tree::AnonymousRoot,
                          QStringLiteral("pub/slow%1.bin").arg(i),
                          files.last());
    }
    QTemporaryDir local;
    const QString localFolder = NativeToLocal(local.path() + QLatin1Char('/'));

    TaskEngine engine;
    Observer seen(engine);
    engine.startTimers();
    engine.connectMain(anonymousRequest(vsftpd.port(), QStringLiteral("\\pub\\"), 5));
    ASSERT_TRUE(waitFor([&] { return seen.loginWalkDone(); }, 15000)) << seen.log().toStdString();
    if (!engine.listingBuffer().contains(QStringLiteral("\\pub\\")))
        bufferFiles(engine, QStringLiteral("\\pub\\"), files);
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        engine.transferQueue().append(
                TransferQueue::DownloadEntry("\\pub\\" + it.key(), localFolder + it.key()));
    engine.Pass();

    const auto downloading = [&] {
        int busy = 0;
        for (int i = 1; i < engine.taskList().count(); ++i)
            busy += engine.taskList().session(i)->Downloading() ? 1 : 0;
        return busy;
    };
    ASSERT_TRUE(waitFor([&] { return downloading() == 4; }, 15000)) << seen.log().toStdString();
    engine.Change_MaxTasks(2);
    engine.Pass();
    // Once every transfer has run for a second the totals count all four; no busy session has
    // been disconnected meanwhile.
    EXPECT_TRUE(waitFor(
            [&] {
                return engine.statusTexts()->caption(2).startsWith(
                        QStringLiteral("Transfering 4 file(s)"));
            },
            2500))
            << engine.statusTexts()->caption(2).toStdString();
    EXPECT_EQ(engine.taskList().count(), 5) << "busy sessions are not disconnected";
    EXPECT_TRUE(engine.taskRows()->caption(1).startsWith(QStringLiteral("Downloading : slow")))
            << engine.taskRows()->caption(1).toStdString();
    EXPECT_EQ(engine.statusTexts()->caption(0), QStringLiteral("Tasks: 5 of 2"));

    ASSERT_TRUE(waitFor([&] { return seen.ended == 4; }, 30000)) << seen.log().toStdString();
    ASSERT_TRUE(waitFor([&] { return engine.taskList().count() == 1; }, 10000));
    EXPECT_TRUE(seen.failures.isEmpty());
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        EXPECT_TRUE(readFile(local.filePath(it.key())) == it.value()) << it.key().toStdString();
}

TEST(TaskEngineVsftpd, OneTaskMainSessionWorksQueueAfterCommands)
{
    VsftpdServer vsftpd;
    ASSERT_TRUE(vsftpd.start());
    for (int i = 0; i < 3; ++i)
        vsftpd.createFile(VsftpdServer::Tree::AnonymousRoot,
                          QStringLiteral("pub/f%1.txt").arg(i),
                          QByteArray("file ") + QByteArray::number(i));
    QTemporaryDir local;
    const QString localFolder = NativeToLocal(local.path() + QLatin1Char('/'));

    TaskEngine engine;
    Observer seen(engine);
    engine.startTimers();
    engine.connectMain(anonymousRequest(vsftpd.port(), QStringLiteral("\\pub\\"), 1));
    ASSERT_TRUE(waitFor([&] { return seen.loginWalkDone(); }, 15000)) << seen.log().toStdString();
    if (!engine.listingBuffer().contains(QStringLiteral("\\pub\\"))) {
        for (int i = 0; i < 3; ++i)
            engine.MainFTP()->listingBuffer()->addEntry(QStringLiteral("\\pub\\"),
                                                        QStringLiteral("ff%1.txt").arg(i),
                                                        QStringLiteral("6*0"));
    }

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
    for (int i = 0; i < 3; ++i)
        engine.transferQueue().append(
                TransferQueue::DownloadEntry(QStringLiteral("\\pub\\f%1.txt").arg(i),
                                             localFolder + QStringLiteral("f%1.txt").arg(i)));
    engine.mainCmdList() << QStringLiteral("noop") << QStringLiteral("pwd");
    const int firstNewLine = engine.log()->lineCount();
    engine.Pass();
    ASSERT_TRUE(waitFor([&] { return seen.ended == 3; }, 15000)) << seen.log().toStdString();
    EXPECT_EQ(seen.maxTasksSeen, 1) << "no task session with MaxTasks 1";
    EXPECT_EQ(unknown, QStringList{"x*no such kind"});
    EXPECT_TRUE(seen.failures.isEmpty());

    QStringList sent;
    for (int i = firstNewLine; i < engine.log()->lineCount(); ++i) {
        if (engine.log()->line(i).startsWith(QStringLiteral("<<: ")))
            sent << engine.log()->line(i).mid(4).section(QLatin1Char(' '), 0, 0).toLower();
    }
    ASSERT_GE(sent.size(), 3);
    EXPECT_EQ(sent.at(0), QStringLiteral("noop")) << sent.join(',').toStdString();
    EXPECT_EQ(sent.at(1), QStringLiteral("pwd")) << sent.join(',').toStdString();
    EXPECT_EQ(sent.count(QStringLiteral("retr")), 3) << sent.join(',').toStdString();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(readFile(local.filePath(QStringLiteral("f%1.txt").arg(i))),
                  QByteArray("file ") + QByteArray::number(i));
    EXPECT_EQ(receivedSizes, (QList<qint64>{6, 6, 6}));

    // An upload into a listed folder enters the file with the size sent.
    const QString upload = QStringLiteral("\\upload\\");
    engine.MainFTP()->listingBuffer()->store(upload, {});
    engine.transferQueue().append(TransferQueue::UploadEntry(localFolder + QStringLiteral("f1.txt"),
                                                             upload + QStringLiteral("sent.txt")));
    engine.Pass();
    ASSERT_TRUE(waitFor([&] { return seen.ended == 4; }, 15000)) << seen.log().toStdString();
    EXPECT_TRUE(seen.failures.isEmpty()) << seen.failures.join('\n').toStdString();
    EXPECT_EQ(LookupEntry(engine.listingBuffer(), upload, QStringLiteral("fsent.txt"))
                      .section(QLatin1Char('*'), 0, 0),
              QStringLiteral("6"));
}

TEST(TaskEngineVsftpd, FolderUploadWithFiveTasksSucceedsEveryTime)
{
    VsftpdServer vsftpd;
    ASSERT_TRUE(vsftpd.start());
    QTemporaryDir local;
    ASSERT_TRUE(local.isValid());
    QMap<QString, QByteArray> files;
    for (const QString &folder : {QStringLiteral(""),
                                  QStringLiteral("a/"),
                                  QStringLiteral("a/b/"),
                                  QStringLiteral("a/b/c/"),
                                  QStringLiteral("a/b2/"),
                                  QStringLiteral("d/")}) {
        for (int i = 0; i < 4; ++i)
            files.insert(folder + QStringLiteral("f%1.bin").arg(i), randomBytes(100 + i * 700));
    }
    QDir(local.path()).mkpath(QStringLiteral("empty/inner"));
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        QDir(local.path()).mkpath(QFileInfo(it.key()).path());
        QFile file(local.filePath(it.key()));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(it.value());
    }
    const QString localFolder = NativeToLocal(local.path() + QLatin1Char('/'));

    TaskEngine engine;
    Observer seen(engine);
    engine.startTimers();
    engine.connectMain(anonymousRequest(vsftpd.port(), QString(), 5));
    ASSERT_TRUE(waitFor([&] { return seen.loginWalkDone(); }, 15000)) << seen.log().toStdString();

    for (int run = 1; run <= 3; ++run) {
        const QString top = QStringLiteral("\\upload\\tree%1\\").arg(run);
        const OperationStart start = engine.uploadTree(LocalPath{localFolder}, HostPath{top}, true);
        EXPECT_TRUE(start.skipped.isEmpty());
        EXPECT_EQ(engine.transferQueue().count(), files.size() + 8);
        engine.Pass();
        ASSERT_TRUE(waitFor([&] { return seen.results.contains(start.id); }, 60000))
                << "run " << run << "\n"
                << seen.log().toStdString();
        // One part per file, each arrived.
        const OperationResult &result = seen.results.value(start.id);
        EXPECT_TRUE(result.success());
        EXPECT_EQ(result.items.size(), files.size());
        const QString hostTop
                = vsftpd.path(VsftpdServer::Tree::Upload, QStringLiteral("tree%1").arg(run));
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            EXPECT_TRUE(readFile(hostTop + '/' + it.key()) == it.value())
                    << "run " << run << ": " << it.key().toStdString();
        EXPECT_TRUE(QFileInfo(hostTop + QStringLiteral("/empty/inner")).isDir());
    }

    // A folder command the host refuses (the folder exists) holds nothing back for good.
    seen.ended = 0;
    engine.transferQueue().append(
            TransferQueue::MakeFolderEntry(QStringLiteral("\\upload\\tree1\\")));
    engine.transferQueue().append(TransferQueue::UploadEntry(
            localFolder + QStringLiteral("f0.bin"), QStringLiteral("\\upload\\tree1\\again.bin")));
    engine.Pass();
    ASSERT_TRUE(waitFor([&] { return seen.ended == 1; }, 15000)) << seen.log().toStdString();
    EXPECT_TRUE(readFile(vsftpd.path(VsftpdServer::Tree::Upload, QStringLiteral("tree1/again.bin")))
                == files.value(QStringLiteral("f0.bin")));
    ASSERT_TRUE(waitFor([&] { return engine.taskList().count() == 1; }, 10000));
}

TEST(TaskEngineVsftpd, TreeDownloadAndTreeDelete)
{
    VsftpdServer vsftpd;
    ASSERT_TRUE(vsftpd.start());
    QMap<QString, QByteArray> files;
    for (const QString &folder : {QStringLiteral(""),
                                  QStringLiteral("x/"),
                                  QStringLiteral("x/y/"),
                                  QStringLiteral("x/y/z/"),
                                  QStringLiteral("w/")}) {
        for (int i = 0; i < 3; ++i)
            files.insert(folder + QStringLiteral("g%1.dat").arg(i), randomBytes(50 + i * 3000));
    }
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        vsftpd.createFile(VsftpdServer::Tree::Upload, "tree/" + it.key(), it.value());
    vsftpd.createFolder(VsftpdServer::Tree::Upload, QStringLiteral("tree/emptyone"));
    vsftpd.createFolder(VsftpdServer::Tree::Upload, QStringLiteral("tree/x/emptytwo"));

    QTemporaryDir local;
    const QString target = NativeToLocal(local.path() + QStringLiteral("/got/"));

    TaskEngine engine;
    Observer seen(engine);
    engine.startTimers();
    engine.connectMain(anonymousRequest(vsftpd.port(), QString(), 3));
    ASSERT_TRUE(waitFor([&] { return seen.loginWalkDone(); }, 15000)) << seen.log().toStdString();

    const int download
            = engine.downloadTree(HostPath{QStringLiteral("\\upload\\tree\\")}, LocalPath{target})
                      .id;
    engine.Pass();
    ASSERT_TRUE(waitFor([&] { return seen.results.contains(download); }, 60000))
            << seen.log().toStdString();
    // The top folder's listing and one part per file, each done.
    EXPECT_TRUE(seen.results.value(download).success());
    EXPECT_EQ(seen.results.value(download).items.size(), files.size() + 1);
    EXPECT_EQ(seen.ended, files.size());
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        EXPECT_TRUE(readFile(local.filePath("got/" + it.key())) == it.value())
                << it.key().toStdString();
    EXPECT_TRUE(QFileInfo(local.filePath(QStringLiteral("got/emptyone"))).isDir());
    EXPECT_TRUE(QFileInfo(local.filePath(QStringLiteral("got/x/emptytwo"))).isDir());
    ASSERT_TRUE(waitFor([&] { return engine.taskList().count() == 1; }, 10000));

    // The same tree deleted on the host: buffered by a task, then removed by the main session.
    const int removal = engine.deleteTree(HostPath{QStringLiteral("\\upload\\tree\\")}).id;
    engine.Pass();
    ASSERT_TRUE(waitFor([&] { return seen.results.contains(removal); }, 30000))
            << seen.log().toStdString();
    const QString hostTree = vsftpd.path(VsftpdServer::Tree::Upload, QStringLiteral("tree"));
    EXPECT_FALSE(QFileInfo::exists(hostTree));
    // The listing, every file and every folder (the top one included) deleted.
    EXPECT_TRUE(seen.results.value(removal).success());
    EXPECT_EQ(seen.results.value(removal).items.size(), 1 + files.size() + 7);
    EXPECT_TRUE(QFileInfo(vsftpd.uploadFolder()).isDir());
}

TEST(TaskEngineConnect, RefusedConnectionSchedulesReconnection)
{
    const quint16 nobody = ovtest::freePort();
    struct Case
    {
        int reconnect;
        int countdown;
        const char *text;
    };
    for (const Case &c : {Case{4, 20, "Reattempting in 20 seconds."},
                          Case{31, 1324512000, "Reattempting in 42 years."},
                          Case{0, 1, "Reattempting ..."}}) {
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
            EXPECT_TRUE(engine.taskRows()->caption(0).startsWith(
                    QStringLiteral("Retrying to Connect in ")));
            EXPECT_TRUE(engine.statusTexts()->caption(2).startsWith(
                    QStringLiteral("Retrying to Connect in ")));
            engine.Stop();
            EXPECT_EQ(engine.ReconnectCountdown(), 0) << "Stop cancels the reconnection";
        }
        if (c.reconnect == 0) {
            EXPECT_TRUE(waitFor(
                    [&] {
                        return seen.log().count(QStringLiteral("Re-attempting to connect to host."))
                               >= 1;
                    },
                    3000))
                    << seen.log().toStdString();
        }
    }
}

TEST(TaskEngineConnect, LogOffWhileLoggingInSchedulesNothing)
{
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    QList<QTcpSocket *> held;
    QObject::connect(&silent, &QTcpServer::newConnection, [&] {
        while (QTcpSocket *socket = silent.nextPendingConnection())
            held << socket;
    });
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
    qDeleteAll(held);
}

TEST(TaskEngineVsftpd, PasswordsNeverReachTheLog)
{
    VsftpdServer vsftpd;
    ASSERT_TRUE(vsftpd.start());
    vsftpd.createFile(VsftpdServer::Tree::UserHome, QStringLiteral("one.txt"), "one");
    QTemporaryDir local;

    TaskEngine engine;
    Observer seen(engine);
    engine.startTimers();
    ConnectRequest request;
    request.session = {QStringLiteral("127.0.0.1"),
                       QString::number(vsftpd.port()),
                       VsftpdServer::userName(),
                       VsftpdServer::password()};
    request.passive = true;
    request.tasks = 2;
    engine.connectMain(request);
    ASSERT_TRUE(waitFor([&] { return seen.loginWalkDone(); }, 15000)) << seen.log().toStdString();
    if (!engine.listingBuffer().contains(QStringLiteral("\\")))
        engine.MainFTP()->listingBuffer()->addEntry(
                QStringLiteral("\\"), QStringLiteral("fone.txt"), QStringLiteral("3*0"));
    // A task session logs in too.
    engine.transferQueue().append(TransferQueue::DownloadEntry(
            QStringLiteral("\\one.txt"), NativeToLocal(local.filePath(QStringLiteral("one.txt")))));
    engine.Pass();
    ASSERT_TRUE(waitFor([&] { return seen.ended == 1; }, 15000)) << seen.log().toStdString();
    EXPECT_TRUE(seen.failures.isEmpty());

    const QString all = seen.log() + '\n' + engine.loginInfo().join('\n');
    EXPECT_FALSE(all.contains(VsftpdServer::password())) << all.toStdString();
    EXPECT_TRUE(seen.log().contains(QStringLiteral("<<: (00) pass *****")));
    EXPECT_TRUE(seen.log().contains(QStringLiteral("<<: (01) pass *****")));
    EXPECT_TRUE(
            engine.loginInfo().contains(QStringLiteral("Sending password to host (pass *****)")))
            << engine.loginInfo().join('\n').toStdString();
    EXPECT_TRUE(
            engine.loginInfo().join('\n').contains(QStringLiteral("Sending username to host (")))
            << engine.loginInfo().join('\n').toStdString();
}

TEST(TaskEngineVsftpd, MainOfflineWithQueuedDownloadsEndsEveryEntry)
{
    VsftpdServer vsftpd;
    vsftpd.setOption(QStringLiteral("anon_max_rate"), QStringLiteral("150000"));
    vsftpd.setOption(QStringLiteral("idle_session_timeout"), QStringLiteral("2"));
    ASSERT_TRUE(vsftpd.start());
    for (int i = 0; i < 5; ++i)
        vsftpd.createFile(VsftpdServer::Tree::AnonymousRoot,
                          QStringLiteral("pub/q%1.bin").arg(i),
                          randomBytes(300 * 1024));
    QTemporaryDir local;
    const QString localFolder = NativeToLocal(local.path() + QLatin1Char('/'));

    TaskEngine engine;
    Observer seen(engine);
    engine.startTimers();
    engine.connectMain(anonymousRequest(vsftpd.port(), QStringLiteral("\\pub\\"), 2));
    ASSERT_TRUE(waitFor([&] { return seen.loginWalkDone(); }, 15000)) << seen.log().toStdString();
    if (!engine.listingBuffer().contains(QStringLiteral("\\pub\\"))) {
        for (int i = 0; i < 5; ++i)
            engine.MainFTP()->listingBuffer()->addEntry(QStringLiteral("\\pub\\"),
                                                        QStringLiteral("fq%1.bin").arg(i),
                                                        QString::number(300 * 1024)
                                                                + QStringLiteral("*0"));
    }
    for (int i = 0; i < 5; ++i)
        engine.transferQueue().append(
                TransferQueue::DownloadEntry(QStringLiteral("\\pub\\q%1.bin").arg(i),
                                             localFolder + QStringLiteral("q%1.bin").arg(i)));
    engine.Pass();
    // The idle main session is closed by the host after two seconds; what was queued then
    // ends one way or the other, and the engine comes to rest.
    ASSERT_TRUE(waitFor([&] { return seen.ended + seen.dropped == 5; }, 30000))
            << seen.ended << " ended, " << seen.dropped << " dropped\n"
            << seen.log().toStdString();
    EXPECT_GE(seen.dropped, 1);
    ASSERT_TRUE(waitFor([&] { return engine.taskList().count() == 1; }, 10000));
    EXPECT_EQ(engine.MainFTP()->State(), csNotConnected);
    EXPECT_EQ(engine.ReconnectCountdown(), 0);
    EXPECT_TRUE(engine.transferQueue().isEmpty());
}

namespace {
// Remembers the sounds asked for; there is no audio device to play them here.
struct RecordingPlayer : SoundPlayer
{
    void play(const QString &wavFile) override { played << wavFile; }
    QStringList played;
};
} // namespace

TEST(TaskEngineVsftpd, HostClosingAWorkingConnectionThenConnectingAgain)
{
    VsftpdServer vsftpd;
    vsftpd.setOption(QStringLiteral("idle_session_timeout"), QStringLiteral("1"));
    ASSERT_TRUE(vsftpd.start());

    TaskEngine engine;
    Observer seen(engine);
    RecordingPlayer player;
    engine.setSoundPlayer(&player);
    engine.options().doSND1 = true;
    engine.options().snd1 = QStringLiteral("/sounds/connected.wav");
    engine.options().ShowMainIO = false;
    QList<bool> locks;
    QObject::connect(&engine, &TaskEngine::setupLockChanged, [&](bool locked) { locks << locked; });
    engine.startTimers();

    TcFTPHostTypes detected = csWinNTFTP;
    QObject::connect(
            &engine, &TaskEngine::mainLoggedIn, [&](TcFTPHostTypes type) { detected = type; });
    QList<QStringList> returned;
    QObject::connect(&engine, &TaskEngine::hostBookmarksReturned, [&](const QStringList &items) {
        returned << items;
    });
    for (int round = 1; round <= 2; ++round) {
        ConnectRequest request = anonymousRequest(vsftpd.port(), QString(), 1);
        request.fromSite = round == 1;
        if (round == 1)
            request.hostBookmarks = QStringList{"pub\r\\pub\\", "up\r\\upload\\"};
        engine.connectMain(request);
        if (round == 1) {
            EXPECT_EQ(engine.hostBookmarks(), (QStringList{"pub\r\\pub\\", "up\r\\upload\\"}));
            engine.hostBookmarks().removeFirst();
            engine.hostBookmarks().append(QStringLiteral("new\r\\new\\"));
        }
        ASSERT_TRUE(waitFor([&] { return seen.loginWalkDone(); }, 15000))
                << "round " << round << "\n"
                << seen.log().toStdString();
        // The host's replies during login reach the log-in lines even with the host text
        // kept out of the log.
        EXPECT_TRUE(engine.loginInfo().join('\n').contains(QStringLiteral("220")))
                << engine.loginInfo().join('\n').toStdString();
        EXPECT_FALSE(seen.log().contains(QStringLiteral(">>: ")));
        EXPECT_EQ(player.played.size(), round);
        EXPECT_TRUE(engine.setupLocked());
        // vsftpd closes the idle session after a second: a closed working connection.
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
    EXPECT_EQ(TaskEngine::HostTypeCaption(detected), QStringLiteral("(Host Computer)"));
    EXPECT_EQ(TaskEngine::HostTypeCaption(csServU), QStringLiteral("(Serv-U FTP Server Host)"));
    // The bookmarks went back when the site's connection ended; a quick connection has none.
    EXPECT_EQ(returned, (QList<QStringList>{{"up\r\\upload\\", "new\r\\new\\"}}));
    EXPECT_TRUE(engine.hostBookmarks().isEmpty());
    EXPECT_EQ(player.played.first(), QStringLiteral("/sounds/connected.wav"));
}

TEST(TaskEngineVsftpd, HostileNamesInATreeDownloadStayInside)
{
    VsftpdServer vsftpd;
    ASSERT_TRUE(vsftpd.start());
    vsftpd.createFile(VsftpdServer::Tree::Upload, QStringLiteral("evil/good.txt"), "good");
    QTemporaryDir local;
    QDir(local.path()).mkpath(QStringLiteral("inside"));
    const QString target = NativeToLocal(local.path() + QStringLiteral("/inside/got/"));

    TaskEngine engine;
    Observer seen(engine);
    engine.startTimers();
    engine.connectMain(anonymousRequest(vsftpd.port(), QString(), 2));
    ASSERT_TRUE(waitFor([&] { return seen.loginWalkDone(); }, 15000)) << seen.log().toStdString();

    // The folder is already buffered with names no listing parser should let through; the
    // tree download must still keep every local path inside its target.
    const QString evil = QStringLiteral("\\upload\\evil\\");
    for (const QString &name : {QStringLiteral("good.txt"),
                                QStringLiteral(".."),
                                QStringLiteral("../../escape.txt"),
                                QStringLiteral("..\\up.txt"),
                                QStringLiteral("star*name")})
        engine.MainFTP()->listingBuffer()->addEntry(
                evil, QLatin1Char('f') + name, QStringLiteral("4*0"));
    engine.transferQueue().append(TransferQueue::DownloadTreeEntry(evil, target));
    engine.Pass();
    ASSERT_TRUE(waitFor([&] { return seen.ended >= 1 && engine.transferQueue().isEmpty(); }, 15000))
            << seen.log().toStdString();
    ovtest::spinFor(300);
    EXPECT_EQ(seen.ended, 1);
    EXPECT_EQ(readFile(local.filePath(QStringLiteral("inside/got/good.txt"))), QByteArray("good"));
    EXPECT_EQ(QDir(local.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{"inside"});
    EXPECT_EQ(QDir(local.filePath(QStringLiteral("inside")))
                      .entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{"got"});
    EXPECT_EQ(QDir(local.filePath(QStringLiteral("inside/got")))
                      .entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{"good.txt"});
    EXPECT_EQ(seen.log().count(QStringLiteral("Skipped the host file")), 4)
            << seen.log().toStdString();
}

TEST(TaskEngineVsftpd, DownloadsIntoTheTemporaryFolders)
{
    VsftpdServer vsftpd;
    ASSERT_TRUE(vsftpd.start());
    QMap<QString, QByteArray> files;
    for (const char *name : {"a.txt", "b.txt", "c.txt", "d.txt", "e.txt"}) {
        files.insert(QLatin1String(name), QByteArray("content of ") + name);
        vsftpd.createFile(VsftpdServer::Tree::AnonymousRoot,
                          QStringLiteral("pub/") + QLatin1String(name),
                          files.value(QLatin1String(name)));
    }
    QTemporaryDir temp;
    QTemporaryDir local;
    TaskEngine engine;
    ASSERT_TRUE(engine.tempFolders().create(temp.path()))
            << engine.tempFolders().errorString().toStdString();
    const TempFolders &folders = engine.tempFolders();
    Observer seen(engine);
    RecordingPlayer player;
    engine.setSoundPlayer(&player);
    engine.options().doSND3 = true;
    engine.options().snd3 = QStringLiteral("/sounds/done.wav");
    QStringList events;
    QObject::connect(&engine,
                     &TaskEngine::dragDropFileReceived,
                     [&](const QString &folder, const QString &file, bool last) {
                         events << QStringLiteral("drag %1 %2 %3")
                                           .arg(folder == folders.dragDrop())
                                           .arg(file)
                                           .arg(last);
                     });
    QObject::connect(
            &engine,
            &TaskEngine::openFileReceived,
            [&](const QString &folder, const QString &file) {
                events << QStringLiteral("open %1 %2").arg(folder == folders.open()).arg(file);
            });
    QObject::connect(
            &engine,
            &TaskEngine::viewFileReceived,
            [&](const QString &folder, const QString &file) {
                events << QStringLiteral("view %1 %2").arg(folder == folders.view()).arg(file);
            });
    engine.startTimers();
    engine.connectMain(anonymousRequest(vsftpd.port(), QStringLiteral("\\pub\\"), 1));
    ASSERT_TRUE(waitFor([&] { return seen.loginWalkDone(); }, 15000)) << seen.log().toStdString();
    if (!engine.listingBuffer().contains(QStringLiteral("\\pub\\")))
        bufferFiles(engine, QStringLiteral("\\pub\\"), files);

    const auto queue = [&](const QString &name, const QString &folder) {
        engine.transferQueue().append(
                TransferQueue::DownloadEntry("\\pub\\" + name, folder + name));
    };
    queue(QStringLiteral("a.txt"), folders.dragDrop());
    queue(QStringLiteral("b.txt"), folders.dragDrop());
    queue(QStringLiteral("c.txt"), folders.open());
    queue(QStringLiteral("d.txt"), folders.view());
    queue(QStringLiteral("e.txt"), NativeToLocal(local.path() + QLatin1Char('/')));
    engine.Pass();
    ASSERT_TRUE(waitFor([&] { return seen.ended == 5; }, 15000)) << seen.log().toStdString();
    EXPECT_EQ(events,
              (QStringList{"drag 1 a.txt 0", "drag 1 b.txt 1", "open 1 c.txt", "view 1 d.txt"}));
    EXPECT_TRUE(seen.log().contains(
            QStringLiteral("  : Successfully received drag-and-drop file: 'a.txt'.")));
    EXPECT_TRUE(seen.log().contains(
            QStringLiteral("  : Successfully received file to open: 'c.txt'.")));
    EXPECT_TRUE(seen.log().contains(
            QStringLiteral("  : Successfully received file to view: 'd.txt'.")));
    EXPECT_TRUE(seen.log().contains(
            QStringLiteral("  : Successfully received file 'e.txt' to folder '%1/'.")
                    .arg(local.path())))
            << seen.log().toStdString();
    EXPECT_EQ(player.played, QStringList{"/sounds/done.wav"}) << "no sound for temporary files";
    EXPECT_EQ(readFile(LocalToNative(folders.view() + QStringLiteral("d.txt"))),
              files.value("d.txt"));
}
