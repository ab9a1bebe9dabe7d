// orvane-ftp-cli on the task engine: folder trees fetched, sent and deleted with several
// sessions, saved sites, failed files named, and a host that goes away while files wait.
#include "settings/registry.h"
#include "sites/sitestore.h"
#include "support/eventwait.h"
#include "support/pyftpdlibserver.h"
#include "support/vsftpdserver.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using ovtest::PyftpdlibServer;
using ovtest::VsftpdServer;

namespace {

const QString Cli = QStringLiteral(ORVANE_BINARY_DIR "/src/orvane-ftp-cli");

struct CliRun
{
    bool ended = false;
    int exitStatus = -1;
    QString out;
    QString err;
};

CliRun runCli(const QStringList &arguments,
              const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment(),
              int timeoutMs = 60000)
{
    CliRun run;
    QProcess process;
    process.setProcessEnvironment(env);
    // Written for plain hosts: no TLS is tried.
    process.start(Cli, QStringList{QStringLiteral("--tls"), QStringLiteral("off")} + arguments);
    if (!process.waitForStarted(5000))
        return run;
    run.ended = ovtest::waitFor([&] { return process.state() == QProcess::NotRunning; }, timeoutMs);
    if (!run.ended) {
        process.kill();
        process.waitForFinished(5000);
    }
    run.exitStatus = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

std::string describe(const CliRun &run)
{
    return QStringLiteral("ended %1, status %2\nstdout:\n%3\nstderr:\n%4")
            .arg(run.ended)
            .arg(run.exitStatus)
            .arg(run.out.right(6000), run.err.right(6000))
            .toStdString();
}

QByteArray bytesFor(int seed, int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 x = 2463534242u + quint32(seed) * 7919u;
    for (int i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = char(x);
    }
    return bytes;
}

// Every folder (with a "/" after its name) and every file below root with its content, by
// relative path.
QMap<QString, QByteArray> treeOf(const QString &root)
{
    QMap<QString, QByteArray> tree;
    QDirIterator it(root,
                    QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    const QDir base(root);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        const QString rel = base.relativeFilePath(path);
        if (info.isDir()) {
            tree.insert(rel + QLatin1Char('/'), QByteArray());
        } else {
            QFile file(path);
            tree.insert(rel, file.open(QIODevice::ReadOnly) ? file.readAll() : "<unreadable>");
        }
    }
    return tree;
}

std::string listing(const QMap<QString, QByteArray> &tree)
{
    QStringList lines;
    for (auto it = tree.cbegin(); it != tree.cend(); ++it)
        lines << QStringLiteral("%1 (%2 bytes)").arg(it.key()).arg(it.value().size());
    return lines.join(QLatin1Char('\n')).toStdString();
}

// A nested tree with files at every depth and empty folders at two depths.
void makeHostTree(VsftpdServer &vsftpd, VsftpdServer::Tree where, const QString &top)
{
    int seed = 0;
    for (const char *file : {"a.bin",
                             "b c.bin",
                             "zero.bin",
                             "sub1/c.bin",
                             "sub1/deep/d.bin",
                             "sub1/deep/deeper/e.bin",
                             "sub2/f.bin",
                             "sub2/g.bin"}) {
        const int size = QByteArray(file) == "zero.bin" ? 0 : 1000 + 4099 * seed;
        vsftpd.createFile(
                where, top + QLatin1Char('/') + QLatin1String(file), bytesFor(seed, size));
        ++seed;
    }
    vsftpd.createFolder(where, top + QStringLiteral("/empty"));
    vsftpd.createFolder(where, top + QStringLiteral("/sub1/deep/empty too"));
}

} // namespace

TEST(OrvaneFtpCliTrees, TreeDownloadAndDeleteOnVsftpd)
{
    VsftpdServer vsftpd;
    ASSERT_TRUE(vsftpd.start());
    makeHostTree(vsftpd, VsftpdServer::Tree::Upload, QStringLiteral("tree"));
    const QString hostTree = vsftpd.path(VsftpdServer::Tree::Upload, QStringLiteral("tree"));
    const QMap<QString, QByteArray> expected = treeOf(hostTree);
    ASSERT_EQ(expected.size(), 14) << listing(expected);
    QTemporaryDir local;
    ASSERT_TRUE(local.isValid());
    const QString url = QStringLiteral("ftp://127.0.0.1:%1/upload/tree/").arg(vsftpd.port());

    // One session: into a new local folder named by the argument.
    CliRun run = runCli({QStringLiteral("get"), url, local.filePath(QStringLiteral("one"))});
    ASSERT_EQ(run.exitStatus, 0) << describe(run);
    EXPECT_EQ(run.out, QString());
    EXPECT_EQ(run.err, QString());
    EXPECT_EQ(treeOf(local.filePath(QStringLiteral("one"))), expected)
            << listing(treeOf(local.filePath(QStringLiteral("one"))));

    // Five sessions, passive: into an existing folder, under the host folder's name.
    run = runCli({QStringLiteral("--tasks"),
                  QStringLiteral("5"),
                  QStringLiteral("--passive"),
                  QStringLiteral("get"),
                  url,
                  local.path()});
    ASSERT_EQ(run.exitStatus, 0) << describe(run);
    EXPECT_EQ(treeOf(local.filePath(QStringLiteral("tree"))), expected)
            << listing(treeOf(local.filePath(QStringLiteral("tree"))));

    // The tree is deleted on the host, files and folders; the folder beside it stays.
    vsftpd.createFile(VsftpdServer::Tree::Upload, QStringLiteral("keep/k.bin"), "k");
    run = runCli({QStringLiteral("-v"),
                  QStringLiteral("--tasks"),
                  QStringLiteral("3"),
                  QStringLiteral("rm"),
                  url});
    ASSERT_EQ(run.exitStatus, 0) << describe(run);
    EXPECT_FALSE(QFileInfo::exists(hostTree)) << describe(run);
    EXPECT_TRUE(QFileInfo::exists(
            vsftpd.path(VsftpdServer::Tree::Upload, QStringLiteral("keep/k.bin"))));
    EXPECT_TRUE(run.out.contains(QStringLiteral("rmd /upload/tree\n"), Qt::CaseInsensitive))
            << describe(run);

    // A folder that is not there: exit 1, named.
    run = runCli({QStringLiteral("rm"), url});
    EXPECT_EQ(run.exitStatus, 1) << describe(run);
    EXPECT_TRUE(run.err.contains(QStringLiteral("/upload/tree"))) << describe(run);
    run = runCli({QStringLiteral("get"), url, local.filePath(QStringLiteral("gone"))});
    EXPECT_EQ(run.exitStatus, 1) << describe(run);
    EXPECT_TRUE(run.err.contains(QStringLiteral("/upload/tree"))) << describe(run);

    // The host's root is never deleted.
    run = runCli({QStringLiteral("rm"), QStringLiteral("ftp://127.0.0.1:%1/").arg(vsftpd.port())});
    EXPECT_EQ(run.exitStatus, 2) << describe(run);
}

// Folders whose names differ in case alone are two folders: each is fetched and deleted from
// its own listing.
TEST(OrvaneFtpCliTrees, FoldersDifferingInCaseAloneArriveWithTheirOwnFiles)
{
    VsftpdServer vsftpd;
    ASSERT_TRUE(vsftpd.start());
    int seed = 40;
    for (const char *file : {"pub/Sub/a.bin",
                             "pub/Sub/Same.bin",
                             "pub/Sub/inner/i.bin",
                             "pub/sub/b.bin",
                             "pub/sub/same.bin"})
        vsftpd.createFile(VsftpdServer::Tree::Upload, QLatin1String(file), bytesFor(seed++, 5000));
    const QString hostTree = vsftpd.path(VsftpdServer::Tree::Upload, QStringLiteral("pub"));
    const QMap<QString, QByteArray> expected = treeOf(hostTree);
    QTemporaryDir local;
    ASSERT_TRUE(local.isValid());
    const QString url = QStringLiteral("ftp://127.0.0.1:%1/upload/pub/").arg(vsftpd.port());

    CliRun run = runCli({QStringLiteral("get"), url, local.filePath(QStringLiteral("pub"))});
    ASSERT_EQ(run.exitStatus, 0) << describe(run);
    EXPECT_EQ(treeOf(local.filePath(QStringLiteral("pub"))), expected)
            << listing(treeOf(local.filePath(QStringLiteral("pub"))));

    run = runCli({QStringLiteral("rm"), url});
    ASSERT_EQ(run.exitStatus, 0) << describe(run);
    EXPECT_FALSE(QFileInfo::exists(hostTree)) << listing(treeOf(hostTree));
}

// Sending into host folders that do not exist yet makes them first, like mkdir -p; where a
// folder cannot be made, the files that could not be sent are named.
TEST(OrvaneFtpCliTrees, SendingMakesMissingHostFolders)
{
    VsftpdServer vsftpd;
    ASSERT_TRUE(vsftpd.start());
    vsftpd.createFile(VsftpdServer::Tree::Upload, QStringLiteral("plain.txt"), "a file");
    QTemporaryDir local;
    ASSERT_TRUE(local.isValid());
    const QString source = local.filePath(QStringLiteral("tree"));
    for (const char *name : {"t1.bin", "in/t2.bin", "in/most/t3.bin"}) {
        const QString path = QDir(source).filePath(QLatin1String(name));
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytesFor(int(qHash(QLatin1String(name)) % 1000), 7000));
    }
    const QMap<QString, QByteArray> expected = treeOf(source);
    const QString base = QStringLiteral("ftp://127.0.0.1:%1/upload/").arg(vsftpd.port());

