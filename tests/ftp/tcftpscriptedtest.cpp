// The session against the scripted server: exact reply sequences, odd replies and faults,
// checked against the exact transcript of what the session sent.
#include "scriptedsession.h"

#include <QFile>
#include <QFileInfo>

using ovtest::ScriptedServer;
using ovtest::spinFor;
using ovtest::waitFor;

TEST_F(TcFTPScripted, MultiLineWelcomeWithSpacedTextStillLogsIn)
{
    ftp.setLoginScript(QStringLiteral("pwd\r\n"));
    connectTo(QStringLiteral(R"(
        greet 220-Serv-U FTP Server v6.4 for WinSock ready
        reply 220 hello
        expect user ann
        reply 331 password please
        expect pass secret
        reply 230-Welcome to the archive
        reply Log in with care
        reply 230-more text
        reply 230 Login successful.
        expect pwd
        reply 257 "/pub/incoming" is the current directory
    )"));
    ASSERT_TRUE(waitFor([&] { return ftp.LoggedIn() && ftp.State() == csIdle; }))
            << server->log().toStdString();
    EXPECT_TRUE(server->waitForDone());
    EXPECT_EQ(ftp.HostType(), csServU);
    EXPECT_EQ(ftp.Folder(), QStringLiteral("\\pub\\incoming\\"));
    EXPECT_EQ(ftp.PathType(), 0);
    EXPECT_EQ(ftp.InCmd(), QStringLiteral("257"));
    // Every line was reported once, and valid.
    const QStringList received = probe.received();
    EXPECT_EQ(received.count(QStringLiteral("Log in with care")), 1);
    for (const SessionProbe::Text &text : probe.texts)
        EXPECT_TRUE(text.valid) << text.line.toStdString();
    EXPECT_EQ(commands(), (QList<QByteArray>{"user ann", "pass secret", "feat", "pwd"}));
}

TEST_F(TcFTPScripted, ReplySplitOverTwoNotificationsIsOneLine)
{
    connectTo(QStringLiteral(R"(
        greet 220 ready
        expect user ann
        reply-split 331 pass|word please
        expect pass secret
        reply-split 230 logged|in
    )"));
    ASSERT_TRUE(waitFor([&] { return ftp.LoggedIn() && ftp.State() == csIdle; }))
            << server->log().toStdString();
    EXPECT_EQ(probe.received(),
              (QStringList{QStringLiteral("220 ready"),
                           QStringLiteral("331 password please"),
                           QStringLiteral("230 loggedin"),
                           QStringLiteral("500 FEAT not understood")}));
}

TEST_F(TcFTPScripted, UnexpectedRepliesAreMarkedAndLateGreetingIgnored)
{
    ftp.setLoginScript(QStringLiteral("site one\r\nsite two\r\n"));
    loginTo(QStringLiteral(R"(
        expect site one
        reply 500 unknown command
        expect site two
        reply 200 fine
        sleep 100
        reply 220 war-ftpd here again
        sleep 300
    )"));
    EXPECT_TRUE(server->waitForDone());
    spinFor(300);
    auto validOf = [&](const QString &line) {
        for (const SessionProbe::Text &text : probe.texts) {
            if (text.fromHost && text.line == line)
                return int(text.valid);
        }
        return -1;
    };
    EXPECT_EQ(validOf(QStringLiteral("500 unknown command")), 1);
    EXPECT_EQ(validOf(QStringLiteral("200 fine")), 0);
    EXPECT_EQ(validOf(QStringLiteral("220 war-ftpd here again")), 0);
    // No second login, and the greeting after login does not change the host type.
    EXPECT_EQ(commands().count("user ann"), 1);
    EXPECT_EQ(ftp.HostType(), csUnknown);
    EXPECT_EQ(ftp.State(), csIdle);
}

TEST_F(TcFTPScripted, FirewallTypeOneSendsUserAtHost)
{
    ftp.setFirewallType(1);
    server = std::make_unique<ScriptedServer>(QStringLiteral(R"(
        greet 220 firewall ready
        expect user ann@ftp.real.example
        reply 331 password please
        expect pass secret
        reply 230 logged in
    )"));
    ASSERT_TRUE(server->start());
    ftp.setFirewallHost(QStringLiteral("127.0.0.1"));
    ftp.setFirewallPort(server->port());
    ftp.Connect(::TcFTPSession{QStringLiteral("ftp.real.example"),
                               QStringLiteral("21"),
                               QStringLiteral("ann"),
                               QStringLiteral("secret")});
    ASSERT_TRUE(waitFor([&] { return ftp.LoggedIn() && ftp.State() == csIdle; }))
            << server->log().toStdString();
    EXPECT_TRUE(server->waitForDone());
    EXPECT_EQ(ftp.Host(), QStringLiteral("ftp.real.example"));
}

TEST_F(TcFTPScripted, FirewallTypeTwoOpensTheHostThenLogsIn)
{
    ftp.setFirewallType(2);
    server = std::make_unique<ScriptedServer>(QStringLiteral(R"(
        greet 220 proxy ready
        expect open ftp.real.example
        reply 220 ftp.real.example ready
        expect user ann
        reply 331 password please
        expect pass secret
        reply 230 logged in
    )"));
    ASSERT_TRUE(server->start());
    ftp.setFirewallHost(QStringLiteral("127.0.0.1"));
    ftp.setFirewallPort(server->port());
    ftp.Connect(::TcFTPSession{QStringLiteral("ftp.real.example"),
                               QStringLiteral("21"),
                               QStringLiteral("ann"),
                               QStringLiteral("secret")});
    ASSERT_TRUE(waitFor([&] { return ftp.LoggedIn() && ftp.State() == csIdle; }))
            << server->log().toStdString();
    EXPECT_TRUE(server->waitForDone());
    EXPECT_EQ(commands(),
              (QList<QByteArray>{"open ftp.real.example", "user ann", "pass secret", "feat"}));
}

TEST_F(TcFTPScripted, ServiceClosingMidSessionDisconnects)
{
    loginTo(QStringLiteral(R"(
        expect pwd
        reply 421 Service not available, closing control connection
        expect-close
    )"));
    runLine(QStringLiteral("pwd"));
    ASSERT_TRUE(waitFor([&] { return ftp.State() == csNotConnected; }));
    EXPECT_TRUE(server->waitForDone());
    EXPECT_FALSE(ftp.LoggedIn());
    EXPECT_EQ(probe.texts.last().line.left(3), QStringLiteral("421"));
    EXPECT_TRUE(probe.texts.last().valid);
}

TEST_F(TcFTPScripted, RenameSendsFullSlashPaths)
{
    loginTo(QStringLiteral(R"(
        expect rnfr /pub/a.txt
        reply 350 ready for the new name
        expect rnto /pub/b.txt
        reply 250 renamed
        expect rnfr /pub/x.txt
        reply 550 no such file
        expect noop
        reply 200 ok
    )"));
    runLine(QStringLiteral("*rename \\pub\\a.txt*b.txt"));
    ASSERT_TRUE(waitFor([&] { return ftp.State() == csIdle && commands().size() >= 4; }));
    runLine(QStringLiteral("*rename \\pub\\x.txt*y.txt"));
    runLine(QStringLiteral("noop"));
    EXPECT_TRUE(server->waitForDone()) << server->log().toStdString();
    ASSERT_TRUE(waitFor([&] { return ftp.State() == csIdle; }));
    EXPECT_EQ(commands().mid(3),
              (QList<QByteArray>{"rnfr /pub/a.txt", "rnto /pub/b.txt", "rnfr /pub/x.txt", "noop"}));
}

TEST_F(TcFTPScripted, UnbufferedDownloadFailsAndTheQueueGoesOn)
{
    loginTo(QStringLiteral(R"(
        expect noop
        reply 200 ok
    )"));
    ftp.AddCommand(QStringLiteral("*download \\not\\buffered.bin*")
                   + localInternal(QStringLiteral("buffered.bin")));
    ftp.AddCommand(QStringLiteral("noop"));
    try {
        ftp.Execute();
        ADD_FAILURE() << "Execute raised nothing";
    } catch (const TcFTPException &e) {
        EXPECT_EQ(e.number(), 1241);
    }
    ASSERT_EQ(probe.doneCount(caDownload), 1);
    EXPECT_FALSE(probe.lastDone(caDownload)->success);
    EXPECT_FALSE(ftp.Downloading());
    ASSERT_TRUE(waitFor([&] { return ftp.State() == csIdle; }));
    EXPECT_TRUE(server->waitForDone());
    EXPECT_EQ(commands().mid(3), QList<QByteArray>{"noop"});

    // A folder in the buffer without the file fails the same way.
    buffer.addEntry(QStringLiteral("\\pub\\"), QStringLiteral("fother.bin"), QStringLiteral("5*0"));
    runLine(QStringLiteral("*download \\pub\\missing.bin*") + localInternal(QStringLiteral("m")));
    EXPECT_EQ(executeErrors, QList<int>{1241});
    EXPECT_EQ(probe.doneCount(caDownload), 2);
    EXPECT_EQ(ftp.State(), csIdle);
    EXPECT_FALSE(QFile::exists(localNative(QStringLiteral("buffered.bin"))));
}

TEST_F(TcFTPScripted, UnknownOwnCommandsAreReportedAndSkipped)
{
    loginTo(QStringLiteral(R"(
        expect noop
        reply 200 ok
    )"));
    ftp.AddCommand(QStringLiteral("*bogus thing"));
    ftp.AddCommand(QStringLiteral("*download only-one-field"));
    ftp.AddCommand(QStringLiteral("*rename \\pub\\a.txt"));
    ftp.AddCommand(QStringLiteral("*reload"));
    ftp.AddCommand(QStringLiteral("noop"));
    ftp.Execute();
    EXPECT_EQ(probe.unknownCommands,
              (QStringList{QStringLiteral("*bogus thing"),
                           QStringLiteral("*download only-one-field"),
                           QStringLiteral("*rename \\pub\\a.txt"),
                           QStringLiteral("*reload")}));
    EXPECT_TRUE(server->waitForDone());
    ASSERT_TRUE(waitFor([&] { return ftp.State() == csIdle; }));
}

TEST_F(TcFTPScripted, PassiveAddressIsIgnoredAnd250EndsTheTransfer)
{
    buffer.addEntry(QStringLiteral("\\pub\\"), QStringLiteral("fa.bin"), QStringLiteral("3000*0"));
    loginTo(QStringLiteral(R"(
        expect type i
        reply 200 binary
        expect pasv
        reply-pasv 10.9.9.9
        expect retr /pub/a.bin
        reply 125 data connection already open
        data-send-pattern 3000
        reply 250 transfer done
    )"));
    runLine(QStringLiteral("*download \\pub\\a.bin*") + localInternal(QStringLiteral("a.bin")));
    ASSERT_TRUE(waitForDone(caDownload)) << server->log().toStdString();
    EXPECT_TRUE(server->waitForDone());
    EXPECT_TRUE(probe.lastDone(caDownload)->success);
    EXPECT_EQ(probe.lastDone(caDownload)->size, 3000);
    EXPECT_EQ(ftp.dataSocket()->IP(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(readAll(localNative(QStringLiteral("a.bin"))), ScriptedServer::pattern(3000));
}

TEST_F(TcFTPScripted, ActiveModeAnnouncesTheListener)
{
    ftp.setPassiveMode(false);
    buffer.addEntry(QStringLiteral("\\"), QStringLiteral("f1"), QStringLiteral("5000*0"));
    loginTo(QStringLiteral(R"(
        expect type i
        reply 200 binary
        expect port 127,0,0,1,*
        reply 200 port ok
        expect retr /1
        reply 150 opening
        data-send-pattern 5000
        reply 226 done
    )"));
    runLine(QStringLiteral("*download \\1*") + localInternal(QStringLiteral("one")));
    ASSERT_TRUE(waitForDone(caDownload)) << server->log().toStdString();
    EXPECT_TRUE(server->waitForDone());
    EXPECT_TRUE(probe.lastDone(caDownload)->success);
    EXPECT_EQ(readAll(localNative(QStringLiteral("one"))), ScriptedServer::pattern(5000));
    // "retr /1": a one-character name keeps no stray "/".
    EXPECT_EQ(commands().last(), QByteArray("retr /1"));
}

TEST_F(TcFTPScripted, EarlyDataCloseAnd426FailKeepingThePartialFile)
{
    buffer.addEntry(QStringLiteral("\\pub\\"), QStringLiteral("fa.bin"), QStringLiteral("5000*0"));
    loginTo(QStringLiteral(R"(
        expect type i
        reply 200 binary
        expect pasv
        reply-pasv
        expect retr /pub/a.bin
        reply 150 opening
        data-close-early 1000
        sleep 100
        reply 426 connection closed; transfer aborted
    )"));
    runLine(QStringLiteral("*download \\pub\\a.bin*") + localInternal(QStringLiteral("a.bin")));
    ASSERT_TRUE(waitForDone(caDownload)) << server->log().toStdString();
    EXPECT_FALSE(probe.lastDone(caDownload)->success);
    EXPECT_EQ(readAll(localNative(QStringLiteral("a.bin"))), ScriptedServer::pattern(1000));
    EXPECT_FALSE(ftp.Downloading());
    EXPECT_EQ(ftp.IOPos(), -1);
}

TEST_F(TcFTPScripted, RefusedRetrLeavesTheLocalFileUntouched)
{
    const QByteArray precious = "precious local bytes";
    ASSERT_TRUE(writeAll(localNative(QStringLiteral("a.bin")), precious));
    buffer.addEntry(QStringLiteral("\\pub\\"), QStringLiteral("fa.bin"), QStringLiteral("5000*0"));
    loginTo(QStringLiteral(R"(
        expect type i
        reply 200 binary
        expect pasv
        reply-pasv
        expect rest 20
        reply 350 restarting
        expect retr /pub/a.bin
        reply 550 permission denied
        expect pasv
        reply-pasv
        expect retr /pub/a.bin
        reply 550 permission denied
    )"));
    runLine(QStringLiteral("*download \\pub\\a.bin*") + localInternal(QStringLiteral("a.bin")));
    ASSERT_TRUE(waitForDone(caDownload)) << server->log().toStdString();
    EXPECT_FALSE(probe.lastDone(caDownload)->success);
    EXPECT_EQ(readAll(localNative(QStringLiteral("a.bin"))), precious);

    // Without resuming the file would be replaced from the start; a refusal still keeps it.
    ftp.setResumeTransfers(false);
    runLine(QStringLiteral("*download \\pub\\a.bin*") + localInternal(QStringLiteral("a.bin")));
    ASSERT_TRUE(waitForDone(caDownload, 2)) << server->log().toStdString();
    EXPECT_TRUE(server->waitForDone());
    EXPECT_FALSE(probe.lastDone(caDownload)->success);
    EXPECT_EQ(readAll(localNative(QStringLiteral("a.bin"))), precious);
}

TEST_F(TcFTPScripted, RefusedRestFetchesTheWholeFile)
{
    ASSERT_TRUE(writeAll(localNative(QStringLiteral("a.bin")), "stale"));
    buffer.addEntry(QStringLiteral("\\pub\\"), QStringLiteral("fa.bin"), QStringLiteral("2000*0"));
    loginTo(QStringLiteral(R"(
        expect type i
        reply 200 binary
        expect pasv
        reply-pasv
        expect rest 5
        reply 502 no restarts here
        expect retr /pub/a.bin
        reply 150 opening
        data-send-pattern 2000
        reply 226 done
    )"));
    runLine(QStringLiteral("*download \\pub\\a.bin*") + localInternal(QStringLiteral("a.bin")));
    ASSERT_TRUE(waitForDone(caDownload)) << server->log().toStdString();
    EXPECT_TRUE(probe.lastDone(caDownload)->success);
    EXPECT_EQ(readAll(localNative(QStringLiteral("a.bin"))), ScriptedServer::pattern(2000));
}

TEST_F(TcFTPScripted, RefusedPassiveModeFailsTheTransfer)
{
    buffer.addEntry(QStringLiteral("\\pub\\"), QStringLiteral("fa.bin"), QStringLiteral("10*0"));
    loginTo(QStringLiteral(R"(
        expect type i
        reply 200 binary
        expect pasv
        reply 502 no passive mode
        expect noop
        reply 200 ok
    )"));
    runLine(QStringLiteral("*download \\pub\\a.bin*") + localInternal(QStringLiteral("a.bin")));
    ASSERT_TRUE(waitForDone(caDownload)) << server->log().toStdString();
    EXPECT_FALSE(probe.lastDone(caDownload)->success);
    runLine(QStringLiteral("noop"));
    EXPECT_TRUE(server->waitForDone());
    EXPECT_FALSE(commands().contains("retr /pub/a.bin"));
    EXPECT_FALSE(QFile::exists(localNative(QStringLiteral("a.bin"))));
}

TEST_F(TcFTPScripted, ResumeBeyondFourGigabytesSendsAWideRest)
{
    const qint64 localSize = 5000000000LL;
    const QString path = localNative(QStringLiteral("huge.iso"));
    {
        QFile sparse(path);
        ASSERT_TRUE(sparse.open(QIODevice::WriteOnly));
        ASSERT_TRUE(sparse.resize(localSize)) << "no room for a sparse 5 GB file";
    }
    buffer.addEntry(
            QStringLiteral("\\pub\\"), QStringLiteral("fhuge.iso"), QStringLiteral("5000000100*0"));
    loginTo(QStringLiteral(R"(
        expect type i
        reply 200 binary
        expect pasv
        reply-pasv
        expect rest 5000000000
        reply 350 restarting at 5000000000
        expect retr /pub/huge.iso
        reply 150 opening
        data-send-pattern 100
        reply 226 done
    )"));
    runLine(QStringLiteral("*download \\pub\\huge.iso*")
            + localInternal(QStringLiteral("huge.iso")));
    ASSERT_TRUE(waitForDone(caDownload)) << server->log().toStdString();
    EXPECT_TRUE(server->waitForDone());
    EXPECT_TRUE(probe.lastDone(caDownload)->success);
    EXPECT_EQ(probe.lastDone(caDownload)->size, 5000000100LL);
    EXPECT_EQ(QFileInfo(path).size(), 5000000100LL);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    ASSERT_TRUE(file.seek(localSize));
    EXPECT_EQ(file.readAll(), ScriptedServer::pattern(100));
    file.close();
    QFile::remove(path);
}

TEST_F(TcFTPScripted, UploadWaitsForTheHostAndSendsEveryByte)
{
    const QByteArray content = testBytes(100000, 5);
    ASSERT_TRUE(writeAll(localNative(QStringLiteral("up.bin")), content));
    loginTo(QStringLiteral(R"(
        expect type i
        reply 200 binary
        expect pasv
        reply-pasv
        expect stor /pub/up.bin
        sleep 200
        reply 150 go ahead
        data-recv up.bin
        reply 226 stored
    )"));
    runLine(QStringLiteral("*upload ") + localInternal(QStringLiteral("up.bin"))
            + QStringLiteral("*\\pub\\up.bin"));
    ASSERT_TRUE(waitForDone(caUpload)) << server->log().toStdString();
    EXPECT_TRUE(server->waitForDone());
    EXPECT_TRUE(probe.lastDone(caUpload)->success);
    EXPECT_EQ(probe.lastDone(caUpload)->size, content.size());
    EXPECT_EQ(server->receivedData(QStringLiteral("up.bin")), content);
}

TEST_F(TcFTPScripted, LinesWithLineBreaksAreNeverSent)
{
    const QString evil = QStringLiteral("evil\r\ndele x");
    buffer.addEntry(QStringLiteral("\\pub\\"), QLatin1Char('f') + evil, QStringLiteral("10*0"));
    loginTo(QStringLiteral(R"(
        expect type i
        reply 200 binary
        expect pasv
        reply-pasv
        expect noop
        reply 200 ok
    )"));
    runLine(QStringLiteral("*download \\pub\\") + evil + QLatin1Char('*')
            + localInternal(QStringLiteral("evil")));
    ASSERT_TRUE(waitForDone(caDownload)) << server->log().toStdString();
    EXPECT_FALSE(probe.lastDone(caDownload)->success);
    runLine(QStringLiteral("cwd \\pub\\a\nrmd \\pub\\"));
    runLine(QStringLiteral("mkd \\pub\\b") + QChar(0) + QStringLiteral("c"));
    runLine(QStringLiteral("noop"));
    EXPECT_TRUE(server->waitForDone()) << server->log().toStdString();
    ASSERT_TRUE(waitFor([&] { return ftp.State() == csIdle; }));
    EXPECT_EQ(probe.warnings.size(), 3);
    EXPECT_EQ(probe.lastDone(caChangeFolder)->success, false);
    EXPECT_EQ(probe.lastDone(caMakeFolder)->success, false);
    const QByteArray transcript = server->transcript();
    EXPECT_FALSE(transcript.contains("dele"));
    EXPECT_FALSE(transcript.contains("retr"));
    EXPECT_FALSE(transcript.contains("cwd"));
    EXPECT_FALSE(transcript.contains("rmd"));
    EXPECT_FALSE(transcript.contains("mkd"));
    EXPECT_EQ(commands().last(), QByteArray("noop"));
}

TEST_F(TcFTPScripted, UserNameWithLineBreakEndsTheSessionUnsent)
{
    server = std::make_unique<ScriptedServer>(QStringLiteral(R"(
        greet 220 ready
        expect-close
    )"));
    ASSERT_TRUE(server->start());
    ftp.Connect(::TcFTPSession{QStringLiteral("127.0.0.1"),
                               QString::number(server->port()),
                               QStringLiteral("ann\r\ndele x"),
                               QStringLiteral("secret")});
    ASSERT_TRUE(waitFor([&] { return ftp.State() == csNotConnected && !probe.states.isEmpty(); }));
    EXPECT_TRUE(server->waitForDone());
    EXPECT_TRUE(server->transcript().isEmpty());
    EXPECT_EQ(probe.warnings.size(), 1);
}

TEST_F(TcFTPScripted, EndlessReplyLineDisconnects)
{
    loginTo(QStringLiteral(R"(
        expect pwd
        send-endless 67108864
    )"));
    runLine(QStringLiteral("pwd"));
    ASSERT_TRUE(waitFor([&] { return ftp.State() == csNotConnected; }, 10000))
            << server->log().toStdString();
    ASSERT_EQ(probe.warnings.size(), 1);
    EXPECT_TRUE(probe.warnings.first().contains(QStringLiteral("65536")));
    // The session hung up long before the host ran out of bytes to send.
    ASSERT_TRUE(waitFor(
            [&] { return server->events().filter(QStringLiteral("ENDLESS")).size() == 1; }));
    EXPECT_TRUE(server->events()
                        .filter(QStringLiteral("ENDLESS"))
                        .first()
                        .contains(QStringLiteral("closed")));
}

TEST_F(TcFTPScripted, AbortEndsTheTransferAtOnceAndWaitsForTheHostsReply)
{
    buffer.addEntry(QStringLiteral("\\pub\\"), QStringLiteral("fa.bin"), QStringLiteral("9000*0"));
    loginTo(QStringLiteral(R"(
        expect type i
        reply 200 binary
        expect pasv
        reply-pasv
        expect retr /pub/a.bin
        reply 150 opening
        data-open
        sleep 300
        reply 426 transfer aborted
        expect noop
        reply 200 ok
    )"));
    ftp.AddCommand(QStringLiteral("*download \\pub\\a.bin*")
                   + localInternal(QStringLiteral("a.bin")));
    ftp.AddCommand(QStringLiteral("noop"));
    ftp.Execute();
    ASSERT_TRUE(waitFor([&] { return ftp.InCmd() == QLatin1String("150"); }))
            << server->log().toStdString();
    ftp.Abort();
    // Reported failed at once; the session takes no work until the host's 426 has come.
    ASSERT_EQ(probe.doneCount(caDownload), 1);
    EXPECT_FALSE(probe.lastDone(caDownload)->success);
    EXPECT_FALSE(ftp.Downloading());
    EXPECT_EQ(ftp.State(), csWaitForReply);
    EXPECT_TRUE(ftp.CommandQueue().isEmpty());
    EXPECT_NE(ftp.dataSocket()->State(), cwConnected);
    ASSERT_TRUE(waitFor([&] { return ftp.State() == csIdle; })) << server->log().toStdString();
    EXPECT_EQ(ftp.InCmd(), QStringLiteral("426"));
    EXPECT_EQ(probe.doneCount(caDownload), 1);
    // The queued noop went with the abort; a new one still works.
    runLine(QStringLiteral("noop"));
    EXPECT_TRUE(server->waitForDone());
    EXPECT_EQ(commands().count("noop"), 1);
}

// The owner hands out the next transfer from inside the report of the last one, as the
// scheduler does: the session must send each command once, in order.
TEST_F(TcFTPScripted, NextTransferStartedFromTheActionHandler)
{
    buffer.addEntry(QStringLiteral("\\pub\\"), QStringLiteral("fa.bin"), QStringLiteral("700*0"));
    buffer.addEntry(QStringLiteral("\\pub\\"), QStringLiteral("fb.bin"), QStringLiteral("900*0"));
    loginTo(QStringLiteral(R"(
        expect type i
        reply 200 binary
        expect pasv
        reply-pasv
        expect retr /pub/a.bin
        reply 150 opening
        data-send-pattern 700
        reply 226 done
        expect pasv
        reply-pasv
        expect retr /pub/b.bin
        reply 150 opening
        data-send-pattern 900
        reply 226 done
    )"));
    bool chained = false;
    QObject::connect(&ftp,
                     &TcFTP::actionDone,
                     &ftp,
                     [&](TcFTPActionType action, const QString &, qint64, bool done, bool) {
                         if (action == caDownload && done && !chained) {
                             chained = true;
                             ftp.AddCommand(QStringLiteral("*download \\pub\\b.bin*")
                                            + localInternal(QStringLiteral("b.bin")));
                             ftp.Execute();
                         }
                     });
    runLine(QStringLiteral("*download \\pub\\a.bin*") + localInternal(QStringLiteral("a.bin")));
    ASSERT_TRUE(waitForDone(caDownload, 2)) << server->log().toStdString();
    EXPECT_TRUE(server->waitForDone());
    EXPECT_TRUE(probe.actions.at(0).success);
    EXPECT_TRUE(probe.actions.at(1).success);
    EXPECT_EQ(readAll(localNative(QStringLiteral("b.bin"))), ScriptedServer::pattern(900));
    EXPECT_EQ(commands().mid(3),
              (QList<QByteArray>{"type i", "pasv", "retr /pub/a.bin", "pasv", "retr /pub/b.bin"}));
    EXPECT_TRUE(server->extraCommands().isEmpty());
}
