// The options as a connection sees them: observers of the live object, and the copy a
// connection takes when it starts.
#include "connectedengine.h"

using namespace enginetest;

TEST(OptionsChanges, ObserversBelongToTheLiveObjectAloneAndEndWithTheirContext)
{
    Options live = Options::defaults();
    int heard = 0;
    auto context = std::make_unique<QObject>();
    live.observe(context.get(), [&] { ++heard; });

    live.changed();
    EXPECT_EQ(heard, 1);

    // A snapshot tells nobody; the live object replaced wholesale (Setup's cancel, a reload)
    // still tells its observers.
    const Options snapshot = live;
    snapshot.changed();
    EXPECT_EQ(heard, 1);
    live = Options::fromRecord(QString());
    live.changed();
    EXPECT_EQ(heard, 2);

    context.reset();
    live.changed();
    EXPECT_EQ(heard, 2);
}

// Options edited after the connection started leave its sessions alone, also a task session
// started afterwards: the file is received in binary as at connect, though the live options
// say ASCII by now (which would turn the file's CR LF into LF).
using OptionsAtConnect = EngineTest;

TEST_F(OptionsAtConnect, SessionsStartedLaterUseTheOptionsOfTheConnect)
{
    const QByteArray text("one\r\ntwo\r\nthree\r\n");
    vsftpd().createFile(VsftpdServer::Tree::Upload, own() + QStringLiteral("/notes.txt"), text);
    Options options = Options::defaults();
    options.TransferMode = Options::Binary;
    engine.useOptions(options);
    ASSERT_TRUE(connect(QString(), 2));

    // The download takes its size from the folder's listing.
    const QString folder = "\\upload\\" + own() + "\\";
    ASSERT_TRUE(run(engine.listHostFolder(HostPath{folder})).success()) << log();
    ASSERT_EQ(engine.taskList().count(), 1); // no task session yet

    options.TransferMode = Options::Ascii;
    options.changed();
    const OperationResult result = run(engine.download(
            {{HostPath{folder + "notes.txt"}, LocalPath{localFolder + "notes.txt"}}}));
    EXPECT_TRUE(result.success()) << log();
    EXPECT_GE(seen.maxTasksSeen, 2); // the file went through a task session
    EXPECT_EQ(ovtest::readFile(local.filePath(QStringLiteral("notes.txt"))), text);
}