    CliRun run = runCli({QStringLiteral("--tasks"),
                         QStringLiteral("3"),
                         QStringLiteral("put"),
                         source,
                         base + QStringLiteral("new/deeper/")});
    ASSERT_EQ(run.exitStatus, 0) << describe(run);
    const QString arrived
            = vsftpd.path(VsftpdServer::Tree::Upload, QStringLiteral("new/deeper/tree"));
    EXPECT_EQ(treeOf(arrived), expected) << listing(treeOf(arrived));

    // One file, into two new folders of a folder that exists.
    run = runCli({QStringLiteral("put"),
                  QDir(source).filePath(QStringLiteral("t1.bin")),
                  base + QStringLiteral("new/one/two/")});
    ASSERT_EQ(run.exitStatus, 0) << describe(run);
    EXPECT_EQ(treeOf(vsftpd.path(VsftpdServer::Tree::Upload, QStringLiteral("new/one")))
                      .value(QStringLiteral("two/t1.bin")),
              expected.value(QStringLiteral("t1.bin")));

    // Below a file no folder can be made: exit 1, each file named with the host's words.
    run = runCli({QStringLiteral("put"), source, base + QStringLiteral("plain.txt/sub/")});
    EXPECT_EQ(run.exitStatus, 1) << describe(run);
    EXPECT_TRUE(run.err.contains(QStringLiteral("/upload/plain.txt/sub/tree/in/t2.bin")))
            << describe(run);
    EXPECT_TRUE(run.err.contains(QStringLiteral("host said: 553"))) << describe(run);
}

