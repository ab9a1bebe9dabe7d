#include "ui/failedtransfers.h"

#include "platform/localpath.h"
#include "tasks/taskengine.h"

#include <algorithm>
#include <numeric>

namespace {

QString lastName(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('\\')) + 1);
}

} // namespace

FailedTransfers::FailedTransfers(TaskEngine &engine, QObject *parent)
    : QAbstractListModel(parent)
    , m_engine(engine)
{
    connect(&engine, &TaskEngine::operationFinished, this, [this](int, const OperationResult &r) {
        operationFinished(r);
    });
}

void FailedTransfers::operationFinished(const OperationResult &result)
{
    QList<Entry> failed;
    for (const ItemResult &item : result.items) {
        if (item.kind != ItemResult::Transfer || item.success)
            continue;
        // Never carried out and not cut off: the user stopped it or took it from the queue.
        if (!item.ended && !item.connectionClosed)
            continue;
        // A download's source is a host path ("\pub\a.txt"); an upload's is a local file.
        Entry entry;
        entry.download = item.source.startsWith(QLatin1Char('\\'));
        entry.files = entry.download ? FilePair{HostPath{item.source}, LocalPath{item.target}}
                                     : FilePair{HostPath{item.target}, LocalPath{item.source}};
        entry.reason = item.reason();
        failed.append(entry);
    }
    if (failed.isEmpty())
        return;
    beginInsertRows({}, count(), count() + int(failed.size()) - 1);
    m_entries.append(failed);
    endInsertRows();
}

QList<int> FailedTransfers::validRows(QList<int> rows) const
{
    rows.erase(std::remove_if(rows.begin(),
                              rows.end(),
                              [this](int row) { return row < 0 || row >= count(); }),
               rows.end());
    std::sort(rows.begin(), rows.end(), std::greater<>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void FailedTransfers::retry(const QList<int> &rows)
{
    QList<FilePair> downloads;
    QList<FilePair> uploads;
    const QList<int> valid = validRows(rows);
    // In the list's order, as they were queued first.
    for (auto it = valid.crbegin(); it != valid.crend(); ++it)
        (m_entries.at(*it).download ? downloads : uploads).append(m_entries.at(*it).files);
    remove(valid);
    if (!downloads.isEmpty())
        m_engine.download(downloads);
    if (!uploads.isEmpty())
        m_engine.upload(uploads);
    m_engine.Pass();
}

void FailedTransfers::retryAll()
{
    QList<int> rows(count());
    std::iota(rows.begin(), rows.end(), 0);
    retry(rows);
}

void FailedTransfers::remove(const QList<int> &rows)
{
    for (const int row : validRows(rows)) {
        beginRemoveRows({}, row, row);
        m_entries.removeAt(row);
        endRemoveRows();
    }
}

int FailedTransfers::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant FailedTransfers::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= count())
        return {};
    const Entry &entry = m_entries.at(index.row());
    if (role == Qt::DisplayRole) {
        return (entry.download ? tr("Download: %1 : %2") : tr("Upload: %1 : %2"))
                .arg(lastName(entry.download ? entry.files.host.path : entry.files.local.path),
                     entry.reason);
    }
    if (role == Qt::ToolTipRole) {
        return (entry.download ? tr("%1\nto %2\n%3") : tr("%2\nto %1\n%3"))
                .arg(entry.files.host.path, LocalToNative(entry.files.local.path), entry.reason);
    }
    return {};
}

QVariant FailedTransfers::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return tr("Failed");
    return {};
}
