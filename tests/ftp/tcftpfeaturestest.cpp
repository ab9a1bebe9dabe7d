// Today's FTP against real servers: FEAT and UTF-8 names, EPSV and EPRT, IPv6, MLSD against
// LIST, modification times both ways.
#include "ftp/listparser.h"
#include "ftp/tcftp.h"
#include "platform/localpath.h"
#include "support/eventwait.h"
#include "support/files.h"
#include "support/ftpsession.h"
#include "support/ftptestserver.h"
#include "support/pyftpdlibserver.h"
#include "support/sharedftpserver.h"
#include "support/vsftpdserver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <memory>

using ovtest::FtpTestServer;
using ovtest::PyftpdlibServer;
using ovtest::waitFor;

namespace {

// A time with odd seconds: a date to the minute, or a DOS date (two-second steps), cannot
// pass for it.
const QDateTime HostTime(QDate(2025, 3, 4), QTime(5, 6, 7), Qt::UTC);

bool setModified(const QString &path, const QDateTime &time)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite | QIODevice::Append)
           && file.setFileTime(time, QFileDevice::FileModificationTime);
}

class TcFTPFeatures : public ::testing::TestWithParam<FtpTestServer::Kind>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(local.isValid());
        ASSERT_NE(server = ovtest::sharedFtpServer(GetParam()), nullptr);
    }
    QString localInternal(const QString &name) const { return NativeToLocal(local.filePath(name)); }
    bool pyftpdlib() const { return GetParam() == FtpTestServer::Kind::Pyftpdlib; }

    QTemporaryDir local;
    FtpTestServer *server = nullptr;
};

} // namespace

// Passive mode asks with EPSV where the host offers it; pyftpdlib lists folders with MLSD,
// vsftpd (no MLST) with LIST (the listing tests compare what both show). A downloaded file gets
// the host's time to the second: from the MLSD modify fact, or from MDTM.
TEST_P(TcFTPFeatures, EpsvMlsdOrListAndTheHostsTime)
{
    const QByteArray content = ovtest::testBytes(3000, 17);
    const QString file = server->createUserFile(QStringLiteral("same/a b.bin"), content);
    ASSERT_TRUE(setModified(file, HostTime));

    ovtest::FtpSession s;
    s.ftp.setPassiveMode(true);
    ASSERT_TRUE(s.loginTo(*server));
    ASSERT_TRUE(s.ran(QStringLiteral("*list \\same\\"), caList));
    const QStringList sent = s.sent();
    EXPECT_TRUE(sent.contains(QStringLiteral("epsv")));
    EXPECT_FALSE(sent.contains(QStringLiteral("pasv")));
    EXPECT_EQ(sent.contains(QStringLiteral("mlsd")), pyftpdlib());
    if (pyftpdlib()) {
        // The modify fact is UTC; the list shows local time.
        const QDateTime shown = HostTime.toLocalTime();
        EXPECT_EQ(LookupEntry(s.buffer, QStringLiteral("\\same\\"), QStringLiteral("fa b.bin"))
                          .section(QLatin1Char('*'), 1, 1)
                          .toInt(),
                  DosDateTime(shown.date(), shown.time()));
    }

    ASSERT_TRUE(s.ran(QStringLiteral("*download \\same\\a b.bin*") + localInternal("a b.bin"),
                      caDownload));
    EXPECT_EQ(ovtest::readFile(local.filePath("a b.bin")), content);
    EXPECT_EQ(QFileInfo(local.filePath("a b.bin")).lastModified().toUTC(), HostTime);
    // Without the modify fact the time is asked for.
    EXPECT_EQ(s.sent().contains(QStringLiteral("mdtm /same/a b.bin")), !pyftpdlib());
}

INSTANTIATE_TEST_SUITE_P(Servers,
                         TcFTPFeatures,
                         ::testing::Values(FtpTestServer::Kind::Vsftpd,
                                           FtpTestServer::Kind::Pyftpdlib),
                         FtpTestServer::testName);