// A download's local folder is made when missing; when it cannot be, the run names the folder
// and the system's reason.
TEST(OrvaneFtpCliTrees, DownloadsMakeTheirLocalFolder)
{
    VsftpdServer vsftpd;
    ASSERT_TRUE(vsftpd.start());
    const QByteArray content = bytesFor(9, 30000);
    vsftpd.createFile(VsftpdServer::Tree::AnonymousRoot, QStringLiteral("pub/f.bin"), content);
    QTemporaryDir local;
    ASSERT_TRUE(local.isValid());
    const QString url = QStringLiteral("ftp://127.0.0.1:%1/pub/f.bin").arg(vsftpd.port());

    CliRun run = runCli({QStringLiteral("get"), url, local.filePath(QStringLiteral("x/y/f.bin"))});
    ASSERT_EQ(run.exitStatus, 0) << describe(run);
    EXPECT_EQ(treeOf(local.path()).value(QStringLiteral("x/y/f.bin")), content);

    QFile blocker(local.filePath(QStringLiteral("file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    run = runCli({QStringLiteral("get"), url, local.filePath(QStringLiteral("file/sub/f.bin"))});
    EXPECT_EQ(run.exitStatus, 1) << describe(run);
    EXPECT_TRUE(run.err.contains(local.filePath(QStringLiteral("file/sub"))));
    EXPECT_TRUE(run.err.contains(QStringLiteral("Not a directory"))) << describe(run);
}

TEST(OrvaneFtpCliTrees, FolderUploadWithFiveTasksArrivesEveryTime)
{
    VsftpdServer vsftpd;
    ASSERT_TRUE(vsftpd.start());
    QTemporaryDir local;
    ASSERT_TRUE(local.isValid());
    const QString source = local.filePath(QStringLiteral("photos"));
    // Three levels of subfolders, files at each, an empty folder.
    int seed = 100;
    for (const char *name : {"p1.bin",
                             "p2.bin",
                             "a/p3.bin",
                             "a/p4.bin",
                             "a/b/p5.bin",
                             "a/b/c/p6.bin",
                             "a/b/c/p7.bin",
                             "d/p8.bin",
                             "d/e/p9.bin"}) {
        const QString path = QDir(source).filePath(QLatin1String(name));
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytesFor(seed, 3000 + 777 * (seed - 100)));
        ++seed;
    }
    ASSERT_TRUE(QDir().mkpath(QDir(source).filePath(QStringLiteral("a/b/c/empty"))));
    const QMap<QString, QByteArray> expected = treeOf(source);
    const QString base = QStringLiteral("ftp://127.0.0.1:%1/upload/").arg(vsftpd.port());

    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        const QString name = QStringLiteral("copy%1").arg(round);
        const CliRun run = runCli({QStringLiteral("--tasks"),
                                   QStringLiteral("5"),
                                   round % 2 ? QStringLiteral("--passive") : QStringLiteral("-v"),
                                   QStringLiteral("put"),
                                   source,
                                   base + name});
        ASSERT_EQ(run.exitStatus, 0) << describe(run);
        const QString arrived = vsftpd.path(VsftpdServer::Tree::Upload, name);
        EXPECT_EQ(treeOf(arrived), expected) << listing(treeOf(arrived)) << describe(run);
    }

    // A URL ending in "/" keeps the folder's name.
    const CliRun run = runCli(
            {QStringLiteral("--tasks"), QStringLiteral("5"), QStringLiteral("put"), source, base});
    ASSERT_EQ(run.exitStatus, 0) << describe(run);
    EXPECT_EQ(treeOf(vsftpd.path(VsftpdServer::Tree::Upload, QStringLiteral("photos"))), expected);
}

// Five sessions in active mode against pyftpdlib: every PORT is answered, both ways, so the
// runs end long before the short timeout that a stalled session would run into.
TEST(OrvaneFtpCliTrees, ActiveTreeRoundTripWithFiveSessionsOnPyftpdlib)
{
    PyftpdlibServer pyftpd;
    ASSERT_TRUE(pyftpd.start());
    QTemporaryDir local;
    ASSERT_TRUE(local.isValid());
    const QString source = local.filePath(QStringLiteral("small"));
    int seed = 300;
    for (const char *folder : {"", "a/", "a/b/", "c/", "c/d/", "c/d/e/"}) {
        for (int i = 0; i < 6; ++i) {
            const QString path = QDir(source).filePath(QLatin1String(folder)
                                                       + QStringLiteral("s%1.bin").arg(i));
            ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(bytesFor(seed, 200 + 37 * (seed - 300)));
            ++seed;
        }
    }
    const QMap<QString, QByteArray> expected = treeOf(source);
    const QString base = QStringLiteral("ftp://127.0.0.1:%1/").arg(pyftpd.port());

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        const QString name = QStringLiteral("round%1").arg(round);
        ASSERT_TRUE(QDir().mkpath(pyftpd.path(name)));
        CliRun run = runCli({QStringLiteral("--timeout"),
                             QStringLiteral("4"),
                             QStringLiteral("--tasks"),
                             QStringLiteral("5"),
                             QStringLiteral("put"),
                             source,
                             base + name + QLatin1Char('/')},
                            QProcessEnvironment::systemEnvironment(),
                            20000);
        ASSERT_EQ(run.exitStatus, 0) << describe(run);
        const QString sent = pyftpd.path(name + QStringLiteral("/small"));
        EXPECT_EQ(treeOf(sent), expected) << listing(treeOf(sent));

        const QString back = local.filePath(QStringLiteral("back%1").arg(round));
        run = runCli({QStringLiteral("--timeout"),
                      QStringLiteral("4"),
                      QStringLiteral("--tasks"),
                      QStringLiteral("5"),
                      QStringLiteral("get"),
                      base + name + QStringLiteral("/small/"),
                      back},
                     QProcessEnvironment::systemEnvironment(),
                     20000);
        ASSERT_EQ(run.exitStatus, 0) << describe(run);
        EXPECT_EQ(treeOf(back), expected) << listing(treeOf(back));
    }
}

