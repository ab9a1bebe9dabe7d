#include "tasks/transferqueue.h"
#include "support/qtprinters.h"
#include "tasks/tasklist.h"

#include <gtest/gtest.h>

TEST(TransferQueue, EntriesAndCaptions)
{
    const QString download = TransferQueue::DownloadEntry(QStringLiteral("\\pub\\a.zip"),
                                                          QStringLiteral("Z:\\tmp\\b.zip"));
    EXPECT_EQ(download, QStringLiteral("d*\\pub\\a.zip*Z:\\tmp\\b.zip"));
    EXPECT_EQ(TransferQueue::Caption(download), QStringLiteral("Download: b.zip"));

    const QString upload = TransferQueue::UploadEntry(QStringLiteral("Z:\\tmp\\b.zip"),
                                                      QStringLiteral("\\pub\\c.zip"));
    EXPECT_EQ(upload, QStringLiteral("u*Z:\\tmp\\b.zip*\\pub\\c.zip"));
    EXPECT_EQ(TransferQueue::Caption(upload), QStringLiteral("Upload: c.zip"));

    const QString mkd = TransferQueue::MakeFolderEntry(QStringLiteral("\\pub\\new\\"));
    EXPECT_EQ(mkd, QStringLiteral("c*mkd \\pub\\new\\"));
    EXPECT_EQ(TransferQueue::Caption(mkd), QStringLiteral("Command: mkd \\pub\\new\\"));

    const QString tree = TransferQueue::DownloadTreeEntry(QStringLiteral("\\pub\\"),
                                                          QStringLiteral("Z:\\dl\\pub\\"));
    EXPECT_EQ(tree, QStringLiteral("b*\\pub\\*Z:\\dl\\pub\\*!download"));
    EXPECT_EQ(TransferQueue::Caption(tree), QStringLiteral("Buffer: \\pub\\"));
    const QString del = TransferQueue::DeleteTreeEntry(QStringLiteral("\\old\\"));
    EXPECT_EQ(del, QStringLiteral("b*\\old\\*!delete"));
    EXPECT_EQ(TransferQueue::Caption(del), QStringLiteral("Buffer: \\old\\"));
    EXPECT_EQ(TransferQueue::Caption(TransferQueue::BufferEntry(QStringLiteral("\\x\\"))),
              QStringLiteral("Buffer: \\x\\"));

    // An entry of an unknown kind keeps whatever the row showed.
    EXPECT_EQ(TransferQueue::Caption(QStringLiteral("x*what"), QStringLiteral("Upload: a")),
              QStringLiteral("Upload: a"));
    EXPECT_EQ(TransferQueue::Caption(QString(), QStringLiteral("kept")), QStringLiteral("kept"));

    TransferQueue queue;
    queue.append(download);
    queue.append(upload);
    queue.append(mkd);
    EXPECT_EQ(queue.count(), 3);
    EXPECT_TRUE(queue.anyEntryContains(QStringLiteral("Z:\\tmp\\")));
    EXPECT_FALSE(queue.anyEntryContains(QStringLiteral("Z:\\nowhere\\")));
    EXPECT_EQ(queue.takeFirst(), download);
    queue.removeAt(1);
    EXPECT_EQ(queue.entries(), QStringList{upload});
}

TEST(TransferQueue, NamesThatCannotTravel)
{
    EXPECT_TRUE(TransferQueue::HostNameCanTravel(QStringLiteral("a b.txt")));
    EXPECT_FALSE(TransferQueue::HostNameCanTravel(QStringLiteral("a*b.txt")));
    EXPECT_TRUE(TransferQueue::LocalNameCanTravel(QStringLiteral("a b.txt")));
    EXPECT_FALSE(TransferQueue::LocalNameCanTravel(QStringLiteral("a*b")));
    EXPECT_FALSE(TransferQueue::LocalNameCanTravel(QStringLiteral("a\\b")));
}

TEST(TaskList, NumbersShiftWhenAnEarlierTaskLeaves)
{
    TaskList list;
    auto *main = reinterpret_cast<TcFTP *>(0x10);
    auto *one = reinterpret_cast<TcFTP *>(0x20);
    auto *two = reinterpret_cast<TcFTP *>(0x30);
    tTaskListObj *record = list.append(QStringLiteral("Main Task"), main);
    EXPECT_FALSE(record->DeleteAfterBuffer);
    EXPECT_FALSE(record->DownloadAfterBuffer);
    EXPECT_TRUE(record->BufferRoot.isEmpty());
    list.append(QStringLiteral("Connecting"), one);
    list.append(QStringLiteral("Connecting"), two);
    EXPECT_EQ(list.IndexOfSession(two), 2);
    EXPECT_EQ(list.IndexOfSession(nullptr), -1);
    list.removeAt(1);
    EXPECT_EQ(list.IndexOfSession(two), 1);
    EXPECT_EQ(list.IndexOfSession(one), -1);
    EXPECT_EQ(list.name(0), QStringLiteral("Main Task"));
    EXPECT_EQ(list.count(), 2);
}
