// orvane-ftp-cli run as a person runs it, against vsftpd on 127.0.0.1: single files sent,
// fetched, listed, renamed and deleted, its exit statuses and messages, the password kept out of
// its log, and local files that cannot be written.
#include "support/clirun.h"
#include "support/files.h"
#include "support/filesizelimit.h"
#include "support/freeport.h"
#include "support/sharedftpserver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace ovtest;

TEST(CliFiles, RoundTripsStatusesAndMessagesOnVsftpd)
{
    VsftpdServer *vsftpd = sharedVsftpd();
    ASSERT_TRUE(vsftpd);
    QTemporaryDir local;
    ASSERT_TRUE(local.isValid());
    const QByteArray content = testBytes(3 * 1024 * 1024 + 4097, 1);
    const QString file = local.filePath(QStringLiteral("report 2026.bin"));
    ASSERT_TRUE(writeFile(file, content));
    vsftpd->createFolder(VsftpdServer::Tree::Upload, QStringLiteral("files"));
    const QString base = cliAddress(vsftpd->port(), QStringLiteral("/upload/files/"));
    const QDir upload(vsftpd->path(VsftpdServer::Tree::Upload, QStringLiteral("files")));

    // put into a folder keeps the local name; quiet on success.
    CliRun run = runCli({"put", file, base});
    ASSERT_EQ(run.exitStatus, 0) << run.describe();
    EXPECT_EQ(run.out + run.err, QByteArray());
    EXPECT_EQ(readFile(upload.filePath(QStringLiteral("report 2026.bin"))), content);
    // A rename, a delete, a new folder (passive).
    run = runCliWords("mv " + base + "report%202026.bin renamed.bin");
    ASSERT_EQ(run.exitStatus, 0) << run.describe();
    EXPECT_FALSE(QFileInfo::exists(upload.filePath(QStringLiteral("report 2026.bin"))));
    EXPECT_EQ(readFile(upload.filePath(QStringLiteral("renamed.bin"))), content);
    run = runCliWords("rm " + base + "renamed.bin");
    ASSERT_EQ(run.exitStatus, 0) << run.describe();
    EXPECT_FALSE(QFileInfo::exists(upload.filePath(QStringLiteral("renamed.bin"))));
    run = runCliWords("--passive mkdir " + base + "new%20folder/");
    ASSERT_EQ(run.exitStatus, 0) << run.describe();
    EXPECT_TRUE(QFileInfo(upload.filePath(QStringLiteral("new folder"))).isDir());

    // ls: one entry a line, folders first; a date with a year has no time of day.
    const QByteArray fetched = testBytes(1024 * 1024 + 5, 2);
    const QString hostFile = vsftpd->createFile(
            VsftpdServer::Tree::AnonymousRoot, QStringLiteral("files/a  b.bin"), fetched);
    const QString hostFolder
            = vsftpd->createFolder(VsftpdServer::Tree::AnonymousRoot, QStringLiteral("files/sub"));
    ASSERT_EQ(QProcess::execute("touch", {"-m", "-d", "2001-02-03 04:05", hostFile, hostFolder}),
              0);
    const QString pub = cliAddress(vsftpd->port(), QStringLiteral("/files/"));
    run = runCliWords("ls " + pub);
    ASSERT_EQ(run.exitStatus, 0) << run.describe();
    EXPECT_EQ(run.out + run.err,
              QByteArray("d\t-1\t2001-02-03 00:00\tsub\nf\t1048581\t2001-02-03 00:00\ta  b.bin\n"));
    // get into a folder keeps the host name; the folder is listed before the file is fetched.
    run = runCliWords("-v --passive get " + pub + "a%20%20b.bin " + local.path());
    ASSERT_EQ(run.exitStatus, 0) << run.describe();
    EXPECT_EQ(readFile(local.filePath(QStringLiteral("a  b.bin"))), fetched);
    const qsizetype list = run.out.indexOf("<<: list\n");
    EXPECT_GE(list, 0) << run.describe();
    EXPECT_GT(run.out.indexOf("<<: retr /files/a  b.bin\n"), list) << run.describe();
    EXPECT_TRUE(run.out.contains("  : Received 1048581 bytes")) << run.describe();
    // get to a new name in folders that are not there yet, quiet.
    run = runCliWords("get " + pub + "a%20%20b.bin " + local.filePath(QStringLiteral("x/y/c.bin")));
    ASSERT_EQ(run.exitStatus, 0) << run.describe();
    EXPECT_EQ(run.out, QByteArray());
    EXPECT_EQ(readFile(local.filePath(QStringLiteral("x/y/c.bin"))), fetched);

    // Failures, exit 1, and usage errors, exit 2, with the reason on standard error. "B/" is
    // the writable folder, "P/" the anonymous files, "A/" the read-only anonymous root, "L/"
    // the local folder, "S/" a host that accepts the connection and then says nothing (nobody
    // calls accept(): the system completes the connection from the listening backlog), "N/" a
    // port nobody listens on.
    ASSERT_TRUE(writeFile(local.filePath(QStringLiteral("blocker")), ""));
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    // clang-format off
    // Each reason ("|" between several) is on standard error. Usage errors one by one are
    // the option and command tests'; these show their exit status.
    const struct { const char *line; int status; const char *reason; } failures[] = {
            {"rm B/missing.txt", 1, "550|/upload/files/missing.txt"},
            {"--user nobody-here ls B/", 1, "530"},
            {"mv B/missing.txt other.txt", 1, "rename"},
            {"mkdir B/new%20folder/", 1, "550"},
            {"put L/x/y/c.bin A/", 1, "553"},
            {"put L/absent.bin B/", 1, "absent.bin"},
            {"get P/missing.bin L/missing.bin", 1, "download of /files/missing.bin"},
            {"ls P/nowhere/", 1, "/files/nowhere/|550"},
            {"get P/a%20%20b.bin L/blocker/sub/f.bin", 1, "Not a directory|/blocker/sub"},
            {"rm", 2, "rm"},
            {"rm A/", 2, "root"},
            {"--timeout 2 rm S/a.txt", 1, "no answer"},
            {"rm N/a.txt", 1, "cannot connect"},
    };
    // clang-format on
    const QHash<QString, QString> places{{"B/", base},
                                         {"P/", pub},
                                         {"A/", cliAddress(vsftpd->port(), "/")},
                                         {"L/", local.path() + u'/'},
                                         {"S/", cliAddress(silent.serverPort(), "/")},
                                         {"N/", cliAddress(freePort(), "/")}};
    for (const auto &f : failures) {
        SCOPED_TRACE(f.line);
        // A marker starts a word: a temporary folder's name may end in one of the letters.
        QStringList words = QString::fromUtf8(f.line).split(u' ');
        for (QString &word : words)
            word.replace(0, 2, places.value(word.left(2), word.left(2)));
        run = runCli(words);
        EXPECT_EQ(run.exitStatus, f.status) << run.describe();
        for (const QByteArray &reason : QByteArray(f.reason).split('|'))
            EXPECT_TRUE(run.err.contains(reason)) << reason.toStdString() << run.describe();
    }
    EXPECT_FALSE(QFileInfo::exists(upload.filePath(QStringLiteral("other.txt"))));
    EXPECT_FALSE(QFileInfo::exists(vsftpd->anonymousRoot() + QStringLiteral("/c.bin")));
    EXPECT_FALSE(QFileInfo::exists(local.filePath(QStringLiteral("missing.bin"))));
    run = runCliWords("--help");
    EXPECT_EQ(run.exitStatus, 0) << run.describe();
    EXPECT_TRUE(run.out.contains("put LOCALFILE URL")) << run.describe();
}

