// The engine's operations: typed calls that become queue entries and command lines, each
// followed to its result.
#include "taskengine.h"

#include "platform/localpath.h"
#include "tasks/uploadfoldertree.h"
#include "util/fieldstring.h"
#include "util/hosttext.h"
#include "util/pathforms.h"

namespace {
const QChar Backslash = QLatin1Char('\\');

QString lastName(const QString &path)
{
    QString trimmed = path;
    if (trimmed.endsWith(Backslash))
        trimmed.chop(1);
    return trimmed.mid(trimmed.lastIndexOf(Backslash) + 1);
}

const QString NoLocalName = QStringLiteral("its name cannot be used for a local file.");
const QString NoStarInHost = QStringLiteral("names holding '*' cannot be queued.");
const QString NoStarInLocal = QStringLiteral("names holding '*' or '\\' cannot be sent.");
const QString HostItem = QStringLiteral("the host item '%1'");
const QString HostFolder = QStringLiteral("the host folder '%1'");
const QString LocalItem = QStringLiteral("'%1'");
} // namespace

// subject names a skipped name in the log line ("the host item '%1'").
void TaskEngine::logSkipped(const OperationStart &start, const QString &subject)
{
    for (const SkippedName &skipped : start.skipped) {
        const QString said = QStringLiteral("Skipped ") + subject.arg(skipped.name)
                             + QStringLiteral(": ") + skipped.reason;
        WriteLog(QStringLiteral(" !: ") + said, LogModel::NoSession);
        Q_EMIT entrySkipped(VisibleHostText(said), skipped.failsOperation);
    }
}

OperationStart TaskEngine::download(const QList<FilePair> &files)
{
    OperationStart start;
    QList<FilePair> going;
    for (const FilePair &file : files) {
        if (!TransferQueue::HostNameCanArrive(lastName(file.host.path))
            || !TransferQueue::HostNameCanTravel(file.host.path)
            || !TransferQueue::LocalPathCanTravel(file.local.path))
            start.skipped.append(SkippedName{file.host.path, NoLocalName});
        else
            going.append(file);
    }
    logSkipped(start, HostItem);
    if (going.isEmpty())
        return start;
    const int id = m_operations.start(&start);
    for (const FilePair &file : std::as_const(going)) {
        m_transferQueue.append(TransferQueue::DownloadEntry(file.host.path, file.local.path), id);
        m_operations.expect(id, ItemResult::Transfer, file.host.path, file.local.path);
    }
    return start;
}

OperationStart TaskEngine::upload(const QList<FilePair> &files)
{
    OperationStart start;
    QList<FilePair> going;
    for (const FilePair &file : files) {
        const QString name = lastName(file.local.path);
        if (!TransferQueue::LocalNameCanTravel(name)
            || !TransferQueue::LocalPathCanTravel(file.local.path)
            || !TransferQueue::HostNameCanTravel(file.host.path))
            start.skipped.append(SkippedName{LocalToNative(file.local.path), NoStarInLocal});
        else
            going.append(file);
    }
    logSkipped(start, LocalItem);
    if (going.isEmpty())
        return start;
    const int id = m_operations.start(&start);
    for (const FilePair &file : std::as_const(going)) {
        // Sent into a host folder that may not exist yet: its folders are made first.
        const QString &host = file.host.path;
        ::QueueMissingHostFolders(
                host.left(host.lastIndexOf(Backslash) + 1), m_listingBuffer, m_transferQueue, id);
        m_transferQueue.append(TransferQueue::UploadEntry(file.local.path, file.host.path), id);
        m_operations.expect(id, ItemResult::Transfer, file.local.path, file.host.path);
    }
    return start;
}

OperationStart TaskEngine::downloadTree(const HostPath &hostFolder, const LocalPath &localFolder)
{
    OperationStart start;
    const QString host = ConvertPath(hostFolder.path, BackslashForm);
    const QString name = lastName(host);
    if ((!name.isEmpty() && !TransferQueue::HostNameCanArrive(name))
        || !TransferQueue::HostNameCanTravel(host)
        || !TransferQueue::LocalPathCanTravel(localFolder.path)) {
        start.skipped.append(SkippedName{host, NoLocalName});
        logSkipped(start, HostItem);
        return start;
    }
    const int id = m_operations.start(&start);
    m_transferQueue.append(TransferQueue::DownloadTreeEntry(host, localFolder.path), id);
    m_operations.expect(id, ItemResult::Listing, QString(), host);
    return start;
}

