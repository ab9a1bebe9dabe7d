// orvane-ftp-cli when single files fail: a file that cannot be written locally in the middle
// of a folder, and a file the host refuses after taking its data.
#include "clirun.h"
#include "support/scriptedserver.h"
#include "support/vsftpdserver.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using clitest::describe;
using clitest::runCli;
using ovtest::ScriptedServer;
using ovtest::VsftpdServer;

namespace {

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

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// The folder's first file cannot be written here: its local path is too long for the file
// system, or it outgrows the file size limit half way. Only it is named; every other file
// arrives whole, with one session and with three.
TEST(OrvaneFtpCliFailures, FileFailingLocallyLeavesTheOthersWhole)
{
    VsftpdServer vsftpd;
    ASSERT_TRUE(vsftpd.start());
    const QString doomed
            = QStringLiteral("a") + QString(240, QLatin1Char('L')) + QStringLiteral(".bin");
    QMap<QString, QByteArray> files;
    files.insert(doomed, bytesFor(1, 600000));
    files.insert(QStringLiteral("b.bin"), bytesFor(2, 20000));
    files.insert(QStringLiteral("c.bin"), bytesFor(3, 5000));
    files.insert(QStringLiteral("sub/d.bin"), bytesFor(4, 70000));
    files.insert(QStringLiteral("sub/e.bin"), bytesFor(5, 100));
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        vsftpd.createFile(VsftpdServer::Tree::AnonymousRoot, "pub/tree/" + it.key(), it.value());
    const QString url = QStringLiteral("ftp://127.0.0.1:%1/pub/tree/").arg(vsftpd.port());

    QTemporaryDir local;
    ASSERT_TRUE(local.isValid());
    // Deep enough that the long name passes the system's path limit and the others do not.
    QString deep = local.path();
    while (deep.size() < 3860)
        deep += QLatin1Char('/') + QString(qMin(200, 3860 - int(deep.size())), QLatin1Char('d'));
    ASSERT_TRUE(QDir().mkpath(deep));
    const auto limitFileSize = [] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{128 * 1024, 128 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    };

    for (const bool sizeLimit : {false, true}) {
        for (const char *tasks : {"1", "3"}) {
            SCOPED_TRACE(std::string(sizeLimit ? "size limit" : "name too long") + ", tasks "
                         + tasks);
            const QString target = (sizeLimit ? local.path() : deep) + QStringLiteral("/t")
                                   + QLatin1String(tasks);
            const clitest::CliRun run = runCli({QStringLiteral("--tasks"),
                                                QLatin1String(tasks),
                                                QStringLiteral("get"),
                                                url,
                                                target},
                                               sizeLimit ? std::function<void()>(limitFileSize)
                                                         : std::function<void()>());
            ASSERT_TRUE(run.ended) << describe(run);
            EXPECT_EQ(run.exitStatus, 1) << describe(run);
            const QStringList lines = run.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            ASSERT_EQ(lines.size(), 1) << describe(run);
            EXPECT_TRUE(lines.at(0).contains(QStringLiteral("/pub/tree/") + doomed))
                    << describe(run);
            for (auto it = files.cbegin(); it != files.cend(); ++it) {
                const QByteArray arrived = contentOf(target + QLatin1Char('/') + it.key());
                if (it.key() == doomed)
                    EXPECT_TRUE(it.value().startsWith(arrived)) << "foreign bytes in it";
                else
                    EXPECT_TRUE(arrived == it.value()) << it.key().toStdString() << describe(run);
            }
        }
    }
}

// A host that takes the data and then refuses the file: exit status 1, the host's reason on
// standard error, and in the log the verdict after the host's reply.
TEST(OrvaneFtpCliFailures, UploadRefusedAfterItsDataFails)
{
    ScriptedServer server(QStringLiteral(R"(
        default noop 200 ok
        default type 200 ok
        default pwd 257 "/" is the current directory
        default cwd 250 ok
        greet 220 scripted
        expect user anonymous
        reply 331 password please
        expect pass *
        reply 230 ok
        expect pasv
        reply-pasv
        expect list
        reply 150 here it comes
        data-send
        reply 226 done
        expect pasv
        reply-pasv
        expect stor /up.bin
        reply 150 go ahead
        data-recv
        reply 552 Quota exceeded.
    )"));
    ASSERT_TRUE(server.start());
    QTemporaryDir local;
    ASSERT_TRUE(local.isValid());
    const QByteArray content = bytesFor(9, 40000);
    const QString file = local.filePath(QStringLiteral("up.bin"));
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(content) == content.size());
    out.close();

    const clitest::CliRun run
            = runCli({QStringLiteral("-v"),
                      QStringLiteral("--passive"),
                      QStringLiteral("put"),
                      file,
                      QStringLiteral("ftp://127.0.0.1:%1/up.bin").arg(server.port())},
                     {},
                     20000);
    EXPECT_TRUE(server.waitForDone()) << server.log().toStdString() << describe(run);
    EXPECT_EQ(server.receivedData(), content);
    EXPECT_EQ(run.exitStatus, 1) << describe(run);
    EXPECT_TRUE(run.err.contains(QStringLiteral("552 Quota exceeded."))) << describe(run);
    const qsizetype reply = run.out.indexOf(QStringLiteral(">>: 552 Quota exceeded."));
    const qsizetype verdict = run.out.indexOf(QStringLiteral("Unsuccessfully sent file 'up.bin'"));
    EXPECT_GE(reply, 0) << describe(run);
    EXPECT_GT(verdict, reply) << describe(run);
    EXPECT_FALSE(run.out.contains(QStringLiteral("Successfully sent"))) << describe(run);
}
