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
// so a transfer cut short is resumed later. So are tree downloads, until the tree has been
// listed and its files queued, and the host folders an upload makes, until the host answered.
// Other entries (other commands and listings, tree deletes) are not kept. Watching begins on
// construction and ends when the recorder goes; the journal file stays as it is then.
class QueueRecorder : public QObject, private TransferQueue::Observer
{
    Q_OBJECT
public:
    QueueRecorder(TaskEngine &engine, QueueJournal &journal, QObject *parent = nullptr);
    ~QueueRecorder() override;

    // The journal's form of a queue entry; false for entries that are not kept.
    static bool transferOf(const QString &entry, QueueJournal::Transfer *transfer);
    // The queue entries that take a journal's transfers up again, each with the choice given
    // for a target that exists, in the order they were queued. A file of a tree that is to be
    // listed again is left to the tree, or two sessions would fetch it at once.
    static QStringList resumeEntries(const QList<QueueJournal::Transfer> &transfers,
                                     const QString &choice);

private:
    void entryAppended(const QString &entry) override;
    void entryTaken(const QString &entry) override;
    void entryRemoved(const QString &entry) override;
    void transferEnded(bool download, const QString &folder, const QString &file);
    void heldEntryEnded(const QString &entry);
    void endRunning();
    static QString runningKey(bool download, const QString &path);

    TaskEngine &m_engine;
    QueueJournal &m_journal;
    QHash<QString, QList<int>> m_waiting; // entry text -> journal ids, oldest first
    QHash<QString, QList<int>> m_running; // "d"/"u" + the transfer's target path -> ids
    QHash<QString, QList<int>> m_held;    // tree and folder entries handed out -> ids
};
