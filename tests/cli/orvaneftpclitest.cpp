// orvane-ftp-cli run as a person runs it, against a real vsftpd on 127.0.0.1: the built
// binary, its exit status, its standard output and error, and the host's folder after each
// step.
#include "support/eventwait.h"
#include "support/freeport.h"
#include "support/vsftpdserver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

using ovtest::VsftpdServer;

namespace {

struct CliRun
{
    bool ended = false;
    int exitStatus = -1;
    QString out;
    QString err;
    qint64 ms = 0;
};

CliRun runCli(const QStringList &arguments,
              const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment(),
              int timeoutMs = 30000)
{
    CliRun run;
    QProcess process;
    process.setProcessEnvironment(env);
    QElapsedTimer clock;
    clock.start();
    process.start(QStringLiteral(ORVANE_BINARY_DIR "/src/orvane-ftp-cli"), arguments);
    if (!process.waitForStarted(5000))
        return run;
    run.ended = ovtest::waitFor([&] { return process.state() == QProcess::NotRunning; }, timeoutMs);
    if (!run.ended) {
        process.kill();
        process.waitForFinished(5000);
    }
    run.ms = clock.elapsed();
    run.exitStatus = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QByteArray testBytes(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 x = 2463534242u;
    for (int i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = char(x);
    }
    return bytes;
}

std::string describe(const CliRun &run)
{
    return QStringLiteral("ended %1, status %2\nstdout:\n%3\nstderr:\n%4")
            .arg(run.ended)
            .arg(run.exitStatus)
            .arg(run.out, run.err)
            .toStdString();
}

} // namespace

TEST(OrvaneFtpCli, PutRenameDeleteOnVsftpd)
{
    VsftpdServer vsftpd;
    ASSERT_TRUE(vsftpd.start());
    QTemporaryDir local;
    ASSERT_TRUE(local.isValid());
    const QByteArray content = testBytes(3 * 1024 * 1024 + 4097);
    const QString file = local.filePath(QStringLiteral("report 2026.bin"));
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        ASSERT_EQ(out.write(content), content.size());
    }
    const QString base = QStringLiteral("ftp://127.0.0.1:%1/upload/").arg(vsftpd.port());
    const QDir upload(vsftpd.uploadFolder());

    // put into the folder keeps the local name; quiet on success (a plain host, not tried for
    // TLS, which would bring a warning).
    CliRun run = runCli(
            {QStringLiteral("--tls"), QStringLiteral("off"), QStringLiteral("put"), file, base});
    ASSERT_EQ(run.exitStatus, 0) << describe(run);
    EXPECT_EQ(run.out, QString());
    EXPECT_EQ(run.err, QString());
    EXPECT_EQ(contentOf(upload.filePath(QStringLiteral("report 2026.bin"))), content);

    // Passive, to a new name given percent-encoded.
    run = runCli({QStringLiteral("--passive"),
                  QStringLiteral("put"),
                  file,
                  base + QStringLiteral("second%20copy.bin")});
    ASSERT_EQ(run.exitStatus, 0) << describe(run);
    EXPECT_EQ(contentOf(upload.filePath(QStringLiteral("second copy.bin"))), content);

    // mv renames within the folder.
    run = runCli({QStringLiteral("mv"),
                  base + QStringLiteral("report%202026.bin"),
                  QStringLiteral("renamed.bin")});
    ASSERT_EQ(run.exitStatus, 0) << describe(run);
    EXPECT_FALSE(QFileInfo::exists(upload.filePath(QStringLiteral("report 2026.bin"))));
    EXPECT_EQ(contentOf(upload.filePath(QStringLiteral("renamed.bin"))), content);

    // rm deletes.
    run = runCli({QStringLiteral("rm"), base + QStringLiteral("renamed.bin")});
    ASSERT_EQ(run.exitStatus, 0) << describe(run);
    EXPECT_FALSE(QFileInfo::exists(upload.filePath(QStringLiteral("renamed.bin"))));
    EXPECT_TRUE(QFileInfo::exists(upload.filePath(QStringLiteral("second copy.bin"))));

