#include "settings/layoutrecord.h"

#include "settings/registry.h"
#include "settings/registrykeys.h"
#include "util/fieldstring.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString DefaultRecord = QStringLiteral(
        "640*452*-1*-1*0*0*120*59*61*54*20*208*314*20*253*80*63*1*3*3*249*233*161*65*121*54*120*"
        "59*62*54*155*59*88*59*36**1*0:-11:MS Sans Serif:0:8");

QString storePath(const QTemporaryDir &dir)
{
    return dir.filePath(QStringLiteral("registry.json"));
}

// Every field changed from its default, and none of them to the same value as another.
LayoutRecord changedRecord()
{
    LayoutRecord layout;
    layout.width = 1024;
    layout.height = 700;
    layout.left = 33;
    layout.top = 44;
    layout.windowState = LayoutRecord::Maximised;
    layout.viewMode = LayoutRecord::TaskView;
    layout.lWinColumns = {101, 102, 103, 104};
    layout.lPathTreeHeight = 111;
    layout.taskViewHeight = 117;
    layout.lWinViewStyle = LayoutRecord::List;
    layout.rWinViewStyle = LayoutRecord::SmallIcons;
    layout.taskViewColumn = 121;
    layout.queueViewColumn = 122;
    layout.logwinHeight = 135;
    layout.localBookmarks = {QStringLiteral("home\rZ:\\home\\ann\\"),
                             QStringLiteral("Desk top\rDesktop\\work\\")};
    layout.labelsShown = false;
    layout.font.colour = 0x0000FF;
    layout.font.height = -16;
    layout.font.face = QStringLiteral("DejaVu Sans");
    layout.font.pitch = LayoutFont::VariablePitch;
    layout.font.size = 12;
    for (int i = 0; i < LayoutRecord::ViewLayoutEntries; ++i)
        layout.ViewLayout[i] = 300 + i;
    return layout;
}

TEST(LayoutRecord, FirstStartGivesTheDefaultRecord)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Registry reg(storePath(dir));
    const LayoutRecord layout = LayoutRecord::load(reg);

    EXPECT_EQ(LayoutRecord::defaultRecord(), DefaultRecord);
    EXPECT_EQ(FieldCount(DefaultRecord, QLatin1Char('*')), LayoutRecord::RecordFields);
    EXPECT_EQ(layout.toRecord(), DefaultRecord);
    EXPECT_EQ(layout.width, 640);
    EXPECT_EQ(layout.height, 452);
    EXPECT_TRUE(layout.centred());
    EXPECT_EQ(layout.windowState, LayoutRecord::Normal);
    EXPECT_EQ(layout.viewMode, LayoutRecord::SingleView);
    EXPECT_EQ(layout.lWinViewStyle, LayoutRecord::Details);
    EXPECT_EQ(layout.rWinViewStyle, LayoutRecord::Details);
    EXPECT_TRUE(layout.localBookmarks.isEmpty());
    EXPECT_TRUE(layout.labelsShown);
    EXPECT_EQ(layout.font.face, QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(layout.font.size, 8);
    EXPECT_EQ(layout.ViewLayout,
              (std::array<int, 17>{
                      208, 161, 65, 121, 54, 314, 20, 120, 59, 62, 54, 253, 80, 155, 59, 88, 59}));

    // Writing the default record and reading it back changes nothing.
    QString error;
    ASSERT_TRUE(layout.save(reg, &error)) << error.toStdString();
    Registry again(storePath(dir));
    ASSERT_TRUE(again.openKey(RegistryKeys::setup(), false));
    EXPECT_EQ(again.readString(QStringLiteral("screen")), DefaultRecord);
    EXPECT_TRUE(LayoutRecord::load(again) == LayoutRecord::defaults());

    // An empty or mistyped stored value gives the default record too.
    again.writeString(QStringLiteral("screen"), QString());
    EXPECT_EQ(LayoutRecord::load(again).toRecord(), DefaultRecord);
    again.writeInteger(QStringLiteral("screen"), 5);
    EXPECT_EQ(LayoutRecord::load(again).toRecord(), DefaultRecord);
}

