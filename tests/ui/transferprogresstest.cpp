// Progress of a real transfer from a vsftpd that sends slowly: the task row's bar, its speed
// and time left, and the queue's totals in the status bar, from the start to the end.
#include "windowdriver.h"

#include "ui/queuetotals.h"
#include "ui/taskpanel.h"
#include "ui/taskprogressmodel.h"
#include "widgets/progressdelegate.h"

using ovtest::readFile;

namespace {

constexpr int RateLimit = 300000; // bytes per second

TEST(TransferProgress, ARowsBarClimbsToCompleteAndTheTotalsReachZero)
{
    ovtest::VsftpdServer vsftpd;
    vsftpd.setOption("local_max_rate", QString::number(RateLimit));
    ASSERT_TRUE(vsftpd.start());
    // vsftpd sends 64 KiB at a time: the last piece is so small that the row's last sample
    // sees the file short of its end, and only the transfer's end can show it complete.
    const QByteArray bytes = ovtest::testBytes(6 * 65536 + 1000, 19);
    vsftpd.createFile(ovtest::VsftpdServer::Tree::UserHome, "big.bin", bytes);
    QTemporaryDir local;
    auto form = showForm();
    form->engine()->startTimers();
    form->Menu_ViewTask->trigger();
    quickConnect(*form, vsftpd.port(), 1);
    ASSERT_TRUE(waitForHostList(*form, "\\", {"big.bin"}))
            << logLines(*form).join('\n').toStdString();

    QAbstractItemModel *rows = form->taskPanel()->TaskView()->model();
    QList<int> percents;
    qint64 fastest = 0;
    qint64 secondsLeft = -1;
    QObject::connect(rows, &QAbstractItemModel::dataChanged, [&](const QModelIndex &at) {
        const int percent = at.data(ProgressDelegate::PercentRole).toInt();
        if (percent < 0)
            return;
        percents << percent;
        fastest = qMax(fastest, at.data(TaskProgressModel::SpeedRole).toLongLong());
        if (percent > 0 && percent < 100)
            secondsLeft = at.data(TaskProgressModel::SecondsLeftRole).toLongLong();
    });
    QueueTotals *totals = form->findChild<QueueTotals *>();
    ASSERT_NE(totals, nullptr);
    qint64 mostBytesLeft = 0;
    QObject::connect(totals, &QueueTotals::changed, [&] {
        mostBytesLeft = qMax(mostBytesLeft, totals->bytesLeft());
    });

    const QString target = local.filePath("big.bin");
    form->engine()->download({FilePair{HostPath{"\\big.bin"}, LocalPath{NativeToLocal(target)}}});
    form->engine()->Pass();
    EXPECT_TRUE(QTest::qWaitFor([&] { return readFile(target) == bytes; }, 30000))
            << logLines(*form).join('\n').toStdString();
    EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return totals->filesLeft() == 0 && !percents.isEmpty() && percents.last() == 100;
            },
            5000));

    // The bar only climbs, passes through the middle and ends complete.
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end())) << percents.size();
    EXPECT_TRUE(
            std::any_of(percents.begin(), percents.end(), [](int p) { return p > 10 && p < 90; }));
    EXPECT_EQ(percents.last(), 100);
    // The speed is of the order the host keeps to (not per millisecond, not per kilobyte), and a
    // time left was given on the way.
    EXPECT_GT(fastest, RateLimit / 20);
    EXPECT_LT(fastest, 10 * RateLimit);
    EXPECT_GE(secondsLeft, 0);
    // The totals counted the file's bytes and end at nothing left, with the panel hidden.
    EXPECT_GT(mostBytesLeft, 0);
    EXPECT_LE(mostBytesLeft, bytes.size());
    EXPECT_EQ(totals->bytesLeft(), 0);
    EXPECT_TRUE(totals->text().isEmpty());
    EXPECT_FALSE(form->findChild<QLabel *>("statTotals")->isVisible());
}

} // namespace
