// orvane-ftp-cli against hosts that misbehave on purpose: endless trees end, host text cannot
// steer the terminal, odd local files are refused and nothing is left out without a word; a
// greeting that is no reply, and a settings file the user may not read.
#include "support/clirun.h"
#include "support/eventwait.h"
#include "support/files.h"
#include "support/scriptedserver.h"
#include "util/hosttext.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

#include <sys/stat.h>

#include <grp.h>
#include <unistd.h>

using namespace ovtest;

namespace {

QStringList eventsOf(const ScriptedServer &server, const QString &kind)
{
    return server.events().filter(QRegularExpression(u'^' + kind + u' '));
}

// A line holding anything that would steer a terminal or reorder text: what shown host text
// never holds (C0 but tab, DEL, C1, the bidirectional controls).
bool holdsControls(const QByteArray &bytes)
{
    const QStringList lines = QString::fromUtf8(bytes).split(u'\n');
    return std::any_of(lines.cbegin(), lines.cend(), [](const QString &line) {
        return VisibleHostText(line) != line;
    });
}

int deepestLevel(const QString &root)
{
    int deepest = 0;
    for (const QString &folder : readFolders(root))
        deepest = qMax(deepest, int(folder.count(u'/')) + 1);
    return deepest;
}

} // namespace

// A host whose folders nest without end, or rename themselves on every listing: the walk stops
// at its bound, names where, makes no endless local tree and deletes nothing.
TEST(CliHostile, EndlessTreesEndWithAFailure)
{
    ScriptedServer endless(QStringLiteral("serve-host endless"));
    ASSERT_TRUE(endless.start());
    ScriptedServer renaming(QStringLiteral("serve-host renaming"));
    ASSERT_TRUE(renaming.start());
    QTemporaryDir local;
    const QString into = local.filePath(QStringLiteral("deep"));
    CliRunOptions bounded;
    bounded.timeoutMs = 240000;
    CliRun run = runCli({"get", cliAddress(endless.port(), "/deep/"), into}, bounded);
    EXPECT_EQ(run.exitStatus, 1) << run.describe();
    EXPECT_TRUE(run.err.contains("levels below")) << run.describe();
    EXPECT_TRUE(run.err.contains("/deep/d/d/d/")) << run.describe();
    const int levels = deepestLevel(into);
    EXPECT_GE(levels, 60);
    EXPECT_LE(levels, 65);
    run = runCli({"rm", cliAddress(renaming.port(), "/top/")}, bounded);
    EXPECT_EQ(run.exitStatus, 1) << run.describe();
    EXPECT_TRUE(run.err.contains("levels below")) << run.describe();
    EXPECT_EQ(eventsOf(renaming, QStringLiteral("DELETED")), QStringList());
}

// Escape sequences and bidirectional controls in the greeting, replies and names reach neither
// standard output nor standard error; the names themselves arrive in their own bytes. Entries
// left out are named: one skipped for its name fails the run, a link left out by design does
// not.
TEST(CliHostile, HostTextCannotSteerTheTerminalAndSkippedEntriesAreNamed)
{
    ScriptedServer hostile(QStringLiteral("serve-host hostile"));
    ASSERT_TRUE(hostile.start());
    CliRun run = runCli({"-v", "ls", cliAddress(hostile.port(), "/pub/")});
    EXPECT_EQ(run.exitStatus, 0) << run.describe();
    EXPECT_FALSE(holdsControls(run.out)) << run.describe();
    EXPECT_FALSE(holdsControls(run.err)) << run.describe();
    // A name with control characters cannot be a file name: it is left out, and named.
    EXPECT_TRUE(run.err.contains("esc\\x9B2J\\x9B31m.txt")) << run.describe();
    EXPECT_TRUE(run.out.contains("bidi\\u{202E}gnp.exe")) << run.describe();
    EXPECT_TRUE(run.out.contains("\\x1B]0;pwned\\x07")) << run.describe(); // the greeting
    EXPECT_TRUE(run.out.contains("\\x1B[31mred")) << run.describe();       // the login reply
    // Only the folder asked for is listed, not the one the login arrives in as well.
    EXPECT_EQ(run.out.count("<<: list\n") + run.out.count("<<: mlsd\n"), 1) << run.describe();

    QTemporaryDir local;
    const QString bidiName = QString::fromUtf8("bidi\xe2\x80\xae"
                                               "gnp.exe");
    run = runCliWords("get " + cliAddress(hostile.port(), "/pub/")
                      + QString::fromLatin1(bidiName.toUtf8().toPercentEncoding()) + ' '
                      + local.path());
    EXPECT_EQ(run.exitStatus, 0) << run.describe();
    EXPECT_FALSE(holdsControls(run.err)) << run.describe();
    EXPECT_TRUE(QFileInfo::exists(QDir(local.path()).filePath(bidiName)));

    run = runCli({"get", cliAddress(hostile.port(), "/links/"), local.filePath("links")});
    EXPECT_EQ(run.exitStatus, 0) << run.describe();
    EXPECT_TRUE(run.err.contains("/links/lnk")) << run.describe();
    EXPECT_TRUE(QFileInfo::exists(local.filePath("links/a.txt")));
    run = runCli({"get", cliAddress(hostile.port(), "/pub/"), local.filePath("pub")});
    EXPECT_EQ(run.exitStatus, 1) << run.describe();
    for (const char *named : {"/pub/star*name.txt", "/pub/lnk", "esc\\x9B2J\\x9B31m.txt"})
        EXPECT_TRUE(run.err.contains(named)) << named << run.describe();
    EXPECT_FALSE(holdsControls(run.err)) << run.describe();
    EXPECT_TRUE(QFileInfo::exists(local.filePath("pub/plain.txt")));
}

