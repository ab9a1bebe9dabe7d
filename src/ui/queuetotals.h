#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <deque>

class PacedCall;
class TaskEngine;

// The totals of the queue for the status bar: the files still to move (waiting in the queue and
// running), their bytes, and the time left at the pace the work has kept over the last seconds.
// A waiting download's size comes from the host's listing, an upload's from its local file, each
// looked up once when the entry is queued; work whose size is not known yet (a folder tree
// still to be listed) is not counted. Recounted a few times a second while work is left.
class QueueTotals : public QObject
{
    Q_OBJECT
public:
    // The engine must outlive the totals.
    explicit QueueTotals(TaskEngine &engine, QObject *parent = nullptr);

    int filesLeft() const { return m_files; }
    qint64 bytesLeft() const { return m_bytes; }
    // -1 while the pace is not known yet.
    qint64 secondsLeft() const { return m_seconds; }
    // "12 files, 4.5 MB left, about 32 s"; empty when nothing is left.
    QString text() const;

    // Counts again now.
    void update();

Q_SIGNALS:
    void changed();

private:
    qint64 entrySize(const QString &entry) const;
    void followQueue();

    TaskEngine &m_engine;
    PacedCall *m_recount;
    QTimer m_tick;
    QElapsedTimer m_clock;
    // The size of each queue entry (-1: not a file, or not known), following the queue.
    std::deque<qint64> m_sizes;
    quint64 m_taken = 0;
    quint64 m_reshaped = ~quint64(0);
    int m_files = 0;
    qint64 m_bytes = 0;
    qint64 m_seconds = -1;
    struct Sample
    {
        qint64 ms;
        int files;
        qint64 bytes;
    };
    std::deque<Sample> m_samples;
};