TEST(OrvaneFtpCliTrees, FailedFilesAreNamed)
{
    VsftpdServer vsftpd;
    ASSERT_TRUE(vsftpd.start());
    makeHostTree(vsftpd, VsftpdServer::Tree::AnonymousRoot, QStringLiteral("pub/tree"));
    // Listed, but vsftpd cannot open them for anyone: RETR is refused.
    for (const char *name : {"pub/tree/b c.bin", "pub/tree/sub1/deep/d.bin"}) {
        const QByteArray path
                = QFile::encodeName(vsftpd.path(VsftpdServer::Tree::AnonymousRoot, name));
        ASSERT_EQ(::chmod(path.constData(), 0), 0);
    }
    QTemporaryDir local;
    ASSERT_TRUE(local.isValid());
    for (const char *tasks : {"1", "4"}) {
        SCOPED_TRACE(tasks);
        const QString target = local.filePath(QStringLiteral("t") + QLatin1String(tasks));
        const CliRun run
                = runCli({QStringLiteral("--tasks"),
                          QLatin1String(tasks),
                          QStringLiteral("get"),
                          QStringLiteral("ftp://127.0.0.1:%1/pub/tree/").arg(vsftpd.port()),
                          target});
        ASSERT_TRUE(run.ended) << describe(run);
        EXPECT_EQ(run.exitStatus, 1) << describe(run);
        const QStringList lines = run.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        EXPECT_EQ(lines.size(), 2) << describe(run);
        EXPECT_TRUE(run.err.contains(QStringLiteral("download of /pub/tree/b c.bin")))
                << describe(run);
        EXPECT_TRUE(run.err.contains(QStringLiteral("download of /pub/tree/sub1/deep/d.bin")))
                << describe(run);
        EXPECT_TRUE(run.err.contains(QStringLiteral("550"))) << describe(run);
        // The others arrived.
        const QMap<QString, QByteArray> arrived = treeOf(target);
        EXPECT_TRUE(arrived.contains(QStringLiteral("sub1/deep/deeper/e.bin"))) << listing(arrived);
        EXPECT_TRUE(arrived.contains(QStringLiteral("sub2/g.bin"))) << listing(arrived);
    }
}

