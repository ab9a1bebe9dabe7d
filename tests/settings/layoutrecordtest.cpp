#include "settings/layoutrecord.h"

#include "settings/registry.h"
#include "settings/registrykeys.h"
#include "support/qtprinters.h"
#include "util/fieldstring.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
const QString DefaultRecord = QStringLiteral(
        "640*452*-1*-1*0*0*120*59*61*54*20*208*314*20*253*80*63*1*3*3*249*233*161*65*121*54*120*"
        "59*62*54*155*59*88*59*36**1*0:-11:MS Sans Serif:0:8");
} // namespace

TEST(LayoutRecord, EveryFieldComesBackInItsPlace)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("registry.json"));
    {
        Registry reg(path);
        EXPECT_EQ(LayoutRecord::load(reg).toRecord(), DefaultRecord);
    }
    LayoutRecord changed;
    changed.width = 1024;
    changed.top = 44;
    changed.windowState = LayoutRecord::Maximised;
    changed.viewMode = LayoutRecord::TaskView;
    changed.lWinColumns = {101, 102, 103, 104};
    changed.lPathTreeHeight = 111;
    changed.taskViewHeight = 117;
    changed.lWinViewStyle = LayoutRecord::List;
    changed.queueViewColumn = 122;
    changed.logwinHeight = 135;
    changed.labelsShown = false;
    changed.font = LayoutFont::fromString(QStringLiteral("255:-16:DejaVu Sans:1:12"));
    for (int i = 0; i < LayoutRecord::ViewLayoutEntries; ++i)
        changed.ViewLayout[i] = 300 + i;
    changed.localBookmarks = {"a\rZ:\\srv\\a\\", "b b\rDesktop\\b\\", "top\r\\"};
    {
        Registry reg(path);
        ASSERT_TRUE(changed.save(reg));
        ASSERT_TRUE(LayoutRecord::saveToolbars(reg, QByteArray("\x00\xff*\r", 4)));
    }
    Registry reg(path);
    EXPECT_TRUE(LayoutRecord::load(reg) == changed)
            << LayoutRecord::load(reg).toRecord().toStdString();
    EXPECT_EQ(LayoutRecord::loadToolbars(reg).value_or(QByteArray()), QByteArray("\x00\xff*\r", 4));
    // ViewLayout 0, 5, 6, 11, 12 in fields 12-16; 1-4, 7-10, 13-16 in fields 23-34.
    const QString record = changed.toRecord();
    const std::pair<int, const char *> fields[] = {
            {1, "1024"}, {4, "44"},   {5, "2"},    {6, "2"},    {10, "104"},
            {11, "111"}, {12, "300"}, {13, "305"}, {16, "312"}, {17, "117"},
            {19, "2"},   {22, "122"}, {23, "301"}, {26, "304"}, {27, "307"},
            {31, "313"}, {34, "316"}, {35, "135"}, {37, "0"},   {38, "255:-16:DejaVu Sans:1:12"},
    };
    ASSERT_EQ(FieldCount(record, QLatin1Char('*')), LayoutRecord::RecordFields);
    for (const auto &[n, text] : fields)
        EXPECT_EQ(Field(record, n, QLatin1Char('*')), QString::fromLatin1(text)) << "field " << n;

    // An empty or mistyped stored value gives the default record, or no toolbars.
    ASSERT_TRUE(reg.openKey(RegistryKeys::setup(), false));
    reg.writeInteger(QStringLiteral("screen"), 5);
    EXPECT_EQ(LayoutRecord::load(reg).toRecord(), DefaultRecord);
    ASSERT_TRUE(reg.openKey(RegistryKeys::toolbars(), false));
    reg.writeString(RegistryKeys::toolbarsValue(), QStringLiteral("text"));
    EXPECT_FALSE(LayoutRecord::loadToolbars(reg).has_value());
}

TEST(LayoutRecord, RecordEndingEarlyOrWithBadFieldsKeepsTheDefaults)
{
    LayoutRecord expected;
    expected.width = 800;
    expected.height = 600;
    EXPECT_TRUE(LayoutRecord::fromRecord(QStringLiteral("800*600*-1")) == expected);

    // Fields that are not numbers keep their values and do not stop the reading; numbers are
    // held to their ranges; fields past the 38th are ignored.
    QStringList fields = DefaultRecord.split(QLatin1Char('*'));
    fields[0] = QStringLiteral("wide");           // width
    fields[1] = QStringLiteral("500");            // height, after the bad field
    fields[4] = QStringLiteral("7");              // window state: held to maximised
    fields[11] = QStringLiteral("12px");          // ViewLayout 0
    fields[34] = QStringLiteral("999999");        // log window height
    fields[37] = QStringLiteral("bad:-13::9:10"); // font: bad colour, no face, pitch held
    fields << QStringLiteral("extra");
    const LayoutRecord bad = LayoutRecord::fromRecord(fields.join(QLatin1Char('*')));
    EXPECT_EQ(QList<int>({bad.width, bad.height, bad.ViewLayout[0], bad.logwinHeight}),
              QList<int>({640, 500, 208, LayoutRecord::MaxSize}));
    EXPECT_EQ(bad.windowState, LayoutRecord::Maximised);
    EXPECT_EQ(bad.font.toString(), QStringLiteral("0:-13:MS Sans Serif:2:10"));

    // Bookmark pieces without a CR are skipped.
    EXPECT_EQ(LayoutRecord::bookmarksFromText(QStringLiteral("x\rZ:\\x\\\nstray\n\ny\rZ:\\y\\")),
              (QStringList{"x\rZ:\\x\\", "y\rZ:\\y\\"}));
    // A face or bookmark name loses the separators of either record; a bookmark folder holding
    // them cannot be stored and is left out (and reported) rather than corrupting the other
    // fields.
    LayoutRecord odd;
    odd.font.face = QStringLiteral("Odd:Face*Name");
    odd.localBookmarks = {"st*ar\nred\rZ:\\ok\\", "bad\rZ:\\a*b\\", "worse\rZ:\\line\nbreak\\"};
    const LayoutRecord oddBack = LayoutRecord::fromRecord(odd.toRecord());
    EXPECT_EQ(oddBack.font.toString(), QStringLiteral("0:-11:OddFaceName:0:8"));
    EXPECT_EQ(oddBack.localBookmarks, QStringList{"starred\rZ:\\ok\\"});
    EXPECT_EQ(odd.unstorableBookmarks(),
              (QStringList{"bad\rZ:\\a*b\\", "worse\rZ:\\line\nbreak\\"}));
}
