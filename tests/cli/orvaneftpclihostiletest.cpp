// orvane-ftp-cli against a host and a network that mean harm, played by the scripted server: a
// third party on the data port, a welcome that never ends, a host that only says "wait", a
// greeting that is no reply; and a settings file the user may not read.
#include "support/clirun.h"
#include "support/scriptedserver.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using ovtest::CliRun;
using ovtest::describe;
using ovtest::runCli;
using ovtest::ScriptedServer;

namespace {

// Answers for everything the program asks on its way to the folder, so that a script only
// plays the part that matters.
const QString Defaults = QStringLiteral(R"(
    default USER 331 password please
    default PASS 230 logged in
    default PWD 257 "/" is the current folder
    default CWD 250 folder changed
    default TYPE 200 type set
    default PORT 200 port ok
    default NOOP 200 ok
)");

QString urlOf(const ScriptedServer &server, const QString &path)
{
    return QStringLiteral("ftp://127.0.0.1:%1%2").arg(server.port()).arg(path);
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

// Fault: anyone could take over an active-mode data connection.
TEST(OrvaneFtpCliHostile, ThirdPartyOnTheDataPortIsNamedAndIgnored)
{
    ScriptedServer server(Defaults + QStringLiteral(R"(
        greet 220 ready
        expect list*
        reply 150 listing
        data-send -rw-r--r-- 1 ftp ftp 3000 Jan 01 2020 a.bin\r\n
        reply 226 listed
        expect retr /a.bin
        intrude forged bytes
        reply 150 opening
        data-send-pattern 3000
        reply 226 done
    )"));
    ASSERT_TRUE(server.start());
    QTemporaryDir local;
    const QString target = local.filePath(QStringLiteral("a.bin"));
    const CliRun run
            = runCli({QStringLiteral("get"), urlOf(server, QStringLiteral("/a.bin")), target},
                     QProcessEnvironment::systemEnvironment(),
                     30000);
    ASSERT_TRUE(run.ended) << describe(run) << server.log().toStdString();
    EXPECT_EQ(run.exitStatus, 0) << describe(run) << server.log().toStdString();
    EXPECT_EQ(contentOf(target), ScriptedServer::pattern(3000));
    EXPECT_TRUE(run.err.contains(QStringLiteral("127.0.0.2"))) << describe(run);
    EXPECT_EQ(server.events().filter(QStringLiteral("INTRUDER")),
              QStringList{QStringLiteral("INTRUDER received 0 closed")});
}

// Fault: an endless welcome grew memory without limit.
TEST(OrvaneFtpCliHostile, EndlessWelcomeEndsTheRunWithinAGigabyte)
{
    ScriptedServer server(QStringLiteral(R"(
        greet 220-welcome
        reply-repeat forever 220-and there is much more to say about this archive
    )"));
    ASSERT_TRUE(server.start());
    const CliRun run = runCli(
            {QStringLiteral("ls"), urlOf(server, QStringLiteral("/"))},
            QProcessEnvironment::systemEnvironment(),
            60000,
            {QStringLiteral("prlimit"), QStringLiteral("--as=1073741824"), QStringLiteral("--")});
    ASSERT_TRUE(run.ended) << describe(run);
    EXPECT_EQ(run.exitStatus, 1) << describe(run);
    EXPECT_TRUE(run.err.contains(QStringLiteral("1024 KiB"))) << describe(run);
}

// Fault: preliminary replies kept the run waiting for ever.
TEST(OrvaneFtpCliHostile, PreliminaryFloodEndsTheRunAtTheTimeout)
{
    ScriptedServer server(Defaults + QStringLiteral(R"(
        default LIST 550 nothing here
        greet 220 ready
        expect dele /a.txt
        reply-every 100 150 still working on it
    )"));
    ASSERT_TRUE(server.start());
    const CliRun run = runCli({QStringLiteral("--timeout"),
                               QStringLiteral("3"),
                               QStringLiteral("rm"),
                               urlOf(server, QStringLiteral("/a.txt"))},
                              QProcessEnvironment::systemEnvironment(),
                              30000);
    ASSERT_TRUE(run.ended) << describe(run) << server.log().toStdString();
    EXPECT_EQ(run.exitStatus, 1) << describe(run);
    EXPECT_TRUE(run.err.contains(QStringLiteral("no final reply"))) << describe(run);
}

// Fault: misleading messages, for a greeting that is no reply and a settings file that cannot
// be read.
TEST(OrvaneFtpCliHostile, UnexpectedGreetingAndUnreadableSettingsSayWhat)
{
    ScriptedServer server(QStringLiteral(R"(
        greet hello, this is not an FTP server
        silence 20000
    )"));
    ASSERT_TRUE(server.start());
    CliRun run = runCli({QStringLiteral("--timeout"),
                         QStringLiteral("10"),
                         QStringLiteral("ls"),
                         urlOf(server, QStringLiteral("/"))},
                        QProcessEnvironment::systemEnvironment(),
                        30000);
    ASSERT_TRUE(run.ended) << describe(run);
    EXPECT_EQ(run.exitStatus, 1) << describe(run);
    EXPECT_TRUE(run.err.contains(QStringLiteral("unexpected reply"))) << describe(run);
    EXPECT_FALSE(run.err.contains(QStringLiteral("no answer"))) << describe(run);

    // The settings file is there but the user may not read it. Run as "nobody" when the tests
    // run as root, whom permissions do not stop.
    QTemporaryDir config;
    ASSERT_TRUE(QDir(config.path()).mkpath(QStringLiteral("Orvane FTP")));
    const QString store = config.filePath(QStringLiteral("Orvane FTP/registry.json"));
    QFile file(store);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{\"format\": \"orvane-registry\", \"version\": 1, \"root\": {}}\n");
    file.close();
    ASSERT_TRUE(file.setPermissions(QFileDevice::Permissions()));
    QFile::setPermissions(config.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                  | QFileDevice::ReadOther | QFileDevice::ExeOther);
    QFile::setPermissions(config.filePath(QStringLiteral("Orvane FTP")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                  | QFileDevice::ReadOther | QFileDevice::ExeOther);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    const QStringList asNobody = geteuid() == 0 ? QStringList{QStringLiteral("setpriv"),
                                                              QStringLiteral("--reuid=65534"),
                                                              QStringLiteral("--regid=65534"),
                                                              QStringLiteral("--clear-groups")}
                                                : QStringList{};
    run = runCli({QStringLiteral("--site"),
                  QStringLiteral("Archives\\GNU"),
                  QStringLiteral("ls"),
                  QStringLiteral("/")},
                 env,
                 30000,
                 asNobody);
    ASSERT_TRUE(run.ended) << describe(run);
    EXPECT_EQ(run.exitStatus, 1) << describe(run);
    EXPECT_TRUE(run.err.contains(QStringLiteral("cannot be read"))) << describe(run);
    EXPECT_TRUE(run.err.contains(QStringLiteral("Permission denied"))) << describe(run);
    EXPECT_FALSE(run.err.contains(QStringLiteral("no saved site"))) << describe(run);
    // The file is left as it was, where it was.
    EXPECT_TRUE(QFile::exists(store));
    EXPECT_TRUE(QDir(config.filePath(QStringLiteral("Orvane FTP")))
                        .entryList(QDir::Files | QDir::Hidden)
                        .filter(QStringLiteral("damaged"))
                        .isEmpty());
}
