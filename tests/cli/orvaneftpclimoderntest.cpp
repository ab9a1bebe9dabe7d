// The CLI against a host on ::1 that speaks today's FTP: an IPv6 address in brackets, the new
// commands in the exchange, MLSD dates in local time in ls's unchanged format.
#include "support/clirun.h"
#include "support/pyftpdlibserver.h"

#include <QDateTime>
#include <QFile>
#include <QTimeZone>

#include <gtest/gtest.h>

using ovtest::CliRun;
using ovtest::PyftpdlibServer;

TEST(OrvaneFtpCliModern, ListsAndFetchesOverIpv6)
{
    PyftpdlibServer server;
    server.setListenAddress(QStringLiteral("::1"));
    ASSERT_TRUE(server.start());
    const QString file = server.createFile(QStringLiteral("pub/é.txt"), "bonjour\n");
    server.createFolder(QStringLiteral("pub/sub"));
    const QDateTime time(QDate(2024, 7, 8), QTime(9, 10, 11), Qt::UTC);
    {
        QFile stamp(file);
        ASSERT_TRUE(stamp.open(QIODevice::ReadWrite | QIODevice::Append));
        ASSERT_TRUE(stamp.setFileTime(time, QFileDevice::FileModificationTime));
    }
    const QString base = QStringLiteral("ftp://%1:%2@[::1]:%3/pub/")
                                 .arg(PyftpdlibServer::userName(), PyftpdlibServer::password())
                                 .arg(server.port());

    CliRun run = ovtest::runCli({QStringLiteral("ls"), base});
    ASSERT_EQ(run.exitStatus, 0) << run.describe();
    const QString shown = time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    const QByteArray out = run.out;
    EXPECT_TRUE(out.startsWith("d\t-1\t")) << run.describe();
    EXPECT_TRUE(out.endsWith(QStringLiteral("\tsub\nf\t8\t%1\té.txt\n").arg(shown).toUtf8()))
            << run.describe();

    run = ovtest::runCli(
            {QStringLiteral("-v"), QStringLiteral("--passive"), QStringLiteral("ls"), base});
    ASSERT_EQ(run.exitStatus, 0) << run.describe();
    for (const char *line : {"<<: feat\n",
                             "<<: opts utf8 on\n",
                             "<<: epsv\n",
                             "<<: mlsd\n",
                             "  : Connected to ::1 port "})
        EXPECT_TRUE(run.out.contains(line)) << line << run.describe();
    EXPECT_FALSE(run.out.contains("<<: pasv")) << run.describe();
    // Only the folder asked for is listed, not the one the login arrives in as well.
    EXPECT_EQ(run.out.count("<<: mlsd\n"), 1) << run.describe();
}
