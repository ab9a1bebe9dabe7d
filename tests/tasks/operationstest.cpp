// The engine's operations against vsftpd: each part's result and the names left out.
#include "enginetesthelpers.h"
#include "platform/localpath.h"
#include "support/eventwait.h"
#include "support/qtprinters.h"
#include "support/vsftpdserver.h"
#include "tasks/taskengine.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using ovtest::VsftpdServer;
using ovtest::waitFor;
using namespace enginetest;

namespace {

// Runs an operation to its end; its result, or an empty one with id 0 when none came.
OperationResult runToEnd(TaskEngine &engine, Observer &seen, const OperationStart &start)
{
    engine.Pass();
    if (start.id == 0 || !waitFor([&] { return seen.results.contains(start.id); }, 30000))
        return {};
    return seen.results.value(start.id);
}

// Each part: its target, ok or failed, and the code of the host's last reply.
std::string parts(const OperationResult &result)
{
    QStringList lines;
    for (const ItemResult &item : result.items)
        lines << QStringLiteral("%1 %2 %3")
                         .arg(item.target)
                         .arg(item.success ? "ok" : "failed")
                         .arg(item.hostReply.left(3));
    return lines.join(QLatin1Char('\n')).toStdString();
}

} // namespace

TEST(EngineOperations, EachPartHasItsResultAndUnusableNamesAreLeftOut)
{
    VsftpdServer vsftpd;
    ASSERT_TRUE(vsftpd.start());
    vsftpd.createFile(VsftpdServer::Tree::Upload, QStringLiteral("ops/a.txt"), "hello");
    QTemporaryDir local;
    ASSERT_TRUE(local.isValid());
    const QString into = NativeToLocal(local.path() + QLatin1Char('/'));

    TaskEngine engine;
    Observer seen(engine);
    engine.startTimers();
    engine.connectMain(anonymousRequest(vsftpd.port(), QString(), 2));
    ASSERT_TRUE(waitFor([&] { return seen.loginWalkDone(); }, 15000)) << seen.log().toStdString();

    // A listing of a folder that is not there fails; the other one succeeds. A download takes
    // its size from the listing.
    const QString ops = QStringLiteral("\\upload\\ops\\");
    EXPECT_FALSE(
            runToEnd(engine, seen, engine.listHostFolder(HostPath{ops + "nowhere\\"})).success());
    EXPECT_TRUE(runToEnd(engine, seen, engine.listHostFolder(HostPath{ops})).success());

    // Two files asked for, one missing on the host (so never asked for); a name holding "*"
    // never travels.
    OperationStart start = engine.download({{HostPath{ops + "a.txt"}, LocalPath{into + "a.txt"}},
                                            {HostPath{ops + "none.txt"}, LocalPath{into + "n"}},
                                            {HostPath{ops + "odd*name"}, LocalPath{into + "o"}}});
    ASSERT_EQ(start.skipped.size(), 1);
    EXPECT_EQ(start.skipped.first().name, ops + "odd*name");
    OperationResult result = runToEnd(engine, seen, start);
    ASSERT_EQ(result.items.size(), 2) << seen.log().toStdString();
    EXPECT_EQ(result.items.at(0).target, into + "a.txt");
    EXPECT_TRUE(result.items.at(0).success);
    EXPECT_EQ(result.items.at(0).bytes, 5);
    EXPECT_EQ(result.items.at(1).target, into + "n");
    EXPECT_FALSE(result.items.at(1).success);
    EXPECT_FALSE(result.success());

    // Renames settle one by one from the host's answers.
    result = runToEnd(engine,
                      seen,
                      engine.renameOnHost({{HostPath{ops + "a.txt"}, QStringLiteral("b.txt")},
                                           {HostPath{ops + "gone.txt"}, QStringLiteral("c.txt")}}));
    EXPECT_EQ(parts(result), "b.txt ok 250\nc.txt failed 550") << seen.log().toStdString();
    EXPECT_TRUE(QFileInfo::exists(vsftpd.path(VsftpdServer::Tree::Upload, "ops/b.txt")));

    result = runToEnd(engine, seen, engine.makeHostFolder(HostPath{ops + "made\\"}));
    EXPECT_TRUE(result.success()) << parts(result);
    EXPECT_TRUE(QFileInfo(vsftpd.path(VsftpdServer::Tree::Upload, "ops/made")).isDir());

    result = runToEnd(
            engine, seen, engine.deleteOnHost({HostPath{ops + "b.txt"}, HostPath{ops + "zzz"}}));
    EXPECT_EQ(parts(result), (ops + "b.txt ok 250\n" + ops + "zzz failed 550").toStdString())
            << seen.log().toStdString();
}
