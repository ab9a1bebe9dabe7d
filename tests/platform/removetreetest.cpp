#include "platform/removetree.h"
#include "support/files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {
using ovtest::readFile;
using ovtest::writeFile;

bool exists(const QString &path)
{
    // Sees a link itself, also a dangling one.
    return QFileInfo(path).exists() || QFileInfo(path).isSymLink();
}

// A base folder "^ovFTP" holding a session folder with its three working folders and another
// run's session folder, next to an "outside" folder that links inside the session folder
// point at.
class SessionFolder : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ovtest::writeTree(m_temp.path(),
                                      {{"^ovFTP/40417/111/tree/deeper/a.bin", "abc"},
                                       {"^ovFTP/40417/222/.hidden", "h"},
                                       {"^ovFTP/90001/other", "o"},
                                       {"outside/keep/precious.txt", "precious"},
                                       {"outside/single.txt", "single"}}));
        ASSERT_TRUE(QDir().mkpath(m_session + QStringLiteral("/333")));
    }
    void expectOutsideIntact()
    {
        EXPECT_EQ(readFile(m_outside + QStringLiteral("/keep/precious.txt")), "precious");
        EXPECT_EQ(readFile(m_outside + QStringLiteral("/single.txt")), "single");
        EXPECT_EQ(readFile(m_base + QStringLiteral("/90001/other")), "o");
    }

    QTemporaryDir m_temp;
    QString m_base = m_temp.filePath(QStringLiteral("^ovFTP"));
    QString m_session = m_base + QStringLiteral("/40417");
    QString m_outside = m_temp.filePath(QStringLiteral("outside"));
};

TEST_F(SessionFolder, RemovedWithPlantedLinksAsLinksBaseFolderStays)
{
    const QString work = m_session + QStringLiteral("/111");
    ASSERT_TRUE(QFile::link(m_outside + QStringLiteral("/keep"), work + QStringLiteral("/dir")));
    ASSERT_TRUE(
            QFile::link(m_outside + QStringLiteral("/single.txt"), work + QStringLiteral("/file")));
    ASSERT_TRUE(QFile::link(m_base, m_session + QStringLiteral("/333/up")));
    ASSERT_TRUE(QFile::link(m_outside + QStringLiteral("/gone"), work + QStringLiteral("/dead")));
    // A session folder that is a link loses only the link.
    const QString linked = m_base + QStringLiteral("/50505");
    ASSERT_TRUE(QFile::link(m_outside, linked));
    EXPECT_TRUE(RemoveTreeNoFollow(linked + QStringLiteral("/")));
    EXPECT_FALSE(exists(linked));
    EXPECT_TRUE(exists(m_session + QStringLiteral("/111/tree/deeper/a.bin")));

    // Nothing above the given folder is ever a candidate.
    QString error;
    EXPECT_FALSE(RemoveTreeNoFollow(QStringLiteral("/"), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(RemoveTreeNoFollow(QString()));
    EXPECT_FALSE(RemoveTreeNoFollow(m_session + QStringLiteral("/111/..")));

    error.clear();
    EXPECT_TRUE(RemoveTreeNoFollow(m_session, &error)) << error.toStdString();
    EXPECT_TRUE(error.isEmpty());
    EXPECT_FALSE(exists(m_session));
    expectOutsideIntact();
    // Already gone: nothing to do, and that is no failure.
    EXPECT_TRUE(RemoveTreeNoFollow(m_session));
}

// Permissions mean nothing to the superuser, so as root the checks run in a copy of this test
// program started as the unprivileged user "nobody".
TEST_F(SessionFolder, ReadOnlyFoldersGoAndWhatCannotGoIsNamed)
{
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("OV_REMOVETREE_AS_USER")) {
        const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
        if (setpriv.isEmpty())
            GTEST_SKIP() << "running as root without setpriv";
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("OV_REMOVETREE_AS_USER"), QStringLiteral("1"));
        env.insert(QStringLiteral("HOME"), QDir::tempPath());
        env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(setpriv,
                    {QStringLiteral("--reuid=65534"),
                     QStringLiteral("--regid=65534"),
                     QStringLiteral("--clear-groups"),
                     QCoreApplication::applicationFilePath(),
                     QStringLiteral("--gtest_filter=SessionFolder."
                                    "ReadOnlyFoldersGoAndWhatCannotGoIsNamed")});
        ASSERT_TRUE(child.waitForFinished(30000));
        const QString output = QString::fromLocal8Bit(child.readAll());
        EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
        EXPECT_TRUE(output.contains(QLatin1String("[  PASSED  ] 1 test"))) << output.toStdString();
        return;
    }

    // Folders the owner cannot write into or even read are opened up and removed.
    const QString work = m_session + QStringLiteral("/222");
    ASSERT_TRUE(ovtest::writeTree(work, {{"locked/inner/f", "f"}, {"closed/g", "g"}}));
    ASSERT_TRUE(QFile::setPermissions(work + QStringLiteral("/locked/inner"),
                                      QFile::ReadOwner | QFile::ExeOwner));
    ASSERT_TRUE(QFile::setPermissions(work + QStringLiteral("/locked"),
                                      QFile::ReadOwner | QFile::ExeOwner));
    ASSERT_TRUE(QFile::setPermissions(work + QStringLiteral("/closed"), {}));
    QString error;
    EXPECT_TRUE(RemoveTreeNoFollow(work, &error)) << error.toStdString();
    EXPECT_FALSE(exists(work));

    // A folder whose parent may not be changed stays; the rest below it still goes, and the
    // error names the entry that stayed.
    const QString stuck = m_session + QStringLiteral("/333");
    ASSERT_TRUE(writeFile(stuck + QStringLiteral("/file"), "x"));
    ASSERT_TRUE(QFile::setPermissions(m_session, QFile::ReadOwner | QFile::ExeOwner));
    EXPECT_FALSE(RemoveTreeNoFollow(stuck, &error));
    EXPECT_TRUE(error.contains(stuck)) << error.toStdString();
    EXPECT_TRUE(QFileInfo(stuck).isDir());
    EXPECT_FALSE(exists(stuck + QStringLiteral("/file")));
    ASSERT_TRUE(QFile::setPermissions(m_session,
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    EXPECT_TRUE(RemoveTreeNoFollow(m_session, &error)) << error.toStdString();
    EXPECT_FALSE(exists(m_session));
    expectOutsideIntact();
}

} // namespace
