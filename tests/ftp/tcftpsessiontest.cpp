// The session object against a real vsftpd: connecting, the firewall route, keep-alive,
// folder commands and disconnecting.
#include "ftp/tcftp.h"
#include "sessionprobe.h"
#include "support/eventwait.h"
#include "support/vsftpdserver.h"

#include <QDir>

#include <gtest/gtest.h>

using ovtest::spinFor;
using ovtest::VsftpdServer;
using ovtest::waitFor;

namespace {

class TcFTPSessionTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        server = new VsftpdServer;
        const ::testing::AssertionResult started = server->start();
        if (!started) {
            startFailure = started.message();
            delete server;
            server = nullptr;
        }
    }
    static void TearDownTestSuite()
    {
        delete server;
        server = nullptr;
    }
    void SetUp() override { ASSERT_NE(server, nullptr) << startFailure; }

    ::TcFTPSession userSession() const
    {
        return ::TcFTPSession{QStringLiteral("127.0.0.1"),
                              QString::number(server->port()),
                              VsftpdServer::userName(),
                              VsftpdServer::password()};
    }

    static bool loggedInAndIdle(const TcFTP &ftp)
    {
        return ftp.LoggedIn() && ftp.State() == csIdle;
    }

    static VsftpdServer *server;
    static std::string startFailure;
};

VsftpdServer *TcFTPSessionTest::server = nullptr;
std::string TcFTPSessionTest::startFailure;

} // namespace

TEST_F(TcFTPSessionTest, StartsWithItsDefaults)
{
    TcFTP ftp;
    EXPECT_EQ(ftp.State(), csNotConnected);
    EXPECT_EQ(ftp.HostType(), csUnchecked);
    EXPECT_FALSE(ftp.PassiveMode());
    EXPECT_TRUE(ftp.ResumeTransfers());
    EXPECT_TRUE(ftp.AutoTransferMode());
    EXPECT_FALSE(ftp.QuitBeforeIdle());
    EXPECT_FALSE(ftp.LoggedIn());
    EXPECT_EQ(ftp.MaxSecsIdle(), 0);
    EXPECT_EQ(ftp.SecsIdle(), 0);
    EXPECT_EQ(ftp.SecsOnline(), 0);
    EXPECT_EQ(ftp.Idles(), 0);
    EXPECT_EQ(ftp.FirewallType(), 0);
    EXPECT_EQ(ftp.FirewallPort(), 0);
    EXPECT_EQ(ftp.IOPos(), -1);
    EXPECT_EQ(ftp.IOTransfered(), -1);
    EXPECT_EQ(ftp.IOSize(), -1);
    EXPECT_EQ(ftp.IOTime(), -1);
    EXPECT_TRUE(ftp.Host().isEmpty());
    EXPECT_TRUE(ftp.IOsrcFile().isEmpty());
    EXPECT_TRUE(ftp.ASCExtension().isEmpty());

    ftp.setASCExtension({QStringLiteral("txt"),
                         QStringLiteral("HTML"),
                         QStringLiteral("TXT"),
                         QStringLiteral("bat")});
    EXPECT_EQ(ftp.ASCExtension(),
              (QStringList{QStringLiteral("bat"), QStringLiteral("HTML"), QStringLiteral("txt")}));

    EXPECT_THROW(ftp.AddCommand(QString()), TcFTPException);
    try {
        ftp.AddCommand(QString());
    } catch (const TcFTPException &e) {
        EXPECT_EQ(e.number(), 32232);
        EXPECT_EQ(e.message(),
                  QStringLiteral("cFTPc Exception # 32232 Raised.\r\r\nPlease Report to Author."));
    }
    // Disconnect with nothing to disconnect.
    try {
        ftp.Disconnect();
        ADD_FAILURE() << "Disconnect while not connected raised nothing";
    } catch (const TcFTPException &e) {
        EXPECT_EQ(e.number(), 16631);
    }
}

