#pragma once

#include "tasks/operationresult.h"

#include <QAbstractListModel>
#include <QList>

class TaskEngine;

// The transfers that finally failed, each with its reason, for the task panel's "Failed" list.
// It takes them from the engine's operation results as operations end (a part that was never
// carried out because its connection was lost counts; one the user stopped or removed from the
// queue does not). A retry queues the transfer again as an operation of its own and takes the
// row away; should it fail again, it comes back with the new reason.
class FailedTransfers : public QAbstractListModel
{
    Q_OBJECT
public:
    struct Entry
    {
        bool download = true;
        FilePair files;
        QString reason;
    };

    // The engine must outlive the model.
    explicit FailedTransfers(TaskEngine &engine, QObject *parent = nullptr);

    int count() const { return int(m_entries.size()); }
    const Entry &entry(int row) const { return m_entries.at(row); }

    // Queues the transfers of these rows again and removes the rows.
    void retry(const QList<int> &rows);
    void retryAll();
    void remove(const QList<int> &rows);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void operationFinished(const OperationResult &result);
    // The rows in descending order without repeats, each within the list.
    QList<int> validRows(QList<int> rows) const;

    TaskEngine &m_engine;
    QList<Entry> m_entries;
};
