#include "tasks/uploadfoldertree.h"
#include "platform/localpath.h"
#include "support/qtprinters.h"
#include "tasks/transferqueue.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
void touch(const QString &path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write("x");
}
} // namespace

TEST(UploadFolderTree, DepthFirstWithSkipsAndNoLinkLoops)
{
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    QDir root(temp.path());
    ASSERT_TRUE(root.mkpath(QStringLiteral("a/sub")));
    ASSERT_TRUE(root.mkpath(QStringLiteral("c")));
    touch(root.filePath(QStringLiteral("b.txt")));
    touch(root.filePath(QStringLiteral("a/x.txt")));
    touch(root.filePath(QStringLiteral("a/sub/y.txt")));
    touch(root.filePath(QStringLiteral("star*name.txt")));
    touch(root.filePath(QStringLiteral("back\\slash.txt")));
    ASSERT_TRUE(QFile::link(temp.path(), root.filePath(QStringLiteral("a/sub/up"))));
    ASSERT_TRUE(QFile::link(QStringLiteral(".."), root.filePath(QStringLiteral("loop"))));
    ASSERT_TRUE(QFile::link(QStringLiteral("b.txt"), root.filePath(QStringLiteral("filelink"))));

    const QString local = NativeToLocal(temp.path() + QLatin1Char('/'));
    TransferQueue queue;
    QStringList warnings;
    QStringList notFailing;
    const int queued = UploadFolderTree(
            local, QStringLiteral("/up/"), queue, [&](const QString &line, bool fails) {
                warnings << line;
                if (!fails)
                    notFailing << line;
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

    ASSERT_EQ(warnings.size(), 4) << warnings.join('\n').toStdString();
    for (const QString &line : warnings)
        EXPECT_TRUE(line.startsWith(QStringLiteral(" !: "))) << line.toStdString();
    const QString all = warnings.join('\n');
    EXPECT_TRUE(all.contains(root.filePath(QStringLiteral("star*name.txt"))));
    EXPECT_TRUE(all.contains(root.filePath(QStringLiteral("back\\slash.txt"))));
    EXPECT_TRUE(all.contains(root.filePath(QStringLiteral("loop"))));
    EXPECT_TRUE(all.contains(root.filePath(QStringLiteral("a/sub/up"))));
    // Links to folders are left out by design; names that cannot travel fail the upload.
    ASSERT_EQ(notFailing.size(), 2) << notFailing.join('\n').toStdString();
    EXPECT_TRUE(notFailing.join('\n').contains(root.filePath(QStringLiteral("loop"))));
}

TEST(UploadFolderTree, HostFolderThatCannotTravelQueuesNothing)
{
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    touch(QDir(temp.path()).filePath(QStringLiteral("f")));
    TransferQueue queue;
    QStringList warnings;
    EXPECT_EQ(UploadFolderTree(NativeToLocal(temp.path() + QLatin1Char('/')),
                               QStringLiteral("\\odd*name\\"),
                               queue,
                               [&](const QString &line, bool) { warnings << line; }),
              0);
    EXPECT_TRUE(queue.isEmpty());
    EXPECT_EQ(warnings.size(), 1);
}
