#include "settings/options.h"

#include "platform/localpath.h"
#include "settings/registry.h"
#include "settings/registrykeys.h"
#include "sites/tsiteobject.h"
#include "util/fieldstring.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(Options, FirstStartGivesTheDefaultRecord)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Registry reg(dir.filePath(QStringLiteral("registry.json")));
    const Options options = Options::load(reg);

    // The Downloads folder, in the internal form, not the shared temporary folder.
    const QString downloads
            = QDir::cleanPath(QStandardPaths::writableLocation(QStandardPaths::DownloadLocation));
    EXPECT_TRUE(options.DownLoadFolder.endsWith(QLatin1Char('\\')));
    EXPECT_FALSE(options.DownLoadFolder.contains(QLatin1Char('/')));
    EXPECT_EQ(QDir::cleanPath(LocalToNative(options.DownLoadFolder)), downloads);
    EXPECT_NE(QDir::cleanPath(LocalToNative(options.DownLoadFolder)),
              QDir::cleanPath(QDir::tempPath()));

    EXPECT_EQ(options.EMail, Options::defaultEMail());
    EXPECT_TRUE(options.EMail.contains(QLatin1Char('@')));
    EXPECT_TRUE(options.ConfirmDelete);
    EXPECT_FALSE(options.ConfirmTransfer);
    EXPECT_FALSE(options.ConfirmDisconnect);
    EXPECT_EQ(options.StartUpDialog, Options::MainScreen);
    EXPECT_FALSE(options.FullrowSelect);
    EXPECT_FALSE(options.ClearLogWin);
    EXPECT_FALSE(options.doSND1 || options.doSND2 || options.doSND3 || options.doSND4);
    EXPECT_TRUE(options.snd1.isEmpty() && options.snd4.isEmpty());
    EXPECT_TRUE(options.Resume);
    EXPECT_FALSE(options.ShowLogInInfo);
    EXPECT_EQ(options.KAP, 2);
    EXPECT_EQ(options.Reconnect, 2);
    EXPECT_TRUE(options.ShowMainGeneral && options.ShowMainIO && options.ShowMultiGeneral
                && options.ShowMultiIO);
    EXPECT_EQ(options.TransferMode, Options::ProgramDecides);
    EXPECT_TRUE(options.firehost.isEmpty());
    EXPECT_EQ(options.FirePortPos, 21);
    EXPECT_EQ(options.FireType, 0);
    EXPECT_EQ(options.ASCExtList.items(),
              (QStringList{QStringLiteral(".bat"),
                           QStringLiteral(".c"),
                           QStringLiteral(".cpp"),
                           QStringLiteral(".h"),
                           QStringLiteral(".htm"),
                           QStringLiteral(".html"),
                           QStringLiteral(".mak"),
                           QStringLiteral(".pas"),
                           QStringLiteral(".txt")}));

    const QString record = Options::defaultRecord();
    EXPECT_EQ(FieldCount(record, QLatin1Char('*')), 29);
    EXPECT_TRUE(
            record.endsWith(QLatin1String("*0**21*0*.bat:.htm:.html:.c:.pas:.cpp:.h:.mak:.txt")));
    EXPECT_EQ(Options::fromRecord(QString()).toRecord(), options.toRecord());
}

