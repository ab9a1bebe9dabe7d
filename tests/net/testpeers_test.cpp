// The test peers themselves: each server starts, logs in and transfers, and the scripted
// server plays its dialogue and records exactly what it received.
#include "support/eventwait.h"
#include "support/ftptestserver.h"
#include "support/pyftpdlibserver.h"
#include "support/rawftpclient.h"
#include "support/scriptedserver.h"
#include "support/vsftpdserver.h"

#include <QFile>
#include <QHostAddress>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <memory>

using namespace ovtest;

namespace {
QByteArray fileContent(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}
} // namespace

class TestPeersLogin : public ::testing::TestWithParam<FtpTestServer::Kind>
{};

TEST_P(TestPeersLogin, UserLogsInAndTransfersActiveAndPassive)
{
    const auto server = FtpTestServer::create(GetParam());
    ASSERT_TRUE(server->start());
    server->createUserFile("pub/own.bin", ScriptedServer::pattern(70000));

    RawFtpClient refused;
    ASSERT_EQ(refused.connectToPort(server->port()), 220);
    EXPECT_EQ(refused.login(server->loginUser().toUtf8(), "wrong"), 530);

    RawFtpClient client;
    ASSERT_EQ(client.connectToPort(server->port()), 220);
    ASSERT_EQ(client.login(server->loginUser().toUtf8(), server->loginPassword().toUtf8()), 230)
            << server->log().toStdString();
    int code = 0;
    EXPECT_EQ(client.retrievePassive("/pub/own.bin", &code), ScriptedServer::pattern(70000));
    EXPECT_EQ(code, 226);
    EXPECT_EQ(client.retrieveActive("/pub/own.bin", &code), ScriptedServer::pattern(70000));
    EXPECT_EQ(code, 226) << server->log().toStdString();
    EXPECT_EQ(client.storePassive("/pub/up.txt", "uploaded"), 226);
    EXPECT_EQ(fileContent(server->userPath("pub/up.txt")), "uploaded");
    EXPECT_EQ(server->commands().filter(QRegularExpression("^(RETR|STOR) ")),
              (QStringList{"RETR /pub/own.bin", "RETR /pub/own.bin", "STOR /pub/up.txt"}));
}

INSTANTIATE_TEST_SUITE_P(Servers,
                         TestPeersLogin,
                         ::testing::Values(FtpTestServer::Kind::Vsftpd,
                                           FtpTestServer::Kind::Pyftpdlib),
                         FtpTestServer::testName);

TEST(TestPeers, AnonymousLoginOnVsftpdAndPyftpdlib)
{
    VsftpdServer vsftpd;
    ASSERT_TRUE(vsftpd.start());
    vsftpd.createFile(VsftpdServer::Tree::AnonymousRoot, "pub/hello.txt", "hello anonymous\r\n");
    RawFtpClient client;
    ASSERT_EQ(client.connectToPort(vsftpd.port()), 220);
    ASSERT_EQ(client.login("anonymous", "test@"), 230) << vsftpd.log().toStdString();
    int code = 0;
    EXPECT_EQ(client.retrievePassive("/pub/hello.txt", &code), "hello anonymous\r\n");
    EXPECT_EQ(code, 226);
    EXPECT_EQ(client.storePassive("/pub/up.txt", "refused"), 553); // the root is read-only
    EXPECT_EQ(client.storePassive("/upload/up.txt", "uploaded"), 226);
    EXPECT_EQ(fileContent(vsftpd.path(VsftpdServer::Tree::Upload, "up.txt")), "uploaded");

    PyftpdlibServer pyftpd;
    ASSERT_TRUE(pyftpd.start());
    pyftpd.createFile("pub/hello.txt", "hello");
    RawFtpClient other;
    ASSERT_EQ(other.connectToPort(pyftpd.port()), 220);
    ASSERT_EQ(other.login("anonymous", "test@"), 230) << pyftpd.log().toStdString();
    EXPECT_EQ(other.retrievePassive("/pub/hello.txt", &code), "hello");
    EXPECT_EQ(code, 226);
    EXPECT_EQ(other.storePassive("/pub/up.txt", "uploaded"), 226);
    EXPECT_EQ(fileContent(pyftpd.path("pub/up.txt")), "uploaded");
}

