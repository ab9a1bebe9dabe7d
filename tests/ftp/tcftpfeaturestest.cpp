// Today's FTP against real servers: FEAT and UTF-8 names, EPSV and EPRT, IPv6, MLSD against
// LIST, modification times both ways.
#include "support/files.h"
#include "support/ftpsession.h"
#include "support/pyftpdlibserver.h"
#include "support/sharedftpserver.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace ovtest;
using namespace Qt::StringLiterals;

namespace {

// A time with odd seconds: a date to the minute, or a DOS date (two-second steps), cannot
// pass for it.
const QDateTime HostTime(QDate(2025, 3, 4), QTime(5, 6, 7), Qt::UTC);

class TcFTPFeatures : public ::testing::TestWithParam<FtpTestServer::Kind>
{};

} // namespace

// A downloaded file gets the host's time to the second: from the MLSD modify fact (pyftpdlib),
// or from MDTM (vsftpd, no MLST).
TEST_P(TcFTPFeatures, DownloadsTakeTheHostsTime)
{
    FtpTestServer *server = sharedFtpServer(GetParam());
    ASSERT_NE(server, nullptr);
    const bool pyftpdlib = GetParam() == FtpTestServer::Kind::Pyftpdlib;
    const QByteArray content = testBytes(3000, 17);
    ASSERT_TRUE(setModified(server->createUserFile("same/a b.bin", content), HostTime));

    FtpSession s;
    ASSERT_TRUE(s.loginTo(*server));
    ASSERT_TRUE(s.ran("*list \\same\\", caList));
    ASSERT_TRUE(s.ran("*download \\same\\a b.bin*" + s.localInternal("a b.bin"), caDownload));
    EXPECT_EQ(readFile(s.localPath("a b.bin")), content);
    EXPECT_EQ(QFileInfo(s.localPath("a b.bin")).lastModified().toUTC(), HostTime);
    // Without the modify fact the time is asked for.
    EXPECT_EQ(s.sent().contains("mdtm /same/a b.bin"), !pyftpdlib);
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
    FtpTestServer *server = sharedFtpServer(FtpTestServer::Kind::Pyftpdlib);
    ASSERT_NE(server, nullptr);
    const QStringList names{"é.txt", "日本語.txt", QString::fromUtf8("\xF0\x9F\x98\x80 smile.bin")};
    for (const QString &name : names)
        server->createUserFile("names/" + name, name.toUtf8() + "\n");

    FtpSession s;
    ASSERT_TRUE(s.loginTo(*server));
    ASSERT_TRUE(s.ran("*list \\names\\", caList));
    const QStringList sent = s.sent();
    EXPECT_LT(sent.indexOf("opts utf8 on"), sent.indexOf("mlsd")) << sent.join(" | ").toStdString();
    EXPECT_GE(sent.indexOf("opts utf8 on"), 0);

    for (const QString &name : names) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_NE(s.buffer.find("\\names\\", 'f' + name), nullptr);
        ASSERT_TRUE(s.ran("*download \\names\\" + name + '*' + s.localInternal(name), caDownload));
        EXPECT_EQ(readFile(s.localPath(name)), name.toUtf8() + "\n");

        const QString back = "back " + name;
        ASSERT_TRUE(setModified(s.localPath(name), HostTime));
        ASSERT_TRUE(s.ran("*upload " + s.localInternal(name) + "*\\names\\" + back, caUpload));
        // The host's file system holds the name's UTF-8 bytes.
        const QString hostFile = server->userPath("names/" + back);
        EXPECT_EQ(readFile(hostFile), name.toUtf8() + "\n");
        EXPECT_TRUE(s.sent().contains("mfmt 20250304050607 /names/" + back));
        EXPECT_EQ(QFileInfo(hostFile).lastModified().toUTC(), HostTime);
    }
}

// A whole session over IPv6 to pyftpdlib on ::1: EPSV in passive mode, EPRT in active mode,
// the address written both ways.
TEST(TcFTPFeaturesIpv6, WholeSessionOverIpv6)
{
    PyftpdlibServer server;
    server.setListenAddress("::1");
    ASSERT_TRUE(server.start());
    const QByteArray content = testBytes(200000, 6);
    server.createFile("six/a.bin", content);

    for (const bool passive : {true, false}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        FtpSession s;
        s.ftp.setPassiveMode(passive);
        ASSERT_TRUE(s.loginTo(server, passive ? "[::1]" : "::1"));
        EXPECT_EQ(s.ftp.controlSocket()->PeerAddress(), "::1");
        ASSERT_TRUE(s.ran("*list \\six\\", caList));
        EXPECT_EQ(s.keys("\\six\\", true).value(0), "fa.bin 200000");
        ASSERT_TRUE(s.ran("*download \\six\\a.bin*" + s.localInternal("a.bin"), caDownload));
        EXPECT_EQ(readFile(s.localPath("a.bin")), content);
        const QString up = passive ? "up-p.bin" : "up-a.bin";
        ASSERT_TRUE(s.ran("*upload " + s.localInternal("a.bin") + "*\\six\\" + up, caUpload));
        EXPECT_EQ(readFile(server.path("six/" + up)), content);

        const QStringList sent = s.sent();
        EXPECT_EQ(sent.count("epsv"), passive ? 3 : 0);
        EXPECT_EQ(sent.filter(QRegularExpression("^eprt \\|2\\|::1\\|")).size(), passive ? 0 : 3);
        EXPECT_TRUE(sent.filter(QRegularExpression("^(pasv|port )")).isEmpty());
    }
}