TEST(Options, RecordRoundTripsThroughTheStore)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("registry.json"));
    Options changed = Options::defaults();
    changed.DownLoadFolder = QStringLiteral("Z:\\srv\\in\\");
    changed.EMail = QStringLiteral("Ann@Example.ORG");
    changed.ConfirmDelete = false;
    changed.ConfirmTransfer = true;
    changed.ConfirmDisconnect = true;
    changed.StartUpDialog = Options::QuickConnect;
    changed.FullrowSelect = true;
    changed.ClearLogWin = true;
    changed.doSND1 = true;
    changed.snd1 = QStringLiteral("/usr/share/sounds/a.wav");
    changed.doSND4 = true;
    changed.snd4 = QStringLiteral("/tmp/b c.wav");
    changed.Resume = false;
    changed.ShowLogInInfo = true;
    changed.KAP = 31;
    changed.Reconnect = 0;
    changed.ShowMultiIO = false;
    changed.TransferMode = Options::Ascii;
    changed.firehost = QStringLiteral("proxy.local");
    changed.FirePortPos = 2121;
    changed.FireType = Options::OpenHost;
    changed.ASCExtList.add(QStringLiteral("md"));
    {
        Registry reg(path);
        QString error;
        ASSERT_TRUE(changed.save(reg, &error)) << error.toStdString();
    }
    Registry reg(path);
    ASSERT_TRUE(reg.openKey(RegistryKeys::setup(), false));
    EXPECT_EQ(reg.readString(QStringLiteral("setup")), changed.toRecord());
    const Options loaded = Options::load(reg);
    EXPECT_EQ(loaded.toRecord(), changed.toRecord());
    EXPECT_EQ(loaded.EMail, QStringLiteral("Ann@Example.ORG"));
    EXPECT_EQ(loaded.anonymousPassword(), QStringLiteral("ann@example.org"));
    EXPECT_EQ(loaded.KAP, 31);
    EXPECT_EQ(loaded.ASCExtList.count(), 10);
    EXPECT_EQ(loaded.snd4, QStringLiteral("/tmp/b c.wav"));

    // A "*" in a text would shift every later field: it is left out instead.
    Options starred = changed;
    starred.snd1 = QStringLiteral("/music/*best*.wav");
    const Options reread = Options::fromRecord(starred.toRecord());
    EXPECT_EQ(reread.snd1, QStringLiteral("/music/best.wav"));
    EXPECT_EQ(reread.toRecord(),
              changed.toRecord().replace(QLatin1String("/usr/share/sounds/a.wav"),
                                         QLatin1String("/music/best.wav")));

    // An empty or mistyped stored value gives the default record.
    ASSERT_TRUE(reg.openKey(RegistryKeys::setup(), false));
    reg.writeString(QStringLiteral("setup"), QString());
    EXPECT_EQ(Options::load(reg).toRecord(), Options::defaults().toRecord());
    reg.writeInteger(QStringLiteral("setup"), 7);
    EXPECT_EQ(Options::load(reg).toRecord(), Options::defaults().toRecord());
}

TEST(Options, RecordEndingEarlyKeepsTheInitialStates)
{
    const Options options = Options::fromRecord(QStringLiteral("Z:\\dl\\*me@host*0*0"));
    EXPECT_EQ(options.DownLoadFolder, QStringLiteral("Z:\\dl\\"));
    EXPECT_EQ(options.EMail, QStringLiteral("me@host"));
    EXPECT_FALSE(options.ConfirmDelete);
    EXPECT_FALSE(options.ConfirmTransfer);
    // Not reached: every check box checked but the sound boxes, KAP and Reconnect at 1,
    // item 0 in the radio groups, port 21, texts empty.
    EXPECT_TRUE(options.ConfirmDisconnect);
    EXPECT_TRUE(options.FullrowSelect);
    EXPECT_TRUE(options.ClearLogWin);
    EXPECT_FALSE(options.doSND1 || options.doSND2 || options.doSND3 || options.doSND4);
    EXPECT_TRUE(options.Resume);
    EXPECT_TRUE(options.ShowLogInInfo);
    EXPECT_EQ(options.KAP, 1);
    EXPECT_EQ(options.Reconnect, 1);
    EXPECT_TRUE(options.ShowMainGeneral && options.ShowMainIO && options.ShowMultiGeneral
                && options.ShowMultiIO);
    EXPECT_EQ(options.StartUpDialog, 0);
    EXPECT_EQ(options.TransferMode, 0);
    EXPECT_EQ(options.FireType, 0);
    EXPECT_EQ(options.FirePortPos, 21);
    EXPECT_TRUE(options.snd1.isEmpty());
    EXPECT_TRUE(options.firehost.isEmpty());
    EXPECT_EQ(options.ASCExtList.count(), 0);
}