// -v logs every exchange in its own prefix (the password masked: the TLS and site runs show
// it); a .txt file goes in type A, any other in type I.
TEST(CliFiles, VerboseLogAndTransferTypes)
{
    VsftpdServer *vsftpd = sharedVsftpd();
    ASSERT_TRUE(vsftpd);
    QTemporaryDir local;
    const QString file = local.filePath(QStringLiteral("notes.txt"));
    ASSERT_TRUE(writeFile(file, "line one\nline two\n"));
    vsftpd->createFolder(VsftpdServer::Tree::Upload, QStringLiteral("verbose"));
    const QString home = cliAddress(vsftpd->port(), QStringLiteral("/upload/verbose/"));
    CliRun run = runCliWords("-v put " + file + ' ' + home);
    ASSERT_EQ(run.exitStatus, 0) << run.describe();
    // Type A is the type a host starts in; vsftpd stores the wire's CR LF as it came.
    EXPECT_EQ(
            readFile(vsftpd->path(VsftpdServer::Tree::Upload, QStringLiteral("verbose/notes.txt"))),
            QByteArray("line one\r\nline two\r\n"));
    EXPECT_FALSE(run.out.contains("<<: type")) << run.describe();
    const QList<QByteArray> lines = run.out.split('\n');
    for (const QByteArray &line : lines) {
        EXPECT_TRUE(line.isEmpty() || line.startsWith("<<: ") || line.startsWith(">>: ")
                    || line.startsWith("  : ") || line.startsWith(" !: "))
                << line.toStdString();
    }
    // Binary type asked for.
    run = runCliWords("-v --type binary rm " + home + "notes.txt");
    ASSERT_EQ(run.exitStatus, 0) << run.describe();
    EXPECT_TRUE(run.out.contains("<<: type i\n")) << run.describe();
}

