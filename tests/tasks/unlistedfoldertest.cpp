// Downloads queued from a folder no session has listed yet, as a queue taken up again after a
// restart is (queued once the main session is in, while it is still finding its folder).
#include "connectedengine.h"

using namespace enginetest;

using TaskEngineUnlisted = EngineTest;

TEST_F(TaskEngineUnlisted, TaskSessionsListTheFolderBeforeTheyFetch)
{
    FileTree files;
    for (int i = 0; i < 12; ++i)
        files.insert(QStringLiteral("f%1.bin").arg(i), ovtest::testBytes(5000 + i * 300, i));
    const QString pub = publish(files);
    ASSERT_TRUE(connect(QString(), 3));
    ASSERT_FALSE(engine.listingBuffer().contains(pub));

    // A file the host does not have fails once, under its own reason, and takes no other down.
    FileTree queued = files;
    queued.insert(QStringLiteral("gone.bin"), QByteArray());
    queueDownloads(pub, queued);
    engine.Pass();
    ASSERT_TRUE(waitEnded(int(queued.size()), 60000)) << log();
    EXPECT_EQ(seen.failures, QStringList{localFolder + "gone.bin"}) << log();
    EXPECT_TRUE(seen.log().contains("'gone.bin' to folder '" + local.path()
                                    + "/'. the folder's listing on the host does not show it"))
            << log();
    EXPECT_TRUE(ovtest::readTree(local.path()) == files);
}
