// The session against a real vsftpd: connecting, keep-alive, folder commands, quitting.
#include "support/eventwait.h"
#include "support/ftpsession.h"
#include "support/sharedftpserver.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace ovtest;
using namespace Qt::StringLiterals;

namespace {

class TcFTPSessionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(server = sharedFtpServer(FtpTestServer::Kind::Vsftpd), nullptr);
    }
    FtpTestServer *server = nullptr;
};

} // namespace

TEST_F(TcFTPSessionTest, ConnectAwaitsTheGreetingAndRefusesASecondConnect)
{
    FtpSession s;
    EXPECT_THROW(s.ftp.Disconnect(), TcFTPException); // nothing to disconnect
    EXPECT_THROW(s.ftp.AddCommand(QString()), TcFTPException);
    int greetingState = -1;
    QObject::connect(&s.ftp, &TcFTP::textIO, &s.ftp, [&](const QString &line, bool in, bool) {
        if (in && line.startsWith("220"_L1) && greetingState < 0)
            greetingState = s.ftp.State();
    });
    s.connectTo(server->port(), server->loginUser(), server->loginPassword());
    EXPECT_EQ(s.ftp.State(), csConnecting);
    ASSERT_TRUE(waitFor([&] { return greetingState >= 0; }));
    EXPECT_EQ(greetingState, int(csWaitForReply));
    EXPECT_EQ(s.states.mid(0, 2), (QList<TcFTPStates>{csConnecting, csWaitForReply}));

    // A second Connect changes nothing.
    const qsizetype statesBefore = s.states.size();
    EXPECT_THROW(s.ftp.Connect(TcFTPSession{"other.invalid", "2121", "x", "y"}), TcFTPException);
    EXPECT_EQ(s.states.size(), statesBefore);
    EXPECT_EQ(s.ftp.Host(), "127.0.0.1");
    EXPECT_EQ(s.ftp.Port(), QString::number(server->port()));

    ASSERT_TRUE(s.waitLoggedIn()) << server->log().toStdString();
    EXPECT_EQ(s.sent().mid(0, 2),
              (QStringList{"user " + server->loginUser(), "pass " + server->loginPassword()}));
    EXPECT_EQ(s.ftp.Idles(), 1);
    ASSERT_TRUE(s.runAndWait("pwd"));
    EXPECT_EQ(s.ftp.Idles(), 2);

    s.ftp.Disconnect();
    EXPECT_EQ(s.ftp.State(), csNotConnected);
    EXPECT_FALSE(s.ftp.LoggedIn());
    EXPECT_EQ(s.ftp.IOPos(), -1);
    // A wrong password is refused, and the session never becomes idle.
    FtpSession wrong;
    wrong.connectTo(server->port(), server->loginUser(), "wrong-password");
    ASSERT_TRUE(waitFor([&] { return wrong.ftp.State() == csNotConnected; }, 8000));
    EXPECT_TRUE(wrong.received().last().startsWith("530"_L1));
    EXPECT_FALSE(wrong.states.contains(csIdle) || wrong.ftp.LoggedIn());
}

TEST_F(TcFTPSessionTest, KeepAliveSendsNoopOnlyWithAMaximum)
{
    FtpSession quiet, alive;
    alive.ftp.setMaxSecsIdle(1);
    ASSERT_TRUE(quiet.loginTo(*server) && alive.loginTo(*server));
    // The NOOP goes out once a second of idleness has passed, and again after its reply.
    ASSERT_TRUE(waitFor([&] { return alive.sent().count("noop") >= 2; }, 5000));
    EXPECT_TRUE(alive.received().last().startsWith("200"_L1));
    EXPECT_FALSE(quiet.sent().contains("noop"));
    EXPECT_GE(quiet.ftp.SecsIdle(), 2);
    EXPECT_GE(quiet.ftp.SecsOnline(), 2);
}

TEST_F(TcFTPSessionTest, FolderCommandsReportTheirResults)
{
    server->createUserFile("folders/gone.txt", "x");
    FtpSession s;
    ASSERT_TRUE(s.loginTo(*server));
    // clang-format off
    for (const char *line : {"pwd",
                             "mkd \\folders\\new\\", "cwd \\folders\\new\\",
                             "cwd \\no such folder\\", "dele \\folders\\gone.txt",
                             "dele \\folders\\gone.txt", "rmd \\folders\\new\\"})
        ASSERT_TRUE(s.runAndWait(line));
    // clang-format on
    EXPECT_EQ(s.sent().mid(3, 3), (QStringList{"pwd", "mkd /folders/new", "cwd /folders/new"}));
    const char *const names[]
            = {"list", "download", "upload", "rmd", "dele", "mkd", "buffer", "cwd"};
    QStringList done;
    for (const FtpSession::Done &d : s.actions)
        done << u"%1 %2 %3"_s.arg(names[d.action], d.fileFolder, d.success ? "ok" : "failed");
    // clang-format off
    EXPECT_EQ(done,
              (QStringList{"mkd \\folders\\new\\ ok", "cwd \\folders\\new\\ ok",
              "cwd \\folders\\new\\ failed", "dele \\folders\\gone.txt ok",
              "dele \\folders\\gone.txt failed", "rmd \\folders\\new\\ ok"}));
    // clang-format on
    EXPECT_FALSE(QFileInfo::exists(server->userPath("folders/gone.txt")));
    EXPECT_FALSE(QFileInfo::exists(server->userPath("folders/new")));
    // Replies to commands the session does not track are passed on as not expected.
    ASSERT_TRUE(s.runAndWait("syst"));
    EXPECT_FALSE(s.texts.last().valid);
}

TEST_F(TcFTPSessionTest, QuitBeforeIdleEndsTheSession)
{
    FtpSession s;
    s.ftp.setQuitBeforeIdle(true);
    s.ftp.setASCExtension({"txt", "HTML", "TXT", "bat"});
    EXPECT_EQ(s.ftp.ASCExtension(), (QStringList{"bat", "HTML", "txt"})); // sorted, no duplicates
    s.ftp.setLoginScript("pwd\r\nnoop");
    s.connectTo(server->port(), server->loginUser(), server->loginPassword());
    ASSERT_TRUE(waitFor([&] { return s.ftp.State() == csNotConnected; }));
    // The last script line has no CR LF and still runs.
    EXPECT_EQ(s.sent().mid(2), (QStringList{"feat", "pwd", "noop"}));
    EXPECT_FALSE(s.states.contains(csIdle));
}
