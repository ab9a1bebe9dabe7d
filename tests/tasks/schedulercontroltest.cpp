// The user's controls of the scheduler: Stop and Reset, Stop Queue, Kill, queue removal and a
// lower maximum of tasks, against vsftpd sending slowly enough to act while transfers run.
#include "connectedengine.h"

using namespace enginetest;
using ovtest::testBytes;

namespace {
class SchedulerControls : public SlowEngineTest
{
protected:
    // count files of size bytes published, the engine logged in with tasks (the queue stopped
    // first when asked) and the files queued.
    ::testing::AssertionResult queueSlowFiles(int count, int size, int tasks, bool stop = false)
    {
        for (int i = 0; i < count; ++i)
            files.insert(QStringLiteral("s%1.bin").arg(i), testBytes(size, i));
        pub = publish(files);
        const ::testing::AssertionResult connected = connect(pub, tasks);
        if (stop)
            engine.toggleQueueStop();
        queueDownloads(pub, files);
        return connected;
    }

    int busyTasks()
    {
        int busy = 0;
        for (int i = 1; i < engine.taskList().count(); ++i)
            busy += engine.taskList().session(i)->Downloading() ? 1 : 0;
        return busy;
    }

    FileTree files;
    QString pub;
};
} // namespace

TEST_F(SchedulerControls, StopAbortsOnceAndResetsTheQueueOnASecondClick)
{
    ASSERT_TRUE(queueSlowFiles(6, 1200 * 1024, 3));
    engine.Pass();
    ASSERT_TRUE(waitFor([&] { return busyTasks() == 2; }, 15000)) << log();
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
    EXPECT_EQ(busyTasks(), 2) << "one click aborts the main session's action only";

    // Two clicks within the half second: both lists are cleared and every task disconnected.
    engine.mainCmdList() << QStringLiteral("noop");
    engine.Stop();
    engine.Stop();
    EXPECT_TRUE(engine.transferQueue().isEmpty());
    EXPECT_TRUE(engine.mainCmdList().isEmpty());
    EXPECT_TRUE(waitFor([&] { return engine.taskList().count() == 1; }, 5000));
    EXPECT_EQ(engine.MainFTP()->State(), csIdle);
    EXPECT_EQ(seen.failures.size(), 2) << "the two broken transfers are reported failed";
}

TEST_F(SchedulerControls, StopQueueHoldsEntriesAndIdleTasksLeave)
{
    ASSERT_TRUE(queueSlowFiles(3, 200 * 1024, 3, true));
    EXPECT_TRUE(engine.queueStopped());
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
    EXPECT_EQ(seen.ended, 0);
    EXPECT_TRUE(engine.taskRows()->caption(1).endsWith(QStringLiteral("Waiting for Queue-Input.")))
            << engine.taskRows()->caption(1).toStdString();
    EXPECT_EQ(engine.queueRows()->captions(),
              (QStringList{"Download: s0.bin", "Download: s1.bin", "Download: s2.bin"}));

    // Removing two entries leaves one: one idle task too many, the last one leaves.
    engine.RemoveQueueEntries({0, 2});
    EXPECT_EQ(engine.transferQueue().entries(),
              QStringList{TransferQueue::DownloadEntry(pub + "s1.bin", localFolder + "s1.bin")});
    EXPECT_EQ(engine.taskList().count(), 2);
    EXPECT_EQ(engine.queueRows()->captions(), QStringList{"Download: s1.bin"});

    engine.toggleQueueStop();
    EXPECT_FALSE(engine.queueStopped());
    ASSERT_TRUE(waitEnded(1)) << log();
    EXPECT_EQ(seen.failures, QStringList());
    EXPECT_EQ(ovtest::readTree(local.path()), (FileTree{{"s1.bin", files.value("s1.bin")}}));
    EXPECT_TRUE(waitFor([&] { return engine.taskList().count() == 1; }, 5000));
}

TEST_F(SchedulerControls, KillSelectedTasksAndTheMainTask)
{
    ASSERT_TRUE(queueSlowFiles(4, 1200 * 1024, 5));
    engine.Pass();
    ASSERT_TRUE(waitFor([&] { return busyTasks() == 4; }, 15000)) << log();
    TcFTP *third = engine.taskList().session(3);
    engine.KillTasks({2, 4});
    EXPECT_EQ(engine.taskList().count(), 3);
    EXPECT_EQ(engine.taskList().IndexOfSession(third), 2) << "later tasks move up";
    EXPECT_EQ(seen.failures.size(), 2);

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
    EXPECT_EQ(busyTasks(), 2);

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
    EXPECT_TRUE(seen.log().contains(
            QStringLiteral("  : Maintask disconnected from host. Session closed.")));
}

TEST_F(SchedulerControls, LoweringMaxTasksWaitsForIdleSessions)
{
    ASSERT_TRUE(queueSlowFiles(4, 1200 * 1024, 5));
    engine.Pass();
    ASSERT_TRUE(waitFor([&] { return busyTasks() == 4; }, 15000)) << log();
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
    EXPECT_TRUE(engine.taskRows()->caption(1).startsWith(QStringLiteral("Downloading : s")))
            << engine.taskRows()->caption(1).toStdString();
    EXPECT_EQ(engine.statusTexts()->caption(0), QStringLiteral("Tasks: 5 of 2"));

    ASSERT_TRUE(waitEnded(4, 30000)) << log();
    ASSERT_TRUE(waitFor([&] { return engine.taskList().count() == 1; }, 10000));
    EXPECT_EQ(seen.failures, QStringList());
    EXPECT_TRUE(ovtest::readTree(local.path()) == files);
}
