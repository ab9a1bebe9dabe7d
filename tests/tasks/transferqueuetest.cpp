#include "tasks/transferqueue.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>

TEST(TransferQueue, EntriesCaptionsAndNamesThatCannotTravel)
{
    const QString rows[][2] = {
            {TransferQueue::DownloadEntry("\\pub\\a.zip", "Z:\\tmp\\b.zip"), "Download: b.zip"},
            {TransferQueue::UploadEntry("Z:\\tmp\\b.zip", "\\pub\\c.zip"), "Upload: c.zip"},
            {TransferQueue::MakeFolderEntry("\\pub\\new\\"), "Command: mkd \\pub\\new\\"},
            {TransferQueue::DownloadTreeEntry("\\pub\\", "Z:\\dl\\pub\\"), "Buffer: \\pub\\"},
            {TransferQueue::DeleteTreeEntry("\\old\\"), "Buffer: \\old\\"},
            {TransferQueue::BufferEntry("\\x\\"), "Buffer: \\x\\"},
    };
    const QStringList entries{"d*\\pub\\a.zip*Z:\\tmp\\b.zip",
                              "u*Z:\\tmp\\b.zip*\\pub\\c.zip",
                              "c*mkd \\pub\\new\\",
                              "b*\\pub\\*Z:\\dl\\pub\\*!download",
                              "b*\\old\\*!delete",
                              "b*\\x\\"};
    TransferQueue queue;
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(rows[i][0], entries.at(i));
        EXPECT_EQ(TransferQueue::Caption(rows[i][0]), rows[i][1]);
        queue.append(rows[i][0]);
    }
    // An entry of an unknown kind keeps whatever the row showed.
    EXPECT_EQ(TransferQueue::Caption("x*what", "Upload: a"), QStringLiteral("Upload: a"));
    EXPECT_EQ(TransferQueue::Caption(QString(), "kept"), QStringLiteral("kept"));

    EXPECT_TRUE(queue.anyEntryContains(QStringLiteral("Z:\\tmp\\")));
    EXPECT_FALSE(queue.anyEntryContains(QStringLiteral("Z:\\nowhere\\")));
    EXPECT_EQ(queue.takeFirst(), entries.at(0));
    queue.removeAt(1);
    EXPECT_EQ(queue.entries(), entries.mid(1, 1) + entries.mid(3));

    EXPECT_TRUE(TransferQueue::HostNameCanTravel(QStringLiteral("a b.txt")));
    EXPECT_FALSE(TransferQueue::HostNameCanTravel(QStringLiteral("a*b.txt")));
    EXPECT_TRUE(TransferQueue::LocalNameCanTravel(QStringLiteral("a b.txt")));
    EXPECT_FALSE(TransferQueue::LocalNameCanTravel(QStringLiteral("a*b")));
    EXPECT_FALSE(TransferQueue::LocalNameCanTravel(QStringLiteral("a\\b")));
}
