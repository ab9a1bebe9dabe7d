// Exchanges with the scripted server that need the test's hand in the middle: an abort, the
// owner acting from inside a report, local failures (a name too long, a file size limit, no
// descriptor left) and what lies on the disk while a file is written.
#include "support/eventwait.h"
#include "support/files.h"
#include "support/filesizelimit.h"
#include "support/ftpsession.h"
#include "support/scriptedserver.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>

using namespace ovtest;
using namespace Qt::StringLiterals;

namespace {

class TcFTPScripted : public ::testing::Test
{
protected:
    // Starts the server with a login (FEAT refused) in front of the script, and logs the session
    // in.
    void loginTo(const QString &script)
    {
        s.reset();
        server = std::make_unique<ScriptedServer>(
                u"greet 220 ready\nexpect user ann\nreply 331 password please\n"
                u"expect pass secret\nreply 230 logged in\nexpect feat\nreply 502 no features\n"_s
                + script);
        ASSERT_TRUE(server->start());
        s.connectTo(server->port());
        ASSERT_TRUE(s.waitLoggedIn()) << log();
    }
    std::string log() const { return server->log().toStdString(); }
    QStringList localEntries() const
    {
        return QDir(s.local.path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    FtpSession s;
    std::unique_ptr<ScriptedServer> server;
};

} // namespace

// An abort ends a download or a listing at once as failed; the session then sends nothing
// until the host's final reply to the aborted command has come, whatever that reply says.
TEST_F(TcFTPScripted, AbortEndsAtOnceAndWaitsForTheHostsLateReply)
{
    // clang-format off
    struct Case { TcFTPActionType action; QString line, command, lateReply; };
    const Case cases[] = {
        {caDownload, "*download \\a.bin*"_L1 + s.localInternal("a.bin"), "retr /a.bin", "426"},
        {caList, "*list \\pub\\", "list", "226"},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.command.toStdString());
        loginTo(u"default type 200 ok\ndefault cwd 250 ok\nexpect pasv\nreply-pasv\nexpect %1\n"
                u"reply 150 opening\ndata-open\nsleep 300\nreply %2 the end\nexpect noop\n"
                u"reply 200 ok\n"_s.arg(c.command, c.lateReply));
        s.buffer.addEntry("\\", "fa.bin", "9000*0");
        s.ftp.AddCommand(c.line);
        s.ftp.AddCommand("noop");
        s.ftp.Execute();
        ASSERT_TRUE(waitFor([&] { return s.ftp.InCmd() == "150"_L1; })) << log();
        s.ftp.Abort();
        ASSERT_EQ(s.doneCount(c.action), 1);
        EXPECT_FALSE(s.lastDone(c.action)->success);
        EXPECT_FALSE(s.ftp.Downloading() || s.ftp.Listing());
        EXPECT_EQ(s.ftp.State(), csWaitForReply);
        EXPECT_TRUE(s.ftp.CommandQueue().isEmpty());
        EXPECT_NE(s.ftp.dataSocket()->State(), cwConnected);
        ASSERT_TRUE(waitFor([&] { return s.ftp.State() == csIdle; })) << log();
        EXPECT_EQ(s.ftp.InCmd(), c.lateReply);
        EXPECT_EQ(s.doneCount(c.action), 1);
        EXPECT_FALSE(s.buffer.contains("\\pub\\"));
        // The queued noop went with the abort; a new one goes out after the late reply.
        s.run("noop");
        EXPECT_TRUE(server->waitForDone());
        EXPECT_EQ(server->commands().count("noop"), 1);
    }
}

// The owner hands out the next transfer from inside the report of the last one, as the
// scheduler does: each command goes out once, in order.
TEST_F(TcFTPScripted, NextTransferStartedFromTheActionHandler)
{
    s.buffer.addEntry("\\pub\\", "fa.bin", "700*0");
    s.buffer.addEntry("\\pub\\", "fb.bin", "900*0");
    loginTo(u"default type 200 binary\nexpect pasv\nreply-pasv\nexpect retr /pub/a.bin\n"
            u"reply 150 opening\ndata-send-pattern 700\nreply 226 done\nexpect pasv\nreply-pasv\n"
            u"expect retr /pub/b.bin\nreply 150 opening\ndata-send-pattern 900\nreply 226 done\n"_s);
    QObject::connect(&s.ftp,
                     &TcFTP::actionDone,
                     &s.ftp,
                     [&](TcFTPActionType a, auto, auto, bool done, auto) {
                         if (a == caDownload && done && s.doneCount(caDownload) == 1)
                             s.run("*download \\pub\\b.bin*" + s.localInternal("b.bin"));
                     });
    s.run("*download \\pub\\a.bin*" + s.localInternal("a.bin"));
    ASSERT_TRUE(waitFor([&] { return s.doneCount(caDownload) == 2 && s.ftp.State() == csIdle; }))
            << log();
    EXPECT_TRUE(server->waitForDone());
    EXPECT_TRUE(s.actions.at(0).success && s.actions.at(1).success);
    EXPECT_EQ(readFile(s.localPath("b.bin")), ScriptedServer::pattern(900));
    EXPECT_EQ(server->commands().mid(3),
              (QList<QByteArray>{"type i", "pasv", "retr /pub/a.bin", "pasv", "retr /pub/b.bin"}));
    EXPECT_TRUE(server->extraCommands().isEmpty());
}

// A download from the start over an existing file writes a part file beside it, readable by
// the owner alone: a failure leaves the old file as it was, a success takes its place and
// keeps its permissions, and no part file remains either way.
TEST_F(TcFTPScripted, FailedRedownloadLeavesTheOldFile)
{
    const QString path = s.localPath("a.bin");
    const QByteArray old = testBytes(6000, 5);
    ASSERT_TRUE(writeFile(path, old));
    ASSERT_TRUE(
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    const QFileDevice::Permissions oldPermissions = QFileInfo(path).permissions();
    s.buffer.addEntry("\\pub\\", "fa.bin", "5000*0");
    loginTo(u"default type 200 binary\nexpect pasv\nreply-pasv\nexpect retr /pub/a.bin\n"
            u"reply 150 opening\ndata-close-early 4000\nsleep 100\nreply 426 aborted\n"
            u"expect pasv\nreply-pasv\nexpect retr /pub/a.bin\nreply 150 opening\n"
            u"data-send-pattern 5000\nreply 226 Transfer complete.\n"_s);
    QStringList whileWriting;
    QFileDevice::Permissions partPermissions;
    QObject::connect(&s.ftp,
                     &TcFTP::actionDone,
                     &s.ftp,
                     [&](TcFTPActionType a, auto, auto, bool done, auto) {
                         if (a != caDownload || done || !whileWriting.isEmpty())
                             return;
                         whileWriting = localEntries();
                         partPermissions
                                 = QFileInfo(s.localPath(whileWriting.first())).permissions();
                     });

    ASSERT_TRUE(s.runAndWait("*download \\pub\\a.bin*" + s.localInternal("a.bin"))) << log();
    EXPECT_FALSE(s.lastDone(caDownload)->success);
    EXPECT_EQ(readFile(path), old);
    EXPECT_EQ(localEntries(), QStringList{"a.bin"});
    ASSERT_EQ(whileWriting.size(), 2) << whileWriting.join(u' ').toStdString();
    EXPECT_TRUE(whileWriting.first().startsWith(".a.bin."_L1));
    EXPECT_EQ(partPermissions,
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);

    ASSERT_TRUE(s.runAndWait("*download \\pub\\a.bin*" + s.localInternal("a.bin"))) << log();
    EXPECT_TRUE(server->waitForDone());
    EXPECT_TRUE(s.lastDone(caDownload)->success);
    EXPECT_EQ(readFile(path), ScriptedServer::pattern(5000));
    EXPECT_EQ(QFileInfo(path).permissions(), oldPermissions);
    EXPECT_EQ(localEntries(), QStringList{"a.bin"});
}

// The local file fails after the host has begun (at once: a name too long to create; later: a
// file size limit). The host's 426 comes only well after the session gave up; the next file,
// handed out as soon as the session is idle (as the scheduler does), must wait for it and
// arrive in a file of its own.
TEST_F(TcFTPScripted, FailedLocalFileWaitsForTheHostsLateReply)
{
    QStringList events, waiting;
    QObject::connect(&s.ftp, &TcFTP::textIO, &s.ftp, [&](const QString &line, bool in, bool) {
        if (in)
            events << line;
    });
    QObject::connect(&s.ftp,
                     &TcFTP::actionDone,
                     &s.ftp,
                     [&](TcFTPActionType, auto, auto, bool done, bool ok) {
                         if (done)
                             events << u"done %1 %2"_s.arg(s.ftp.IOdstFile(), ok ? "ok" : "failed");
                     });
    QObject::connect(&s.ftp, &TcFTP::stateChanged, &s.ftp, [&](TcFTPStates state) {
        if (state == csIdle && s.ftp.LoggedIn() && !waiting.isEmpty())
            s.run(waiting.takeFirst());
    });
    // clang-format off
    struct Case { QString localName, dataStep; qint64 sizeLimit; };
    for (const Case &c : {Case{QString(300, u'n'), "", 0}, Case{"a.bin", "data-send-cut 400000", 64 * 1024}}) {
        // clang-format on
        SCOPED_TRACE(c.sizeLimit);
        loginTo(u"default type 200 binary\nexpect pasv\nreply-pasv\nexpect retr /a.bin\n"
                u"reply 150 opening\n%1\nexpect-quiet 800\nreply 426 transfer aborted\n"
                u"expect pasv\nreply-pasv\nexpect retr /b.bin\nreply 150 opening\n"
                u"data-send-pattern 3000\nreply 226 done\n"_s.arg(c.dataStep));
        events.clear();
        s.buffer.addEntry("\\", "fa.bin", "400000*0");
        s.buffer.addEntry("\\", "fb.bin", "3000*0");
        QFile::remove(s.localPath("b.bin"));
        std::unique_ptr<FileSizeLimit> limit;
        if (c.sizeLimit > 0) {
            limit = std::make_unique<FileSizeLimit>(c.sizeLimit);
            ASSERT_TRUE(limit->isActive());
        }
        waiting = QStringList{"*download \\b.bin*" + s.localInternal("b.bin")};
        s.run("*download \\a.bin*" + s.localInternal(c.localName));
        ASSERT_TRUE(waitFor([&] { return events.contains("done b.bin ok"); })) << log();
        EXPECT_TRUE(server->waitForDone());
        limit.reset();
        // The failed file was reported under its own name before the host's late reply, and
        // the next file's commands went out only after that reply.
        QStringList seen = events.mid(events.indexOf("150 opening"));
        seen.removeIf([](const QString &line) { return line.startsWith("227"_L1); });
        EXPECT_EQ(seen,
                  (QStringList{"150 opening",
                               "done " + c.localName + " failed",
                               "426 transfer aborted",
                               "150 opening",
                               "226 done",
                               "done b.bin ok"}));
        EXPECT_EQ(readFile(s.localPath("b.bin")), ScriptedServer::pattern(3000));
        const QByteArray partial = readFile(s.localPath(c.localName));
        EXPECT_TRUE(ScriptedServer::pattern(400000).startsWith(partial) || c.sizeLimit == 0);
    }
}

// With no data listener to be had (no descriptor left), an upload in active mode fails at
// once with the reason, and nothing goes to the host: no TYPE, no PORT for a port never opened.
TEST_F(TcFTPScripted, UploadWithoutDataListenerFailsAtOnce)
{
    s.ftp.setPassiveMode(false);
    ASSERT_TRUE(writeFile(s.localPath("up.bin"), "some bytes"));
    loginTo("expect-quiet 600");
    // The lowest free descriptor goes to the local file; the socket would need the next one.
    const int lowest = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(lowest, 0);
    ::close(lowest);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit tight = saved;
    tight.rlim_cur = rlim_t(lowest) + 1;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    s.run("*upload " + s.localInternal("up.bin") + "*\\in\\up.bin");
    ::setrlimit(RLIMIT_NOFILE, &saved);

    ASSERT_NE(s.lastDone(caUpload), nullptr) << "not reported at once";
    EXPECT_FALSE(s.lastDone(caUpload)->success);
    EXPECT_TRUE(s.ftp.FailureReason().contains("Too many open files"))
            << s.ftp.FailureReason().toStdString();
    EXPECT_EQ(s.ftp.State(), csIdle);
    EXPECT_TRUE(server->waitForDone());
    EXPECT_EQ(server->commands(), (QList<QByteArray>{"user ann", "pass secret", "feat"}));
}