// The disk takes no more (the file-size limit lowered for the program), or a name is too long
// for the file system: the file fails with the system's reason, a file it was to replace stays
// as it was, and in a folder only that file is named while every other one arrives whole.
TEST(CliFiles, LocalWriteFailuresNameTheReasonAndSpareTheRest)
{
    VsftpdServer *vsftpd = sharedVsftpd();
    ASSERT_TRUE(vsftpd);
    QTemporaryDir local;
    ASSERT_TRUE(local.isValid());
    const QByteArray small = testBytes(10000, 3);
    vsftpd->createFile(VsftpdServer::Tree::AnonymousRoot, "limit/small.bin", small);
    const QString base = cliAddress(vsftpd->port(), QStringLiteral("/limit/"));
    CliRunOptions limited;
    limited.childModifier = [] {
        FileSizeLimit::applyInChild(4096);
    };

    // Fetched over an existing file: the run fails with the reason, the old file is kept whole,
    // no part file left; without the limit the same command replaces it.
    const QString old = local.filePath(QStringLiteral("old.bin"));
    ASSERT_TRUE(writeFile(old, testBytes(12000, 5)));
    const QStringList before = QDir(local.path()).entryList(QDir::Files | QDir::Hidden);
    CliRun run = runCliWords("get " + base + "small.bin " + old, limited);
    EXPECT_EQ(run.exitStatus, 1) << run.describe();
    EXPECT_TRUE(run.err.contains("download of /limit/small.bin"));
    EXPECT_TRUE(run.err.contains("cannot write the local file: File too large")) << run.describe();
    EXPECT_EQ(readFile(old), testBytes(12000, 5));
    EXPECT_EQ(QDir(local.path()).entryList(QDir::Files | QDir::Hidden), before);
    run = runCliWords("get " + base + "small.bin " + old);
    EXPECT_EQ(run.exitStatus, 0) << run.describe();
    EXPECT_EQ(readFile(old), small);
    EXPECT_EQ(QDir(local.path()).entryList(QDir::Files | QDir::Hidden), before);

    // The folder's first file has a name too long for the file system here, or outgrows the
    // size limit half way.
    const QString doomed = 'a' + QString(240, u'L') + ".bin";
    const FileTree files{{doomed, testBytes(600000, 6)},
                         {"b.bin", testBytes(20000, 7)},
                         {"c.bin", testBytes(5000, 8)},
                         {"sub/d.bin", testBytes(70000, 9)},
                         {"sub/e.bin", testBytes(100, 10)}};
    vsftpd->createTree(VsftpdServer::Tree::AnonymousRoot, QStringLiteral("each"), files);
    // Deep enough that the long name passes the system's path limit and the others do not.
    QString deep = local.path();
    while (deep.size() < 3860)
        deep += u'/' + QString(qMin(200, 3860 - int(deep.size())), u'd');
    ASSERT_TRUE(QDir().mkpath(deep));
    limited.childModifier = [] {
        FileSizeLimit::applyInChild(128 * 1024);
    };
    for (const bool sizeLimit : {false, true}) {
        for (const char *tasks : {"1", "3"}) {
            SCOPED_TRACE(std::string(sizeLimit ? "size limit" : "name too long") + ", tasks "
                         + tasks);
            const QString target = (sizeLimit ? local.path() : deep) + "/t" + tasks;
            const CliRun run
                    = runCliWords(QStringLiteral("--tasks %1 get %2 %3")
                                          .arg(tasks, cliAddress(vsftpd->port(), "/each/"), target),
                                  sizeLimit ? limited : CliRunOptions());
            EXPECT_EQ(run.exitStatus, 1) << run.describe();
            const QList<QByteArray> lines = run.err.trimmed().split('\n');
            ASSERT_EQ(lines.size(), 1) << run.describe();
            EXPECT_TRUE(lines.at(0).contains("/each/" + doomed.toUtf8())) << run.describe();
            const FileTree arrived = readTree(target);
            for (auto it = files.cbegin(); it != files.cend(); ++it) {
                if (it.key() == doomed)
                    EXPECT_TRUE(it.value().startsWith(arrived.value(doomed))) << "foreign bytes";
                else
                    EXPECT_EQ(arrived.value(it.key()), it.value()) << it.key().toStdString();
            }
        }
    }
}
