// The engine's own guard on tree deletes: whatever front end queues it, the host's root in any
// spelling is never deleted as a tree.
#include "connectedengine.h"
#include "support/pyftpdlibserver.h"

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