// Something that is not a regular file is refused before anything is sent, and a file that
// changes while it goes out is reported failed.
TEST(CliHostile, PutRefusesPipesAndDevicesAndNoticesChangingFiles)
{
    ScriptedServer slow(QStringLiteral("serve-host slow-stor"));
    ASSERT_TRUE(slow.start());
    QTemporaryDir local;
    const QString fifo = local.filePath(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    for (const QString &source : {fifo, QStringLiteral("/dev/zero")}) {
        SCOPED_TRACE(source.toStdString());
        const CliRun run
                = runCli({"--timeout", "3", "put", source, cliAddress(slow.port(), "/up/")});
        EXPECT_EQ(run.exitStatus, 1) << run.describe();
        EXPECT_TRUE(run.err.contains("not a regular file")) << run.describe();
    }
    EXPECT_TRUE(eventsOf(slow, QStringLiteral("STORED")).isEmpty());

    const QString path = local.filePath(QStringLiteral("growing.bin"));
    ASSERT_TRUE(writeFile(path, QByteArray(16 << 20, 'g')));
    QProcess process;
    process.start(QStringLiteral(ORVANE_BINARY_DIR "/src/orvane-ftp-cli"),
                  {"put", path, cliAddress(slow.port(), "/up/")});
    ASSERT_TRUE(process.waitForStarted(5000));
    // The host reads nothing for a while after STOR: the file grows while the upload waits.
    ASSERT_TRUE(slow.waitForCommand("stor *", 30000)) << slow.log().toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("more");
    file.close();
    ASSERT_TRUE(waitFor([&] { return process.state() == QProcess::NotRunning; }, 60000));
    const QByteArray err = process.readAllStandardError();
    EXPECT_EQ(process.exitCode(), 1) << err.toStdString();
    EXPECT_TRUE(err.contains("changed while being sent")) << err.toStdString();
}

// Misleading messages, for a greeting that is no reply and a settings file that cannot be read.
TEST(CliHostile, UnexpectedGreetingAndUnreadableSettingsSayWhat)
{
    ScriptedServer server(QStringLiteral(R"(
        greet hello, this is not an FTP server
        silence 20000
    )"));
    ASSERT_TRUE(server.start());
    CliRun run = runCli({"--timeout", "10", "ls", cliAddress(server.port(), "/")});
    EXPECT_EQ(run.exitStatus, 1) << run.describe();
    EXPECT_TRUE(run.err.contains("unexpected reply")) << run.describe();
    EXPECT_FALSE(run.err.contains("no answer")) << run.describe();

    // The settings file is there but the user may not read it. Run as "nobody" when the tests
    // run as root, whom permissions do not stop.
    QTemporaryDir config;
    const QString store = config.filePath(QStringLiteral("Orvane FTP/registry.json"));
    ASSERT_TRUE(
            writeFile(store, "{\"format\": \"orvane-registry\", \"version\": 1, \"root\": {}}\n"));
    ASSERT_TRUE(QFile::setPermissions(store, QFileDevice::Permissions()));
    const auto open = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                      | QFileDevice::ReadOther | QFileDevice::ExeOther;
    QFile::setPermissions(config.path(), open);
    QFile::setPermissions(config.filePath(QStringLiteral("Orvane FTP")), open);
    CliRunOptions asNobody;
    asNobody.environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    // A copy of the program where "nobody" reaches it: the build tree may be private.
    asNobody.program = config.filePath(QStringLiteral("orvane-ftp-cli"));
    ASSERT_TRUE(QFile::copy(CliRunOptions().program, asNobody.program));
    if (geteuid() == 0) {
        asNobody.childModifier = [] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(125);
        };
    }
    run = runCli({"--site", "Archives\\GNU", "ls", "/"}, asNobody);
    EXPECT_EQ(run.exitStatus, 1) << run.describe();
    EXPECT_TRUE(run.err.contains("cannot be read")) << run.describe();
    EXPECT_TRUE(run.err.contains("Permission denied")) << run.describe();
    EXPECT_FALSE(run.err.contains("no saved site")) << run.describe();
    // The file is left as it was, where it was.
    EXPECT_TRUE(QFile::exists(store));
    EXPECT_EQ(QDir(config.filePath(QStringLiteral("Orvane FTP")))
                      .entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("registry.json")});
}
