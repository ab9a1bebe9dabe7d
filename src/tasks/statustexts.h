#pragma once

#include <QString>

// The captions the scheduler writes into the task rows and the status panels.

// Totals over the transfers that have been running for at least a second (IOTime above 0).
struct TransferTotals
{
    int active = 0;
    qint64 speed = 0;     // bytes per second, the sum of each transfer's rounded speed
    qint64 done = 0;      // bytes at the transfers' positions
    qint64 remaining = 0; // bytes still to go
    // Adds one session's progress; a transfer with IOTime 0 or below is not counted.
    void add(qint64 ioPos, qint64 ioTransfered, qint64 ioSize, qint64 ioTime);
};

// "Downloading : a.zip : [12 of 1,024KB at 3.5 KB/S]" (or "Uploading : ..."); the speed is 0.0
// while IOTime is 0.
QString TransferRowCaption(bool downloading,
                           const QString &dstFile,
                           qint64 ioPos,
                           qint64 ioSize,
                           qint64 ioTransfered,
                           qint64 ioTime);
QString IdleRowCaption(bool mainSession, int secsIdle);
QString OfflineRowCaption(int reconnectCountdown);
// Panel 0: "Tasks: 3 of 5"; panel 1: "Queue Items: 12".
QString TasksPanelText(int taskCount, int maxTasks);
QString QueuePanelText(int queueCount);
// Panel 2: total progress with the seconds form up to 60 seconds left and the minutes form
// above; else the reconnect countdown, else empty.
QString ProgressPanelText(const TransferTotals &totals, int reconnectCountdown);
