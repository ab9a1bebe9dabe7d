// The task panel's Failed list against vsftpd: transfers the host refuses stay there with the
// host's reason, and are retried or removed by key, button and pop-up menu.
#include "windowdriver.h"

#include "support/eventwait.h"
#include "ui/failedpanel.h"
#include "ui/failedtransfers.h"
#include "ui/taskpanel.h"

#include <QFile>
#include <QTabBar>

using ovtest::readFile;

namespace {

QStringList shownRows(const FailedTransfers *failed)
{
    QStringList rows;
    for (int row = 0; row < failed->count(); ++row)
        rows << failed->index(row).data().toString();
    return rows;
}

void clickFailedRow(QTreeView *view, int row, Qt::MouseButton button = Qt::LeftButton)
{
    const QRect at = view->visualRect(view->model()->index(row, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at.center());
    if (button == Qt::RightButton) {
        QContextMenuEvent menu(
                QContextMenuEvent::Mouse, at.center(), view->viewport()->mapToGlobal(at.center()));
        QApplication::sendEvent(view->viewport(), &menu);
    }
}

TEST(FailedList, RefusedTransfersWaitForRetryOneRetryAllOrRemoval)
{
    ConnectedWindow w;
    ASSERT_TRUE(w.connect({"a.bin", "b.bin", "c.bin"}, {"a.bin", "b.bin", "c.bin"}));
    w.form->options().ConfirmTransfer = false;
    w.form->options().DownLoadFolder.clear();
    w.form->Menu_ViewTask->trigger();
    // The host cannot read b and c.
    const auto readable = QFile::permissions(w.home("a.bin"));
    for (const char *name : {"b.bin", "c.bin"})
        ASSERT_TRUE(QFile::setPermissions(w.home(name), QFile::WriteOwner));
    FailedPanel *panel = w.form->taskPanel()->failedPanel();
    FailedTransfers *failed = panel->failed();

    selectRows(w.hostList(), {"a.bin", "b.bin", "c.bin"});
    w.form->Menu_Transfer->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return failed->count() == 2; }, 30000))
            << w.log().toStdString();
    EXPECT_EQ(readFile(w.localPath("a.bin")), "a.bin");
    const QStringList rows = shownRows(failed);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_TRUE(rows[0].startsWith("Download: b.bin : 550 ")
                && rows[1].startsWith("Download: c.bin : 550 "))
            << rows.join('\n').toStdString();

    // The cause of b goes; b is retried with Return and arrives, c stays.
    ASSERT_TRUE(QFile::setPermissions(w.home("b.bin"), readable));
    QTabWidget *tabs = w.form->taskPanel()->queueTabs();
    EXPECT_EQ(tabs->tabText(1), "Failed (2)");
    QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(1).center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel->FailedView()->isVisible(); }, 2000));
    focusOn(panel->FailedView());
    clickFailedRow(panel->FailedView(), 0);
    QTest::keyClick(panel->FailedView(), Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return readFile(w.localPath("b.bin")) == "b.bin"; }, 30000))
            << w.log().toStdString();
    ovtest::spinFor(200);
    EXPECT_EQ(shownRows(failed), QStringList{rows[1]});

    // Retry All: c is refused again and comes back with the host's reason.
    QTest::mouseClick(panel->Btn_RetryAll(), Qt::LeftButton);
    EXPECT_TRUE(
            QTest::qWaitFor([&] { return w.count("RETR") == 5 && failed->count() == 1; }, 30000))
            << w.log().toStdString();
    EXPECT_EQ(shownRows(failed), QStringList{rows[1]});
    EXPECT_FALSE(QFileInfo::exists(w.localPath("c.bin")));

    // Removed through the pop-up menu, nothing is queued again.
    UserScript script;
    script.choose("Remove");
    clickFailedRow(panel->FailedView(), 0, Qt::RightButton);
    EXPECT_TRUE(script.waitFinished());
    EXPECT_EQ(failed->count(), 0);
    EXPECT_TRUE(w.engine()->transferQueue().isEmpty());
    EXPECT_FALSE(panel->Btn_RetryAll()->isEnabled());
}

} // namespace
