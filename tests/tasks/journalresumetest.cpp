// Trees taken up again from the queue journal: a tree upload stopped before its folders were
// made, and a tree download stopped while its tree was still being listed, arrive whole.
#include "connectedengine.h"
#include "tasks/queuerecorder.h"

using namespace enginetest;
using ovtest::readTree;
using ovtest::testBytes;

using JournalResume = EngineTest;

TEST_F(JournalResume, TreesStoppedHalfWayArriveWhole)
{
    FileTree tree;
    for (const char *folder : {"", "a/", "a/b/", "c/", "d/", "e/"}) {
        for (int i = 0; i < 3; ++i)
            tree.insert(QLatin1String(folder) + QStringLiteral("f%1.bin").arg(i),
                        testBytes(2000 + i * 900, qHash(QLatin1String(folder)) + i));
    }
    for (auto it = tree.cbegin(); it != tree.cend(); ++it)
        vsftpd().createFile(VsftpdServer::Tree::Upload, own() + "/down/" + it.key(), it.value());
    ASSERT_TRUE(ovtest::writeTree(local.filePath("up"), tree));
    const QString host = "\\upload\\" + own() + '\\';
    ASSERT_TRUE(connect(QString(), 3));

    // The upload is journalled and stopped before anything was carried out.
    QueueJournal uploads(local.filePath("uploads.journal"));
    auto recorder = std::make_unique<QueueRecorder>(engine, uploads);
    engine.uploadTree(LocalPath{localFolder + "up\\"}, HostPath{host + "up\\"}, true);
    recorder.reset();
    engine.transferQueue().clear();
    uploads.flush();

    // The download's journal stops, as a kill would stop it, once its second folder is listed.
    QueueJournal downloads(local.filePath("downloads.journal"));
    recorder = std::make_unique<QueueRecorder>(engine, downloads);
    int listed = 0;
    QObject::connect(&engine, &TaskEngine::hostFolderListed, [&](const QString &, bool walking) {
        if (walking && ++listed == 2)
            recorder.reset();
    });
    const OperationResult first
            = run(engine.downloadTree(HostPath{host + "down\\"}, LocalPath{localFolder + "got\\"}));
    ASSERT_TRUE(first.success()) << log();
    ASSERT_EQ(recorder, nullptr);
    downloads.flush();
    // What had arrived by then: all but one folder, and one file of another cut short.
    ASSERT_TRUE(QDir(local.filePath("got/c")).removeRecursively());
    ASSERT_TRUE(QFile::resize(local.filePath("got/a/f1.bin"), 1000));

    // The tree is listed again, and the files the journal kept below it are left to it.
    const QStringList treeAgain = QueueRecorder::resumeEntries(
            QueueJournal::read(downloads.path()).transfers, "resume");
    EXPECT_EQ(treeAgain,
              QStringList{TransferQueue::DownloadTreeEntry(host + "down\\", localFolder + "got\\")
                          + "*resume"});
    const QStringList again
            = QueueRecorder::resumeEntries(QueueJournal::read(uploads.path()).transfers, "resume")
              + treeAgain;
    // Taken up again and journalled anew: once everything is done, nothing is left in it.
    QueueJournal resumed(local.filePath("resumed.journal"));
    recorder = std::make_unique<QueueRecorder>(engine, resumed);
    seen.ended = 0;
    for (const QString &entry : again)
        engine.transferQueue().append(entry);
    engine.Pass();
    ASSERT_TRUE(waitFor([&] { return resumed.liveCount() == 0; }, 60000)) << log();
    EXPECT_FALSE(QFileInfo::exists(resumed.path()));
    EXPECT_EQ(seen.failures, QStringList()) << log();
    EXPECT_TRUE(readTree(local.filePath("got")) == tree);
    EXPECT_TRUE(readTree(vsftpd().path(VsftpdServer::Tree::Upload, own() + "/up")) == tree);
    // Every upload, and of the tree only the missing folder's files and the one cut short.
    EXPECT_EQ(seen.ended, int(tree.size()) + 4);

    // Files that are all there are left as they are within one pass, however many there are.
    engine.Change_MaxTasks(1);
    ASSERT_TRUE(waitFor([&] { return engine.taskList().count() == 1; }, 10000));
    for (QString name : tree.keys()) {
        name.replace('/', '\\');
        engine.transferQueue().append(
                TransferQueue::DownloadEntry(host + "down\\" + name, localFolder + "got\\" + name)
                + "*resume");
    }
    engine.Pass();
    EXPECT_TRUE(engine.transferQueue().isEmpty()) << engine.transferQueue().count();
}
