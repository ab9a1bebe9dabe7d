#include "settings/options.h"

#include "platform/localpath.h"
#include "settings/registry.h"
#include "settings/registrykeys.h"
#include "support/qtprinters.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

TEST(Options, RecordRoundTripsThroughTheStore)
{
    QTemporaryDir dir;
    Registry reg(dir.filePath(QStringLiteral("registry.json")));
    // First start: the Downloads folder in the internal form, not the shared temporary folder.
    const Options first = Options::load(reg);
    EXPECT_TRUE(first.DownLoadFolder.endsWith(QLatin1Char('\\')));
    EXPECT_EQ(QDir::cleanPath(LocalToNative(first.DownLoadFolder)),
              QDir::cleanPath(QStandardPaths::writableLocation(QStandardPaths::DownloadLocation)));
    EXPECT_EQ(first.toRecord(), Options::defaults().toRecord());

    Options changed = Options::defaults();
    changed.DownLoadFolder = QStringLiteral("Z:\\srv\\in\\");
    changed.EMail = QStringLiteral("Ann@Example.ORG");
    changed.ConfirmDelete = false;
    changed.StartUpDialog = Options::QuickConnect;
    changed.doSND4 = true;
    changed.snd4 = QStringLiteral("/tmp/b c.wav");
    changed.KAP = 31;
    changed.Reconnect = 0;
    changed.TransferMode = Options::Ascii;
    changed.firehost = QStringLiteral("proxy.local");
    changed.FirePortPos = 2121;
    changed.FireType = Options::OpenHost;
    changed.ASCExtList.add(QStringLiteral("md"));
    ASSERT_TRUE(changed.save(reg));
    Registry again(dir.filePath(QStringLiteral("registry.json")));
    const Options loaded = Options::load(again);
    EXPECT_EQ(loaded.toRecord(), changed.toRecord());
    EXPECT_EQ(loaded.anonymousPassword(), QStringLiteral("ann@example.org"));

    // A "*" in a text would shift every later field: it is left out instead.
    Options starred = changed;
    starred.snd4 = QStringLiteral("/music/*best*.wav");
    EXPECT_EQ(Options::fromRecord(starred.toRecord()).toRecord(),
              changed.toRecord().replace("/tmp/b c.wav", "/music/best.wav"));

    // An empty or mistyped stored value gives the default record.
    ASSERT_TRUE(again.openKey(RegistryKeys::setup(), false));
    again.writeString(QStringLiteral("setup"), QString());
    EXPECT_EQ(Options::load(again).toRecord(), Options::defaults().toRecord());
    again.writeInteger(QStringLiteral("setup"), 7);
    EXPECT_EQ(Options::load(again).toRecord(), Options::defaults().toRecord());
}

TEST(Options, BadFieldsAndShortRecordsKeepTheInitialStates)
{
    // Not reached: every check box checked but the sound boxes, KAP and Reconnect at 1, the
    // first item of the radio groups, port 21, texts empty.
    const Options early = Options::fromRecord(QStringLiteral("Z:\\dl\\*me@host*0*0"));
    EXPECT_EQ(early.DownLoadFolder, QStringLiteral("Z:\\dl\\"));
    EXPECT_FALSE(early.ConfirmDelete || early.ConfirmTransfer || early.doSND1);
    EXPECT_TRUE(early.ConfirmDisconnect && early.Resume && early.ShowLogInInfo);
    EXPECT_EQ(QList<int>({early.KAP, early.Reconnect, early.FirePortPos, early.FireType}),
              QList<int>({1, 1, 21, 0}));
    EXPECT_EQ(early.ASCExtList.count(), 0);

    QStringList fields = Options::defaultRecord().split(QLatin1Char('*'));
    ASSERT_EQ(fields.size(), Options::RecordFields);
    fields[2] = QStringLiteral("yes");  // ConfirmDelete: stays checked
    fields[3] = QStringLiteral("-4");   // ConfirmTransfer: any non-zero number checks it
    fields[5] = QStringLiteral("9");    // StartUpDialog: held to the last item
    fields[18] = QStringLiteral("ten"); // KAP
    fields[19] = QStringLiteral("7");   // Reconnect, read after the bad fields
    fields[26] = QString();             // FirePortPos
    fields << QStringLiteral("extra") << QStringLiteral("fields");
    const Options bad = Options::fromRecord(fields.join(QLatin1Char('*')));
    EXPECT_TRUE(bad.ConfirmDelete && bad.ConfirmTransfer);
    EXPECT_EQ(bad.StartUpDialog, Options::QuickConnect);
    EXPECT_EQ(QList<int>({bad.KAP, bad.Reconnect, bad.FirePortPos}), QList<int>({1, 7, 21}));
    EXPECT_EQ(bad.ASCExtList.count(), 9);

    Options clamped;
    clamped.applyRecord(QStringLiteral("*****************0*0*99*******99999*5"));
    EXPECT_EQ(QList<int>({clamped.KAP, clamped.Reconnect, clamped.FirePortPos, clamped.FireType}),
              QList<int>({1, 31, 32000, 1}));
}

TEST(Options, ValuesHandedToASession)
{
    Options options = Options::defaults();
    options.Resume = false;
    options.firehost = QStringLiteral("fw.local");
    options.FirePortPos = 1080;
    options.FireType = Options::OpenHost;
    SessionOptions s = options.sessionOptions(false);
    EXPECT_FALSE(s.ResumeTransfers);
    EXPECT_TRUE(s.AutoTransferMode);
    EXPECT_TRUE(s.setsFirewall);
    EXPECT_EQ(s.FirewallType, 0);
    EXPECT_TRUE(s.ASCExtension.contains(QStringLiteral("txt")));
    options.TransferMode = Options::Binary;
    s = options.sessionOptions(true); // the current Setup type counts
    EXPECT_EQ(s.FirewallType, 2);
    EXPECT_EQ(s.FirewallPort, 1080);
    EXPECT_FALSE(s.AutoTransferMode);
    EXPECT_TRUE(s.BinaryMode);
    s = options.sessionOptions(std::nullopt); // a quick connection leaves the firewall alone
    EXPECT_FALSE(s.setsFirewall);

    options.DownLoadFolder = QStringLiteral("Z:/srv//in");
    options.normaliseDownloadFolder();
    EXPECT_EQ(options.DownLoadFolder, QStringLiteral("Z:\\srv\\in\\"));
    options.EMail.clear();
    EXPECT_EQ(options.anonymousPassword(), Options::defaultEMail());
}

// Observers of the live options, never of a copy a connection takes when it starts.
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
