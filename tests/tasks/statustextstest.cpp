#include "tasks/statustexts.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>

TEST(StatusTexts, SecondsFormUpToSixtyMinutesFormAbove)
{
    // 1024 bytes per second, 60 * 1024 bytes to go: exactly 60 seconds.
    TransferTotals totals;
    totals.add(1024, 10 * 1024, 61 * 1024, 10);
    EXPECT_EQ(totals.active, 1);
    EXPECT_EQ(totals.speed, 1024);
    EXPECT_EQ(ProgressPanelText(totals, 0),
              QStringLiteral("Transfering 1 file(s) - [1 of 61 KB at 1.0 KB/S - 60 Secs Left]"));

    TransferTotals longer;
    longer.add(1024, 10 * 1024, 62 * 1024, 10);
    EXPECT_EQ(ProgressPanelText(longer, 0),
              QStringLiteral("Transfering 1 file(s) - [1 of 62 KB at 1.0 KB/S - 1.0 Mins Left]"));
}

TEST(StatusTexts, WaitingTransferIsNotCounted)
{
    TransferTotals totals;
    totals.add(0, 0, 5000, 0);
    EXPECT_EQ(totals.active, 0);
    EXPECT_EQ(ProgressPanelText(totals, 0), QString());
    EXPECT_EQ(ProgressPanelText(totals, 7), QStringLiteral("Retrying to Connect in 7 Second(s)"));
    EXPECT_EQ(TransferRowCaption(true, QStringLiteral("a.zip"), 0, 5 * 1024 * 1024, 0, 0),
              QStringLiteral("Downloading : a.zip : [0 of 5,120KB at 0.0 KB/S]"));

    // Two transfers add up, each with its speed rounded.
    totals.add(2048, 3000, 4096, 2);
    totals.add(1024, 1001, 8192, 2);
    EXPECT_EQ(totals.active, 2);
    EXPECT_EQ(totals.speed, 1500 + 501);
    EXPECT_EQ(totals.done, 3072);
    EXPECT_EQ(totals.remaining, 2048 + 7168);
}

TEST(StatusTexts, RowAndPanelCaptions)
{
    EXPECT_EQ(TransferRowCaption(
                      false, QStringLiteral("big.iso"), 2048 * 1024, 4096 * 1024, 3 * 1024, 2),
              QStringLiteral("Uploading : big.iso : [2,048 of 4,096KB at 1.5 KB/S]"));
    EXPECT_EQ(IdleRowCaption(true, 3),
              QStringLiteral("Idling for 3 Seconds : Waiting for User-Input."));
    EXPECT_EQ(IdleRowCaption(false, 0),
              QStringLiteral("Idling for 0 Seconds : Waiting for Queue-Input."));
    EXPECT_EQ(OfflineRowCaption(0), QStringLiteral("Offline : Not Connected to FTP Site"));
    EXPECT_EQ(OfflineRowCaption(20), QStringLiteral("Retrying to Connect in 20 Second(s)"));
    EXPECT_EQ(TasksPanelText(3, 5), QStringLiteral("Tasks: 3 of 5"));
    EXPECT_EQ(QueuePanelText(12), QStringLiteral("Queue Items: 12"));
}
