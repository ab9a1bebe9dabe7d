// The engine's own guard on tree deletes: whatever front end queues it, the host's root in any
// spelling is never deleted as a tree.
#include "connectedengine.h"
#include "support/pyftpdlibserver.h"
#include "support/scriptedserver.h"

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
