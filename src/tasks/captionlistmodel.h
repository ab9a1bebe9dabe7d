#pragma once

#include <QAbstractListModel>
#include <QStringList>

// A list of captions the window shows as they are: the task rows, the queue rows, the status
// panels. Rows are appended or removed only at the end and a caption change is announced only
// when the text differs, so a view redraws what changed and nothing else.
class CaptionListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    explicit CaptionListModel(QObject *parent = nullptr);

    int count() const { return int(m_captions.size()); }
    QString caption(int row) const { return m_captions.value(row); }
    const QStringList &captions() const { return m_captions; }
    // Appends empty rows or removes rows from the end until there are rows rows.
    void resize(int rows);
    // Removes the first rows rows (all when there are fewer).
    void removeFirst(int rows);
    void setCaption(int row, const QString &caption);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    QStringList m_captions;
};