// Names in several scripts are listed, fetched and sent back in exactly their UTF-8 bytes,
// after OPTS UTF8 ON; an upload's time is set on the host with MFMT.
TEST(TcFTPFeaturesPyftpdlib, Utf8NamesAndUploadTimes)
{
    FtpTestServer *server = ovtest::sharedFtpServer(FtpTestServer::Kind::Pyftpdlib);
    ASSERT_NE(server, nullptr);
    QTemporaryDir local;
    ASSERT_TRUE(local.isValid());
    const QStringList names{QStringLiteral("é.txt"),
                            QStringLiteral("日本語.txt"),
                            QString::fromUtf8("\xF0\x9F\x98\x80 smile.bin")};
    for (const QString &name : names)
        server->createUserFile(QStringLiteral("names/") + name, name.toUtf8() + "\n");

    ovtest::FtpSession s;
    s.ftp.setPassiveMode(true);
    ASSERT_TRUE(s.loginTo(*server));
    ASSERT_TRUE(s.ran(QStringLiteral("*list \\names\\"), caList));
    const QStringList sent = s.sent();
    ASSERT_TRUE(sent.contains(QStringLiteral("opts utf8 on")));
    EXPECT_LT(sent.indexOf(QStringLiteral("opts utf8 on")), sent.indexOf(QStringLiteral("mlsd")));

    for (const QString &name : names) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_NE(s.buffer.find(QStringLiteral("\\names\\"), QLatin1Char('f') + name), nullptr);
        ASSERT_TRUE(s.ran(QStringLiteral("*download \\names\\") + name + QLatin1Char('*')
                                  + NativeToLocal(local.filePath(name)),
                          caDownload));
        EXPECT_EQ(ovtest::readFile(local.filePath(name)), name.toUtf8() + "\n");

        const QString back = QStringLiteral("back ") + name;
        ASSERT_TRUE(setModified(local.filePath(name), HostTime));
        ASSERT_TRUE(s.ran(QStringLiteral("*upload ") + NativeToLocal(local.filePath(name))
                                  + QStringLiteral("*\\names\\") + back,
                          caUpload));
        // The host's file system holds the name's UTF-8 bytes.
        const QString hostFile = server->userPath(QStringLiteral("names/") + back);
        EXPECT_EQ(ovtest::readFile(hostFile), name.toUtf8() + "\n");
        EXPECT_TRUE(s.sent().contains(QStringLiteral("mfmt 20250304050607 /names/") + back));
        EXPECT_EQ(QFileInfo(hostFile).lastModified().toUTC(), HostTime);
    }
}

// A whole session over IPv6 to pyftpdlib on ::1: EPSV in passive mode, EPRT in active mode,
// the address written both ways.
TEST(TcFTPFeaturesIpv6, WholeSessionOverIpv6)
{
    PyftpdlibServer server;
    server.setListenAddress(QStringLiteral("::1"));
    ASSERT_TRUE(server.start());
    QTemporaryDir local;
    ASSERT_TRUE(local.isValid());
    const QByteArray content = ovtest::testBytes(200000, 6);
    server.createFile(QStringLiteral("six/a.bin"), content);

    for (const bool passive : {true, false}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        ovtest::FtpSession s;
        s.ftp.setPassiveMode(passive);
        ASSERT_TRUE(s.loginTo(server, passive ? QStringLiteral("[::1]") : QStringLiteral("::1")));
        EXPECT_EQ(s.ftp.controlSocket()->PeerAddress(), QStringLiteral("::1"));
        ASSERT_TRUE(s.ran(QStringLiteral("*list \\six\\"), caList));
        EXPECT_EQ(s.keys(QStringLiteral("\\six\\"), true).value(0),
                  QStringLiteral("fa.bin 200000"));
        const QString name = passive ? QStringLiteral("p.bin") : QStringLiteral("a.bin");
        ASSERT_TRUE(s.ran(QStringLiteral("*download \\six\\a.bin*")
                                  + NativeToLocal(local.filePath(name)),
                          caDownload));
        EXPECT_EQ(ovtest::readFile(local.filePath(name)), content);
        ASSERT_TRUE(s.ran(QStringLiteral("*upload ") + NativeToLocal(local.filePath(name))
                                  + QStringLiteral("*\\six\\up-") + name,
                          caUpload));
        EXPECT_EQ(ovtest::readFile(server.path(QStringLiteral("six/up-") + name)), content);

        const QStringList sent = s.sent();
        if (passive) {
            EXPECT_EQ(sent.count(QStringLiteral("epsv")), 3);
        } else {
            int eprt = 0;
            for (const QString &line : sent)
                eprt += line.startsWith(QLatin1String("eprt |2|::1|")) ? 1 : 0;
            EXPECT_EQ(eprt, 3);
        }
        EXPECT_FALSE(sent.contains(QStringLiteral("pasv")));
        EXPECT_TRUE(std::none_of(sent.cbegin(), sent.cend(), [](const QString &line) {
            return line.startsWith(QLatin1String("port "));
        }));
    }
}