TEST(LayoutRecord, EveryFieldComesBackAfterASave)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const LayoutRecord changed = changedRecord();
    {
        Registry reg(storePath(dir));
        QString error;
        ASSERT_TRUE(changed.save(reg, &error)) << error.toStdString();
    }
    Registry reg(storePath(dir));
    const LayoutRecord loaded = LayoutRecord::load(reg);
    EXPECT_TRUE(loaded == changed) << loaded.toRecord().toStdString();

    // The fields in their places.
    const QString record = changed.toRecord();
    const auto field = [&record](int n) {
        return Field(record, n, QLatin1Char('*'));
    };
    ASSERT_EQ(FieldCount(record, QLatin1Char('*')), 38);
    EXPECT_EQ(field(1), QStringLiteral("1024"));
    EXPECT_EQ(field(4), QStringLiteral("44"));
    EXPECT_EQ(field(5), QStringLiteral("2"));
    EXPECT_EQ(field(6), QStringLiteral("2"));
    EXPECT_EQ(field(10), QStringLiteral("104"));
    EXPECT_EQ(field(11), QStringLiteral("111"));
    // ViewLayout 0, 5, 6, 11, 12 in fields 12-16; 1-4, 7-10, 13-16 in fields 23-34.
    EXPECT_EQ(field(12), QStringLiteral("300"));
    EXPECT_EQ(field(13), QStringLiteral("305"));
    EXPECT_EQ(field(16), QStringLiteral("312"));
    EXPECT_EQ(field(17), QStringLiteral("117"));
    EXPECT_EQ(field(19), QStringLiteral("2"));
    EXPECT_EQ(field(20), QStringLiteral("1"));
    EXPECT_EQ(field(22), QStringLiteral("122"));
    EXPECT_EQ(field(23), QStringLiteral("301"));
    EXPECT_EQ(field(26), QStringLiteral("304"));
    EXPECT_EQ(field(27), QStringLiteral("307"));
    EXPECT_EQ(field(31), QStringLiteral("313"));
    EXPECT_EQ(field(34), QStringLiteral("316"));
    EXPECT_EQ(field(35), QStringLiteral("135"));
    EXPECT_EQ(field(37), QStringLiteral("0"));
    EXPECT_EQ(field(38), QStringLiteral("255:-16:DejaVu Sans:1:12"));

    // The button style is always written as glyph and caption.
    LayoutRecord small = changed;
    small.largeButtons = false;
    EXPECT_EQ(Field(small.toRecord(), 18, QLatin1Char('*')), QStringLiteral("1"));
    EXPECT_FALSE(LayoutRecord::fromRecord(
                         QString(DefaultRecord)
                                 .replace(QLatin1String("*63*1*3*"), QLatin1String("*63*0*3*")))
                         .largeButtons);
}

