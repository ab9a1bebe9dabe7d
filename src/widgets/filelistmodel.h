#pragma once

#include <QAbstractTableModel>
#include <QDate>
#include <QHash>
#include <QIcon>
#include <QList>
#include <QStringView>

#include <memory>

// The rows of a file list as plain records: the views ask for the cells they paint, and the
// Modified text is made for those only. Columns "Name", "Size" (right-aligned), "Type" and
// "Modified".
//
// A sort orders an index of the rows by keys made once per sort (collation keys of each
// distinct text), then moves the rows in one step. A Name sort keeps each row's rank in Name
// order, so the next one sorts numbers until a row comes in; the selection and the current row stay
// with their rows. Filling many rows at once goes through beginFill()/endFill(), which tell the
// views once instead of once per row.
class FileListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { NameColumn = 0, SizeColumn = 1, TypeColumn = 2, ModifiedColumn = 3 };
    enum Kind { ParentEntry = 0, FolderEntry = 1, FileEntry = 2 };
    // A row's mark, a flag the owner of the list sets (for example "already listed").
    static constexpr int MarkRole = Qt::UserRole + 10;

    // Entries rows show without a copy of their own. Read-only and shared: whoever makes one never
    // changes it afterwards, and the model holds it for as long as rows show its entries, so a
    // list the source was made from may be changed or dropped meanwhile.
    class Source
    {
    public:
        virtual ~Source() = default;
        // The entry's name; valid while the source lives.
        virtual QStringView name(int entry) const = 0;
    };
    using SharedSource = std::shared_ptr<const Source>;

    struct Row
    {
        QString name;         // empty on a row that shows an entry of the source
        QString internalName; // empty: the name
        QString size;
        QString type;
        QDate modified;
        QIcon icon;
        Kind kind = FileEntry;
        bool marked = false;
        qint64 bytes = -1; // the size in bytes; -1: only the Size text is known
        // The source entry the row shows (its name, and its Size text made from bytes), or -1.
        int entry = -1;
        // Where the name stands in Name order among the rows ranked with it (equal names share
        // a rank), or -1. Whoever ranks rows ranks all of them at once; see setRows().
        int nameRank = -1;
    };

    explicit FileListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    const Row &row(int row) const { return m_rows.at(row); }
    // A row's name (its own or its entry's), valid until rows are added, removed or replaced.
    QStringView name(int row) const { return NameOf(m_rows.at(row), m_source.get()); }
    // The source the rows given to setRows() show entries of, or nullptr.
    const Source *source() const { return m_source.get(); }
    int append(Row row);
    // Puts a row at a position and returns it.
    int insert(int position, Row row);
    void remove(int row);
    void clearRows();
    void setMark(int row, const QIcon &icon);

    // Whether a row has exactly this name, without looking at every row (the names are counted
    // on the first question after setRows()).
    bool hasName(const QString &name) const;
    // Replaces every row with rows already in the order wanted, which may show entries of
    // source; the views are told once. When every row has a name rank (ranked together, as a
    // fill ranks them), a Name sort orders by those ranks without comparing names.
    void setRows(QList<Row> rows, SharedSource source = {});

    // Between these, append() and clearRows() tell the views nothing; endFill() resets them.
    void beginFill();
    void endFill();

    // Whether a row sorts before another by the column's rules: ".." first, folders before
    // files, then Name and Type by locale-aware text, Size by number (the bytes, or the
    // kilobytes the Size text shows), Modified by date (older first). Rows that show entries
    // take their names from source.
    static bool LessThan(const Row &a, const Row &b, int column, const Source *source = nullptr);
    // A row's name: its own, or that of its entry in source.
    static QStringView NameOf(const Row &row, const Source *source);
    // What a row's size sorts by: its bytes, else the number its Size text shows in kilobytes;
    // -1 without a size.
    static qint64 SizeKey(const Row &row);

private:
    void countName(const Row &row, int change) const;

    QList<Row> m_rows;
    SharedSource m_source;
    // Rows per exact name, when m_namesCounted. The names of entries are keys without a copy
    // (raw data of the source): the counts are dropped whenever the source is.
    mutable QHash<QString, int> m_names;
    mutable bool m_namesCounted = true;
    // Whether every row's name rank holds: no row came in since they were ranked.
    bool m_nameRanked = false;
    int m_filling = 0;
};
