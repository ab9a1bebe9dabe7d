// The user's trash: items go there by one rename, with an info file each, and only when the
// trash exists or can be made on the item's own file system; otherwise nothing moves.
#include "platform/trash.h"
#include "support/files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {
using ovtest::readFile;
using ovtest::writeFile;

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

// A name whose info file or item is already in the trash (even alone) is taken: the item gets
// a numbered name, and nothing in the trash is replaced.
TEST_F(TrashEnvironment, MovesItemsWithTheirInfoAndNumbersClashingNames)
{
    qputenv("XDG_DATA_HOME", path("fresh/data").toUtf8()); // not there yet
    ASSERT_TRUE(ovtest::writeTree(dir.path(),
                                  {{"a b%.txt", "first"},
                                   {"folder/inner/f", "inside"},
                                   {"orphan.txt", "mine"},
                                   {"claimed.txt", "mine too"}}));
    QString reason;
    ASSERT_TRUE(MoveToUserTrash(path("a b%.txt"), &reason)) << reason.toStdString();
    ASSERT_TRUE(MoveToUserTrash(path("folder"), &reason)) << reason.toStdString();
    ASSERT_TRUE(writeFile(path("a b%.txt"), "second"));
    ASSERT_TRUE(MoveToUserTrash(path("a b%.txt"), &reason)) << reason.toStdString();
    const QString trash = path("fresh/data/Trash");
    ASSERT_TRUE(writeFile(trash + "/files/orphan.txt", "no info"));
    ASSERT_TRUE(writeFile(trash + "/info/claimed.txt.trashinfo", "no item"));
    ASSERT_TRUE(MoveToUserTrash(path("orphan.txt"), &reason)) << reason.toStdString();
    ASSERT_TRUE(MoveToUserTrash(path("claimed.txt"), &reason)) << reason.toStdString();

    EXPECT_EQ(UserTrashFolder(), trash);
    EXPECT_FALSE(QFileInfo(trash).permissions().testAnyFlags(QFile::ReadOther | QFile::ReadGroup));
    for (const char *gone : {"a b%.txt", "folder", "orphan.txt", "claimed.txt"})
        EXPECT_FALSE(QFileInfo::exists(path(gone))) << gone;
    EXPECT_EQ(ovtest::readTree(trash + "/files"),
              (ovtest::FileTree{{"a b%.txt", "first"},
                                {"a b%.2.txt", "second"},
                                {"folder/inner/f", "inside"},
                                {"orphan.txt", "no info"},
                                {"orphan.2.txt", "mine"},
                                {"claimed.2.txt", "mine too"}}));
    // clang-format off
    EXPECT_EQ(QDir(trash + "/info").entryList(QDir::Files),
              (QStringList{"a b%.2.txt.trashinfo", "a b%.txt.trashinfo", "claimed.2.txt.trashinfo",
              "claimed.txt.trashinfo", "folder.trashinfo", "orphan.2.txt.trashinfo"}));
    // clang-format on
    EXPECT_EQ(readFile(trash + "/info/claimed.txt.trashinfo"), "no item");
    const QByteArray info = readFile(trash + "/info/a b%.2.txt.trashinfo");
    EXPECT_TRUE(info.startsWith("[Trash Info]\nPath=" + QFile::encodeName(dir.path())))
            << info.toStdString();
    EXPECT_TRUE(info.contains("/a%20b%25.txt\nDeletionDate=20")) << info.toStdString();
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
