#pragma once

#include <QElapsedTimer>
#include <QIdentityProxyModel>
#include <QTimer>

#include <deque>

class TaskEngine;
class TcFTP;

// The task rows as the engine captions them, with the progress of each row's transfer for the
// bar the task list paints (ProgressDelegate's roles) and in figures: bytes done and in all,
// speed and seconds left (-1 where unknown). The figures are sampled from the sessions at most
// SampleIntervalMs apart, and only while a transfer runs, so a row changes at most ten times a
// second however fast its files go. A transfer that ends well shows 100 % once before its row
// moves on.
class TaskProgressModel : public QIdentityProxyModel
{
    Q_OBJECT
public:
    static constexpr int SampleIntervalMs = 100;
    enum Role {
        BytesDoneRole = Qt::UserRole + 50,
        BytesTotalRole,
        SpeedRole,       // bytes per second over the last seconds
        SecondsLeftRole, // at that speed
    };

    // source: the engine's task rows (or a proxy of them, row for row); the engine must outlive
    // the model.
    TaskProgressModel(TaskEngine &engine, QAbstractItemModel *source, QObject *parent = nullptr);

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // "42% - 1.2 MB of 3.0 MB - 350 KB/s - 7 s left"
    static QString progressText(qint64 done, qint64 total, qint64 speed, qint64 secondsLeft);
    // "7 s", "3 min 20 s", "2 h 05 min"
    static QString durationText(qint64 seconds);

private:
    struct Progress
    {
        const TcFTP *session = nullptr;
        QString file; // the transfer's target (folder and name)
        qint64 done = -1;
        qint64 total = -1;
        qint64 speed = -1;
        std::deque<std::pair<qint64, qint64>> samples = {}; // (ms, bytes moved)
        bool finished = false;                              // ended well; shown as complete once
        bool finishShown = false;
        bool changed = false;
    };
    void sample();
    void wake();
    void transferEnded(bool download, const QString &folder, const QString &file, bool success);
    int percent(const Progress &progress) const;

    TaskEngine &m_engine;
    QList<Progress> m_rows;
    QTimer m_timer;
    QElapsedTimer m_clock;
};
