// Transfers that end early, against the scripted server: a local failure in the middle of a
// download, an upload the host refuses after taking its data, an upload that has no data
// listener. What the session sends next, and what it reports, in which order.
#include "ftp/tcftp.h"
#include "platform/localpath.h"
#include "sessionprobe.h"
#include "settings/filesizelimit.h"
#include "support/eventwait.h"
#include "support/qtprinters.h"
#include "support/scriptedserver.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

using ovtest::ScriptedServer;
using ovtest::waitFor;

namespace {

class TcFTPInterrupted : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(local.isValid());
        ftp.setListingBuffer(&buffer);
        ftp.setPassiveMode(true);
        // Every host line and every finished action, in the order the session reported them.
        QObject::connect(&ftp, &TcFTP::textIO, &ftp, [this](const QString &line, bool in, bool) {
            if (in)
                events.append(line);
        });
        QObject::connect(
                &ftp,
                &TcFTP::actionDone,
                &ftp,
                [this](TcFTPActionType action, const QString &, qint64, bool done, bool ok) {
                    if (done && (action == caDownload || action == caUpload))
                        events.append(
                                QStringLiteral("done %1 %2")
                                        .arg(ftp.IOdstFile(),
                                             ok ? QStringLiteral("ok") : QStringLiteral("failed")));
                });
    }
    void TearDown() override
    {
        if (ftp.State() != csNotConnected)
            ftp.Disconnect();
    }

    void loginTo(const QString &script)
    {
        if (ftp.State() != csNotConnected)
            ftp.Disconnect();
        events.clear();
        server = std::make_unique<ScriptedServer>(QStringLiteral(R"(
            greet 220 scripted host ready
            expect user ann
            reply 331 password please
            expect pass secret
            reply 230 logged in
            expect feat
            reply 502 no features
        )") + script);
        ASSERT_TRUE(server->start());
        ftp.Connect(::TcFTPSession{QStringLiteral("127.0.0.1"),
                                   QString::number(server->port()),
                                   QStringLiteral("ann"),
                                   QStringLiteral("secret")});
        ASSERT_TRUE(waitFor([&] { return ftp.LoggedIn() && ftp.State() == csIdle; }))
                << server->log().toStdString();
    }
    void runLine(const QString &line)
    {
        ftp.AddCommand(line);
        try {
            ftp.Execute();
        } catch (const TcFTPException &) {
        }
    }
    QString localInternal(const QString &name) const { return NativeToLocal(local.filePath(name)); }
    std::string told() const { return (events.join('\n') + '\n' + server->log()).toStdString(); }

    std::unique_ptr<ScriptedServer> server;
    QTemporaryDir local;
    ListingBuffer buffer;
    TcFTP ftp;
    SessionProbe probe{ftp};
    QStringList events;
};

} // namespace

// The local file fails after the host has begun (at once: a name too long to create; later: a
// file size limit). The host's 426 comes only well after the session gave up; the next file,
// handed out as soon as the session is idle (as the scheduler does), must wait for it and
// arrive in a file of its own.
TEST_F(TcFTPInterrupted, AbortedDownloadWaitsForTheHostsLateReply)
{
    buffer.addEntry(QStringLiteral("\\"), QStringLiteral("fa.bin"), QStringLiteral("400000*0"));
    buffer.addEntry(QStringLiteral("\\"), QStringLiteral("fb.bin"), QStringLiteral("3000*0"));
    QStringList waiting;
    QObject::connect(&ftp, &TcFTP::stateChanged, &ftp, [&](TcFTPStates state) {
        if (state == csIdle && ftp.LoggedIn() && !waiting.isEmpty())
            runLine(waiting.takeFirst());
    });

    struct Case
    {
        const char *what;
        QString localName;
        const char *dataStep;
        rlim_t sizeLimit;
    };
    const Case cases[] = {
            {"name too long", QString(300, QLatin1Char('n')), "", 0},
            {"file size limit", QStringLiteral("a.bin"), "data-send-cut 400000", 64 * 1024},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        loginTo(QStringLiteral(R"(
            default type 200 binary
            expect pasv
            reply-pasv
            expect retr /a.bin
            reply 150 opening
            %1
            expect-quiet 800
            reply 426 Connection closed; transfer aborted.
            expect pasv
            reply-pasv
            expect retr /b.bin
            reply 150 opening
            data-send-pattern 3000
            reply 226 done
        )")
                        .arg(QLatin1String(c.dataStep)));
        QFile::remove(local.filePath(QStringLiteral("b.bin")));
        std::unique_ptr<FileSizeLimit> limit;
        if (c.sizeLimit > 0) {
            limit = std::make_unique<FileSizeLimit>(c.sizeLimit);
            ASSERT_TRUE(limit->active());
        }
        waiting = QStringList{QStringLiteral("*download \\b.bin*") + localInternal("b.bin")};
        runLine(QStringLiteral("*download \\a.bin*") + localInternal(c.localName));

        ASSERT_TRUE(waitFor([&] { return events.contains(QStringLiteral("done b.bin ok")); }))
                << told();
        EXPECT_TRUE(server->waitForDone()) << told();
        limit.reset();
        // The failed file was reported under its own name, before the host's late reply, and
        // the next file's commands went out only after that reply.
        QStringList seen = events.mid(events.indexOf(QStringLiteral("150 opening")));
        seen.removeIf([](const QString &line) { return line.startsWith(QLatin1String("227")); });
        EXPECT_EQ(seen,
                  (QStringList{QStringLiteral("150 opening"),
                               QStringLiteral("done %1 failed").arg(c.localName),
                               QStringLiteral("426 Connection closed; transfer aborted."),
                               QStringLiteral("150 opening"),
                               QStringLiteral("226 done"),
                               QStringLiteral("done b.bin ok")}))
                << told();
        EXPECT_EQ(readAll(local.filePath(QStringLiteral("b.bin"))), ScriptedServer::pattern(3000));
        // The failed file holds nothing but the start of its own data.
        const QByteArray partial = readAll(local.filePath(c.localName));
        EXPECT_TRUE(ScriptedServer::pattern(400000).startsWith(partial)) << partial.size();
        EXPECT_EQ(ftp.State(), csIdle);
    }
}

