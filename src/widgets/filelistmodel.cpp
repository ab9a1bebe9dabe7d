#include "widgets/filelistmodel.h"

#include "util/fieldstring.h"

#include <QCollator>
#include <QHash>
#include <QLocale>

#include <algorithm>
#include <array>
#include <numeric>

namespace {

// A name as a string without a copy: valid as long as what it views.
QString Unowned(QStringView text)
{
    return QString::fromRawData(text.data(), text.size());
}

// The rank of each row's text in locale-aware order: equal texts share a rank, so a column
// with few distinct texts (Type) makes few collation keys.
QList<int> TextRanks(const QList<FileListModel::Row> &rows,
                     int column,
                     const FileListModel::Source *source)
{
    // The texts are only read while the ranks are made.
    auto textOf = [column, source](const FileListModel::Row &row) {
        return column == FileListModel::TypeColumn ? row.type
                                                   : Unowned(FileListModel::NameOf(row, source));
    };
    QHash<QString, int> distinct;
    QStringList texts;
    QList<int> ranks;
    ranks.reserve(rows.size());
    // Rows of one type share the text's data: a few texts seen lately, found by where their data
    // is, answer most rows without hashing the text.
    struct Seen
    {
        const QChar *data = nullptr;
        qsizetype size = -1;
        int index = -1;
    };
    std::array<Seen, 64> seen{};
    for (const FileListModel::Row &row : rows) {
        const QString text = textOf(row);
        Seen &slot = seen[(quintptr(text.constData()) >> 4) % seen.size()];
        if (slot.index < 0 || slot.data != text.constData() || slot.size != text.size()) {
            auto it = distinct.constFind(text);
            if (it == distinct.cend()) {
                it = distinct.insert(text, int(texts.size()));
                texts.append(text);
            }
            slot = {text.constData(), text.size(), it.value()};
        }
        ranks.append(slot.index);
    }
    const QCollator collator;
    std::vector<QCollatorSortKey> keys;
    keys.reserve(texts.size());
    for (const QString &text : std::as_const(texts))
        keys.push_back(collator.sortKey(text));
    std::vector<int> order(texts.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&keys](int a, int b) {
        return keys[a].compare(keys[b]) < 0;
    });
    // Texts that collate equal share a rank, as a comparison of the two would find them equal.
    std::vector<int> rankOf(texts.size());
    int rank = 0;
    for (size_t i = 0; i < order.size(); ++i) {
        if (i > 0 && keys[order[i - 1]].compare(keys[order[i]]) != 0)
            ++rank;
        rankOf[order[i]] = rank;
    }
    for (int &r : ranks)
        r = rankOf[r];
    return ranks;
}

} // namespace

FileListModel::FileListModel(QObject *parent)
    : QAbstractTableModel(parent)
{}

int FileListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int FileListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 4;
}

QVariant FileListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const Row &row = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case NameColumn:
            return NameOf(row, m_source.get()).toString();
        case SizeColumn:
            return row.entry >= 0 && row.bytes >= 0 ? FormatSize(row.bytes, true) : row.size;
        case TypeColumn:
            return row.type;
        default:
            return row.modified.isValid()
                           ? QLocale::system().toString(row.modified, QLocale::ShortFormat)
                           : QString();
        }
    case Qt::DecorationRole:
        return index.column() == NameColumn ? QVariant(row.icon) : QVariant();
    case Qt::TextAlignmentRole:
        return index.column() == SizeColumn ? QVariant(int(Qt::AlignRight | Qt::AlignVCenter))
                                            : QVariant();
    case MarkRole:
        return index.column() == NameColumn ? QVariant(row.marked) : QVariant();
    default:
        return {};
    }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::TextAlignmentRole && section == SizeColumn)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    switch (section) {
    case NameColumn:
        return tr("Name");
    case SizeColumn:
        return tr("Size");
    case TypeColumn:
        return tr("Type");
    case ModifiedColumn:
        return tr("Modified");
    default:
        return {};
    }
}

Qt::ItemFlags FileListModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled
                                     | Qt::ItemIsDropEnabled
                           : Qt::NoItemFlags;
}

qint64 FileListModel::SizeKey(const Row &row)
{
    if (row.bytes >= 0)
        return row.bytes;
    // "1,234KB": the digits, whatever the grouping character.
    qint64 kilobytes = -1;
    for (const QChar c : row.size) {
        if (c.isDigit())
            kilobytes = qMax<qint64>(0, kilobytes) * 10 + c.digitValue();
    }
    return kilobytes < 0 ? -1 : kilobytes * 1024;
}

QStringView FileListModel::NameOf(const Row &row, const Source *source)
{
    return row.entry >= 0 && source ? source->name(row.entry) : QStringView(row.name);
}

bool FileListModel::LessThan(const Row &a, const Row &b, int column, const Source *source)
{
    if (a.kind != b.kind)
        return a.kind < b.kind;
    switch (column) {
    case SizeColumn:
        return SizeKey(a) < SizeKey(b);
    case ModifiedColumn:
        return a.modified < b.modified;
    case TypeColumn:
        return QString::localeAwareCompare(a.type, b.type) < 0;
    default:
        return QString::localeAwareCompare(NameOf(a, source), NameOf(b, source)) < 0;
    }
}

