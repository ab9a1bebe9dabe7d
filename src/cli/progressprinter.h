#pragma once

#include <QString>
#include <QStringList>

// The progress line of a long transfer on standard error, rewritten in place a few times a
// second. It stays silent when not enabled (standard error is no terminal) and during a
// transfer's first second, so short transfers and scripts see nothing.
class ProgressPrinter
{
public:
    explicit ProgressPrinter(bool enabled);

    // Shows done of total bytes (total -1 when unknown) after elapsedMs of transfer.
    void update(qint64 done, qint64 total, qint64 elapsedMs);
    // Shows a block of lines (the sessions' rows and the status texts), drawn over the block
    // shown before when nothing else was written in between; unchanged lines are not redrawn.
    // Lines longer than the terminal is wide are cut.
    void showLines(const QStringList &lines);
    // Ends the line shown, if any, so that the next output starts on a line of its own.
    void finish();

    // "12.0 MiB of 48.0 MiB (25%)  3.0 MiB/s"
    static QString progressText(qint64 done, qint64 total, qint64 elapsedMs);
    // "512 B", "1.5 KiB", "12.0 MiB", "1.0 GiB"
    static QString byteText(double bytes);

private:
    bool m_enabled;
    bool m_shown = false;
    qsizetype m_lastWidth = 0;
    QStringList m_block; // the block of lines on screen, below which the cursor stands
};
