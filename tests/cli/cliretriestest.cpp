// Transfers tried again by the command-line program: a download cut off, refused for the moment
// or refused for good, against the scripted server, with the pause saved in the options.
#include "settings/options.h"
#include "settings/registry.h"
#include "support/clirun.h"
#include "support/files.h"
#include "support/scriptedserver.h"

#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace ovtest;

namespace {

constexpr qint64 FileSize = 200000;

// A connection's greeting and login, then (on the first one) the listing of "/".
QString login(bool first)
{
    QString script = QStringLiteral(R"(
        greet 220 scripted
        expect user anonymous
        reply 331 password please
        expect pass *
        reply 230 ok
    )");
    if (first)
        return script + QStringLiteral(R"(
            expect pasv
            reply-pasv
            expect list*
            reply 150 here it comes
            data-send -rw-r--r-- 1 ftp ftp 200000 Jan 01 2020 a.bin
            reply 226 done
        )");
    // Logged in again: back to the folder, then the transfer.
    return script + QStringLiteral("expect cwd /\nreply 250 ok\n");
}

const QString Defaults = QStringLiteral(R"(
    default noop 200 ok
    default type 200 ok
    default pwd 257 "/" is the current directory
    default cwd 250 ok
    default feat 500 no
    default opts 500 no
)");

const QString Retr = QStringLiteral("expect pasv\nreply-pasv\nexpect retr /a.bin\n");
const QString Announce
        = QStringLiteral("reply 150 Opening BINARY mode data connection for /a.bin (%1 bytes).\n");
// Cut off after 100,000 bytes: the data connection ends and the host hangs up.
const QString Dropped
        = Retr + Announce.arg(FileSize) + QStringLiteral("data-close-early 100000\nhangup\n");
// Logged in again: the transfer goes on from 100,000 bytes.
const QString Rest = QStringLiteral(R"(
    expect pasv
    reply-pasv
    expect rest 100000
    reply 350 Restarting at 100000
    expect retr /a.bin
)");
const QString Resumed = Rest + Announce.arg(FileSize - 100000)
                        + QStringLiteral("data-send-file tail.bin\nreply 226 done\n");
// The resumed transfer cut off once more.
const QString DroppedAgain
        = Rest + QStringLiteral("reply 150 Opening\ndata-close-early 50000\nhangup\n");

struct RetryCase
{
    const char *name;
    QString script; // after the first login and listing
    QStringList options;
    int exitStatus;
    int connections;
    int retrs;             // RETR commands received
    QStringList logged;    // lines of the verbose output, in order
    QStringList notLogged; // never in it
    bool arrives;          // the file is there, byte-exact
};

} // namespace

TEST(CliRetries, TransfersAreTriedAgainOnlyForPassingFaults)
{
    // The pause is Setup's: one second here, growing by a second per attempt.
    QTemporaryDir config;
    {
        Registry registry(config.filePath(QStringLiteral("Orvane FTP/registry.json")));
        Options saved = Options::defaults();
        saved.RetryPause = 1;
        ASSERT_TRUE(saved.save(registry));
    }
    CliRunOptions runOptions;
    runOptions.environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());

    const QString relogin = QStringLiteral("accept\n") + login(false);
    const QString refusedLogin = QStringLiteral("accept\ngreet 421 Too many users\nhangup\n");
    const QString whole = Announce.arg(FileSize) + "data-send-pattern 200000\nreply 226 done\n";
    // A 550 is final: the engine's own retry test shows it.
    // clang-format off
    const QList<RetryCase> cases = {
            {"cut off after 100,000 bytes; the fresh connection refused with 421, the next one resumes; the pause grows", Dropped + refusedLogin + relogin + Resumed, {}, 0, 3, 2,
             {"Retrying a.bin (attempt 2 of 3) in 1 s: the connection was lost", "Retrying a.bin (attempt 3 of 3) in 2 s: could not log in again: 421 Too many users", "Logging in again", "<<: type i", "<<: rest 100000", "Successfully received file"}, {}, true},
            {"421 to RETR", Retr + "reply 421 Shutting down\nhangup\n" + relogin + Retr + whole, {}, 0, 2, 2,
             {"Retrying a.bin (attempt 2 of 3) in 1 s: 421 Shutting down"}, {}, true},
            {"retries turned off", Dropped, {"--retries", "0"}, 1, 1, 1, {}, {"Retrying"}, false},
            {"every attempt cut off", Dropped + relogin + DroppedAgain, {"--retries", "1"}, 1, 2, 2, {"Retrying a.bin (attempt 2 of 2) in 1 s"}, {"attempt 3"}, false},
    };
    // clang-format on
    for (const RetryCase &c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server(Defaults + login(true) + c.script);
        server.addFile(QStringLiteral("tail.bin"), ScriptedServer::pattern(FileSize).mid(100000));
        ASSERT_TRUE(server.start());
        QTemporaryDir local;
        const QString file = local.filePath(QStringLiteral("a.bin"));
        const CliRun run
                = runCli(QStringList{"-v", "--passive"} + c.options
                                 + QStringList{"get", cliAddress(server.port(), "/a.bin"), file},
                         runOptions);
        EXPECT_TRUE(server.waitForDone()) << server.log().toStdString() << run.describe();
        EXPECT_EQ(run.exitStatus, c.exitStatus) << run.describe();
        EXPECT_EQ(server.events().filter(QRegularExpression("^CONNECTED")).size(), c.connections)
                << server.log().toStdString();
        qsizetype retrs = 0;
        for (const QByteArray &command : server.commands())
            retrs += command.startsWith("retr ");
        EXPECT_EQ(retrs, c.retrs) << server.log().toStdString();
        qsizetype at = 0;
        for (const QString &line : c.logged) {
            at = run.out.indexOf(line.toUtf8(), at);
            EXPECT_GE(at, 0) << line.toStdString() << '\n' << run.describe();
        }
        for (const QString &line : c.notLogged)
            EXPECT_FALSE(run.out.contains(line.toUtf8())) << run.describe();
        EXPECT_EQ(readFile(file) == ScriptedServer::pattern(FileSize), c.arrives)
                << readFile(file).size() << " bytes";
        // A failed run says why on standard error.
        EXPECT_TRUE(c.exitStatus == 0 || run.err.contains("download of")) << run.describe();
    }
}