TEST(LayoutRecord, RecordEndingEarlyOrWithBadFieldsKeepsTheDefaults)
{
    // Width, height and left only: the top is then ignored, the rest keeps the first-start
    // values.
    const LayoutRecord early = LayoutRecord::fromRecord(QStringLiteral("800*600*-1"));
    EXPECT_EQ(early.width, 800);
    EXPECT_EQ(early.height, 600);
    EXPECT_TRUE(early.centred());
    LayoutRecord expected;
    expected.width = 800;
    expected.height = 600;
    EXPECT_TRUE(early == expected) << early.toRecord().toStdString();

    // Fields that are not numbers keep their values and do not stop the reading; numbers are
    // held to their ranges; fields past the 38th are ignored.
    QStringList fields = DefaultRecord.split(QLatin1Char('*'));
    ASSERT_EQ(fields.size(), 38);
    fields[0] = QStringLiteral("wide");           // width
    fields[1] = QStringLiteral("500");            // height, after the bad field
    fields[4] = QStringLiteral("7");              // window state: held to maximised
    fields[5] = QStringLiteral("-3");             // view mode: held to single view
    fields[6] = QStringLiteral("");               // first local column
    fields[11] = QStringLiteral("12px");          // ViewLayout 0
    fields[18] = QStringLiteral("1");             // lWin view style
    fields[34] = QStringLiteral("999999");        // log window height
    fields[36] = QStringLiteral("x");             // labels
    fields[37] = QStringLiteral("bad:-13::9:10"); // font: bad colour, no face, pitch held
    fields << QStringLiteral("extra") << QStringLiteral("99");
    const LayoutRecord bad = LayoutRecord::fromRecord(fields.join(QLatin1Char('*')));
    EXPECT_EQ(bad.width, 640);
    EXPECT_EQ(bad.height, 500);
    EXPECT_EQ(bad.windowState, LayoutRecord::Maximised);
    EXPECT_EQ(bad.viewMode, LayoutRecord::SingleView);
    EXPECT_EQ(bad.lWinColumns[0], 120);
    EXPECT_EQ(bad.ViewLayout[0], 208);
    EXPECT_EQ(bad.lWinViewStyle, LayoutRecord::SmallIcons);
    EXPECT_EQ(bad.logwinHeight, LayoutRecord::MaxSize);
    EXPECT_TRUE(bad.labelsShown);
    EXPECT_EQ(bad.font.colour, 0);
    EXPECT_EQ(bad.font.height, -13);
    EXPECT_EQ(bad.font.face, QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(bad.font.pitch, LayoutFont::FixedPitch);
    EXPECT_EQ(bad.font.size, 10);
    EXPECT_EQ(FieldCount(bad.toRecord(), QLatin1Char('*')), 38);
}

TEST(LayoutRecord, LocalBookmarksRoundTrip)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    LayoutRecord layout;
    layout.localBookmarks = {QStringLiteral("a\rZ:\\srv\\a\\"),
                             QStringLiteral("b b\rDesktop\\b\\"),
                             QStringLiteral("top\r\\")};
    EXPECT_EQ(layout.bookmarksText(),
              QStringLiteral("a\rZ:\\srv\\a\\\nb b\rDesktop\\b\\\ntop\r\\"));
    {
        Registry reg(storePath(dir));
        ASSERT_TRUE(layout.save(reg));
    }
    Registry reg(storePath(dir));
    EXPECT_EQ(LayoutRecord::load(reg).localBookmarks, layout.localBookmarks);

    // No bookmarks: the field is empty and reads back as none.
    const LayoutRecord none;
    EXPECT_EQ(Field(none.toRecord(), 36, QLatin1Char('*')), QString());
    EXPECT_TRUE(LayoutRecord::fromRecord(none.toRecord()).localBookmarks.isEmpty());

    // Text without a CR holds no bookmark; pieces without one are skipped.
    EXPECT_TRUE(LayoutRecord::bookmarksFromText(QStringLiteral("just text")).isEmpty());
    EXPECT_EQ(LayoutRecord::bookmarksFromText(QStringLiteral("x\rZ:\\x\\\nstray\n\ny\rZ:\\y\\")),
              (QStringList{QStringLiteral("x\rZ:\\x\\"), QStringLiteral("y\rZ:\\y\\")}));

    // A name loses the characters that would split the record; a folder holding them cannot
    // be stored and is left out (and reported) rather than corrupting the other fields.
    LayoutRecord odd;
    odd.localBookmarks = {QStringLiteral("st*ar\nred\rZ:\\ok\\"),
                          QStringLiteral("bad\rZ:\\a*b\\"),
                          QStringLiteral("worse\rZ:\\line\nbreak\\")};
    const LayoutRecord oddBack = LayoutRecord::fromRecord(odd.toRecord());
    EXPECT_EQ(oddBack.localBookmarks, QStringList{QStringLiteral("starred\rZ:\\ok\\")});
    EXPECT_EQ(odd.unstorableBookmarks(),
              (QStringList{QStringLiteral("bad\rZ:\\a*b\\"),
                           QStringLiteral("worse\rZ:\\line\nbreak\\")}));
    EXPECT_EQ(oddBack.labelsShown, true);
    EXPECT_EQ(oddBack.font.toString(), LayoutFont().toString());
}

TEST(LayoutRecord, ToolbarPositionsAreOneBinaryValue)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    {
        Registry reg(storePath(dir));
        EXPECT_FALSE(LayoutRecord::loadToolbars(reg).has_value());
        const QByteArray state("\x00\xff\x01state*with\rbytes", 20);
        QString error;
        ASSERT_TRUE(LayoutRecord::saveToolbars(reg, state, &error)) << error.toStdString();
    }
    Registry reg(storePath(dir));
    const std::optional<QByteArray> state = LayoutRecord::loadToolbars(reg);
    ASSERT_TRUE(state.has_value());
    EXPECT_EQ(*state, QByteArray("\x00\xff\x01state*with\rbytes", 20));
    ASSERT_TRUE(reg.openKey(RegistryKeys::toolbars(), false));
    EXPECT_EQ(reg.valueType(RegistryKeys::toolbarsValue()), Registry::ValueType::Binary);
    // The layout record lives beside it, under the Setup key, untouched by it.
    EXPECT_EQ(LayoutRecord::load(reg).toRecord(), DefaultRecord);

    // A value of another type counts as missing.
    ASSERT_TRUE(reg.openKey(RegistryKeys::toolbars(), false));
    reg.writeString(RegistryKeys::toolbarsValue(), QStringLiteral("text"));
    EXPECT_FALSE(LayoutRecord::loadToolbars(reg).has_value());
}

} // namespace
