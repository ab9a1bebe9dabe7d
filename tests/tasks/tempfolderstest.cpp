#include "tasks/tempfolders.h"
#include "platform/localpath.h"
#include "support/qtprinters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace {
constexpr QFile::Permissions GroupOrOther = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup
                                            | QFile::ReadOther | QFile::WriteOther
                                            | QFile::ExeOther;

bool isPrivateFolder(const QString &internal)
{
    const QFileInfo info(LocalToNative(internal));
    return info.isDir() && !info.isSymLink() && (info.permissions() & GroupOrOther) == 0;
}
} // namespace

TEST(TempFolders, CreatesPrivateFoldersBelowTheBase)
{
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    TempFolders folders;
    ASSERT_TRUE(folders.create(temp.path())) << folders.errorString().toStdString();
    EXPECT_TRUE(folders.notice().isEmpty());
    EXPECT_EQ(LocalToNative(folders.base()), temp.path() + QStringLiteral("/^ovFTP/"));
    for (const QString &folder :
         {folders.base(), folders.session(), folders.dragDrop(), folders.open(), folders.view()}) {
        EXPECT_TRUE(folder.endsWith(QLatin1Char('\\'))) << folder.toStdString();
        EXPECT_TRUE(isPrivateFolder(folder)) << folder.toStdString();
    }
    EXPECT_TRUE(folders.dragDrop().startsWith(folders.session()));
    EXPECT_TRUE(folders.view().startsWith(folders.session()));
    EXPECT_NE(folders.open(), folders.view());

    // A second run gets its own session folder in the same base; removal keeps the base.
    TempFolders second;
    ASSERT_TRUE(second.create(temp.path()));
    EXPECT_EQ(second.base(), folders.base());
    EXPECT_NE(second.session(), folders.session());
    const QString session = LocalToNative(folders.session());
    EXPECT_TRUE(folders.removeSessionFolder());
    EXPECT_FALSE(QFileInfo::exists(session));
    EXPECT_TRUE(QFileInfo(LocalToNative(second.session())).isDir());
}

TEST(TempFolders, RefusesAPlantedLink)
{
    QTemporaryDir temp;
    QTemporaryDir elsewhere;
    ASSERT_TRUE(temp.isValid() && elsewhere.isValid());
    ASSERT_TRUE(QFile::link(elsewhere.path(), temp.filePath(QStringLiteral("^ovFTP"))));

    TempFolders folders;
    ASSERT_TRUE(folders.create(temp.path())) << folders.errorString().toStdString();
    EXPECT_TRUE(folders.notice().contains(QStringLiteral("link")));
    const QString base = LocalToNative(folders.base());
    EXPECT_TRUE(base.startsWith(temp.path() + QStringLiteral("/^ovFTP-")));
    EXPECT_TRUE(isPrivateFolder(folders.base()));
    // Nothing was made where the link points.
    EXPECT_TRUE(QDir(elsewhere.path()).isEmpty());
}

TEST(TempFolders, RefusesAFolderOfSomeoneElse)
{
#ifdef Q_OS_UNIX
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give a folder to another user";
    const passwd *nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const QString foreign = temp.filePath(QStringLiteral("^ovFTP"));
    ASSERT_TRUE(QDir().mkdir(foreign));
    QFile::setPermissions(foreign, QFile::Permissions(0x7777));
    ASSERT_EQ(::chown(QFile::encodeName(foreign).constData(), nobody->pw_uid, nobody->pw_gid), 0);

    TempFolders folders;
    ASSERT_TRUE(folders.create(temp.path())) << folders.errorString().toStdString();
    EXPECT_TRUE(folders.notice().contains(QStringLiteral("someone else")));
    EXPECT_NE(LocalToNative(folders.base()), foreign + QLatin1Char('/'));
    EXPECT_TRUE(QDir(foreign).isEmpty());
    EXPECT_TRUE(isPrivateFolder(folders.session()));
#else
    GTEST_SKIP();
#endif
}

TEST(TempFolders, GivesUpAfterBoundedAttempts)
{
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const QString base = temp.filePath(QStringLiteral("^ovFTP"));
    ASSERT_TRUE(QDir().mkpath(base + QStringLiteral("/42")));
    int drawn = 0;
    TempFolders folders;
    folders.setNameSource([&] {
        ++drawn;
        return 42u;
    });
    EXPECT_FALSE(folders.create(temp.path(), 5));
    EXPECT_EQ(drawn, 5);
    EXPECT_TRUE(folders.errorString().contains(QStringLiteral("after 5 attempts")))
            << folders.errorString().toStdString();

    // A free number on a later draw is taken.
    drawn = 0;
    folders.setNameSource([&] { return quint32(++drawn < 3 ? 42 : 1000 + drawn); });
    ASSERT_TRUE(folders.create(temp.path(), 5)) << folders.errorString().toStdString();
    EXPECT_EQ(LocalToNative(folders.session()), base + QStringLiteral("/1003/"));
}
