// Task sessions trying a transfer again: pyftpdlib hangs up on the first download of each file;
// the engine fetches it over a new session after the pause, and a file the host refuses for
// good is asked for once, its result saying why.
#include "connectedengine.h"
#include "support/pyftpdlibserver.h"

#include <QFile>

using namespace enginetest;
using ovtest::PyftpdlibServer;
using ovtest::testBytes;

TEST(TransferRetries, TaskSessionsFetchAgainWhatTheHostCutOff)
{
    PyftpdlibServer host;
    host.setDropFirstRetr();
    ASSERT_TRUE(host.start());
    host.createFile(QStringLiteral("pub/a.bin"), testBytes(300000, 1));
    host.createFile(QStringLiteral("pub/b.bin"), testBytes(1000, 2));
    host.createFile(QStringLiteral("pub/c.bin"), testBytes(70000, 3));
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
    EXPECT_EQ(ovtest::readFile(local.filePath("a.bin")) == testBytes(300000, 1), true);
    EXPECT_EQ(ovtest::readFile(local.filePath("c.bin")) == testBytes(70000, 3), true);
    const QString log = seen.log();
    EXPECT_TRUE(log.contains("Retrying a.bin (attempt 2 of 3) in 1 s: the connection was lost"))
            << log.toStdString();
    EXPECT_TRUE(log.contains("Retrying c.bin (attempt 2 of 3) in 1 s")) << log.toStdString();
    EXPECT_FALSE(log.contains("Retrying b.bin")) << log.toStdString();
    EXPECT_EQ(host.commands().filter(QStringLiteral("retr /pub/b.bin")).size(), 1);
    EXPECT_EQ(host.commands().filter(QStringLiteral("retr /pub/a.bin")).size(), 2);
}
