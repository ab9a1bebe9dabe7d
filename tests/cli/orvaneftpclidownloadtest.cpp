// orvane-ftp-cli fetching from vsftpd when the local disk takes no more (the file-size limit
// lowered for the program): it exits 1 and names the system's reason, and a file it was to
// replace stays as it was.
#include "support/clirun.h"
#include "support/filesizelimit.h"
#include "support/vsftpdserver.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using ovtest::CliRunOptions;
using ovtest::VsftpdServer;

namespace {

QByteArray patternBytes(int size, int seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + seed) % 253);
    return bytes;
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

TEST(OrvaneFtpCliDownloads, FileSizeLimitFailsWithTheReasonAndKeepsTheOldFile)
{
    VsftpdServer vsftpd;
    ASSERT_TRUE(vsftpd.start());
    QTemporaryDir local;
    ASSERT_TRUE(local.isValid());
    const QByteArray small = patternBytes(10000, 1);
    const QByteArray large = patternBytes(1024 * 1024, 2);
    vsftpd.createFile(VsftpdServer::Tree::AnonymousRoot, "pub/small.bin", small);
    vsftpd.createFile(VsftpdServer::Tree::AnonymousRoot, "pub/large.bin", large);
    const QString base = QStringLiteral("ftp://127.0.0.1:%1/pub/").arg(vsftpd.port());
    CliRunOptions limited;
    limited.childModifier = [] {
        ovtest::FileSizeLimit::applyInChild(4096);
    };

    // A file smaller than the write block and a larger one: both fail, and say why.
    for (const QString &name : {QStringLiteral("small.bin"), QStringLiteral("large.bin")}) {
        SCOPED_TRACE(name.toStdString());
        const ovtest::CliRun run = ovtest::runCli(
                {QStringLiteral("-v"), QStringLiteral("get"), base + name, local.filePath(name)},
                limited);
        EXPECT_EQ(run.exitStatus, 1) << ovtest::describe(run);
        EXPECT_TRUE(QString::fromUtf8(run.err).contains(QStringLiteral("download of /pub/") + name))
                << ovtest::describe(run);
        EXPECT_TRUE(QString::fromUtf8(run.err).contains(
                QStringLiteral("cannot write the local file: File too large")))
                << ovtest::describe(run);
        EXPECT_TRUE(QString::fromUtf8(run.out).contains(
                QStringLiteral(" !: Unsuccessfully received file '%1' to "
                               "folder '%2'. cannot write the local file: "
                               "File too large")
                        .arg(name, local.path() + QLatin1Char('/'))))
                << ovtest::describe(run);
    }

    // Fetched again from the start over an existing file: the old file is kept whole, and no
    // part file is left beside it.
    const QString old = local.filePath(QStringLiteral("old.bin"));
    const QByteArray oldContent = patternBytes(12000, 3);
    {
        QFile file(old);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(oldContent), oldContent.size());
    }
    const QStringList before = QDir(local.path()).entryList(QDir::Files | QDir::Hidden);
    ovtest::CliRun run = ovtest::runCli(
            {QStringLiteral("get"), base + QStringLiteral("small.bin"), old}, limited);
    EXPECT_EQ(run.exitStatus, 1) << ovtest::describe(run);
    EXPECT_TRUE(QString::fromUtf8(run.err).contains(QStringLiteral("File too large")))
            << ovtest::describe(run);
    EXPECT_EQ(contentOf(old), oldContent);
    EXPECT_EQ(QDir(local.path()).entryList(QDir::Files | QDir::Hidden), before);

    // Without the limit the same command replaces it.
    run = ovtest::runCli({QStringLiteral("get"), base + QStringLiteral("small.bin"), old});
    EXPECT_EQ(run.exitStatus, 0) << ovtest::describe(run);
    EXPECT_EQ(contentOf(old), small);
    EXPECT_EQ(QDir(local.path()).entryList(QDir::Files | QDir::Hidden), before);
}
