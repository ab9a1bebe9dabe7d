// The main session's walk after login (home, root and initial folder) against exact dialogues.
#include "support/eventwait.h"
#include "support/qtprinters.h"
#include "support/scriptedserver.h"
#include "tasks/taskengine.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

using ovtest::ScriptedServer;
using ovtest::waitFor;

namespace {

const char *const Login = R"(
    default noop 200 ok
    greet 220 scripted
    expect user anonymous
    reply 230 ok
)";

const char *const OneListing = R"(
    expect pasv
    reply-pasv
    expect list
    reply 150 here it comes
    data-send <<END
-rw-r--r--   1 ftp      ftp             5 Jan 01  2020 a.txt
drwxr-xr-x   2 ftp      ftp          4096 Jan 01  2020 sub
END
    reply 226 done
)";

struct Walk
{
    QString initialFolder;
    QString dialogue; // between the login and the listing
    QString home, root, shown;
    QStringList warnings;
};

void runWalk(const Walk &walk)
{
    ScriptedServer server(QLatin1String(Login) + walk.dialogue + QLatin1String(OneListing));
    ASSERT_TRUE(server.start());
    TaskEngine engine;
    engine.startTimers();
    ConnectRequest request;
    request.session = {QStringLiteral("127.0.0.1"),
                       QString::number(server.port()),
                       QStringLiteral("anonymous"),
                       QStringLiteral("x@example.com")};
    request.initialFolder = walk.initialFolder;
    request.passive = true;
    engine.connectMain(request);
    EXPECT_TRUE(server.waitForDone(10000)) << engine.log()->lines().join('\n').toStdString();
    EXPECT_TRUE(waitFor([&] { return !engine.currentHostFolder().isEmpty(); }, 5000))
            << engine.log()->lines().join('\n').toStdString();
    EXPECT_EQ(engine.HomeFolder(), walk.home);
    EXPECT_EQ(engine.RootFolder(), walk.root);
    EXPECT_EQ(engine.currentHostFolder(), walk.shown);
    EXPECT_EQ(engine.RequestedFolder(), walk.shown);
    EXPECT_TRUE(engine.listingBuffer().contains(walk.shown));
    for (const QString &warning : walk.warnings)
        EXPECT_TRUE(engine.log()->lines().contains(warning))
                << engine.log()->lines().join('\n').toStdString();
}

} // namespace

TEST(LoginWalk, HomeBelowRootWithoutInitialFolder)
{
    runWalk({QString(),
             QStringLiteral(R"(
                expect pwd
                reply 257 "/pub" is your home
                expect cwd /
                reply 250 ok
                expect pwd
                reply 257 "/" is current
                expect cwd /pub
                reply 250 ok
             )"),
             QStringLiteral("\\pub\\"),
             QStringLiteral("\\"),
             QStringLiteral("\\pub\\"),
             {}});
}

TEST(LoginWalk, HomeIsRootWithInitialFolder)
{
    runWalk({QStringLiteral("\\pub\\x\\"),
             QStringLiteral(R"(
                expect pwd
                reply 257 "/" is your home
                expect cwd /pub/x
                reply 250 ok
             )"),
             QStringLiteral("\\"),
             QStringLiteral("\\"),
             QStringLiteral("\\pub\\x\\"),
             {}});
}

TEST(LoginWalk, InaccessibleInitialFolderFallsBackToRoot)
{
    runWalk({QStringLiteral("\\nothere\\"),
             QStringLiteral(R"(
                expect pwd
                reply 257 "/" is your home
                expect cwd /nothere
                reply 550 no such folder
             )"),
             QStringLiteral("\\"),
             QStringLiteral("\\"),
             QStringLiteral("\\"),
             {QStringLiteral(" !: Specified home/initial folder is in-accessible. Listing root "
                             "folder instead.")}});
}

TEST(LoginWalk, RefusedRootFallsBackToHome)
{
    runWalk({QString(),
             QStringLiteral(R"(
                expect pwd
                reply 257 "/home/ann" is your home
                expect cwd /
                reply 550 not allowed
                expect cwd /home/ann
                reply 250 ok
             )"),
             QStringLiteral("\\home\\ann\\"),
             QStringLiteral("\\"),
             QStringLiteral("\\home\\ann\\"),
             {QStringLiteral(" !: Specified initial-, rootFolder is inaccessible. Listing "
                             "home-folder instead.")}});
}

// A host that talks at length while the session logs in: the log-in information keeps its
// first lines and says how many more there were.
TEST(LoginWalk, LoginInformationIsBounded)
{
    ScriptedServer server(QStringLiteral(R"(
        default * 500 not today
        greet 220-welcome
        reply-repeat 899 220-the rules of this archive, once more
        reply 220 ready
        expect user anonymous
        reply 230-logged in
        reply-repeat 899 230-and the rules once again
        reply 230 ok
    )"));
    ASSERT_TRUE(server.start());
    TaskEngine engine;
    ConnectRequest request;
    request.session = {QStringLiteral("127.0.0.1"),
                       QString::number(server.port()),
                       QStringLiteral("anonymous"),
                       QStringLiteral("x@example.com")};
    request.passive = true;
    engine.connectMain(request);
    ASSERT_TRUE(waitFor([&] { return engine.loginInfo().size() > TaskEngine::MaxLoginInfoLines; },
                        10000))
            << server.log().toStdString();
    EXPECT_EQ(engine.loginInfo().size(), TaskEngine::MaxLoginInfoLines + 1);
    EXPECT_TRUE(engine.loginInfo().last().contains(
            QRegularExpression(QStringLiteral("^\\(\\d+ more lines not kept\\)$"))))
            << engine.loginInfo().last().toStdString();
}