TEST_F(TcFTPSessionTest, ConnectAwaitsTheGreetingAndRefusesASecondConnect)
{
    TcFTP ftp;
    SessionProbe probe(ftp);
    ftp.Connect(userSession());
    EXPECT_EQ(ftp.State(), csConnecting);
    EXPECT_EQ(ftp.Host(), QStringLiteral("127.0.0.1"));

    ASSERT_TRUE(waitFor([&] { return probe.stateAtGreeting >= 0; }));
    EXPECT_EQ(probe.stateAtGreeting, int(csWaitForReply));
    ASSERT_GE(probe.states.size(), 2);
    EXPECT_EQ(probe.states.at(0), csConnecting);
    EXPECT_EQ(probe.states.at(1), csWaitForReply);
    EXPECT_EQ(ftp.IP(), QStringLiteral("127.0.0.1"));

    const TcFTPStates before = ftp.State();
    const qsizetype statesBefore = probe.states.size();
    try {
        ftp.Connect(::TcFTPSession{QStringLiteral("other.invalid"),
                                   QStringLiteral("2121"),
                                   QStringLiteral("x"),
                                   QStringLiteral("y")});
        ADD_FAILURE() << "a second Connect raised nothing";
    } catch (const TcFTPException &e) {
        EXPECT_EQ(e.number(), 4222);
    }
    EXPECT_EQ(ftp.State(), before);
    EXPECT_EQ(probe.states.size(), statesBefore);
    EXPECT_EQ(ftp.Host(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(ftp.Port(), QString::number(server->port()));
    EXPECT_EQ(ftp.Username(), VsftpdServer::userName());

    ASSERT_TRUE(waitFor([&] { return loggedInAndIdle(ftp); })) << server->log().toStdString();
    EXPECT_EQ(probe.sent().value(0), QStringLiteral("user ") + VsftpdServer::userName());
    EXPECT_EQ(probe.sent().value(1), QStringLiteral("pass ") + VsftpdServer::password());
    EXPECT_EQ(ftp.Idles(), 1);
    // The greeting named no known server; the answer to FEAT after login settles that.
    EXPECT_EQ(ftp.HostType(), csUnknown);
    ftp.AddCommand(QStringLiteral("pwd"));
    ftp.Execute();
    ASSERT_TRUE(waitFor([&] { return loggedInAndIdle(ftp); }));
    EXPECT_EQ(ftp.HostType(), csUnknown);
    EXPECT_EQ(ftp.Idles(), 2);

    ftp.Disconnect();
    EXPECT_EQ(ftp.State(), csNotConnected);
    EXPECT_FALSE(ftp.LoggedIn());
    EXPECT_EQ(probe.states.last(), csNotConnected);
    EXPECT_EQ(ftp.IOPos(), -1);
    EXPECT_TRUE(ftp.CommandQueue().isEmpty());
    // The session can connect again once it is down, also through a name lookup.
    ::TcFTPSession byName = userSession();
    byName.Host = QStringLiteral("localhost");
    ftp.Connect(byName);
    ASSERT_TRUE(waitFor([&] { return loggedInAndIdle(ftp); }));
    EXPECT_EQ(ftp.IP(), QStringLiteral("localhost"));
    EXPECT_EQ(ftp.controlSocket()->PeerAddress(), QStringLiteral("127.0.0.1"));
    ftp.Disconnect();

    // A host that does not answer: the session ends up not connected, never stuck.
    ::TcFTPSession nobody = userSession();
    nobody.Port = QString::number(server->passivePortFirst() - 1);
    TcFTP refused;
    refused.Connect(nobody);
    ASSERT_TRUE(waitFor([&] { return refused.State() == csNotConnected; }));
}

TEST_F(TcFTPSessionTest, FirewallRouteKeepsTheRealHostName)
{
    for (int type : {1, 2}) {
        SCOPED_TRACE(type);
        TcFTP ftp;
        SessionProbe probe(ftp);
        ftp.setFirewallType(type);
        ftp.setFirewallHost(QStringLiteral("127.0.0.1"));
        ftp.setFirewallPort(server->port());
        ftp.Connect(::TcFTPSession{QStringLiteral("ftp.example.invalid"),
                                   QStringLiteral("21"),
                                   QStringLiteral("ann"),
                                   QStringLiteral("secret")});
        EXPECT_EQ(ftp.Host(), QStringLiteral("ftp.example.invalid"));
        EXPECT_EQ(ftp.Port(), QStringLiteral("21"));
        // The greeting can only come from vsftpd, the stand-in for the firewall.
        ASSERT_TRUE(waitFor([&] { return !probe.sent().isEmpty(); }));
        EXPECT_EQ(ftp.controlSocket()->PeerAddress(), QStringLiteral("127.0.0.1"));
        EXPECT_EQ(ftp.controlSocket()->Port(), QString::number(server->port()));
        EXPECT_EQ(ftp.Host(), QStringLiteral("ftp.example.invalid"));
        EXPECT_EQ(probe.sent().first(),
                  type == 1 ? QStringLiteral("user ann@ftp.example.invalid")
                            : QStringLiteral("open ftp.example.invalid"));
        if (ftp.State() != csNotConnected)
            ftp.Disconnect();
    }
}

TEST_F(TcFTPSessionTest, KeepAliveSendsNoopOnlyWithAMaximum)
{
    TcFTP quiet;
    SessionProbe quietProbe(quiet);
    quiet.setMaxSecsIdle(0);
    quiet.Connect(userSession());
    ASSERT_TRUE(waitFor([&] { return loggedInAndIdle(quiet); }));
    EXPECT_EQ(quiet.SecsOnline(), 0);

    TcFTP alive;
    SessionProbe aliveProbe(alive);
    alive.setMaxSecsIdle(1);
    alive.Connect(userSession());
    ASSERT_TRUE(waitFor([&] { return loggedInAndIdle(alive); }));

    // The NOOP goes out once a second of idleness has passed, and its reply makes the session
    // idle again with the idle count restarted.
    ASSERT_TRUE(waitFor([&] { return aliveProbe.sent().contains(QStringLiteral("noop")); }, 4000));
    ASSERT_TRUE(waitFor([&] { return alive.State() == csIdle; }));
    EXPECT_LE(alive.SecsIdle(), 1);
    EXPECT_TRUE(aliveProbe.received().last().startsWith(QLatin1String("200")));
    ASSERT_TRUE(
            waitFor([&] { return aliveProbe.sent().count(QStringLiteral("noop")) >= 2; }, 4000));

    spinFor(1200);
    EXPECT_FALSE(quietProbe.sent().contains(QStringLiteral("noop")));
    EXPECT_GE(quiet.SecsIdle(), 2);
    EXPECT_GE(quiet.SecsOnline(), 2);
    EXPECT_EQ(quiet.State(), csIdle);
    quiet.Disconnect();
    alive.Disconnect();
    EXPECT_EQ(alive.SecsOnline(), 0);
}

TEST_F(TcFTPSessionTest, FolderCommandsReportTheirResults)
{
    server->createFile(VsftpdServer::Tree::UserHome, QStringLiteral("folders/gone.txt"), "x");
    TcFTP ftp;
    SessionProbe probe(ftp);
    ftp.Connect(userSession());
    ASSERT_TRUE(waitFor([&] { return loggedInAndIdle(ftp); }));

    ftp.AddCommand(QStringLiteral("pwd"));
    ftp.AddCommand(QStringLiteral("mkd \\folders\\new\\"));
    ftp.AddCommand(QStringLiteral("cwd \\folders\\new\\"));
    ftp.AddCommand(QStringLiteral("cwd \\no such folder\\"));
    ftp.Execute();
    ASSERT_TRUE(waitFor([&] { return ftp.State() == csIdle; }));
    EXPECT_EQ(ftp.PathType(), 0);
    EXPECT_EQ(ftp.Folder(), QStringLiteral("\\folders\\new\\"));
    const QStringList sent = probe.sent();
    EXPECT_TRUE(sent.contains(QStringLiteral("mkd /folders/new")));
    EXPECT_TRUE(sent.contains(QStringLiteral("cwd /folders/new")));
    ASSERT_EQ(probe.actions.size(), 3);
    EXPECT_EQ(probe.actions.at(0).action, caMakeFolder);
    EXPECT_EQ(probe.actions.at(0).fileFolder, QStringLiteral("\\folders\\new\\"));
    EXPECT_TRUE(probe.actions.at(0).success);
    EXPECT_EQ(probe.actions.at(1).action, caChangeFolder);
    EXPECT_TRUE(probe.actions.at(1).success);
    EXPECT_EQ(probe.actions.at(2).action, caChangeFolder);
    EXPECT_FALSE(probe.actions.at(2).success);
    EXPECT_EQ(probe.actions.at(2).fileFolder, QStringLiteral("\\folders\\new\\"));
    EXPECT_TRUE(QDir(server->path(VsftpdServer::Tree::UserHome, QStringLiteral("folders/new")))
                        .exists());

    probe.actions.clear();
    ftp.AddCommand(QStringLiteral("dele \\folders\\gone.txt"));
    ftp.AddCommand(QStringLiteral("dele \\folders\\gone.txt"));
    ftp.AddCommand(QStringLiteral("rmd \\folders\\new\\"));
    ftp.Execute();
    ASSERT_TRUE(waitFor([&] { return ftp.State() == csIdle && probe.actions.size() == 3; }));
    EXPECT_EQ(probe.actions.at(0).action, caDelete);
    EXPECT_EQ(probe.actions.at(0).fileFolder, QStringLiteral("\\folders\\gone.txt"));
    EXPECT_TRUE(probe.actions.at(0).success);
    EXPECT_FALSE(probe.actions.at(1).success);
    EXPECT_EQ(probe.actions.at(2).action, caRemoveFolder);
    EXPECT_TRUE(probe.actions.at(2).success);
    EXPECT_FALSE(QFile::exists(
            server->path(VsftpdServer::Tree::UserHome, QStringLiteral("folders/gone.txt"))));

    // Replies to commands the session does not track are passed on as not expected.
    probe.texts.clear();
    ftp.AddCommand(QStringLiteral("syst"));
    ftp.Execute();
    ASSERT_TRUE(waitFor([&] { return ftp.State() == csIdle; }));
    ASSERT_FALSE(probe.received().isEmpty());
    EXPECT_FALSE(probe.texts.last().valid);
    ftp.Disconnect();
}

TEST_F(TcFTPSessionTest, QuitBeforeIdleEndsTheSession)
{
    TcFTP ftp;
    SessionProbe probe(ftp);
    ftp.setQuitBeforeIdle(true);
    ftp.setLoginScript(QStringLiteral("pwd\r\nnoop"));
    ftp.Connect(userSession());
    ASSERT_TRUE(waitFor([&] { return ftp.State() == csNotConnected; }));
    // The last script line has no CR LF and still runs.
    EXPECT_EQ(probe.sent().mid(2),
              (QStringList{QStringLiteral("feat"), QStringLiteral("pwd"), QStringLiteral("noop")}));
    EXPECT_FALSE(probe.states.contains(csIdle));
}
