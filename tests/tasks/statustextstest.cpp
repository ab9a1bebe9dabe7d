#include "tasks/statustexts.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>

TEST(StatusTexts, TotalsAndTimeLeft)
{
    // 1024 bytes per second: 60 KB to go are 60 seconds, 61 KB a minute.
    for (const auto &[size, text] :
         {std::pair{61, "Transfering 1 file(s) - [1 of 61 KB at 1.0 KB/S - 60 Secs Left]"},
          std::pair{62, "Transfering 1 file(s) - [1 of 62 KB at 1.0 KB/S - 1.0 Mins Left]"}}) {
        TransferTotals totals;
        totals.add(1024, 10 * 1024, size * 1024, 10);
        EXPECT_EQ(ProgressPanelText(totals, 0), QString::fromLatin1(text));
    }

    // A transfer that has not started is not counted; two running ones add up, each with its
    // speed rounded.
    TransferTotals totals;
    totals.add(0, 0, 5000, 0);
    EXPECT_EQ(totals.active, 0);
    EXPECT_EQ(ProgressPanelText(totals, 0), QString());
    EXPECT_EQ(ProgressPanelText(totals, 7), QStringLiteral("Retrying to Connect in 7 Second(s)"));
    totals.add(2048, 3000, 4096, 2);
    totals.add(1024, 1001, 8192, 2);
    EXPECT_EQ(totals.active, 2);
    EXPECT_EQ(totals.speed, 1500 + 501);
    EXPECT_EQ(totals.done, 3072);
    EXPECT_EQ(totals.remaining, 2048 + 7168);
    EXPECT_EQ(
            TransferRowCaption(false, QStringLiteral("big.iso"), 2048 * 1024, 4096 * 1024, 3072, 2),
            QStringLiteral("Uploading : big.iso : [2,048 of 4,096KB at 1.5 KB/S]"));
    EXPECT_EQ(TransferRowCaption(true, QStringLiteral("a.zip"), 0, 5 * 1024 * 1024, 0, 0),
              QStringLiteral("Downloading : a.zip : [0 of 5,120KB at 0.0 KB/S]"));
}
