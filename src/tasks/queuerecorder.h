#pragma once

#include "tasks/queuejournal.h"
#include "tasks/transferqueue.h"

#include <QHash>
#include <QList>
#include <QObject>

class TaskEngine;

// Keeps a queue journal in step with the engine's transfer queue: every download and upload
// entry queued is added, and ended once it leaves the queue unperformed or its transfer ends
// (whether it succeeded or not). Entries handed to a session stay in the journal until then,
// so a transfer cut short is resumed later. Other entries (commands, tree listings) are not
// kept. Watching begins on construction and ends when the recorder goes; the journal file
// stays as it is then.
class QueueRecorder : public QObject, private TransferQueue::Observer
{
    Q_OBJECT
public:
    QueueRecorder(TaskEngine &engine, QueueJournal &journal, QObject *parent = nullptr);
    ~QueueRecorder() override;

    // The journal's form of a queue entry; false for entries that are not transfers.
    static bool transferOf(const QString &entry, QueueJournal::Transfer *transfer);

private:
    void entryAppended(const QString &entry) override;
    void entryTaken(const QString &entry) override;
    void entryRemoved(const QString &entry) override;
    void transferEnded(bool download, const QString &folder, const QString &file);
    void endRunning();
    static QString runningKey(bool download, const QString &path);

    TaskEngine &m_engine;
    QueueJournal &m_journal;
    QHash<QString, QList<int>> m_waiting; // entry text -> journal ids, oldest first
    QHash<QString, QList<int>> m_running; // "d"/"u" + the transfer's target path -> ids
};
