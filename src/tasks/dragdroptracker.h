#pragma once

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

class TaskEngine;

// Follows the items of one drag to another application until every one of them has arrived in
// the drag-and-drop folder, or one of them cannot arrive.
//
// The caller queues the downloads (a "d*" entry per file, a "b*...*!download" entry per folder)
// and then calls track() with the local paths they write, folders ending in "\". An item has
// arrived when:
//   - a file: its download ended with success;
//   - a folder: its tree was buffered without a failed listing, its local folder exists and
//     every file queued below it was received.
// Work for the drag is still outstanding while a queue entry names the drag-and-drop folder,
// a session is buffering a tree into it or a session is downloading into it; entries taken by a
// task are not in the queue any more, so the sessions are asked too. When nothing is left to do
// and an item has still not arrived (its entry was dropped, its session went away, the host did
// not list it), the drag has failed on that item.
//
// The verdict is given once, through arrived() or failed(), from the event loop (never from
// inside a session's report). Single-threaded; the engine must outlive the tracker.
class DragDropTracker : public QObject
{
    Q_OBJECT

public:
    enum State { Idle, Waiting, Arrived, Failed };

    DragDropTracker(TaskEngine &engine, const QString &dragDropFolder, QObject *parent = nullptr);

    // Starts following the items (internal local paths inside the drag-and-drop folder).
    void track(const QStringList &localItems);
    // Stops following without a verdict (the drop was cancelled).
    void stop();

    State state() const { return m_state; }
    // The item that failed, relative to the drag-and-drop folder with "/" separators.
    QString failedItem() const { return m_failedItem; }
    // Items of the drag that have not arrived yet, in the same form.
    QStringList waitingItems() const;

Q_SIGNALS:
    void arrived();
    void failed(const QString &item);

private:
    void transferEnded(bool download, const QString &folder, const QString &file, bool success);
    void treeBufferFailed(const QString &hostFolder, const QString &localRoot);
    void check();
    void fail(const QString &localPath);
    bool workOutstanding() const;
    bool belowTrackedFolder(const QString &localPath) const;
    QString relative(const QString &localPath) const;

    TaskEngine &m_engine;
    QString m_folder;
    State m_state = Idle;
    QSet<QString> m_waitingFiles;
    QStringList m_folders;
    QString m_failedItem;
    QTimer m_poll;
};
