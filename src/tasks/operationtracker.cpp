#include "operationtracker.h"

#include "tasks/commandlist.h"
#include "tasks/tasklist.h"
#include "tasks/transferqueue.h"

#include <QTimer>

namespace {
// The part ended without success, for reason.
ItemResult &failed(ItemResult &part, const QString &reason)
{
    part.ended = true;
    part.success = false;
    part.failureReason = reason;
    return part;
}
} // namespace

OperationTracker::OperationTracker(const TransferQueue &queue,
                                   const CommandList &commands,
                                   const TaskList &tasks)
    : m_queue(queue)
    , m_commands(commands)
    , m_tasks(tasks)
{}

int OperationTracker::start(OperationStart *start)
{
    start->id = ++m_lastId;
    Running &op = m_running[start->id];
    op.result.id = start->id;
    op.result.skipped = start->skipped;
    scheduleCheck();
    return start->id;
}

OperationTracker::Running *OperationTracker::running(int operation)
{
    const auto found = m_running.find(operation);
    return found == m_running.end() ? nullptr : &*found;
}

OperationTracker::Running *OperationTracker::running(const tTaskListObj *record)
{
    return record && record->operation != 0 ? running(record->operation) : nullptr;
}

ItemResult *OperationTracker::pending(Running &op, ItemResult::Kind kind, const QString &target)
{
    const auto found = op.partAt.constFind({int(kind), target});
    if (found != op.partAt.cend() && !op.result.items[*found].ended)
        return &op.result.items[*found];
    const QList<qsizetype> parts = op.ofKind.value(int(kind));
    qsizetype &from = op.ofKindFrom[int(kind)];
    while (from < parts.size() && op.result.items[parts[from]].ended)
        ++from;
    return from < parts.size() ? &op.result.items[parts[from]] : nullptr;
}

ItemResult &OperationTracker::item(Running &op, ItemResult::Kind kind, const QString &target)
{
    const std::pair<int, QString> key{int(kind), target};
    const auto found = op.partAt.constFind(key);
    if (found != op.partAt.cend())
        return op.result.items[*found];
    ItemResult item;
    item.kind = kind;
    item.target = target;
    op.partAt.insert(key, op.result.items.size());
    if (kind == ItemResult::Rename || kind == ItemResult::Delete || kind == ItemResult::MakeFolder)
        op.settledByWorkEnd.append(op.result.items.size());
    if (kind == ItemResult::Delete || kind == ItemResult::MakeFolder)
        op.ofKind[int(kind)].append(op.result.items.size());
    op.result.items.append(item);
    return op.result.items.last();
}

void OperationTracker::expect(int operation,
                              ItemResult::Kind kind,
                              const QString &source,
                              const QString &target)
{
    if (Running *op = running(operation))
        item(*op, kind, target).source = source;
}

void OperationTracker::skip(int operation, const SkippedName &skipped)
{
    if (Running *op = running(operation))
        op->result.skipped.append(skipped);
}

void OperationTracker::localFolderFailed(int operation,
                                         const QString &folder,
                                         const QString &reason)
{
    Running *op = running(operation);
    if (!op)
        return;
    failed(item(*op, ItemResult::LocalFolder, folder), reason);
}

void OperationTracker::transferRefused(const tTaskListObj *record,
                                       const QString &localFile,
                                       const QString &why)
{
    Running *op = running(record);
    if (!op)
        return;
    failed(item(*op, ItemResult::Transfer, localFile), why);
}

void OperationTracker::retarget(int operation, const QString &target, const QString &newTarget)
{
    Running *op = running(operation);
    if (!op)
        return;
    const auto at = op->partAt.constFind({int(ItemResult::Transfer), target});
    if (at == op->partAt.cend())
        return;
    const qsizetype index = *at;
    op->partAt.remove({int(ItemResult::Transfer), target});
    op->partAt.insert({int(ItemResult::Transfer), newTarget}, index);
    op->result.items[index].target = newTarget;
}

void OperationTracker::transferLeft(int operation,
                                    const QString &target,
                                    const SkippedName &skipped)
{
    Running *op = running(operation);
    if (!op)
        return;
    ItemResult &left = item(*op, ItemResult::Transfer, target);
    left.ended = true;
    left.success = true;
    left.bytes = 0;
    op->result.skipped.append(skipped);
}

void OperationTracker::release(int operation)
{
    const auto found = m_holds.find(operation);
    if (found != m_holds.end() && --*found <= 0)
        m_holds.erase(found);
    scheduleCheck();
}

void OperationTracker::transferGaveUp(int operation,
                                      const QString &target,
                                      const QString &reason,
                                      int attempts)
{
    Running *op = running(operation);
    if (!op)
        return;
    ItemResult &gaveUp = failed(item(*op, ItemResult::Transfer, target), reason);
    gaveUp.connectionClosed = true;
    gaveUp.attempts = attempts;
}

