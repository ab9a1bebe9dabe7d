#include "captionlistmodel.h"

CaptionListModel::CaptionListModel(QObject *parent)
    : QAbstractListModel(parent)
{}

void CaptionListModel::resize(int rows)
{
    const int now = count();
    if (rows > now) {
        beginInsertRows(QModelIndex(), now, rows - 1);
        for (int i = now; i < rows; ++i)
            m_captions.append(QString());
        endInsertRows();
    } else if (rows < now) {
        beginRemoveRows(QModelIndex(), rows, now - 1);
        m_captions.resize(rows);
        endRemoveRows();
    }
}

void CaptionListModel::removeFirst(int rows)
{
    rows = qMin(rows, count());
    if (rows <= 0)
        return;
    beginRemoveRows(QModelIndex(), 0, rows - 1);
    m_captions.remove(0, rows);
    endRemoveRows();
}

void CaptionListModel::setCaption(int row, const QString &caption)
{
    if (row < 0 || row >= count() || m_captions.at(row) == caption)
        return;
    m_captions[row] = caption;
    const QModelIndex changed = index(row);
    Q_EMIT dataChanged(changed, changed, {Qt::DisplayRole});
}

int CaptionListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant CaptionListModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= count())
        return {};
    return m_captions.at(index.row());
}