    // mkdir makes a folder, which then takes a file.
    run = runCli({QStringLiteral("--passive"),
                  QStringLiteral("mkdir"),
                  base + QStringLiteral("new folder/")});
    ASSERT_EQ(run.exitStatus, 0) << describe(run);
    EXPECT_TRUE(QFileInfo(upload.filePath(QStringLiteral("new folder"))).isDir());
    run = runCli({QStringLiteral("put"), file, base + QStringLiteral("new%20folder/")});
    ASSERT_EQ(run.exitStatus, 0) << describe(run);
    EXPECT_EQ(contentOf(upload.filePath(QStringLiteral("new folder/report 2026.bin"))), content);

    // Failures: exit 1 with the reason (the host's answer) on standard error.
    run = runCli({QStringLiteral("rm"), base + QStringLiteral("missing.txt")});
    EXPECT_EQ(run.exitStatus, 1) << describe(run);
    EXPECT_TRUE(run.err.contains(QStringLiteral("/upload/missing.txt"))) << describe(run);
    EXPECT_TRUE(run.err.contains(QStringLiteral("550"))) << describe(run);
    run = runCli({QStringLiteral("mv"),
                  base + QStringLiteral("missing.txt"),
                  QStringLiteral("other.txt")});
    EXPECT_EQ(run.exitStatus, 1) << describe(run);
    EXPECT_TRUE(run.err.contains(QStringLiteral("rename"))) << describe(run);
    EXPECT_FALSE(QFileInfo::exists(upload.filePath(QStringLiteral("other.txt"))));
    run = runCli({QStringLiteral("mkdir"), base + QStringLiteral("new%20folder/")});
    EXPECT_EQ(run.exitStatus, 1) << describe(run);
    // The anonymous root is not writable.
    run = runCli({QStringLiteral("put"),
                  file,
                  QStringLiteral("ftp://127.0.0.1:%1/").arg(vsftpd.port())});
    EXPECT_EQ(run.exitStatus, 1) << describe(run);
    EXPECT_FALSE(run.err.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(vsftpd.anonymousRoot() + QStringLiteral("/report 2026.bin")));
    run = runCli({QStringLiteral("put"), local.filePath(QStringLiteral("absent.bin")), base});
    EXPECT_EQ(run.exitStatus, 1) << describe(run);
    EXPECT_TRUE(run.err.contains(QStringLiteral("absent.bin"))) << describe(run);

    // Usage errors: exit 2, nothing done.
    for (const QStringList &words :
         {QStringList{QStringLiteral("rm")},
          QStringList{
                  QStringLiteral("--type"), QStringLiteral("x"), QStringLiteral("rm"), base + "a"},
          QStringList{QStringLiteral("fetch"), base + "a"},
          QStringList{QStringLiteral("rm"),
                      QStringLiteral("ftp://127.0.0.1:%1/").arg(vsftpd.port())}}) {
        run = runCli(words);
        EXPECT_EQ(run.exitStatus, 2) << describe(run);
        EXPECT_FALSE(run.err.isEmpty());
    }
    run = runCli({QStringLiteral("--help")});
    EXPECT_EQ(run.exitStatus, 0) << describe(run);
    EXPECT_TRUE(run.out.contains(QStringLiteral("put LOCALFILE URL"))) << describe(run);
}

