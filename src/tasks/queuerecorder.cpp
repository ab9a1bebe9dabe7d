#include "tasks/queuerecorder.h"

#include "platform/localpath.h"
#include "tasks/taskengine.h"
#include "util/fieldstring.h"

#include <QFileInfo>

namespace {

// Takes the oldest (or the newest) journal id kept under key, forgetting the key with its last
// id; -1 when none is kept.
int TakeId(QHash<QString, QList<int>> &ids, const QString &key, bool oldest)
{
    auto found = ids.find(key);
    if (found == ids.end())
        return -1;
    const int id = oldest ? found->takeFirst() : found->takeLast();
    if (found->isEmpty())
        ids.erase(found);
    return id;
}
const QChar Star = QLatin1Char('*');
} // namespace

QueueRecorder::QueueRecorder(TaskEngine &engine, QueueJournal &journal, QObject *parent)
    : QObject(parent)
    , m_engine(engine)
    , m_journal(journal)
{
    m_engine.transferQueue().setObserver(this);
    connect(&m_engine,
            &TaskEngine::transferEnded,
            this,
            [this](bool download, const QString &folder, const QString &file, bool) {
                transferEnded(download, folder, file);
            });
    connect(&m_engine,
            &TaskEngine::transferLeft,
            this,
            [this](bool download, const QString &target) {
                transferEnded(download, target, QString());
            });
    connect(&m_engine, &TaskEngine::queueEntryEnded, this, &QueueRecorder::heldEntryEnded);
    // The sessions have gone with the connection: what they were carrying out has ended.
    connect(&m_engine, qOverload<>(&TaskEngine::mainOffline), this, &QueueRecorder::endRunning);
}

QueueRecorder::~QueueRecorder()
{
    m_engine.transferQueue().setObserver(nullptr);
    m_journal.flush(true);
}

bool QueueRecorder::transferOf(const QString &entry, QueueJournal::Transfer *transfer)
{
    *transfer = {};
    const int fields = FieldCount(entry, Star);
    if (entry.startsWith(QLatin1String("b*")) && fields >= 4
        && Field(entry, 4, Star) == QLatin1String("!download")) {
        transfer->kind = QueueJournal::Transfer::Tree;
        transfer->hostPath = Field(entry, 2, Star);
        transfer->localPath = Field(entry, 3, Star);
        return true;
    }
    const QString makeFolder = TransferQueue::MakeFolderEntry(QString());
    if (entry.startsWith(makeFolder) && fields == 2) {
        transfer->kind = QueueJournal::Transfer::Folder;
        transfer->download = false;
        transfer->hostPath = entry.mid(makeFolder.size());
        return true;
    }
    if (!(entry.startsWith(QLatin1String("d*")) || entry.startsWith(QLatin1String("u*")))
        || fields < 3 || fields > 4)
        return false;
    transfer->download = entry.at(0) == QLatin1Char('d');
    transfer->hostPath = Field(entry, transfer->download ? 2 : 3, Star);
    transfer->localPath = Field(entry, transfer->download ? 3 : 2, Star);
    return true;
}

QStringList QueueRecorder::resumeEntries(const QList<QueueJournal::Transfer> &transfers,
                                         const QString &choice)
{
    QList<const QueueJournal::Transfer *> trees;
    for (const QueueJournal::Transfer &t : transfers) {
        if (t.kind == QueueJournal::Transfer::Tree)
            trees.append(&t);
    }
    const auto belowTree = [&trees](const QueueJournal::Transfer &t) {
        for (const QueueJournal::Transfer *tree : std::as_const(trees)) {
            if (t.hostPath.startsWith(tree->hostPath) && t.localPath.startsWith(tree->localPath))
                return true;
        }
        return false;
    };
    QStringList entries;
    for (const QueueJournal::Transfer &t : transfers) {
        switch (t.kind) {
        case QueueJournal::Transfer::Tree:
            entries.append(TransferQueue::DownloadTreeEntry(t.hostPath, t.localPath) + Star
                           + choice);
            break;
        case QueueJournal::Transfer::Folder:
            entries.append(TransferQueue::MakeFolderEntry(t.hostPath));
            break;
        case QueueJournal::Transfer::File:
            if (!t.download)
                entries.append(TransferQueue::UploadEntry(t.localPath, t.hostPath) + Star + choice);
            else if (!belowTree(t))
                entries.append(TransferQueue::DownloadEntry(t.hostPath, t.localPath) + Star
                               + choice);
            break;
        }
    }
    return entries;
}

QString QueueRecorder::runningKey(bool download, const QString &path)
{
    return (download ? QLatin1Char('d') : QLatin1Char('u')) + path;
}

void QueueRecorder::entryAppended(const QString &entry)
{
    QueueJournal::Transfer transfer;
    if (!transferOf(entry, &transfer))
        return;
    const bool file = transfer.kind == QueueJournal::Transfer::File;
    if (file && transfer.download) {
        const qsizetype cut = transfer.hostPath.lastIndexOf(QLatin1Char('\\')) + 1;
        const ListingBuffer::Entry *listed = m_engine.listingBuffer().find(
                transfer.hostPath.left(cut), QLatin1Char('f') + transfer.hostPath.mid(cut));
        bool ok = false;
        const qint64 size = listed ? Field(listed->fields, 1, Star).toLongLong(&ok) : -1;
        transfer.size = ok ? size : -1;
    } else if (file) {
        const QFileInfo local(LocalToNative(transfer.localPath));
        transfer.size = local.isFile() ? local.size() : -1;
    }
    m_waiting[entry].append(m_journal.add(transfer));
}

void QueueRecorder::entryTaken(const QString &entry)
{
    const int id = TakeId(m_waiting, entry, true);
    if (id < 0)
        return;
    QueueJournal::Transfer transfer;
    transferOf(entry, &transfer);
    if (transfer.kind != QueueJournal::Transfer::File) {
        m_held[entry].append(id);
        return;
    }
    m_running[runningKey(transfer.download,
                         transfer.download ? transfer.localPath : transfer.hostPath)]
            .append(id);
}

void QueueRecorder::entryRemoved(const QString &entry)
{
    if (const int id = TakeId(m_waiting, entry, false); id >= 0)
        m_journal.end(id);
}

void QueueRecorder::transferEnded(bool download, const QString &folder, const QString &file)
{
    if (const int id = TakeId(m_running, runningKey(download, folder + file), true); id >= 0)
        m_journal.end(id);
}

void QueueRecorder::heldEntryEnded(const QString &entry)
{
    if (const int id = TakeId(m_held, entry, true); id >= 0)
        m_journal.end(id);
}

void QueueRecorder::endRunning()
{
    for (const QList<int> &ids : std::as_const(m_running)) {
        for (int id : ids)
            m_journal.end(id);
    }
    for (const QList<int> &ids : std::as_const(m_held)) {
        for (int id : ids)
            m_journal.end(id);
    }
    m_running.clear();
    m_held.clear();
}
