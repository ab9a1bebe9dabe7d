// The main session's walk after login (home, root and initial folder) against exact dialogues.
#include "connectedengine.h"
#include "support/scriptedserver.h"

#include <QRegularExpression>

using namespace enginetest;
using ovtest::ScriptedServer;

TEST(LoginWalk, HomeRootAndInitialFolder)
{
    // dialogue: "command>reply|..." between the login and the listing
    // clang-format off
    struct Walk { const char *initial; const char *dialogue; const char *home, *root, *shown; const char *warning; };
    const Walk walks[] = {
        {"", "pwd>257 \"/pub\" is home|cwd />250 ok|pwd>257 \"/\" is it|cwd /pub>250 ok", "\\pub\\", "\\", "\\pub\\", ""},
        {"\\pub\\x\\", "pwd>257 \"/\" is home|cwd /pub/x>250 ok", "\\", "\\", "\\pub\\x\\", ""},
        {"\\nothere\\", "pwd>257 \"/\" is home|cwd /nothere>550 no such folder", "\\", "\\", "\\", " !: Specified home/initial folder is in-accessible. Listing root folder instead."},
        {"", "pwd>257 \"/home/ann\" is home|cwd />550 not allowed|cwd /home/ann>250 ok", "\\home\\ann\\", "\\", "\\home\\ann\\", " !: Specified initial-, rootFolder is inaccessible. Listing home-folder instead."},
    };
    // clang-format on
    for (const Walk &walk : walks) {
        SCOPED_TRACE(walk.dialogue);
        QString script = QStringLiteral(
                "default noop 200 ok\ngreet 220 scripted\nexpect user anonymous\nreply 230 ok\n");
        for (const QString &step : QString::fromUtf8(walk.dialogue).split('|'))
            script += "expect " + step.section('>', 0, 0) + "\nreply " + step.section('>', 1)
                      + '\n';
        script += QStringLiteral("expect pasv\nreply-pasv\nexpect list\nreply 150 here\n"
                                 "data-send <<END\n"
                                 "-rw-r--r--   1 ftp      ftp             5 Jan 01  2020 a.txt\n"
                                 "END\nreply 226 done\n");
        ScriptedServer server(script);
        ASSERT_TRUE(server.start());
        TaskEngine engine;
        engine.startTimers();
        engine.connectMain(anonymousRequest(server.port(), QString::fromUtf8(walk.initial), 1));
        EXPECT_TRUE(server.waitForDone(10000)) << server.failure().toStdString();
        EXPECT_TRUE(waitFor([&] { return !engine.currentHostFolder().isEmpty(); }, 5000));
        EXPECT_EQ(engine.HomeFolder(), QString::fromUtf8(walk.home));
        EXPECT_EQ(engine.RootFolder(), QString::fromUtf8(walk.root));
        EXPECT_EQ(engine.currentHostFolder(), QString::fromUtf8(walk.shown));
        EXPECT_EQ(engine.RequestedFolder(), QString::fromUtf8(walk.shown));
        EXPECT_TRUE(engine.listingBuffer().contains(QString::fromUtf8(walk.shown)));
        if (*walk.warning) {
            EXPECT_TRUE(engine.log()->lines().contains(QString::fromUtf8(walk.warning)))
                    << engine.log()->lines().join('\n').toStdString();
        }
    }
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
    engine.connectMain(anonymousRequest(server.port(), QString(), 1));
    ASSERT_TRUE(waitFor([&] { return engine.loginInfo().size() > TaskEngine::MaxLoginInfoLines; },
                        10000))
            << server.log().toStdString();
    EXPECT_EQ(engine.loginInfo().size(), TaskEngine::MaxLoginInfoLines + 1);
    EXPECT_TRUE(engine.loginInfo().last().contains(
            QRegularExpression(QStringLiteral("^\\(\\d+ more lines not kept\\)$"))))
            << engine.loginInfo().last().toStdString();
}