TEST(OrvaneFtpCliTrees, SavedSiteFromTheRegistry)
{
    VsftpdServer vsftpd;
    ASSERT_TRUE(vsftpd.start());
    const QByteArray content = bytesFor(7, 70000);
    vsftpd.createUserFile(QStringLiteral("docs/report.bin"), content);
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    {
        Registry registry(config.filePath(QStringLiteral("Orvane FTP/registry.json")));
        auto root = SiteNode::makeRoot(SiteStore::rootText());
        SiteNode *folder = root->addFolder(QStringLiteral("Test Hosts"));
        TSiteObject site;
        site.Host = QStringLiteral("127.0.0.1");
        site.Port = vsftpd.port();
        site.Anonymous = false;
        site.Username = VsftpdServer::userName();
        site.Password = VsftpdServer::password();
        site.InitialPath = QStringLiteral("\\docs\\");
        site.PassiveMode = true;
        site.Tasks = 3;
        folder->addSite(QStringLiteral("Local vsftpd"), site);
        QString error;
        ASSERT_TRUE(SiteStore(registry).saveTree(*root, &error)) << error.toStdString();
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    QTemporaryDir local;
    ASSERT_TRUE(local.isValid());
    const QString site = QStringLiteral("Test Hosts\\Local vsftpd");

    // A path below the initial folder, a path from the root, a path-only address.
    CliRun run = runCli({QStringLiteral("--site"),
                         site,
                         QStringLiteral("get"),
                         QStringLiteral("report.bin"),
                         local.filePath(QStringLiteral("1.bin"))},
                        env);
    ASSERT_EQ(run.exitStatus, 0) << describe(run);
    EXPECT_EQ(treeOf(local.path()).value(QStringLiteral("1.bin")), content);
    run = runCli({QStringLiteral("-v"),
                  QStringLiteral("--site"),
                  QStringLiteral("test hosts\\LOCAL VSFTPD"),
                  QStringLiteral("get"),
                  QStringLiteral("/docs/report.bin"),
                  local.filePath(QStringLiteral("2.bin"))},
                 env);
    ASSERT_EQ(run.exitStatus, 0) << describe(run);
    EXPECT_EQ(treeOf(local.path()).value(QStringLiteral("2.bin")), content);
    // Three sessions as the site asks: the main session's lines are numbered.
    EXPECT_TRUE(run.out.contains(QStringLiteral("<<: (00) user ") + VsftpdServer::userName()))
            << describe(run);
    EXPECT_TRUE(run.out.contains(QStringLiteral("<<: (01) pasv"))) << describe(run);
    EXPECT_FALSE(run.out.contains(VsftpdServer::password())) << describe(run);
    run = runCli(
            {QStringLiteral("--site"), site, QStringLiteral("ls"), QStringLiteral("ftp:///docs/")},
            env);
    ASSERT_EQ(run.exitStatus, 0) << describe(run);
    EXPECT_TRUE(run.out.startsWith(QStringLiteral("f\t70000\t"))) << describe(run);

    // A host in the address, a site that is not there, a folder that is not a site.
    run = runCli(
            {QStringLiteral("--site"), site, QStringLiteral("ls"), QStringLiteral("ftp://other/")},
            env);
    EXPECT_EQ(run.exitStatus, 2) << describe(run);
    for (const QString &missing :
         {QStringLiteral("Test Hosts\\Nowhere"), QStringLiteral("Test Hosts")}) {
        run = runCli({QStringLiteral("--site"), missing, QStringLiteral("ls"), QStringLiteral("/")},
                     env);
        EXPECT_EQ(run.exitStatus, 1) << describe(run);
        EXPECT_TRUE(run.err.contains(missing)) << describe(run);
    }
}

TEST(OrvaneFtpCliTrees, HostGoingAwayMidQueueEndsTheRun)
{
    PyftpdlibServer pyftpd;
    ASSERT_TRUE(pyftpd.start());
    for (int i = 0; i < 600; ++i)
        pyftpd.createFile(QStringLiteral("pub/many/f%1.bin").arg(i, 4, 10, QLatin1Char('0')),
                          bytesFor(i, 20000));
    QTemporaryDir local;
    ASSERT_TRUE(local.isValid());
    const QString target = local.filePath(QStringLiteral("many"));

    QProcess process;
    process.start(Cli,
                  {QStringLiteral("--timeout"),
                   QStringLiteral("10"),
                   QStringLiteral("--tasks"),
                   QStringLiteral("3"),
                   QStringLiteral("--passive"),
                   QStringLiteral("get"),
                   QStringLiteral("ftp://127.0.0.1:%1/pub/many/").arg(pyftpd.port()),
                   target});
    ASSERT_TRUE(process.waitForStarted(5000));
    // Stop the host once files have begun to arrive.
    ASSERT_TRUE(ovtest::waitFor(
            [&] {
                return QDir(target).entryList(QDir::Files).size() >= 3
                       || process.state() == QProcess::NotRunning;
            },
            30000));
    ASSERT_EQ(process.state(), QProcess::Running) << "all arrived before the host was stopped";
    pyftpd.stop();
    QElapsedTimer clock;
    clock.start();
    const bool ended
            = ovtest::waitFor([&] { return process.state() == QProcess::NotRunning; }, 30000);
    if (!ended) {
        process.kill();
        process.waitForFinished(5000);
    }
    ASSERT_TRUE(ended) << "still running 30 s after the host went away";
    EXPECT_LT(clock.elapsed(), 15000);
    EXPECT_EQ(process.exitCode(), 1);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    EXPECT_TRUE(err.contains(QStringLiteral("f0599.bin"))) << err.toStdString();
    // Every file that did not arrive whole is named.
    const QStringList arrived = QDir(target).entryList(QDir::Files);
    int named = 0;
    for (int i = 0; i < 600; ++i) {
        const QString name = QStringLiteral("f%1.bin").arg(i, 4, 10, QLatin1Char('0'));
        const QFileInfo copy(QDir(target).filePath(name));
        if (!copy.exists() || copy.size() != 20000) {
            EXPECT_TRUE(err.contains(QStringLiteral("/pub/many/") + name)) << name.toStdString();
            ++named;
        }
    }
    EXPECT_GT(named, 0);
}