TEST(OrvaneFtpCli, VerboseLogMasksThePassword)
{
    VsftpdServer vsftpd;
    ASSERT_TRUE(vsftpd.start());
    QTemporaryDir local;
    ASSERT_TRUE(local.isValid());
    const QString file = local.filePath(QStringLiteral("notes.txt"));
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("line one\nline two\n");
    }
    const QString password = VsftpdServer::password();
    ASSERT_FALSE(password.isEmpty());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("OV_TEST_PASSWORD"), password);

    // Password from the environment, user by option.
    CliRun run = runCli({QStringLiteral("-v"),
                         QStringLiteral("--user"),
                         VsftpdServer::userName(),
                         QStringLiteral("--password-env"),
                         QStringLiteral("OV_TEST_PASSWORD"),
                         QStringLiteral("put"),
                         file,
                         QStringLiteral("ftp://127.0.0.1:%1/").arg(vsftpd.port())},
                        env);
    ASSERT_EQ(run.exitStatus, 0) << describe(run);
    // A text file goes in type A, its lines ending in CR LF, which vsftpd stores as they came.
    EXPECT_EQ(contentOf(QDir(vsftpd.userHome()).filePath(QStringLiteral("notes.txt"))),
              QByteArray("line one\r\nline two\r\n"));
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_TRUE(lines.contains(QStringLiteral("<<: user ") + VsftpdServer::userName()))
            << describe(run);
    EXPECT_TRUE(lines.contains(QStringLiteral("<<: pass *****"))) << describe(run);
    EXPECT_TRUE(run.out.contains(QStringLiteral("\n>>: 230 "))) << describe(run);
    EXPECT_TRUE(run.out.contains(QStringLiteral("<<: stor /notes.txt"), Qt::CaseInsensitive))
            << describe(run);
    // A .txt file goes as ASCII with the default type choice, the type a host starts in.
    EXPECT_FALSE(run.out.contains(QStringLiteral("<<: type"))) << describe(run);
    for (const QString &line : lines) {
        EXPECT_TRUE(line.startsWith(QLatin1String("<<: ")) || line.startsWith(QLatin1String(">>: "))
                    || line.startsWith(QLatin1String("  : "))
                    || line.startsWith(QLatin1String(" !: ")))
                << line.toStdString();
    }
    EXPECT_FALSE(run.out.contains(password)) << describe(run);
    EXPECT_FALSE(run.err.contains(password)) << describe(run);

    // Any other file goes as binary with the default type choice.
    const QString binary = local.filePath(QStringLiteral("data.bin"));
    QFile::copy(file, binary);
    run = runCli({QStringLiteral("-v"),
                  QStringLiteral("put"),
                  binary,
                  QStringLiteral("ftp://127.0.0.1:%1/upload/").arg(vsftpd.port())});
    ASSERT_EQ(run.exitStatus, 0) << describe(run);
    EXPECT_TRUE(run.out.contains(QStringLiteral("\n<<: type i\n"))) << describe(run);
    EXPECT_TRUE(run.out.contains(QStringLiteral("\n<<: user anonymous\n"))) << describe(run);

    // Password in the address, binary type asked for.
    const QString address = QStringLiteral("ftp://%1:%2@127.0.0.1:%3/notes.txt")
                                    .arg(VsftpdServer::userName(),
                                         QString::fromLatin1(QUrl::toPercentEncoding(password)))
                                    .arg(vsftpd.port());
    run = runCli({QStringLiteral("-v"),
                  QStringLiteral("--type"),
                  QStringLiteral("binary"),
                  QStringLiteral("rm"),
                  address});
    ASSERT_EQ(run.exitStatus, 0) << describe(run);
    EXPECT_FALSE(QFileInfo::exists(QDir(vsftpd.userHome()).filePath(QStringLiteral("notes.txt"))));
    EXPECT_TRUE(run.out.contains(QStringLiteral("<<: pass *****"))) << describe(run);
    EXPECT_TRUE(run.out.contains(QStringLiteral("<<: type i"))) << describe(run);
    EXPECT_FALSE(run.out.contains(password)) << describe(run);

    // A wrong password: exit 1, the host's refusal as the reason, the password never shown.
    env.insert(QStringLiteral("OV_TEST_PASSWORD"), QStringLiteral("wrong-") + password);
    run = runCli({QStringLiteral("-v"),
                  QStringLiteral("--user"),
                  VsftpdServer::userName(),
                  QStringLiteral("--password-env"),
                  QStringLiteral("OV_TEST_PASSWORD"),
                  QStringLiteral("mkdir"),
                  QStringLiteral("ftp://127.0.0.1:%1/x/").arg(vsftpd.port())},
                 env);
    EXPECT_EQ(run.exitStatus, 1) << describe(run);
    EXPECT_TRUE(run.err.contains(QStringLiteral("530"))) << describe(run);
    EXPECT_FALSE(run.out.contains(QStringLiteral("wrong-"))) << describe(run);
    EXPECT_FALSE(QFileInfo::exists(QDir(vsftpd.userHome()).filePath(QStringLiteral("x"))));
}

TEST(OrvaneFtpCli, SilentOrAbsentHostEndsTheRun)
{
    // A host that accepts the connection and then says nothing: the run gives up after the
    // timeout instead of waiting for ever. Nobody calls accept(); the system completes the
    // connection from the listening backlog.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    CliRun run = runCli({QStringLiteral("--timeout"),
                         QStringLiteral("2"),
                         QStringLiteral("rm"),
                         QStringLiteral("ftp://127.0.0.1:%1/a.txt").arg(silent.serverPort())},
                        QProcessEnvironment::systemEnvironment(),
                        20000);
    ASSERT_TRUE(run.ended) << describe(run);
    EXPECT_EQ(run.exitStatus, 1) << describe(run);
    EXPECT_TRUE(run.err.contains(QStringLiteral("no answer"))) << describe(run);

    // Nobody listening: refused at once.
    const quint16 closed = ovtest::freePort();
    run = runCli({QStringLiteral("rm"), QStringLiteral("ftp://127.0.0.1:%1/a.txt").arg(closed)});
    ASSERT_TRUE(run.ended) << describe(run);
    EXPECT_EQ(run.exitStatus, 1) << describe(run);
    EXPECT_TRUE(run.err.contains(QStringLiteral("cannot connect"))) << describe(run);
}

