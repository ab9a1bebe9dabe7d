// The engine's operations against vsftpd: each part's result and the names left out.
#include "connectedengine.h"

#include <QFileInfo>

using namespace enginetest;

namespace {
// Each part: its target, ok or failed, and the code of the host's last reply.
std::string parts(const OperationResult &result)
{
    QStringList lines;
    for (const ItemResult &item : result.items)
        lines << QStringLiteral("%1 %2 %3")
                         .arg(item.target, item.success ? "ok" : "failed", item.hostReply.left(3));
    return lines.join(QLatin1Char('\n')).toStdString();
}
} // namespace

using EngineOperations = EngineTest;

TEST_F(EngineOperations, EachPartHasItsResultAndUnusableNamesAreLeftOut)
{
    vsftpd().createFile(VsftpdServer::Tree::Upload, own() + QStringLiteral("/a.txt"), "hello");
    ASSERT_TRUE(connect(QString(), 2));
    const QString ops = "\\upload\\" + own() + '\\';
    const QString into = localFolder;

    // A listing of a folder that is not there fails; the other one succeeds. A download takes
    // its size from the listing.
    EXPECT_FALSE(run(engine.listHostFolder(HostPath{ops + "nowhere\\"})).success());
    EXPECT_TRUE(run(engine.listHostFolder(HostPath{ops})).success());

    // Two files asked for, one missing on the host (so never asked for); a name holding "*"
    // never travels.
    OperationStart start = engine.download({{HostPath{ops + "a.txt"}, LocalPath{into + "a.txt"}},
                                            {HostPath{ops + "none.txt"}, LocalPath{into + "n"}},
                                            {HostPath{ops + "odd*name"}, LocalPath{into + "o"}}});
    ASSERT_EQ(start.skipped.size(), 1);
    EXPECT_EQ(start.skipped.first().name, ops + "odd*name");
    OperationResult result = run(start);
    ASSERT_EQ(result.items.size(), 2) << log();
    EXPECT_EQ(result.items.at(0).bytes, 5);
    EXPECT_EQ(result.items.at(0).target, into + "a.txt");
    EXPECT_TRUE(result.items.at(0).success);
    EXPECT_EQ(result.items.at(1).target, into + "n");
    EXPECT_FALSE(result.items.at(1).success);
    EXPECT_FALSE(result.success());

    // Renames settle one by one from the host's answers.
    result = run(engine.renameOnHost({{HostPath{ops + "a.txt"}, QStringLiteral("b.txt")},
                                      {HostPath{ops + "gone.txt"}, QStringLiteral("c.txt")}}));
    EXPECT_EQ(parts(result), "b.txt ok 250\nc.txt failed 550") << log();
    EXPECT_TRUE(QFileInfo::exists(vsftpd().path(VsftpdServer::Tree::Upload, own() + "/b.txt")));

    result = run(engine.makeHostFolder(HostPath{ops + "made\\"}));
    EXPECT_TRUE(result.success()) << parts(result);
    EXPECT_TRUE(QFileInfo(vsftpd().path(VsftpdServer::Tree::Upload, own() + "/made")).isDir());

    result = run(engine.deleteOnHost({HostPath{ops + "b.txt"}, HostPath{ops + "zzz"}}));
    EXPECT_EQ(parts(result), (ops + "b.txt ok 250\n" + ops + "zzz failed 550").toStdString())
            << log();
}