void FileListModel::sort(int column, Qt::SortOrder)
{
    if (m_rows.size() < 2)
        return;
    std::vector<int> order(m_rows.size());
    std::iota(order.begin(), order.end(), 0);
    if (column == ModifiedColumn) {
        std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
            const Row &x = m_rows.at(a);
            const Row &y = m_rows.at(b);
            return x.kind != y.kind ? x.kind < y.kind : x.modified < y.modified;
        });
    } else if (column == SizeColumn) {
        std::vector<qint64> keys(m_rows.size());
        for (size_t i = 0; i < keys.size(); ++i)
            keys[i] = SizeKey(m_rows.at(qsizetype(i)));
        std::stable_sort(order.begin(), order.end(), [this, &keys](int a, int b) {
            const Kind x = m_rows.at(a).kind;
            const Kind y = m_rows.at(b).kind;
            return x != y ? x < y : keys[a] < keys[b];
        });
    } else {
        // Name ranks from the last Name sort (or the fill) still hold when no row came in
        // since; otherwise they are made again and kept for the next click. Types are few and
        // ranked per sort.
        const bool ranked = column == NameColumn && m_nameRanked;
        const QList<int> ranks = ranked ? QList<int>() : TextRanks(m_rows, column, m_source.get());
        if (column == NameColumn && !ranked) {
            for (qsizetype i = 0; i < m_rows.size(); ++i)
                m_rows[i].nameRank = ranks.at(i);
            m_nameRanked = true;
        }
        std::vector<qint64> keys(m_rows.size());
        for (size_t i = 0; i < keys.size(); ++i) {
            const Row &row = m_rows.at(qsizetype(i));
            const int rank = ranked ? row.nameRank : ranks.at(qsizetype(i));
            keys[i] = (qint64(row.kind) << 32) | quint32(rank);
        }
        std::stable_sort(
                order.begin(), order.end(), [&keys](int a, int b) { return keys[a] < keys[b]; });
    }
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    QList<Row> sorted;
    sorted.reserve(m_rows.size());
    std::vector<int> newPosition(m_rows.size());
    for (size_t i = 0; i < order.size(); ++i) {
        sorted.append(std::move(m_rows[order[i]]));
        newPosition[order[i]] = int(i);
    }
    m_rows = std::move(sorted);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &index : before)
        after.append(this->index(newPosition[index.row()], index.column()));
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int FileListModel::append(Row row)
{
    return insert(int(m_rows.size()), std::move(row));
}

bool FileListModel::hasName(const QString &name) const
{
    if (!m_namesCounted) {
        m_names.clear();
        m_names.reserve(m_rows.size());
        m_namesCounted = true;
        for (const Row &row : m_rows)
            countName(row, 1);
    }
    return m_names.contains(name);
}

void FileListModel::setRows(QList<Row> rows, SharedSource source)
{
    if (!m_filling)
        beginResetModel();
    // The counts may hold names of the old source: they go first, the old source last.
    m_names.clear();
    m_rows = std::move(rows);
    m_source.swap(source);
    m_namesCounted = false;
    m_nameRanked = std::all_of(
            m_rows.cbegin(), m_rows.cend(), [](const Row &row) { return row.nameRank >= 0; });
    if (!m_filling)
        endResetModel();
}

void FileListModel::countName(const Row &row, int change) const
{
    if (!m_namesCounted)
        return;
    // A row's own name is shared with the key; an entry's name is viewed in the source, which
    // outlives the counts.
    const QString name = row.entry >= 0 ? Unowned(NameOf(row, m_source.get())) : row.name;
    int &count = m_names[name];
    count += change;
    if (count <= 0)
        m_names.remove(name);
}

int FileListModel::insert(int position, Row row)
{
    // The new row's place among the ranks is not known: the next Name sort ranks all again.
    m_nameRanked = false;
    countName(row, 1);
    if (m_filling) {
        m_rows.insert(position, std::move(row));
        return position;
    }
    beginInsertRows({}, position, position);
    m_rows.insert(position, std::move(row));
    endInsertRows();
    return position;
}

void FileListModel::remove(int row)
{
    if (row < 0 || row >= m_rows.size())
        return;
    countName(m_rows.at(row), -1);
    beginRemoveRows({}, row, row);
    m_rows.removeAt(row);
    endRemoveRows();
}

void FileListModel::clearRows()
{
    m_nameRanked = false;
    m_names.clear();
    m_namesCounted = true;
    if (m_filling) {
        m_rows.clear();
        m_source.reset();
        return;
    }
    beginResetModel();
    m_rows.clear();
    m_source.reset();
    endResetModel();
}

void FileListModel::setMark(int row, const QIcon &icon)
{
    if (row < 0 || row >= m_rows.size())
        return;
    m_rows[row].marked = true;
    m_rows[row].icon = icon;
    if (m_filling)
        return;
    const QModelIndex cell = index(row, NameColumn);
    Q_EMIT dataChanged(cell, cell);
}

void FileListModel::beginFill()
{
    if (m_filling++ == 0)
        beginResetModel();
}

void FileListModel::endFill()
{
    if (m_filling > 0 && --m_filling == 0)
        endResetModel();
}
