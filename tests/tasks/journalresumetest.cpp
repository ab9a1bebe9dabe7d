// Work taken up again from the queue journal arrives whole: a tree upload and a download stopped
// before anything was carried out, a tree download stopped while its tree was being listed.
#include "connectedengine.h"
#include "tasks/queuerecorder.h"

using namespace enginetest;

using JournalResume = EngineTest;

TEST_F(JournalResume, WorkStoppedHalfWayArrivesWhole)
{
    FileTree tree;
    for (const char *folder : {"", "a/", "a/b/", "c/", "d/"}) {
        for (int i = 0; i < 3; ++i)
            tree.insert(QLatin1String(folder) + QStringLiteral("f%1.bin").arg(i),
                        ovtest::testBytes(2000 + i * 900, qHash(QLatin1String(folder)) + i));
    }
    vsftpd().createTree(VsftpdServer::Tree::Upload, own() + "/down", tree);
    vsftpd().createFile(VsftpdServer::Tree::Upload, own() + "/lone/x.bin", "lone");
    ASSERT_TRUE(ovtest::writeTree(local.filePath("up"), tree));
    const QString host = "\\upload\\" + own() + '\\';
    ASSERT_TRUE(connect(QString(), 3));

    // The download is from a folder no session has listed; the upload's folders are not made.
    QueueJournal stopped(local.filePath("stopped.journal"));
    auto recorder = std::make_unique<QueueRecorder>(engine, stopped);
    engine.uploadTree(LocalPath{localFolder + "up\\"}, HostPath{host + "up\\"}, true);
    engine.transferQueue().append(
            TransferQueue::DownloadEntry(host + "lone\\x.bin", localFolder + "x.bin"));
    recorder.reset();
    engine.transferQueue().clear();

    // The tree download's journal stops, as a kill would stop it, at its second folder.
    QueueJournal walking(local.filePath("walking.journal"));
    recorder = std::make_unique<QueueRecorder>(engine, walking);
    int listed = 0;
    QObject::connect(&engine, &TaskEngine::hostFolderListed, [&](const QString &, bool walk) {
        if (walk && ++listed == 2)
            recorder.reset();
    });
    const HostPath down{host + "down\\"};
    ASSERT_TRUE(run(engine.downloadTree(down, LocalPath{localFolder + "got\\"})).success());
    ASSERT_TRUE(QDir(local.filePath("got/c")).removeRecursively());
    ASSERT_TRUE(QFile::resize(local.filePath("got/a/f1.bin"), 1000));
    walking.flush();
    stopped.flush();

    // The tree is listed again; the files journalled below it are left to it.
    const QStringList tail
            = QueueRecorder::resumeEntries(walking.read(walking.path()).transfers, "resume");
    EXPECT_EQ(tail,
              QStringList{TransferQueue::DownloadTreeEntry(down.path, localFolder + "got\\")
                          + "*resume"});
    QueueJournal resumed(local.filePath("resumed.journal"));
    recorder = std::make_unique<QueueRecorder>(engine, resumed);
    seen.ended = 0;
    for (const QString &entry :
         QueueRecorder::resumeEntries(stopped.read(stopped.path()).transfers, "resume") + tail)
        engine.transferQueue().append(entry);
    engine.Pass();
    ASSERT_TRUE(waitFor([&] { return resumed.liveCount() == 0; }, 60000)) << log();
    EXPECT_FALSE(QFileInfo::exists(resumed.path()));
    EXPECT_EQ(seen.failures, QStringList()) << log();
    EXPECT_TRUE(ovtest::readTree(local.filePath("got")) == tree);
    EXPECT_TRUE(ovtest::readTree(vsftpd().path(VsftpdServer::Tree::Upload, own() + "/up")) == tree);
    EXPECT_EQ(ovtest::readFile(local.filePath("x.bin")), "lone");
    // Every upload, the lone file, and of the tree the missing folder and the file cut short.
    EXPECT_EQ(seen.ended, int(tree.size()) + 5);

    // Files that are all there are left as they are within one pass, however many there are.
    engine.Change_MaxTasks(1);
    ASSERT_TRUE(waitFor([&] { return engine.taskList().count() == 1; }, 10000));
    for (int i = 0; i < 3; ++i)
        engine.transferQueue().append(TransferQueue::DownloadEntry(down.path + "d\\f0.bin",
                                                                   localFolder + "got\\d\\f0.bin")
                                      + "*resume");
    engine.Pass();
    EXPECT_TRUE(engine.transferQueue().isEmpty());
}
