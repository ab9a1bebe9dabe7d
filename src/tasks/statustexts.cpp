#include "statustexts.h"

#include "util/fieldstring.h"

#include <cmath>

void TransferTotals::add(qint64 ioPos, qint64 ioTransfered, qint64 ioSize, qint64 ioTime)
{
    if (ioTime <= 0)
        return;
    ++active;
    speed += std::llround(double(ioTransfered) / double(ioTime));
    done += ioPos;
    remaining += ioSize - ioPos;
}

QString TransferRowCaption(bool downloading,
                           const QString &dstFile,
                           qint64 ioPos,
                           qint64 ioSize,
                           qint64 ioTransfered,
                           qint64 ioTime)
{
    const double kbPerSecond = ioTime > 0 ? double(ioTransfered) / double(ioTime) / 1024.0 : 0.0;
    const QString name = dstFile.mid(dstFile.lastIndexOf(QLatin1Char('\\')) + 1);
    return QString::asprintf(downloading ? "Downloading : %s : [%s of %s at %.1f KB/S]"
                                         : "Uploading : %s : [%s of %s at %.1f KB/S]",
                             qUtf8Printable(name),
                             qUtf8Printable(FormatSize(ioPos, false)),
                             qUtf8Printable(FormatSize(ioSize, true)),
                             kbPerSecond);
}

QString IdleRowCaption(bool mainSession, int secsIdle)
{
    return QString::asprintf(mainSession ? "Idling for %d Seconds : Waiting for User-Input."
                                         : "Idling for %d Seconds : Waiting for Queue-Input.",
                             secsIdle);
}

QString OfflineRowCaption(int reconnectCountdown)
{
    if (reconnectCountdown > 0) {
        return QStringLiteral("Retrying to Connect in ") + QString::number(reconnectCountdown)
               + QStringLiteral(" Second(s)");
    }
    return QStringLiteral("Offline : Not Connected to FTP Site");
}

QString TasksPanelText(int taskCount, int maxTasks)
{
    return QStringLiteral("Tasks: %1 of %2").arg(taskCount).arg(maxTasks);
}

QString QueuePanelText(int queueCount)
{
    return QStringLiteral("Queue Items: %1").arg(queueCount);
}

QString ProgressPanelText(const TransferTotals &totals, int reconnectCountdown)
{
    if (totals.active > 0 && totals.speed > 0) {
        const QString done = FormatSize(totals.done, false);
        const QString all = FormatSize(totals.done + totals.remaining, false);
        const double kbPerSecond = double(totals.speed) / 1024.0;
        const double secondsLeft = double(totals.remaining) / double(totals.speed);
        if (secondsLeft > 60.0) {
            return QString::asprintf(
                    "Transfering %d file(s) - [%s of %s KB at %.1f KB/S - %.1f Mins Left]",
                    totals.active,
                    qUtf8Printable(done),
                    qUtf8Printable(all),
                    kbPerSecond,
                    secondsLeft / 60.0);
        }
        return QString::asprintf("Transfering %d file(s) - [%s of %s KB at %.1f KB/S - %lld Secs "
                                 "Left]",
                                 totals.active,
                                 qUtf8Printable(done),
                                 qUtf8Printable(all),
                                 kbPerSecond,
                                 static_cast<long long>(totals.remaining / totals.speed));
    }
    if (reconnectCountdown > 0) {
        return QStringLiteral("Retrying to Connect in ") + QString::number(reconnectCountdown)
               + QStringLiteral(" Second(s)");
    }
    return {};
}
