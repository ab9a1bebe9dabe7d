#pragma once

#include "ftp/tcftp.h"
#include "tasks/operationresult.h"

#include <QHash>
#include <QObject>

#include <functional>

class CommandList;
class TaskList;
class TransferQueue;
struct tTaskListObj;

// Follows the engine's operations from their queue entries and command lines through the
// sessions that carry them out, and collects each part's result. An operation has ended when
// no queue entry, no command line and no session carries it any more; operationFinished then
// follows from the event loop, never from inside a session's report. Parts that never ran (the
// user stopped them, the connection was lost) end as not carried out.
class OperationTracker : public QObject
{
    Q_OBJECT
public:
    OperationTracker(const TransferQueue &queue,
                     const CommandList &commands,
                     const TaskList &tasks);

    // A new operation; its parts are added with expect() or arrive with the session reports.
    int start(OperationStart *start);
    // A part the operation must carry out; an existing one (same kind and target) is kept.
    void expect(int operation, ItemResult::Kind kind, const QString &source, const QString &target);
    void skip(int operation, const SkippedName &skipped);
    // A local folder of a tree download could not be made, for reason (the system's words).
    void localFolderFailed(int operation, const QString &folder, const QString &reason);
    // The download to localFile could not start: why.
    void transferRefused(const tTaskListObj *record, const QString &localFile, const QString &why);
    // The transfer to target goes to newTarget instead (a free name beside an existing file).
    void retarget(int operation, const QString &target, const QString &newTarget);
    // The transfer to target was left out on purpose (its target exists): it ends as done
    // without moving a byte, and skipped names it without failing the operation.
    void transferLeft(int operation, const QString &target, const SkippedName &skipped);
    // While held (as often as released) an operation has not ended, whatever carries it.
    void hold(int operation) { ++m_holds[operation]; }
    void release(int operation);
    // The transfer to target (the local file of a download, the host file of an upload) was
    // given up after attempts tries, the last of which failed for reason.
    void transferGaveUp(int operation, const QString &target, const QString &reason, int attempts);
    // How many tries the transfer to target has had so far.
    void transferAttempts(const tTaskListObj *record, const QString &target, int attempts);
    // Work held elsewhere (transfers waiting for another attempt): an operation for which busy
    // answers true has not ended.
    void setBusyCheck(std::function<bool(int)> busy) { m_busy = std::move(busy); }

    // Session reports for the work of record.
    void commandSent(const tTaskListObj *record);
    void warning(const tTaskListObj *record, const QString &text);
    void actionDone(const tTaskListObj *record,
                    TcFTP *session,
                    TcFTPActionType action,
                    const QString &fileFolder,
                    qint64 size,
                    bool success);
    void folderListed(const tTaskListObj *record, const QString &folder);
    // The session of record is done with its work (idle again, or offline).
    void workEnded(tTaskListObj *record);

    // Looks from the event loop whether operations have ended.
    void scheduleCheck();

Q_SIGNALS:
    void operationFinished(int id, const OperationResult &result);

private:
    struct Running
    {
        OperationResult result;
        bool commandSent = false;
        // Each session's last complaint, kept until its work ends: sessions of one operation
        // work side by side.
        QHash<const tTaskListObj *, QString> warnings;
        // Where each part is in result.items, by kind and target: a folder of thousands of
        // files must not cost a search through all its parts per file.
        QHash<std::pair<int, QString>, qsizetype> partAt;
        // The renames, deletions and folders made, in their order: the parts a session's work
        // ending settles. Parts only ever end, so the search for the first unended one starts
        // past those known ended: a tree delete of thousands of files stays linear.
        QList<qsizetype> settledByWorkEnd;
        qsizetype workEndFrom = 0;
        // The same for each kind a host report settles without naming its part.
        QHash<int, QList<qsizetype>> ofKind;
        QHash<int, qsizetype> ofKindFrom;
    };
    Running *running(int operation);
    Running *running(const tTaskListObj *record);
    // The part of kind with target, else a new one.
    ItemResult &item(Running &op, ItemResult::Kind kind, const QString &target);
    // The unended part of kind with target, else the first unended part of kind, else none
    // (only for deletions and folders made).
    ItemResult *pending(Running &op, ItemResult::Kind kind, const QString &target);
    void settle(ItemResult &item,
                const tTaskListObj *record,
                TcFTP *session,
                bool success,
                const Running &op);
    void check();

    const TransferQueue &m_queue;
    const CommandList &m_commands;
    const TaskList &m_tasks;
    QHash<int, Running> m_running;
    QHash<int, int> m_holds;
    std::function<bool(int)> m_busy;
    int m_lastId = 0;
    bool m_checkPending = false;
};
