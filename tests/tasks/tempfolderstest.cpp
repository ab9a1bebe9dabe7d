#include "tasks/tempfolders.h"
#include "platform/localpath.h"
#include "support/qtprinters.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

namespace {
// A folder of its own: no link, nothing for the group or others.
bool isPrivateFolder(const QString &internal)
{
    const QFileInfo info(LocalToNative(internal));
    return info.isDir() && !info.isSymLink() && (info.permissions().toInt() & 0x0077) == 0;
}
} // namespace

TEST(TempFolders, PrivateNewFoldersBelowTheBase)
{
    QTemporaryDir temp;
    TempFolders folders;
    ASSERT_TRUE(folders.create(temp.path())) << folders.errorString().toStdString();
    EXPECT_TRUE(folders.notice().isEmpty());
    EXPECT_EQ(LocalToNative(folders.base()), temp.path() + QStringLiteral("/^ovFTP/"));
    for (const QString &folder :
         {folders.base(), folders.session(), folders.dragDrop(), folders.open(), folders.view()})
        EXPECT_TRUE(folder.endsWith('\\') && isPrivateFolder(folder)) << folder.toStdString();
    EXPECT_TRUE(folders.view().startsWith(folders.session()));
    EXPECT_NE(folders.open(), folders.view());

    // A second run gets its own session folder in the same base; removal keeps the base.
    TempFolders second;
    ASSERT_TRUE(second.create(temp.path()));
    EXPECT_EQ(second.base(), folders.base());
    EXPECT_NE(second.session(), folders.session());
    EXPECT_TRUE(folders.removeSessionFolder());
    EXPECT_FALSE(QFileInfo::exists(LocalToNative(folders.session())));
    EXPECT_TRUE(isPrivateFolder(second.session()));

    // A session folder that is there already is never taken; the attempts are bounded.
    int drawn = 0;
    TempFolders third;
    third.setNameSource([&] { return quint32(++drawn < 3 ? 42 : 1000 + drawn); });
    ASSERT_TRUE(QDir().mkpath(LocalToNative(folders.base()) + "42"));
    ASSERT_TRUE(third.create(temp.path(), 5)) << third.errorString().toStdString();
    EXPECT_EQ(LocalToNative(third.session()), LocalToNative(folders.base()) + "1003/");
    third.setNameSource([] { return 42u; });
    EXPECT_FALSE(third.create(temp.path(), 5));
    EXPECT_TRUE(third.errorString().contains(QStringLiteral("after 5 attempts")))
            << third.errorString().toStdString();
}

// A base planted as a link, or owned by someone else, is left alone for a new one.
TEST(TempFolders, RefusesAPlantedLinkAndAFolderOfSomeoneElse)
{
    QTemporaryDir temp;
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QFile::link(elsewhere.path(), temp.filePath(QStringLiteral("^ovFTP"))));
    TempFolders folders;
    ASSERT_TRUE(folders.create(temp.path())) << folders.errorString().toStdString();
    EXPECT_TRUE(folders.notice().contains(QStringLiteral("link")));
    EXPECT_TRUE(LocalToNative(folders.base()).startsWith(temp.path() + QStringLiteral("/^ovFTP-")));
    EXPECT_TRUE(isPrivateFolder(folders.base()));
    EXPECT_TRUE(QDir(elsewhere.path()).isEmpty());

    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give a folder to another user";
    const passwd *nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    QTemporaryDir other;
    const QString foreign = other.filePath(QStringLiteral("^ovFTP"));
    ASSERT_TRUE(QDir().mkdir(foreign));
    QFile::setPermissions(foreign, QFile::Permissions(0x7777));
    ASSERT_EQ(::chown(QFile::encodeName(foreign).constData(), nobody->pw_uid, nobody->pw_gid), 0);
    TempFolders theirs;
    ASSERT_TRUE(theirs.create(other.path())) << theirs.errorString().toStdString();
    EXPECT_TRUE(theirs.notice().contains(QStringLiteral("someone else")));
    EXPECT_TRUE(QDir(foreign).isEmpty());
    EXPECT_TRUE(isPrivateFolder(theirs.session()));
}