void OperationTracker::transferAttempts(const tTaskListObj *record,
                                        const QString &target,
                                        int attempts)
{
    if (Running *op = running(record))
        item(*op, ItemResult::Transfer, target).attempts = attempts;
}

void OperationTracker::commandSent(const tTaskListObj *record)
{
    if (Running *op = running(record))
        op->commandSent = true;
}

void OperationTracker::warning(const tTaskListObj *record, const QString &text)
{
    if (Running *op = running(record))
        op->warnings.insert(record, text);
}

void OperationTracker::settle(ItemResult &item,
                              const tTaskListObj *record,
                              TcFTP *session,
                              bool success,
                              const Running &op)
{
    item.ended = true;
    item.success = success;
    item.hostReply = session->ReplyLine();
    item.commandSent = op.commandSent;
    item.warning = op.warnings.value(record);
    item.connectionClosed = session->State() == csNotConnected || session->ConnectionLost();
    item.failureReason = session->FailureReason();
}

void OperationTracker::actionDone(const tTaskListObj *record,
                                  TcFTP *session,
                                  TcFTPActionType action,
                                  const QString &fileFolder,
                                  qint64 size,
                                  bool success)
{
    Running *op = running(record);
    if (!op)
        return;
    switch (action) {
    case caDownload:
    case caUpload: {
        ItemResult &moved
                = item(*op, ItemResult::Transfer, session->IOdstFolder() + session->IOdstFile());
        settle(moved, record, session, success, *op);
        moved.bytes = size;
        break;
    }
    case caList:
    case caChangeFolder: {
        if (success)
            break; // a listing's success is its folder arriving (folderListed)
        const QString command = session->CommandLine();
        const QString folder = command.startsWith(QLatin1String("cwd "), Qt::CaseInsensitive)
                                       ? command.mid(4)
                                       : session->Folder();
        // The listing asked for, when there was one; else the folder that failed.
        ItemResult *listing = nullptr;
        for (ItemResult &each : op->result.items) {
            if (each.kind == ItemResult::Listing && !each.ended)
                listing = &each;
        }
        settle(listing && op->result.items.size() == 1 ? *listing
                                                       : item(*op, ItemResult::Listing, folder),
               record,
               session,
               false,
               *op);
        break;
    }
    case caDelete:
    case caRemoveFolder:
        if (ItemResult *asked = pending(*op, ItemResult::Delete, fileFolder))
            settle(*asked, record, session, success, *op);
        else
            settle(item(*op, ItemResult::Delete, fileFolder), record, session, success, *op);
        break;
    case caMakeFolder:
        // A folder made for a folder upload is no part of its result.
        if (ItemResult *asked = pending(*op, ItemResult::MakeFolder, fileFolder))
            settle(*asked, record, session, success, *op);
        break;
    default:
        break;
    }
}

void OperationTracker::folderListed(const tTaskListObj *record, const QString &folder)
{
    Running *op = running(record);
    if (!op)
        return;
    for (ItemResult &each : op->result.items) {
        if (each.kind == ItemResult::Listing && !each.ended && each.target == folder) {
            each.ended = true;
            each.success = true;
        }
    }
}

void OperationTracker::workEnded(tTaskListObj *record)
{
    Running *op = running(record);
    record->operation = 0;
    if (op) {
        // A command of the main session ends with the session idle: the host's answer to the
        // last command it sent is the result of one that has no report of its own (a rename),
        // and one that ended without any report failed.
        TcFTP *session = record->FTP;
        const QList<qsizetype> &parts = op->settledByWorkEnd;
        qsizetype &from = op->workEndFrom;
        while (from < parts.size() && op->result.items[parts[from]].ended)
            ++from;
        if (from < parts.size()) {
            ItemResult &each = op->result.items[parts[from]];
            const bool renamed = session->OutCmd() == QLatin1String("rnto")
                                 && session->InCmd().startsWith(QLatin1Char('2'));
            settle(each, record, session, each.kind == ItemResult::Rename && renamed, *op);
        }
        op->commandSent = false;
        op->warnings.remove(record);
    }
    scheduleCheck();
}

void OperationTracker::scheduleCheck()
{
    if (m_checkPending || m_running.isEmpty())
        return;
    m_checkPending = true;
    QTimer::singleShot(0, this, [this] {
        m_checkPending = false;
        check();
    });
}

void OperationTracker::check()
{
    QList<int> ended;
    for (auto it = m_running.cbegin(); it != m_running.cend(); ++it) {
        const int id = it.key();
        bool busy = m_queue.holdsOperation(id) || m_commands.holdsOperation(id)
                    || m_holds.contains(id) || (m_busy && m_busy(id));
        for (int i = 0; !busy && i < m_tasks.count(); ++i)
            busy = m_tasks.record(i)->operation == id;
        if (!busy)
            ended.append(id);
    }
    std::sort(ended.begin(), ended.end());
    for (const int id : std::as_const(ended)) {
        const OperationResult result = m_running.take(id).result;
        Q_EMIT operationFinished(id, result);
    }
}
