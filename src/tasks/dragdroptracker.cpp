#include "tasks/dragdroptracker.h"

#include "ftp/tcftp.h"
#include "platform/localpath.h"
#include "tasks/taskengine.h"
#include "util/fieldstring.h"

#include <QFileInfo>

namespace {
const QChar Star = QLatin1Char('*');
const QChar Backslash = QLatin1Char('\\');
constexpr int PollMs = 100;
} // namespace

DragDropTracker::DragDropTracker(TaskEngine &engine, const QString &dragDropFolder, QObject *parent)
    : QObject(parent)
    , m_engine(engine)
    , m_folder(dragDropFolder)
{
    connect(&engine, &TaskEngine::transferEnded, this, &DragDropTracker::transferEnded);
    connect(&engine, &TaskEngine::treeListingFailed, this, &DragDropTracker::treeBufferFailed);
    // The sessions report from inside their own calls, when their state is not final yet:
    // every look at the outstanding work happens once the event loop is back.
    connect(&engine,
            &TaskEngine::interfaceChanged,
            this,
            &DragDropTracker::check,
            Qt::QueuedConnection);
    // Some ends say nothing (a queue emptied when the connection closed): look now and then.
    m_poll.setInterval(PollMs);
    connect(&m_poll, &QTimer::timeout, this, &DragDropTracker::check);
}

void DragDropTracker::track(const QStringList &localItems)
{
    m_waitingFiles.clear();
    m_folders.clear();
    m_failedItem.clear();
    for (const QString &item : localItems) {
        if (item.endsWith(Backslash))
            m_folders.append(item);
        else
            m_waitingFiles.insert(item);
    }
    m_state = Waiting;
    m_poll.start();
    QMetaObject::invokeMethod(this, &DragDropTracker::check, Qt::QueuedConnection);
}

void DragDropTracker::stop()
{
    m_poll.stop();
    if (m_state == Waiting)
        m_state = Idle;
}

QStringList DragDropTracker::waitingItems() const
{
    QStringList items;
    for (const QString &file : m_waitingFiles)
        items.append(relative(file));
    for (const QString &folder : m_folders)
        items.append(relative(folder));
    items.sort();
    return items;
}

void DragDropTracker::transferEnded(bool download,
                                    const QString &folder,
                                    const QString &file,
                                    bool success)
{
    if (m_state != Waiting || !download)
        return;
    const QString path = folder + file;
    const bool ours = m_waitingFiles.contains(path) || belowTrackedFolder(path);
    if (!ours)
        return;
    if (!success) {
        fail(path);
        return;
    }
    m_waitingFiles.remove(path);
    QMetaObject::invokeMethod(this, &DragDropTracker::check, Qt::QueuedConnection);
}

void DragDropTracker::treeBufferFailed(const QString &hostFolder, const QString &localRoot)
{
    Q_UNUSED(hostFolder);
    if (m_state == Waiting && m_folders.contains(localRoot))
        fail(localRoot);
}

void DragDropTracker::check()
{
    if (m_state != Waiting || workOutstanding())
        return;
    // Nothing is left to do for the drag: whatever has not arrived now never will.
    QStringList missing(m_waitingFiles.cbegin(), m_waitingFiles.cend());
    missing.sort();
    if (!missing.isEmpty()) {
        fail(missing.first());
        return;
    }
    for (const QString &folder : std::as_const(m_folders)) {
        if (!QFileInfo(LocalToNative(folder)).isDir()) {
            fail(folder);
            return;
        }
    }
    m_state = Arrived;
    m_poll.stop();
    Q_EMIT arrived();
}

void DragDropTracker::fail(const QString &localPath)
{
    if (m_state != Waiting)
        return;
    m_state = Failed;
    m_poll.stop();
    m_failedItem = relative(localPath);
    // Said from the event loop, never from inside a session's report.
    QMetaObject::invokeMethod(
            this, [this] { Q_EMIT failed(m_failedItem); }, Qt::QueuedConnection);
}

bool DragDropTracker::workOutstanding() const
{
    const TransferQueue &queue = m_engine.transferQueue();
    for (const QString &entry : queue.entries()) {
        // The local path is the third field of "d*" and "b*...*!download" entries.
        if ((entry.startsWith(QLatin1String("d*")) || entry.startsWith(QLatin1String("b*")))
            && Field(entry, 3, Star).startsWith(m_folder))
            return true;
    }
    const TaskList &tasks = m_engine.taskList();
    for (int i = 0; i < tasks.count(); ++i) {
        const tTaskListObj *record = tasks.record(i);
        if (record->DownloadAfterBuffer && record->LocalRoot.startsWith(m_folder))
            return true;
        const TcFTP *session = record->FTP;
        if (session && session->Downloading() && session->IOdstFolder().startsWith(m_folder))
            return true;
    }
    return false;
}

bool DragDropTracker::belowTrackedFolder(const QString &localPath) const
{
    for (const QString &folder : m_folders) {
        if (localPath.startsWith(folder))
            return true;
    }
    return false;
}

QString DragDropTracker::relative(const QString &localPath) const
{
    const QString path
            = localPath.startsWith(m_folder) ? localPath.mid(m_folder.size()) : localPath;
    // Shown as a person reads a path below the folder: "sub/deep/a.txt", "sub/".
    return QString(path).replace(Backslash, QLatin1Char('/'));
}