TEST(Options, FieldThatIsNotANumberDoesNotStopTheReading)
{
    QStringList fields = Options::defaultRecord().split(QLatin1Char('*'));
    ASSERT_EQ(fields.size(), 29);
    fields[2] = QStringLiteral("yes");  // ConfirmDelete
    fields[18] = QStringLiteral("ten"); // KAP
    fields[19] = QStringLiteral("7");   // Reconnect, read after the bad fields
    fields[26] = QString();             // FirePortPos
    fields[5] = QStringLiteral("9");    // StartUpDialog: held to the last item
    fields[3] = QStringLiteral("-4");   // ConfirmTransfer: any non-zero number checks it
    fields << QStringLiteral("extra") << QStringLiteral("fields");
    const Options options = Options::fromRecord(fields.join(QLatin1Char('*')));
    EXPECT_TRUE(options.ConfirmDelete); // the initial state
    EXPECT_TRUE(options.ConfirmTransfer);
    EXPECT_EQ(options.KAP, 1);
    EXPECT_EQ(options.Reconnect, 7);
    EXPECT_EQ(options.FirePortPos, 21);
    EXPECT_EQ(options.StartUpDialog, Options::QuickConnect);
    EXPECT_EQ(options.ASCExtList.count(), 9);

    Options clamped;
    clamped.applyRecord(QStringLiteral("*****************0*0*99*******99999*5"));
    EXPECT_EQ(clamped.KAP, 1);
    EXPECT_EQ(clamped.Reconnect, 31);
    EXPECT_EQ(clamped.FirePortPos, 32000);
    EXPECT_EQ(clamped.FireType, 1);
}

TEST(Options, ValuesHandedToASession)
{
    EXPECT_EQ(Options::maxSecsIdle(31), 1313625595);
    EXPECT_EQ(Options::maxSecsIdle(1), 55);
    EXPECT_EQ(Options::maxSecsIdle(2), 115);
    EXPECT_EQ(Options::kapLabel(31), QStringLiteral("42 years of host in-activity."));
    EXPECT_EQ(Options::kapLabel(3), QStringLiteral("3 minute(s) of host in-activity."));
    EXPECT_EQ(Options::reconnectDelaySecs(0), 1);
    EXPECT_EQ(Options::reconnectDelaySecs(2), 10);
    EXPECT_EQ(Options::reconnectDelaySecs(31), 1324512000);
    EXPECT_EQ(Options::reconnectLabel(0), QStringLiteral("0 seconds delay."));
    EXPECT_EQ(Options::reconnectLabel(4), QStringLiteral("20 seconds delay."));
    EXPECT_EQ(Options::reconnectLabel(31), QStringLiteral("42 years delay."));

    Options options = Options::defaults();
    options.KAP = 31;
    options.Resume = false;
    options.firehost = QStringLiteral("fw.local");
    options.FirePortPos = 1080;
    options.FireType = Options::OpenHost;

    SessionOptions s = options.sessionOptions(false);
    EXPECT_FALSE(s.ResumeTransfers);
    EXPECT_EQ(s.MaxSecsIdle, 1313625595);
    EXPECT_TRUE(s.AutoTransferMode);
    EXPECT_TRUE(s.setsFirewall);
    EXPECT_EQ(s.FirewallType, 0);
    EXPECT_EQ(s.reconnectDelaySecs, 10);
    EXPECT_EQ(s.ASCExtension.size(), 9);
    EXPECT_TRUE(s.ASCExtension.contains(QStringLiteral("txt")));

    options.TransferMode = Options::Binary;
    s = options.sessionOptions(true); // the current Setup type counts

    EXPECT_EQ(s.FirewallType, 2);
    EXPECT_EQ(s.FirewallHost, QStringLiteral("fw.local"));
    EXPECT_EQ(s.FirewallPort, 1080);
    EXPECT_FALSE(s.AutoTransferMode);
    EXPECT_TRUE(s.BinaryMode);

    options.TransferMode = Options::Ascii;
    options.KAP = 1;
    options.Reconnect = 0;
    s = options.sessionOptions(std::nullopt); // a quick connection leaves the firewall alone
    EXPECT_FALSE(s.setsFirewall);
    EXPECT_FALSE(s.AutoTransferMode);
    EXPECT_FALSE(s.BinaryMode);
    EXPECT_EQ(s.MaxSecsIdle, 55);
    EXPECT_EQ(s.reconnectDelaySecs, 1);

    options.DownLoadFolder = QStringLiteral("Z:/srv//in");
    options.normaliseDownloadFolder();
    EXPECT_EQ(options.DownLoadFolder, QStringLiteral("Z:\\srv\\in\\"));
    options.DownLoadFolder.clear();
    options.normaliseDownloadFolder();
    EXPECT_TRUE(options.DownLoadFolder.isEmpty());

    options.EMail.clear();
    EXPECT_EQ(options.anonymousPassword(), Options::defaultEMail());
}

} // namespace