// The host takes the data and then refuses the file: the upload failed. Whatever the verdict,
// it is reported after the host's reply that gave it.
TEST_F(TcFTPInterrupted, UploadResultFollowsTheHostsFinalReply)
{
    const QByteArray content = testBytes(50000, 3);
    ASSERT_TRUE(writeAll(local.filePath(QStringLiteral("up.bin")), content));
    for (const char *reply : {"451 Failure writing to local file.",
                              "452 Insufficient storage space.",
                              "552 Quota exceeded.",
                              "226 Transfer complete."}) {
        SCOPED_TRACE(reply);
        loginTo(QStringLiteral(R"(
            default type 200 binary
            expect pasv
            reply-pasv
            expect stor /in/up.bin
            reply 150 go ahead
            data-recv
            reply %1
        )")
                        .arg(QLatin1String(reply)));
        runLine(QStringLiteral("*upload ") + localInternal(QStringLiteral("up.bin"))
                + QStringLiteral("*\\in\\up.bin"));
        ASSERT_TRUE(waitFor([&] { return ftp.State() == csIdle && !ftp.Uploading(); })) << told();
        EXPECT_TRUE(server->waitForDone()) << told();
        EXPECT_EQ(server->receivedData(), content);
        const bool accepted = QByteArray(reply).startsWith("226");
        EXPECT_EQ(events.mid(events.size() - 2),
                  (QStringList{QLatin1String(reply),
                               accepted ? QStringLiteral("done up.bin ok")
                                        : QStringLiteral("done up.bin failed")}))
                << told();
    }
}

// With no data listener to be had (no descriptor left), an upload in active mode fails at
// once with the reason, and nothing goes to the host: no TYPE, no PORT for a port never opened.
TEST_F(TcFTPInterrupted, UploadWithoutDataListenerFailsAtOnce)
{
    ftp.setPassiveMode(false);
    ASSERT_TRUE(writeAll(local.filePath(QStringLiteral("up.bin")), "some bytes"));
    loginTo(QStringLiteral("expect-quiet 600"));

    // The lowest free descriptor goes to the local file; the socket would need the next one.
    const int lowest = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(lowest, 0);
    ::close(lowest);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit tight = saved;
    tight.rlim_cur = rlim_t(lowest) + 1;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    runLine(QStringLiteral("*upload ") + localInternal(QStringLiteral("up.bin"))
            + QStringLiteral("*\\in\\up.bin"));
    ::setrlimit(RLIMIT_NOFILE, &saved);

    ASSERT_NE(probe.lastDone(caUpload), nullptr) << "not reported at once";
    EXPECT_FALSE(probe.lastDone(caUpload)->success);
    EXPECT_TRUE(ftp.FailureReason().contains(QStringLiteral("Too many open files")))
            << ftp.FailureReason().toStdString();
    EXPECT_EQ(ftp.State(), csIdle);
    EXPECT_TRUE(server->waitForDone()) << told();
    EXPECT_EQ(server->commands(), (QList<QByteArray>{"user ann", "pass secret", "feat"}));
}
