// The user's controls of the scheduler: Stop and Reset, Stop Queue, Kill and queue removal,
// against vsftpd sending slowly enough to act while transfers run.
#include "enginetesthelpers.h"
#include "platform/localpath.h"
#include "support/eventwait.h"
#include "support/qtprinters.h"
#include "support/vsftpdserver.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace enginetest;
using ovtest::VsftpdServer;
using ovtest::waitFor;

namespace {

// vsftpd sending at about 150 kB/s, with count files of size bytes in /pub, and an engine
// logged in with the given maximum of tasks and those files known to its listing buffer.
struct SlowSite
{
    SlowSite(int count, int size, int tasks)
        : seen(engine)
    {
        vsftpd.setOption(QStringLiteral("anon_max_rate"), QStringLiteral("150000"));
        started = bool(vsftpd.start());
        for (int i = 0; i < count; ++i) {
            const QString name = QStringLiteral("s%1.bin").arg(i);
            files.insert(name, randomBytes(size));
            vsftpd.createFile(VsftpdServer::Tree::AnonymousRoot, "pub/" + name, files.value(name));
        }
        localFolder = NativeToLocal(local.path() + QLatin1Char('/'));
        engine.startTimers();
        engine.connectMain(anonymousRequest(vsftpd.port(), QStringLiteral("\\pub\\"), tasks));
        loggedIn = waitFor([&] { return seen.loginWalkDone(); }, 15000);
        if (!engine.listingBuffer().contains(QStringLiteral("\\pub\\")))
            bufferFiles(engine, QStringLiteral("\\pub\\"), files);
    }

    void queueAll()
    {
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            engine.transferQueue().append(
                    TransferQueue::DownloadEntry("\\pub\\" + it.key(), localFolder + it.key()));
    }

    int busyTasks()
    {
        int busy = 0;
        for (int i = 1; i < engine.taskList().count(); ++i)
            busy += engine.taskList().session(i)->Downloading() ? 1 : 0;
        return busy;
    }

    VsftpdServer vsftpd;
    QTemporaryDir local;
    QString localFolder;
    QMap<QString, QByteArray> files;
    TaskEngine engine;
    Observer seen;
    bool started = false;
    bool loggedIn = false;
};

} // namespace

TEST(SchedulerControls, StopAbortsOnceAndResetsTheQueueOnASecondClick)
{
    SlowSite site(6, 1200 * 1024, 3);
    ASSERT_TRUE(site.started && site.loggedIn) << site.seen.log().toStdString();
    TaskEngine &engine = site.engine;
    site.queueAll();
    engine.Pass();
    ASSERT_TRUE(waitFor([&] { return site.busyTasks() == 2; }, 15000));

    QStringList captions;
    QObject::connect(&engine, &TaskEngine::stopCaptionChanged, [&](const QString &caption) {
        captions << caption;
    });
    engine.Stop();
    EXPECT_EQ(engine.stopCaption(), QStringLiteral("Reset"));
    // While it reads "Reset" nothing is handed out; the task transfers go on.
    EXPECT_EQ(engine.transferQueue().count(), 4);
    ASSERT_TRUE(waitFor([&] { return engine.stopCaption() == QStringLiteral("Stop"); }, 2000));
    EXPECT_EQ(captions, (QStringList{"Reset", "Stop"}));
    EXPECT_EQ(site.busyTasks(), 2) << "one click aborts the main session's action only";

    // Two clicks within the half second: both lists are cleared and every task disconnected.
    engine.mainCmdList() << QStringLiteral("noop");
    engine.Stop();
    engine.Stop();
    EXPECT_TRUE(engine.transferQueue().isEmpty());
    EXPECT_TRUE(engine.mainCmdList().isEmpty());
    EXPECT_TRUE(waitFor([&] { return engine.taskList().count() == 1; }, 5000));
    EXPECT_EQ(engine.MainFTP()->State(), csIdle);
    EXPECT_EQ(site.seen.failures.size(), 2) << "the two broken transfers are reported failed";
}

