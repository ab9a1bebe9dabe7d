// orvane-ftp-cli with folder trees: fetched, sent and deleted with several sessions, failed files
// named, and a host that goes away while files wait.
#include "support/clirun.h"
#include "support/eventwait.h"
#include "support/files.h"
#include "support/sharedftpserver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace ovtest;

// The tree is deleted on the host, files and folders, with several sessions; the folder beside
// it stays. A folder that is not there: exit 1, named. (Trees fetched and deleted, folders
// differing in case alone among them, are the engine's tests; fetched trees are in the others.)
TEST(CliTrees, DeleteOnVsftpdAndFoldersNotThere)
{
    VsftpdServer *vsftpd = sharedVsftpd();
    ASSERT_TRUE(vsftpd);
    const FileTree files{
            {"a.bin", "a"}, {"sub/b.bin", "b"}, {"Sub/c.bin", "c"}, {"sub/deep/d", ""}};
    vsftpd->createTree(VsftpdServer::Tree::Upload, QStringLiteral("tree"), files);
    vsftpd->createFolder(VsftpdServer::Tree::Upload, QStringLiteral("tree/empty"));
    const QString hostFolder = vsftpd->path(VsftpdServer::Tree::Upload, QStringLiteral("tree"));
    QTemporaryDir local;
    ASSERT_TRUE(local.isValid());
    const QString url = cliAddress(vsftpd->port(), QStringLiteral("/upload/tree/"));

    vsftpd->createFile(VsftpdServer::Tree::Upload, QStringLiteral("keep/k.bin"), "k");
    CliRun run = runCliWords("-v --tasks 3 rm " + url);
    ASSERT_EQ(run.exitStatus, 0) << run.describe();
    EXPECT_FALSE(QFileInfo::exists(hostFolder)) << run.describe();
    EXPECT_TRUE(QFileInfo::exists(vsftpd->path(VsftpdServer::Tree::Upload, "keep/k.bin")));
    EXPECT_TRUE(run.out.toLower().contains("rmd /upload/tree\n")) << run.describe();

    for (const QString &line : {"rm " + url, "get " + url + ' ' + local.filePath("gone")}) {
        run = runCliWords(line);
        EXPECT_EQ(run.exitStatus, 1) << run.describe();
        EXPECT_TRUE(run.err.contains("/upload/tree")) << run.describe();
    }
}

// Sending into host folders that do not exist yet makes them first, like mkdir -p, with five
// sessions; where a folder cannot be made, the files that could not be sent
// are named.
TEST(CliTrees, SendingMakesMissingHostFolders)
{
    VsftpdServer *vsftpd = sharedVsftpd();
    ASSERT_TRUE(vsftpd);
    vsftpd->createFile(VsftpdServer::Tree::Upload, QStringLiteral("plain.txt"), "a file");
    QTemporaryDir local;
    const QString source = local.filePath(QStringLiteral("photos"));
    FileTree files;
    // clang-format off
    for (const char *name : {"p1.bin", "p2.bin", "a/p3.bin", "a/p4.bin", "a/b/p5.bin",
                             "a/b/c/p6.bin", "a/b/c/p7.bin", "d/p8.bin", "d/e/p9.bin"})
        files.insert(QLatin1String(name), testBytes(3000 + 777 * files.size(), quint32(files.size())));
    // clang-format on
    ASSERT_TRUE(writeTree(source, files));
    ASSERT_TRUE(QDir().mkpath(source + QStringLiteral("/a/b/c/empty")));
    const QStringList folders = readFolders(source);
    const QString base = cliAddress(vsftpd->port(), QStringLiteral("/upload/"));

    CliRun run = runCliWords("-v --tasks 5 put " + source + ' ' + base + "new0/deeper/");
    ASSERT_EQ(run.exitStatus, 0) << run.describe();
    const QString arrived = vsftpd->path(VsftpdServer::Tree::Upload, "new0/deeper/photos");
    EXPECT_EQ(readTree(arrived), files);
    EXPECT_EQ(readFolders(arrived), folders);
    // One file, into two new folders of a folder that exists.
    run = runCliWords("put " + source + "/p1.bin " + base + "new0/one/two/");
    ASSERT_EQ(run.exitStatus, 0) << run.describe();
    EXPECT_EQ(readFile(vsftpd->path(VsftpdServer::Tree::Upload, "new0/one/two/p1.bin")),
              files.value("p1.bin"));
    // Below a file no folder can be made: exit 1, each file named with the host's words.
    run = runCliWords("put " + source + ' ' + base + "plain.txt/sub/");
    EXPECT_EQ(run.exitStatus, 1) << run.describe();
    EXPECT_TRUE(run.err.contains("/upload/plain.txt/sub/photos/a/p3.bin")) << run.describe();
    EXPECT_TRUE(run.err.contains("host said: 553")) << run.describe();
}

TEST(CliTrees, HostGoingAwayMidQueueEndsTheRun)
{
    PyftpdlibServer pyftpd;
    ASSERT_TRUE(pyftpd.start());
    for (int i = 0; i < 600; ++i)
        pyftpd.createFile(QStringLiteral("many/f%1.bin").arg(i, 4, 10, QLatin1Char('0')),
                          testBytes(20000, i));
    QTemporaryDir local;
    const QString target = local.filePath(QStringLiteral("many"));
    QProcess process;
    process.start(QStringLiteral(ORVANE_BINARY_DIR "/src/orvane-ftp-cli"),
                  QStringList{"--timeout", "10", "--tasks", "3", "--passive", "get"}
                          << cliAddress(pyftpd.port(), "/many/") << target);
    ASSERT_TRUE(process.waitForStarted(5000));
    // Stop the host once files have begun to arrive.
    ASSERT_TRUE(waitFor(
            [&] {
                return QDir(target).entryList(QDir::Files).size() >= 3
                       || process.state() == QProcess::NotRunning;
            },
            30000));
    ASSERT_EQ(process.state(), QProcess::Running) << "all arrived before the host was stopped";
    pyftpd.stop();
    QElapsedTimer clock;
    clock.start();
    const bool ended = waitFor([&] { return process.state() == QProcess::NotRunning; }, 30000);
    if (!ended) {
        process.kill();
        process.waitForFinished(5000);
    }
    ASSERT_TRUE(ended) << "still running 30 s after the host went away";
    EXPECT_LT(clock.elapsed(), 15000);
    EXPECT_EQ(process.exitCode(), 1);
    const QByteArray err = process.readAllStandardError();
    EXPECT_TRUE(err.contains("f0599.bin")) << err.toStdString();
    // Every file that did not arrive whole is named.
    int named = 0;
    for (int i = 0; i < 600; ++i) {
        const QString name = QStringLiteral("f%1.bin").arg(i, 4, 10, QLatin1Char('0'));
        if (QFileInfo(QDir(target).filePath(name)).size() != 20000) {
            EXPECT_TRUE(err.contains("/many/" + name.toUtf8())) << name.toStdString();
            ++named;
        }
    }
    EXPECT_GT(named, 0);
}
