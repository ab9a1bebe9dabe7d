// The options as a connection sees them: observers of the live object, and the copy a
// connection takes when it starts.
#include "connectedengine.h"
#include "platform/localpath.h"
#include "support/eventwait.h"
#include "support/files.h"
#include "support/vsftpdserver.h"
#include "tasks/taskengine.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

using ovtest::VsftpdServer;
using ovtest::waitFor;
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
TEST(OptionsChanges, SessionsStartedLaterUseTheOptionsOfTheConnect)
{
    VsftpdServer vsftpd;
    ASSERT_TRUE(vsftpd.start());
    const QByteArray text("one\r\ntwo\r\nthree\r\n");
    vsftpd.createFile(VsftpdServer::Tree::Upload, QStringLiteral("snap/notes.txt"), text);
    QTemporaryDir local;
    ASSERT_TRUE(local.isValid());

    Options options = Options::defaults();
    options.TransferMode = Options::Binary;
    TaskEngine engine;
    engine.useOptions(options);
    Observer seen(engine);
    engine.startTimers();
    engine.connectMain(anonymousRequest(vsftpd.port(), QString(), 2));
    ASSERT_TRUE(waitFor([&] { return seen.loginWalkDone(); }, 15000)) << seen.log().toStdString();

    // The download takes its size from the folder's listing.
    const OperationStart listing
            = engine.listHostFolder(HostPath{QStringLiteral("\\upload\\snap\\")});
    engine.Pass();
    ASSERT_TRUE(waitFor([&] { return seen.results.contains(listing.id); }, 30000));
    ASSERT_EQ(engine.taskList().count(), 1); // no task session yet

    options.TransferMode = Options::Ascii;
    options.changed();
    const QString target = NativeToLocal(local.path() + QStringLiteral("/notes.txt"));
    const OperationStart start = engine.download(
            {{HostPath{QStringLiteral("\\upload\\snap\\notes.txt")}, LocalPath{target}}});
    engine.Pass();
    ASSERT_TRUE(waitFor([&] { return seen.results.contains(start.id); }, 30000))
            << seen.log().toStdString();
    EXPECT_TRUE(seen.results.value(start.id).success()) << seen.log().toStdString();
    EXPECT_GE(seen.maxTasksSeen, 2); // the file went through a task session
    EXPECT_EQ(ovtest::readFile(local.path() + QStringLiteral("/notes.txt")), text);
}
