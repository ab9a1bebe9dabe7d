// The user's trash: items go there by one rename, with an info file each, and only when the
// trash exists or can be made on the item's own file system; otherwise nothing moves.
#include "platform/trash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// XDG_DATA_HOME and the working folder for one test, put back afterwards.
class TrashEnvironment : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        hadDataHome = qEnvironmentVariableIsSet("XDG_DATA_HOME");
        oldDataHome = qgetenv("XDG_DATA_HOME");
        oldCurrent = QDir::currentPath();
        ASSERT_TRUE(QDir().mkpath(path("work")));
        ASSERT_TRUE(QDir::setCurrent(path("work")));
    }
    void TearDown() override
    {
        QDir::setCurrent(oldCurrent);
        if (hadDataHome)
            qputenv("XDG_DATA_HOME", oldDataHome);
        else
            qunsetenv("XDG_DATA_HOME");
    }
    QString path(const QString &relative) const { return dir.filePath(relative); }

    QTemporaryDir dir;
    bool hadDataHome = false;
    QByteArray oldDataHome;
    QString oldCurrent;
};

} // namespace

TEST_F(TrashEnvironment, MovesItemsWithTheirInfoAndNumbersClashingNames)
{
    qputenv("XDG_DATA_HOME", path("fresh/data").toUtf8()); // not there yet
    ASSERT_TRUE(writeFile(path("a b%.txt"), "first"));
    ASSERT_TRUE(QDir().mkpath(path("folder/inner")));
    ASSERT_TRUE(writeFile(path("folder/inner/f"), "inside"));
    QString reason;
    ASSERT_TRUE(MoveToUserTrash(path("a b%.txt"), &reason)) << reason.toStdString();
    ASSERT_TRUE(MoveToUserTrash(path("folder"), &reason)) << reason.toStdString();
    ASSERT_TRUE(writeFile(path("a b%.txt"), "second"));
    ASSERT_TRUE(MoveToUserTrash(path("a b%.txt"), &reason)) << reason.toStdString();

    const QString trash = path("fresh/data/Trash");
    EXPECT_EQ(UserTrashFolder(), trash);
    EXPECT_FALSE(QFileInfo(trash).permissions().testAnyFlags(QFile::ReadOther | QFile::ReadGroup));
    EXPECT_FALSE(QFileInfo::exists(path("a b%.txt")));
    EXPECT_FALSE(QFileInfo::exists(path("folder")));
    EXPECT_EQ(readFile(trash + "/files/a b%.txt"), "first");
    EXPECT_EQ(readFile(trash + "/files/a b%.2.txt"), "second");
    EXPECT_EQ(readFile(trash + "/files/folder/inner/f"), "inside");
    const QByteArray info = readFile(trash + "/info/a b%.2.txt.trashinfo");
    EXPECT_TRUE(info.startsWith("[Trash Info]\nPath=" + QFile::encodeName(dir.path())))
            << info.toStdString();
    EXPECT_TRUE(info.contains("/a%20b%25.txt\nDeletionDate=20")) << info.toStdString();
    EXPECT_TRUE(QFileInfo::exists(trash + "/info/folder.trashinfo"));
}

TEST_F(TrashEnvironment, WithoutAUsableTrashNothingMoves)
{
    ASSERT_TRUE(writeFile(path("keep.txt"), "keep"));
    ASSERT_TRUE(writeFile(path("blocker"), "a file where the data folder would be"));

    // The trash cannot be made: the item stays, and nothing lands below the working folder.
    qputenv("XDG_DATA_HOME", path("blocker/data").toUtf8());
    QString reason;
    EXPECT_FALSE(TrashUsableFor(path("keep.txt"), &reason));
    EXPECT_FALSE(MoveToUserTrash(path("keep.txt"), &reason));
    EXPECT_TRUE(reason.contains(path("blocker/data/Trash"))) << reason.toStdString();
    EXPECT_TRUE(reason.contains("Not a directory")) << reason.toStdString();
    EXPECT_EQ(readFile(path("keep.txt")), "keep");
    EXPECT_EQ(QDir(path("work")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());

    // A trash on another file system than the item is not used either.
    QTemporaryDir other(QStringLiteral("/dev/shm/trashtest-XXXXXX"));
    struct stat here, there;
    if (other.isValid() && ::stat(QFile::encodeName(dir.path()).constData(), &here) == 0
        && ::stat(QFile::encodeName(other.path()).constData(), &there) == 0
        && here.st_dev != there.st_dev) {
        qputenv("XDG_DATA_HOME", other.path().toUtf8());
        EXPECT_FALSE(MoveToUserTrash(path("keep.txt"), &reason));
        EXPECT_TRUE(reason.contains("another file system")) << reason.toStdString();
        EXPECT_EQ(readFile(path("keep.txt")), "keep");
    } else {
        ADD_FAILURE() << "no second file system at /dev/shm to try";
    }

    // A relative data folder counts as none: the home folder's trash is meant.
    qputenv("XDG_DATA_HOME", "relative/data");
    EXPECT_EQ(UserTrashFolder(),
              QDir::cleanPath(qEnvironmentVariable("HOME") + "/.local/share/Trash"));
}