TEST(SchedulerControls, StopQueueHoldsEntriesAndIdleTasksLeave)
{
    SlowSite site(3, 200 * 1024, 3);
    ASSERT_TRUE(site.started && site.loggedIn) << site.seen.log().toStdString();
    TaskEngine &engine = site.engine;
    engine.toggleQueueStop();
    EXPECT_TRUE(engine.queueStopped());
    site.queueAll();
    engine.Pass();
    // Sessions start for the entries, but with the queue stopped none is handed out, and
    // the idle sessions stay only while there are entries for them.
    ASSERT_TRUE(waitFor(
            [&] {
                return engine.taskList().count() == 3
                       && engine.taskList().session(2)->State() == csIdle;
            },
            10000));
    ovtest::spinFor(1200);
    EXPECT_EQ(engine.transferQueue().count(), 3);
    EXPECT_EQ(site.seen.ended, 0);
    EXPECT_TRUE(engine.taskRows()->caption(1).endsWith(QStringLiteral("Waiting for Queue-Input.")))
            << engine.taskRows()->caption(1).toStdString();
    EXPECT_EQ(engine.queueRows()->captions(),
              (QStringList{"Download: s0.bin", "Download: s1.bin", "Download: s2.bin"}));

    // Removing two entries leaves one: one idle task too many, the last one leaves.
    engine.RemoveQueueEntries({0, 2});
    EXPECT_EQ(engine.transferQueue().entries(),
              QStringList{
                      TransferQueue::DownloadEntry("\\pub\\s1.bin", site.localFolder + "s1.bin")});
    EXPECT_EQ(engine.taskList().count(), 2);
    EXPECT_EQ(engine.queueRows()->captions(), QStringList{"Download: s1.bin"});

    engine.toggleQueueStop();
    EXPECT_FALSE(engine.queueStopped());
    ASSERT_TRUE(waitFor([&] { return site.seen.ended == 1; }, 15000));
    EXPECT_TRUE(site.seen.failures.isEmpty());
    EXPECT_EQ(readFile(site.local.filePath(QStringLiteral("s1.bin"))), site.files.value("s1.bin"));
    EXPECT_TRUE(waitFor([&] { return engine.taskList().count() == 1; }, 5000));
}

TEST(SchedulerControls, KillSelectedTasksAndTheMainTask)
{
    SlowSite site(4, 1200 * 1024, 5);
    ASSERT_TRUE(site.started && site.loggedIn) << site.seen.log().toStdString();
    TaskEngine &engine = site.engine;
    site.queueAll();
    engine.Pass();
    ASSERT_TRUE(waitFor([&] { return site.busyTasks() == 4; }, 15000));

    TcFTP *third = engine.taskList().session(3);
    engine.KillTasks({2, 4});
    EXPECT_EQ(engine.taskList().count(), 3);
    EXPECT_EQ(engine.taskList().IndexOfSession(third), 2) << "later tasks move up";
    EXPECT_EQ(site.seen.failures.size(), 2);

    // With the confirmation on, a No leaves everything running, asked once.
    engine.options().ConfirmDisconnect = true;
    int asked = 0;
    bool answer = false;
    engine.setConfirmDisconnect([&] {
        ++asked;
        return answer;
    });
    engine.KillTasks({0});
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(engine.taskList().count(), 3);
    EXPECT_EQ(site.busyTasks(), 2);

    // Killing the main task disconnects everything; a wanted disconnection, no reconnection.
    answer = true;
    engine.KillTasks({0});
    EXPECT_EQ(asked, 2);
    ASSERT_TRUE(waitFor(
            [&] {
                return engine.taskList().count() == 1
                       && engine.MainFTP()->State() == csNotConnected;
            },
            5000));
    EXPECT_EQ(engine.ReconnectCountdown(), 0);
    EXPECT_EQ(engine.MaxTasks(), 1);
    EXPECT_TRUE(site.seen.log().contains(
            QStringLiteral("  : Maintask disconnected from host. Session closed.")));
}
