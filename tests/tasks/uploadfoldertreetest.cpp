#include "tasks/uploadfoldertree.h"
#include "ftp/listingbuffer.h"
#include "platform/localpath.h"
#include "support/files.h"
#include "support/qtprinters.h"
#include "tasks/transferqueue.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(UploadFolderTree, DepthFirstWithSkipsAndNoLinkLoops)
{
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    QDir root(temp.path());
    for (const char *name : {"b.txt", "a/x.txt", "a/sub/y.txt", "star*name.txt", "back\\slash.txt"})
        ASSERT_TRUE(ovtest::writeFile(root.filePath(QLatin1String(name)), "x"));
    ASSERT_TRUE(root.mkpath(QStringLiteral("c")));
    ASSERT_TRUE(QFile::link(temp.path(), root.filePath(QStringLiteral("a/sub/up"))));
    ASSERT_TRUE(QFile::link(QStringLiteral(".."), root.filePath(QStringLiteral("loop"))));
    ASSERT_TRUE(QFile::link(QStringLiteral("b.txt"), root.filePath(QStringLiteral("filelink"))));

    const QString local = NativeToLocal(temp.path() + QLatin1Char('/'));
    TransferQueue queue;
    QStringList failing;
    QStringList notFailing;
    const int queued = UploadFolderTree(
            local, QStringLiteral("/up/"), queue, 0, [&](const SkippedName &skipped) {
                (skipped.failsOperation ? failing : notFailing) << skipped.name;
            });
    const QStringList expected{
            "c*mkd \\up\\a\\",
            "c*mkd \\up\\a\\sub\\",
            "u*" + local + "a\\sub\\y.txt*\\up\\a\\sub\\y.txt",
            "u*" + local + "a\\x.txt*\\up\\a\\x.txt",
            "u*" + local + "b.txt*\\up\\b.txt",
            "c*mkd \\up\\c\\",
            "u*" + local + "filelink*\\up\\filelink",
    };
    EXPECT_EQ(queue.entries(), expected);
    EXPECT_EQ(queued, expected.size());
    // Links to folders are left out by design; names that cannot travel fail the upload.
    failing.sort();
    notFailing.sort();
    EXPECT_EQ(failing,
              (QStringList{root.filePath("back\\slash.txt"), root.filePath("star*name.txt")}));
    EXPECT_EQ(notFailing, (QStringList{root.filePath("a/sub/up"), root.filePath("loop")}));

    // A host folder that cannot travel queues nothing.
    queue.clear();
    failing.clear();
    EXPECT_EQ(UploadFolderTree(local,
                               "\\odd*name\\",
                               queue,
                               0,
                               [&](const SkippedName &skipped) { failing << skipped.name; }),
              0);
    EXPECT_TRUE(queue.isEmpty());
    EXPECT_EQ(failing.size(), 1);
}

// Like "mkdir -p": a folder command for each level that may be missing, from the top down.
TEST(QueueMissingHostFolders, EachMissingLevelOnce)
{
    ListingBuffer buffer;
    buffer.addEntry(QStringLiteral("\\"), QStringLiteral("dpub"), QStringLiteral("-1*0"));
    buffer.addEntry(QStringLiteral("\\pub\\"), QStringLiteral("dold"), QStringLiteral("-1*0"));
    TransferQueue queue;
    // clang-format off
    struct Row { const char *target; QStringList queued; };
    const Row rows[] = {
        {"\\pub\\new\\deeper\\", {"\\pub\\new\\", "\\pub\\new\\deeper\\"}},
        {"\\pub\\new\\deeper\\", {}}, // already waiting
        {"/pub/new/other/", {"\\pub\\new\\other\\"}},
        {"\\pub\\old\\x\\", {"\\pub\\old\\x\\"}},  // its parent lists "old"
        {"\\PUB\\x\\", {"\\PUB\\", "\\PUB\\x\\"}}, // host names keep their case
        {"\\other\\", {"\\other\\"}},
        {"\\pub\\", {}},
        {"\\", {}},
        {"\\pub\\odd*name\\", {}},
    };
    // clang-format on
    for (const Row &row : rows) {
        SCOPED_TRACE(row.target);
        const qsizetype before = queue.count();
        EXPECT_EQ(QueueMissingHostFolders(QString::fromLatin1(row.target), buffer, queue),
                  row.queued.size());
        QStringList expected;
        for (const QString &folder : row.queued)
            expected << TransferQueue::MakeFolderEntry(folder);
        EXPECT_EQ(queue.entries().mid(before), expected);
    }
}