TEST(TestPeers, ScriptedServerPlaysDialogueAndRecordsTranscript)
{
    ScriptedServer server(R"(
        default NOOP 200 fine
        default TYPE 200 ok
        greet 220 hello
        expect USER *
        reply-split 331 need|pass
        expect PASS *
        reply 230- Log in with care
        reply 230 ok
        expect PASV
        reply-pasv 10.1.2.3
        expect RETR a.txt
        reply 150 opening
        data-close-early 5000
        reply 426 aborted
    )");
    ASSERT_TRUE(server.start());

    RawFtpClient client;
    ASSERT_EQ(client.connectToPort(server.port()), 220);
    EXPECT_EQ(client.command("NOOP"), 200);
    EXPECT_EQ(client.login("ann", "secret"), 230);
    EXPECT_EQ(client.lastReply(), (QList<QByteArray>{"230- Log in with care", "230 ok"}));
    int code = 0;
    EXPECT_EQ(client.retrievePassive("a.txt", &code), ScriptedServer::pattern(5000));
    EXPECT_EQ(code, 426);
    EXPECT_TRUE(server.waitForDone());
    EXPECT_EQ(server.events().filter("SENT 227 Entering Passive Mode (10,1,2,3,").size(), 1)
            << server.log().toStdString();

    client.socket().write("NOOP\r\nRETR \xe9t\xe9\r\nPART");
    EXPECT_EQ(client.readReply(), 200);
    EXPECT_EQ(client.readReply(), 502);
    EXPECT_EQ(server.extraCommands(), QStringList{"RETR \\xe9t\\xe9"});
    EXPECT_EQ(server.transcript(),
              "NOOP\r\nUSER ann\r\nPASS secret\r\nTYPE I\r\nPASV\r\nRETR a.txt\r\nNOOP\r\n"
              "RETR \xe9t\xe9\r\nPART");
    EXPECT_EQ(server.commands(),
              (QList<QByteArray>{"NOOP",
                                 "USER ann",
                                 "PASS secret",
                                 "TYPE I",
                                 "PASV",
                                 "RETR a.txt",
                                 "NOOP",
                                 "RETR \xe9t\xe9"}));
    client.socket().disconnectFromHost();
    EXPECT_TRUE(server.waitForClientClosed());
}

TEST(TestPeers, ScriptedServerReceivesActiveDataAndReportsMismatch)
{
    ScriptedServer server(R"(
        greet 220 hello
        default TYPE 200 ok
        expect PORT *
        reply 200 ok
        expect STOR up.bin
        reply 150 go
        data-recv
        reply 226 stored
        expect PORT *
        reply 200 ok
        expect RETR list.txt
        reply 150 here
        data-send <<END
        drwxr-xr-x   2 ftp ftp 4096 Jan 01  2024 pub
          indented \n kept
        END
        reply 226 sent
        expect QUIT
        reply 221 bye
    )");
    ASSERT_TRUE(server.start());

    RawFtpClient client;
    ASSERT_EQ(client.connectToPort(server.port()), 220);
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost, 0));
    const quint16 port = listener.serverPort();
    EXPECT_EQ(client.command(QStringLiteral("PORT 127,0,0,1,%1,%2")
                                     .arg(port / 256)
                                     .arg(port % 256)
                                     .toLatin1()),
              200);
    EXPECT_EQ(client.command("STOR up.bin"), 150);
    ASSERT_TRUE(waitFor([&] { return listener.hasPendingConnections(); }));
    std::unique_ptr<QTcpSocket> data(listener.nextPendingConnection());
    data->write(ScriptedServer::pattern(100000));
    ASSERT_TRUE(waitFor([&] { return data->bytesToWrite() == 0; }));
    data->disconnectFromHost();
    EXPECT_EQ(client.readReply(), 226);
    EXPECT_EQ(server.receivedData(), ScriptedServer::pattern(100000));

    int code = 0;
    EXPECT_EQ(client.retrieveActive("list.txt", &code),
              "drwxr-xr-x   2 ftp ftp 4096 Jan 01  2024 pub\r\n  indented \\n kept\r\n");
    EXPECT_EQ(code, 226);

    EXPECT_EQ(client.command("HELP"), 502);
    EXPECT_FALSE(server.waitForDone(200));
    EXPECT_EQ(server.failure(), "line 19: expected 'QUIT' but got 'HELP'");
}
