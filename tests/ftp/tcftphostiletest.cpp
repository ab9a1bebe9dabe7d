// The session against a host and a network that mean harm: a third party on the data port,
// replies without end, a host that babbles instead of answering, lines that are no replies.
#include "scriptedsession.h"

#include <QRegularExpression>

using ovtest::ScriptedServer;
using ovtest::waitFor;

namespace {

class TcFTPHostile : public TcFTPScripted
{
protected:
    QByteArray localBytes(const QString &name) const { return readAll(localNative(name)); }
    QStringList events(const char *kind) const
    {
        return server->events().filter(QRegularExpression(QStringLiteral("^") + kind + ' '));
    }
    // A second dialogue for the same session, once the first has ended.
    void reconnectTo(const QString &script)
    {
        if (ftp.State() != csNotConnected)
            ftp.Disconnect();
        probe.clear();
        connectTo(script);
    }
};

} // namespace

// Fault: the active-mode listener took the first caller from anywhere.

TEST_F(TcFTPHostile, ThirdPartyOnTheActiveDataPortIsTurnedAway)
{
    ftp.setPassiveMode(false);
    buffer.addEntry(QStringLiteral("\\"), QStringLiteral("fgot.bin"), QStringLiteral("3000*0"));
    ASSERT_TRUE(writeAll(localNative(QStringLiteral("up.bin")), ScriptedServer::pattern(7000)));
    // The stranger calls first each time: with bytes of its own for a download, to read the
    // file of an upload.
    loginTo(QStringLiteral(R"(
        expect type i
        reply 200 binary
        expect port 127,0,0,1,*
        reply 200 port ok
        expect retr /got.bin
        intrude forged bytes
        reply 150 opening
        data-send-pattern 3000
        reply 226 done
        expect port 127,0,0,1,*
        reply 200 port ok
        expect stor /up.bin
        reply 150 go ahead
        intrude
        data-recv up.bin
        reply 226 stored
    )"));
    runLine(QStringLiteral("*download \\got.bin*") + localInternal(QStringLiteral("got.bin")));
    ASSERT_TRUE(waitForDone(caDownload)) << server->log().toStdString();
    runLine(QStringLiteral("*upload ") + localInternal(QStringLiteral("up.bin"))
            + QStringLiteral("*\\up.bin"));
    ASSERT_TRUE(waitForDone(caUpload)) << server->log().toStdString();
    EXPECT_TRUE(server->waitForDone());

    EXPECT_TRUE(probe.lastDone(caDownload)->success);
    EXPECT_EQ(localBytes(QStringLiteral("got.bin")), ScriptedServer::pattern(3000));
    EXPECT_TRUE(probe.lastDone(caUpload)->success);
    EXPECT_EQ(server->receivedData(QStringLiteral("up.bin")), ScriptedServer::pattern(7000));
    // Both strangers were hung up on without a byte, and named.
    EXPECT_EQ(events("INTRUDER"), QStringList(2, QStringLiteral("INTRUDER received 0 closed")))
            << server->log().toStdString();
    ASSERT_EQ(probe.warnings.size(), 2);
    for (const QString &warning : std::as_const(probe.warnings))
        EXPECT_TRUE(warning.contains(QStringLiteral("127.0.0.2"))) << warning.toStdString();
    // The listener is not open on other local addresses.
    EXPECT_EQ(ftp.dataSocket()->ListenAddress(), QStringLiteral("127.0.0.1"));
}

TEST_F(TcFTPHostile, PassiveDataGoesOnlyToTheControlPeer)
{
    buffer.addEntry(QStringLiteral("\\"), QStringLiteral("fa.bin"), QStringLiteral("2000*0"));
    loginTo(QStringLiteral(R"(
        expect type i
        reply 200 binary
        expect pasv
        reply-pasv-lure 127.0.0.2
        expect retr /a.bin
        reply 150 opening
        data-send-pattern 2000
        reply 226 done
    )"));
    runLine(QStringLiteral("*download \\a.bin*") + localInternal(QStringLiteral("a.bin")));
    ASSERT_TRUE(waitForDone(caDownload)) << server->log().toStdString();
    EXPECT_TRUE(probe.lastDone(caDownload)->success);
    EXPECT_EQ(localBytes(QStringLiteral("a.bin")), ScriptedServer::pattern(2000));
    EXPECT_TRUE(events("LURED").isEmpty()) << server->log().toStdString();
}

// Fault: replies of any length were kept whole.

TEST_F(TcFTPHostile, LongRepliesAreShownInPartAndEndlessOnesEndTheSession)
{
    // 3,000 lines before the final one: the first 1,000 are reported, then a count.
    connectTo(QStringLiteral(R"(
        greet 220-welcome
        reply-repeat 2999 220-the archive's rules, once more
        reply 220 ready
        expect user ann
        reply 331 password please
        expect pass secret
        reply 230 logged in
    )"));
    ASSERT_TRUE(waitFor([&] { return ftp.LoggedIn() && ftp.State() == csIdle; }))
            << server->log().toStdString();
    QStringList received = probe.received();
    // ... and the refusal of FEAT after login.
    EXPECT_EQ(received.size(), TcFTP::MaxShownReplyLines + 5);
    EXPECT_EQ(received.at(TcFTP::MaxShownReplyLines),
              QStringLiteral("(2000 more lines of this reply not shown)"));
    EXPECT_EQ(received.at(TcFTP::MaxShownReplyLines + 1), QStringLiteral("220 ready"));

    // A reply that never ends: the session hangs up after a bounded amount, never logged in.
    reconnectTo(QStringLiteral(R"(
        greet 220-welcome
        reply-repeat forever 220-and there is more to say about the archive
    )"));
    ASSERT_TRUE(waitFor([&] { return ftp.State() == csNotConnected; }, 20000))
            << server->log().toStdString();
    EXPECT_FALSE(ftp.LoggedIn());
    ASSERT_EQ(probe.warnings.size(), 1);
    EXPECT_TRUE(probe.warnings.first().contains(QStringLiteral("1024 KiB")));
    ASSERT_TRUE(waitFor([&] { return !events("REPEAT").isEmpty(); }));
    EXPECT_TRUE(events("REPEAT").first().startsWith(QStringLiteral("REPEAT closed")));
    EXPECT_LE(probe.received().size(), TcFTP::MaxShownReplyLines);
}

// Fault: any line from the host counted as activity.

TEST_F(TcFTPHostile, OnlyProgressHoldsOffTheReplyDeadline)
{
    ftp.setReplyTimeout(2);
    // Data trickling in for longer than the deadline is progress: the download completes.
    buffer.addEntry(QStringLiteral("\\"), QStringLiteral("fslow.bin"), QStringLiteral("8000*0"));
    loginTo(QStringLiteral(R"(
        expect type i
        reply 200 binary
        expect pasv
        reply-pasv
        expect retr /slow.bin
        reply 150 opening
        data-trickle 500 8
        reply 226 done
        expect pwd
        reply-every 100 150 still thinking
    )"));
    runLine(QStringLiteral("*download \\slow.bin*") + localInternal(QStringLiteral("slow.bin")));
    ASSERT_TRUE(waitForDone(caDownload, 1)) << server->log().toStdString();
    EXPECT_TRUE(probe.lastDone(caDownload)->success)
            << server->log().toStdString() << probe.warnings.join('\n').toStdString();
    EXPECT_EQ(localBytes(QStringLiteral("slow.bin")), ScriptedServer::pattern(8000));
    EXPECT_TRUE(probe.warnings.isEmpty());

    // Preliminary replies and nothing else: the session gives up on the command.
    runLine(QStringLiteral("pwd"));
    ASSERT_TRUE(waitFor([&] { return ftp.State() == csNotConnected; }, 15000))
            << server->log().toStdString();
    ASSERT_EQ(probe.warnings.size(), 1);
    EXPECT_TRUE(probe.warnings.first().contains(QStringLiteral("PWD")));

    // Continuation lines that never reach the final line do not count either.
    reconnectTo(QStringLiteral(R"(
        greet 220-welcome
        reply-every 100 220-still welcoming you
    )"));
    ASSERT_TRUE(waitFor([&] { return ftp.State() == csNotConnected; }, 15000))
            << server->log().toStdString();
    ASSERT_EQ(probe.warnings.size(), 1);
    EXPECT_TRUE(probe.warnings.first().contains(QStringLiteral("greeting")));

    // Greetings repeated while the login waits are ignored, not answered with another USER.
    reconnectTo(QStringLiteral(R"(
        greet 220 ready
        expect user ann
        reply-every 100 220 ready again
    )"));
    ASSERT_TRUE(waitFor([&] { return ftp.State() == csNotConnected; }, 15000))
            << server->log().toStdString();
    EXPECT_EQ(server->commands().count("user ann"), 1);
}

// Fault: a reply without a three-digit code left the session waiting.

TEST_F(TcFTPHostile, LineWithoutAReplyCodeIsAnUnexpectedReply)
{
    connectTo(QStringLiteral(R"(
        greet hello, this is no FTP server
        silence 5000
    )"));
    ASSERT_TRUE(waitFor([&] { return ftp.State() == csNotConnected; }, 4000))
            << server->log().toStdString();
    ASSERT_EQ(probe.warnings.size(), 1);
    EXPECT_TRUE(probe.warnings.first().contains(QStringLiteral("unexpected reply")));
    ASSERT_EQ(probe.texts.size(), 1);
    EXPECT_FALSE(probe.texts.first().valid);

    // The same for a reply to a command, even when it looks final ("abc ...").
    reconnectTo(ScriptedLogin + QStringLiteral(R"(
        expect pwd
        reply abc is not a code
        silence 5000
    )"));
    ASSERT_TRUE(waitFor([&] { return ftp.LoggedIn() && ftp.State() == csIdle; }));
    runLine(QStringLiteral("pwd"));
    ASSERT_TRUE(waitFor([&] { return ftp.State() == csNotConnected; }, 4000))
            << server->log().toStdString();
    ASSERT_EQ(probe.warnings.size(), 1);
    EXPECT_TRUE(probe.warnings.first().contains(QStringLiteral("abc is not a code")));
}
