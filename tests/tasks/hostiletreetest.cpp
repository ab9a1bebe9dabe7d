// The engine against hosts that misbehave: the host's root is never deleted as a tree, in any
// spelling; endless trees stop at the walk's bounds; a download the host cut off is fetched again
// over a new session after the pause, and a file the host refuses for good is asked for once.
#include "connectedengine.h"
#include "support/pyftpdlibserver.h"
#include "support/scriptedserver.h"

#include <QFile>
#include <QFileInfo>

using namespace enginetest;

TEST(TaskEngineHostile, TreeDeleteOfTheRootIsRefusedInEverySpelling)
{
    ovtest::PyftpdlibServer pyftpd;
    ASSERT_TRUE(pyftpd.start());
    pyftpd.createFile(QStringLiteral("pub/a.txt"), "keep");
    pyftpd.createFile(QStringLiteral("top.txt"), "keep");
    TaskEngine engine;
    Observer seen(engine);
    QStringList skipped;
    QObject::connect(&engine, &TaskEngine::entrySkipped, [&](const QString &what, bool fails) {
        if (fails)
            skipped << what;
    });
    engine.startTimers();
    engine.connectMain(anonymousRequest(pyftpd.port(), QString(), 2));
    ASSERT_TRUE(waitFor([&] { return seen.loginWalkDone(); }, 15000)) << seen.log().toStdString();

    const QStringList roots{
            "\\", "\\\\", "\\.\\", "\\pub\\..\\", "\\pub\\.\\..\\", "\\pub\\..\\..\\"};
    for (const QString &root : roots)
        engine.transferQueue().append(TransferQueue::DeleteTreeEntry(root));
    engine.Pass();
    ASSERT_TRUE(waitFor([&] { return skipped.size() == roots.size(); }, 20000))
            << skipped.join('\n').toStdString() << "\n"
            << seen.log().toStdString();
    ovtest::spinFor(500);
    EXPECT_TRUE(QFileInfo::exists(pyftpd.path(QStringLiteral("pub/a.txt"))));
    EXPECT_TRUE(QFileInfo::exists(pyftpd.path(QStringLiteral("top.txt"))));
    EXPECT_TRUE(seen.log().contains(QStringLiteral("it is the host's root folder")));
    for (const QString &command : pyftpd.commands())
        EXPECT_FALSE(command.startsWith(QLatin1String("DELE")) || command.startsWith("RMD"))
                << command.toStdString();
}

// A host whose folders nest without end: a tree delete walks only so deep and so wide, says
// where it stopped, and deletes nothing.
TEST(TaskEngineHostile, EndlessTreesStopAtTheWalksBounds)
{
    // The bounds, the reason given, the listings (the login walk lists "/" too).
    // clang-format off
    const std::tuple<int, int, const char *, int> bounds[] = {
            {TcFTP::DefaultMaxTreeDepth, TcFTP::DefaultMaxTreeFolders, "more than 64 levels below", 66},
            {TcFTP::DefaultMaxTreeDepth, 5, "at most 5 folders", 6},
    };
    // clang-format on
    for (const auto &[depth, folders, reason, listed] : bounds) {
        SCOPED_TRACE(reason);
        ovtest::ScriptedServer endless(QStringLiteral("serve-host endless"));
        ASSERT_TRUE(endless.start());
        TaskEngine engine;
        Observer seen(engine);
        engine.startTimers();
        engine.connectMain(anonymousRequest(endless.port(), QString(), 1));
        ASSERT_TRUE(waitFor([&] { return seen.loginWalkDone(); }, 15000))
                << seen.log().toStdString();
        engine.MainFTP()->setTreeWalkBounds(depth, folders);
        const OperationStart start = engine.deleteTree(HostPath{QStringLiteral("\\deep\\")});
        engine.Pass();
        ASSERT_TRUE(waitFor([&] { return seen.results.contains(start.id); }, 120000))
                << seen.log().toStdString();
        EXPECT_FALSE(seen.results.value(start.id).success());
        EXPECT_TRUE(seen.log().contains(QLatin1String(reason))) << seen.log().toStdString();
        EXPECT_EQ(endless.events().filter(QStringLiteral("DELETED")), QStringList());
        int lists = 0;
        for (const QByteArray &command : endless.commands())
            lists += command.toUpper().startsWith("LIST") ? 1 : 0;
        EXPECT_EQ(lists, listed);
    }
}

TEST(TransferRetries, TaskSessionsFetchAgainWhatTheHostCutOff)
{
    ovtest::PyftpdlibServer host;
    host.setDropFirstRetr();
    ASSERT_TRUE(host.start());
    host.createFile(QStringLiteral("pub/a.bin"), ovtest::testBytes(300000, 1));
    host.createFile(QStringLiteral("pub/b.bin"), ovtest::testBytes(1000, 2));
    host.createFile(QStringLiteral("pub/c.bin"), ovtest::testBytes(70000, 3));
    QTemporaryDir local;
    const QString into = NativeToLocal(local.path() + QLatin1Char('/'));

    TaskEngine engine;
    Observer seen(engine);
    engine.options().RetryPause = 1;
    engine.startTimers();
    engine.connectMain(anonymousRequest(host.port(), QStringLiteral("\\pub\\"), 3));
    ASSERT_TRUE(waitFor([&] { return seen.loginWalkDone(); }, 15000)) << seen.log().toStdString();
    // Listed, then gone: the host answers 550, which is final.
    ASSERT_TRUE(QFile::remove(host.path(QStringLiteral("pub/b.bin"))));

    const QString pub = QStringLiteral("\\pub\\");
    const OperationStart start
            = engine.download({{HostPath{pub + "a.bin"}, LocalPath{into + "a.bin"}},
                               {HostPath{pub + "b.bin"}, LocalPath{into + "b.bin"}},
                               {HostPath{pub + "c.bin"}, LocalPath{into + "c.bin"}}});
    engine.Pass();
    ASSERT_TRUE(waitFor([&] { return seen.results.contains(start.id); }, 60000))
            << seen.log().toStdString();
    const OperationResult result = seen.results.value(start.id);
    ASSERT_EQ(result.items.size(), 3) << seen.log().toStdString();
    for (const ItemResult &item : result.items) {
        SCOPED_TRACE(item.target.toStdString());
        const bool refused = item.target.endsWith(QLatin1String("b.bin"));
        EXPECT_EQ(item.success, !refused) << item.reason().toStdString();
        EXPECT_EQ(item.attempts, refused ? 1 : 2);
        EXPECT_EQ(item.reason().left(4), refused ? QStringLiteral("550 ") : QString());
    }
    EXPECT_EQ(ovtest::readFile(local.filePath("a.bin")) == ovtest::testBytes(300000, 1), true);
    EXPECT_EQ(ovtest::readFile(local.filePath("c.bin")) == ovtest::testBytes(70000, 3), true);
    const QString log = seen.log();
    EXPECT_TRUE(log.contains("Retrying a.bin (attempt 2 of 3) in 1 s: the connection was lost"))
            << log.toStdString();
    EXPECT_TRUE(log.contains("Retrying c.bin (attempt 2 of 3) in 1 s")) << log.toStdString();
    EXPECT_FALSE(log.contains("Retrying b.bin")) << log.toStdString();
    EXPECT_EQ(host.commands().filter(QStringLiteral("retr /pub/b.bin")).size(), 1);
    EXPECT_EQ(host.commands().filter(QStringLiteral("retr /pub/a.bin")).size(), 2);
}