OperationStart TaskEngine::uploadTree(const LocalPath &localFolder,
                                      const HostPath &hostFolder,
                                      bool makeFolder)
{
    OperationStart start;
    const int id = m_operations.start(&start);
    // The folder, and any folder above it that is missing, is made first (like mkdir -p).
    if (makeFolder && TransferQueue::HostNameCanTravel(hostFolder.path)
        && TransferQueue::LocalPathCanTravel(localFolder.path))
        ::QueueMissingHostFolders(hostFolder.path, m_listingBuffer, m_transferQueue, id);
    ::UploadFolderTree(localFolder.path,
                       hostFolder.path,
                       m_transferQueue,
                       id,
                       [&](const SkippedName &skipped) {
                           start.skipped.append(skipped);
                           m_operations.skip(id, skipped);
                       });
    for (int i = 0; i < m_transferQueue.count(); ++i) {
        const QString &entry = m_transferQueue.at(i);
        if (m_transferQueue.operationAt(i) == id && entry.startsWith(QLatin1Char('u')))
            m_operations.expect(id,
                                ItemResult::Transfer,
                                Field(entry, 2, QLatin1Char('*')),
                                Field(entry, 3, QLatin1Char('*')));
    }
    logSkipped(start, LocalItem);
    return start;
}

OperationStart TaskEngine::deleteTree(const HostPath &hostFolder)
{
    OperationStart start;
    if (!TransferQueue::HostNameCanTravel(hostFolder.path)) {
        start.skipped.append(SkippedName{hostFolder.path, NoStarInHost});
        logSkipped(start, HostFolder);
        return start;
    }
    const int id = m_operations.start(&start);
    m_transferQueue.append(TransferQueue::DeleteTreeEntry(hostFolder.path), id);
    m_operations.expect(id, ItemResult::Listing, QString(), hostFolder.path);
    return start;
}

OperationStart TaskEngine::queueCommand(const QString &line,
                                        ItemResult::Kind kind,
                                        const QString &source,
                                        const QString &target)
{
    OperationStart start;
    const int id = m_operations.start(&start);
    m_mainCmdList.append(line, id);
    m_operations.expect(id, kind, source, target);
    return start;
}

OperationStart TaskEngine::deleteOnHost(const QList<HostPath> &files)
{
    OperationStart start;
    QList<HostPath> going;
    for (const HostPath &file : files) {
        if (TransferQueue::HostNameCanTravel(file.path))
            going.append(file);
        else
            start.skipped.append(SkippedName{file.path, NoStarInHost});
    }
    logSkipped(start, HostItem);
    if (going.isEmpty())
        return start;
    const int id = m_operations.start(&start);
    for (const HostPath &file : std::as_const(going)) {
        m_mainCmdList.append(QStringLiteral("dele ") + file.path, id);
        m_operations.expect(id, ItemResult::Delete, QString(), file.path);
    }
    return start;
}

OperationStart TaskEngine::renameOnHost(const QList<std::pair<HostPath, QString>> &renames,
                                        const HostPath &reloadFolder)
{
    OperationStart start;
    int id = 0;
    for (const auto &[path, newName] : renames) {
        if (!TransferQueue::HostNameCanTravel(path.path)
            || !TransferQueue::HostNameCanTravel(newName) || newName.contains(Backslash)
            || newName.contains(QLatin1Char('/'))) {
            WriteLog(QStringLiteral(" !: Could not rename '%1' to '%2'.")
                             .arg(lastName(path.path), newName),
                     LogModel::NoSession);
            start.skipped.append(SkippedName{path.path, QStringLiteral("could not be renamed.")});
            continue;
        }
        if (id == 0)
            id = m_operations.start(&start);
        // Each rename is settled when the session is idle after it.
        m_mainCmdList.append(QStringLiteral("*rename ") + path.path + QLatin1Char('*') + newName,
                             id);
        m_operations.expect(id, ItemResult::Rename, path.path, newName);
    }
    if (id != 0 && !reloadFolder.path.isEmpty())
        m_mainCmdList.append(QStringLiteral("*reload ") + reloadFolder.path, id);
    if (id == 0)
        start.id = 0;
    return start;
}

OperationStart TaskEngine::makeHostFolder(const HostPath &hostFolder)
{
    return queueCommand(QStringLiteral("mkd ") + hostFolder.path,
                        ItemResult::MakeFolder,
                        QString(),
                        hostFolder.path);
}

OperationStart TaskEngine::listHostFolder(const HostPath &hostFolder)
{
    return queueCommand(QStringLiteral("*list ") + hostFolder.path,
                        ItemResult::Listing,
                        QString(),
                        hostFolder.path);
}

OperationStart TaskEngine::reloadHostFolder(const HostPath &hostFolder)
{
    return queueCommand(QStringLiteral("*reload ") + hostFolder.path,
                        ItemResult::Listing,
                        QString(),
                        hostFolder.path);
}

OperationStart TaskEngine::bufferHostFolder(const HostPath &hostFolder)
{
    OperationStart start;
    const int id = m_operations.start(&start);
    m_transferQueue.append(TransferQueue::BufferEntry(hostFolder.path), id);
    m_operations.expect(id, ItemResult::Listing, QString(), hostFolder.path);
    return start;
}
