#pragma once

#include <QAbstractTableModel>
#include <QDate>
#include <QHash>
#include <QIcon>
#include <QList>

// The rows of a file list as plain records: the views ask for the cells they paint, and the
// Modified text is made for those only. Columns "Name", "Size" (right-aligned), "Type" and
// "Modified".
//
// A sort orders an index of the rows by keys made once per sort (collation keys of each
// distinct text), then moves the rows in one step; the selection and the current row stay with
// their rows. Filling many rows at once goes through beginFill()/endFill(), which tell the views
// once instead of once per row.
class FileListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { NameColumn = 0, SizeColumn = 1, TypeColumn = 2, ModifiedColumn = 3 };
    enum Kind { ParentEntry = 0, FolderEntry = 1, FileEntry = 2 };
    // A row's mark, a flag the owner of the list sets (for example "already listed").
    static constexpr int MarkRole = Qt::UserRole + 10;

    struct Row
    {
        QString name;
        QString internalName; // empty: the name
        QString size;
        QString type;
        QDate modified;
        QIcon icon;
        Kind kind = FileEntry;
        bool marked = false;
        qint64 bytes = -1; // the size in bytes; -1: only the Size text is known
    };

    explicit FileListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    const Row &row(int row) const { return m_rows.at(row); }
    int append(Row row);
    // Puts a row at a position and returns it.
    int insert(int position, Row row);
    void remove(int row);
    void clearRows();
    void setMark(int row, const QIcon &icon);

    // Whether a row has exactly this name, without looking at every row (the names are counted
    // on the first question after setRows()).
    bool hasName(const QString &name) const;
    // Replaces every row with rows already in the order wanted; the views are told once.
    void setRows(QList<Row> rows);

    // Between these, append() and clearRows() tell the views nothing; endFill() resets them.
    void beginFill();
    void endFill();

    // Whether a row sorts before another by the column's rules: ".." first, folders before
    // files, then Name and Type by locale-aware text, Size by number (the bytes, or the
    // kilobytes the Size text shows), Modified by date (older first).
    static bool LessThan(const Row &a, const Row &b, int column);
    // What a row's size sorts by: its bytes, else the number its Size text shows in kilobytes;
    // -1 without a size.
    static qint64 SizeKey(const Row &row);

private:
    void countName(const QString &name, int change);

    QList<Row> m_rows;
    mutable QHash<QString, int> m_names; // rows per exact name, when m_namesCounted
    mutable bool m_namesCounted = true;
    int m_filling = 0;
};