TEST(OrvaneFtpCli, LsAndGetOnVsftpd)
{
    VsftpdServer vsftpd;
    ASSERT_TRUE(vsftpd.start());
    QTemporaryDir local;
    ASSERT_TRUE(local.isValid());
    const QByteArray content = testBytes(1024 * 1024 + 5);
    const QString file
            = vsftpd.createFile(VsftpdServer::Tree::AnonymousRoot, "pub/a  b.bin", content);
    const QString folder = vsftpd.createFolder(VsftpdServer::Tree::AnonymousRoot, "pub/sub");
    // Dated long ago, so that the listing shows a year.
    ASSERT_EQ(QProcess::execute(QStringLiteral("touch"),
                                {QStringLiteral("-m"),
                                 QStringLiteral("-d"),
                                 QStringLiteral("2001-02-03 04:05"),
                                 file,
                                 folder}),
              0);
    const QString base = QStringLiteral("ftp://127.0.0.1:%1/pub/").arg(vsftpd.port());

    // ls: one entry a line, folders first; a date with a year has no time of day.
    CliRun run
            = runCli({QStringLiteral("--tls"), QStringLiteral("off"), QStringLiteral("ls"), base});
    ASSERT_EQ(run.exitStatus, 0) << describe(run);
    EXPECT_EQ(run.out,
              QStringLiteral("d\t-1\t2001-02-03 00:00\tsub\n"
                             "f\t%1\t2001-02-03 00:00\ta  b.bin\n")
                      .arg(content.size()));
    EXPECT_EQ(run.err, QString());

    // get into a folder keeps the host name; the folder is listed before the file is fetched.
    run = runCli({QStringLiteral("-v"),
                  QStringLiteral("--passive"),
                  QStringLiteral("get"),
                  base + QStringLiteral("a%20%20b.bin"),
                  local.path()});
    ASSERT_EQ(run.exitStatus, 0) << describe(run);
    EXPECT_EQ(contentOf(local.filePath(QStringLiteral("a  b.bin"))), content);
    const qsizetype list = run.out.indexOf(QStringLiteral("<<: list\n"));
    const qsizetype retr = run.out.indexOf(QStringLiteral("<<: retr /pub/a  b.bin\n"));
    EXPECT_GE(list, 0) << describe(run);
    EXPECT_GT(retr, list) << describe(run);
    EXPECT_TRUE(run.out.contains(QStringLiteral("  : Received %1 bytes").arg(content.size())))
            << describe(run);

    // get to a new name, quiet.
    run = runCli({QStringLiteral("get"),
                  base + QStringLiteral("a%20%20b.bin"),
                  local.filePath(QStringLiteral("copy.bin"))});
    ASSERT_EQ(run.exitStatus, 0) << describe(run);
    EXPECT_EQ(run.out, QString());
    EXPECT_EQ(contentOf(local.filePath(QStringLiteral("copy.bin"))), content);

    // A file the folder does not hold, a folder the host does not have: exit 1 with a reason.
    run = runCli({QStringLiteral("get"),
                  base + QStringLiteral("missing.bin"),
                  local.filePath(QStringLiteral("missing.bin"))});
    EXPECT_EQ(run.exitStatus, 1) << describe(run);
    EXPECT_TRUE(run.err.contains(QStringLiteral("download of /pub/missing.bin"))) << describe(run);
    EXPECT_FALSE(QFileInfo::exists(local.filePath(QStringLiteral("missing.bin"))));
    run = runCli({QStringLiteral("ls"), base + QStringLiteral("nowhere/")});
    EXPECT_EQ(run.exitStatus, 1) << describe(run);
    EXPECT_TRUE(run.err.contains(QStringLiteral("/pub/nowhere/"))) << describe(run);
    EXPECT_TRUE(run.err.contains(QStringLiteral("550"))) << describe(run);
    EXPECT_EQ(run.out, QString());
}
