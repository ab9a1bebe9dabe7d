// A host folder of many entries is made ready a slice per turn of the event loop and shown
// whole, in order, with its count; a disconnect in the middle leaves nothing behind.
#include "windowdriver.h"

#include "support/eventwait.h"
#include "widgets/filelistfill.h"
#include "widgets/headerstatus.h"

namespace {

TEST(HostListFill, AFolderOfManyEntriesIsShownWholeAfterTurnsOfTheEventLoop)
{
    ovtest::FtpTestServer *host = hostWith({{"bigfill/Sub/", {}}, {"bigfill/sub/", {}}});
    ASSERT_NE(host, nullptr);
    const int files = 2 * FileListFill::RowsPerStep + 500;
    for (int i = 0; i < files; ++i) {
        ovtest::writeFile(
                host->userRoot()
                        + QStringLiteral("/bigfill/file%1.txt").arg(i, 5, 10, QLatin1Char('0')),
                "");
    }
    const int rows = files + 3; // "..", "Sub", "sub"

    for (const bool disconnectMidway : {false, true}) {
        auto form = showForm();
        HostPane *pane = form->hostPane();
        int turns = 0;
        QTimer turn;
        turn.setInterval(0);
        QObject::connect(&turn, &QTimer::timeout, [&turns] { ++turns; });
        turn.start();
        int turnsAtStart = -1;
        quickConnect(*form, host->port());
        ASSERT_TRUE(ovtest::waitFor([&] { return rowOf(pane->rWin(), "bigfill") >= 0; }, 15000));
        doubleClickRow(pane->rWin(), rowOf(pane->rWin(), "bigfill"));
        ASSERT_TRUE(ovtest::waitFor(
                [&] {
                    if (turnsAtStart < 0 && pane->fillPending())
                        turnsAtStart = turns;
                    return turnsAtStart >= 0 || pane->rWin()->rowCount() >= rows;
                },
                30000));
        ASSERT_GE(turnsAtStart, 0) << "the folder was shown without a turn of the event loop";
        if (disconnectMidway) {
            form->engine()->setConfirmDisconnect([] { return true; });
            form->engine()->DisconnectMain();
            ASSERT_TRUE(ovtest::waitFor([&] { return !pane->fillPending(); }, 20000));
            ovtest::spinFor(50);
            EXPECT_EQ(pane->rWin()->rowCount(), 0);
            continue;
        }
        ASSERT_TRUE(ovtest::waitFor([&] { return pane->rWin()->rowCount() == rows; }, 30000));
        EXPECT_GT(turns, turnsAtStart);
        EXPECT_FALSE(pane->fillPending());
        FileListView *list = pane->rWin();
        EXPECT_EQ(list->text(0, 0), "..");
        EXPECT_EQ(pane->RStat()->panelText(1), QStringLiteral("%1 object(s)").arg(rows - 1));
        EXPECT_EQ(list->selectedRows(), QList<int>{0});
        EXPECT_TRUE(list->findCaption(QStringLiteral("file00042.txt"), Qt::CaseSensitive) == 45);
    }
}

} // namespace
