#include "widgets/filelistview.h"

#include "widgets/visibletextdelegate.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QListView>
#include <QStandardItem>
#include <QStandardItemModel>
#include <QTreeView>

namespace {

constexpr int KindRole = Qt::UserRole + 1;
constexpr int InternalNameRole = Qt::UserRole + 2;
constexpr int DateRole = Qt::UserRole + 3;

// Every cell of a row is one of these, so that the model's own sort can order whole rows by
// the rules of the list whichever column is sorted.
class FileListItem : public QStandardItem
{
public:
    using QStandardItem::QStandardItem;

    bool operator<(const QStandardItem &other) const override
    {
        const int myKind = rowCell(0)->data(KindRole).toInt();
        const int otherKind
                = static_cast<const FileListItem &>(other).rowCell(0)->data(KindRole).toInt();
        if (myKind != otherKind)
            return myKind < otherKind;
        switch (column()) {
        case FileListView::SizeColumn:
            return QString::localeAwareCompare(text().rightJustified(8, QLatin1Char('0')),
                                               other.text().rightJustified(8, QLatin1Char('0')))
                   < 0;
        case FileListView::ModifiedColumn:
            return data(DateRole).toDate() < other.data(DateRole).toDate();
        default:
            return QString::localeAwareCompare(text(), other.text()) < 0;
        }
    }

private:
    const QStandardItem *rowCell(int column) const
    {
        const QStandardItem *cell = model() ? model()->item(row(), column) : nullptr;
        return cell ? cell : this;
    }
};

} // namespace

FileListView::FileListView(QWidget *parent)
    : QStackedWidget(parent)
    , m_model(new QStandardItemModel(0, 4, this))
    , m_details(new QTreeView(this))
    , m_icons(new QListView(this))
{
    m_model->setHorizontalHeaderLabels({tr("Name"), tr("Size"), tr("Type"), tr("Modified")});
    m_model->horizontalHeaderItem(SizeColumn)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);

    m_details->setModel(m_model);
    m_details->setItemDelegate(new VisibleTextDelegate(m_details));
    m_details->setRootIsDecorated(false);
    m_details->setItemsExpandable(false);
    m_details->setUniformRowHeights(true);
    m_details->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_details->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_details->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_details->setAllColumnsShowFocus(true);
    m_details->header()->setSectionsClickable(true);
    m_details->header()->setSortIndicatorShown(false);
    m_details->header()->setStretchLastSection(false);

    m_icons->setModel(m_model);
    m_icons->setItemDelegate(new VisibleTextDelegate(m_icons));
    m_icons->setSelectionModel(m_details->selectionModel());
    m_icons->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_icons->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_icons->setResizeMode(QListView::Adjust);
    m_icons->setWrapping(true);
    m_icons->setUniformItemSizes(true);

    addWidget(m_details);
    addWidget(m_icons);
    setViewStyle(Details);

    for (QAbstractItemView *view :
         {static_cast<QAbstractItemView *>(m_details), static_cast<QAbstractItemView *>(m_icons)}) {
        connect(view, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) {
            Q_EMIT rowActivated(index.row());
        });
    }
    connect(m_details->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        Q_EMIT selectionChanged();
    });
    connect(m_details->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        Q_EMIT columnClicked(column);
    });
}

void FileListView::setViewStyle(ViewStyle style)
{
    const bool hadFocus = hasFocus();
    m_style = style;
    switch (style) {
    case LargeIcons:
        m_icons->setViewMode(QListView::IconMode);
        m_icons->setFlow(QListView::LeftToRight);
        m_icons->setIconSize(QSize(32, 32));
        m_icons->setGridSize(QSize(76, 64));
        m_icons->setWordWrap(true);
        break;
    case SmallIcons:
        m_icons->setViewMode(QListView::ListMode);
        m_icons->setFlow(QListView::LeftToRight);
        m_icons->setIconSize(QSize(16, 16));
        m_icons->setGridSize(QSize(150, 20));
        m_icons->setWordWrap(false);
        break;
    case List:
        m_icons->setViewMode(QListView::ListMode);
        m_icons->setFlow(QListView::TopToBottom);
        m_icons->setIconSize(QSize(16, 16));
        m_icons->setGridSize(QSize(150, 20));
        m_icons->setWordWrap(false);
        break;
    case Details:
        break;
    }
    // Icon and list modes never move items by dragging.
    m_icons->setMovement(QListView::Static);
    QWidget *shown = style == Details ? static_cast<QWidget *>(m_details) : m_icons;
    setCurrentWidget(shown);
    setFocusProxy(shown);
    if (hadFocus)
        shown->setFocus(Qt::OtherFocusReason);
}

int FileListView::addItem(const QString &name,
                          Kind kind,
                          const QString &size,
                          const QString &type,
                          const QDate &modified,
                          const QIcon &icon,
                          const QString &internalName)
{
    QList<QStandardItem *> cells;
    auto *nameCell = new FileListItem(icon, name);
    nameCell->setData(int(kind), KindRole);
    nameCell->setData(internalName.isEmpty() ? name : internalName, InternalNameRole);
    auto *sizeCell = new FileListItem(size);
    sizeCell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto *typeCell = new FileListItem(type);
    auto *dateCell = new FileListItem(
            modified.isValid() ? QLocale::system().toString(modified, QLocale::ShortFormat)
                               : QString());
    dateCell->setData(modified, DateRole);
    cells << nameCell << sizeCell << typeCell << dateCell;
    for (QStandardItem *cell : cells)
        cell->setEditable(false);
    m_model->appendRow(cells);
    return m_model->rowCount() - 1;
}

void FileListView::removeRow(int row)
{
    m_model->removeRow(row);
}

void FileListView::clear()
{
    m_model->removeRows(0, m_model->rowCount());
}

int FileListView::rowCount() const
{
    return m_model->rowCount();
}

int FileListView::findCaption(const QString &name, Qt::CaseSensitivity cs) const
{
    for (int row = 0; row < m_model->rowCount(); ++row) {
        if (m_model->item(row, NameColumn)->text().compare(name, cs) == 0)
            return row;
    }
    return -1;
}

QString FileListView::text(int row, int column) const
{
    const QStandardItem *cell = m_model->item(row, column);
    return cell ? cell->text() : QString();
}

QString FileListView::internalName(int row) const
{
    const QStandardItem *cell = m_model->item(row, NameColumn);
    return cell ? cell->data(InternalNameRole).toString() : QString();
}

FileListView::Kind FileListView::kind(int row) const
{
    const QStandardItem *cell = m_model->item(row, NameColumn);
    return cell ? Kind(cell->data(KindRole).toInt()) : FileEntry;
}

QIcon FileListView::icon(int row) const
{
    const QStandardItem *cell = m_model->item(row, NameColumn);
    return cell ? cell->icon() : QIcon();
}

QList<int> FileListView::selectedRows() const
{
    QList<int> rows;
    const QModelIndexList indexes = m_details->selectionModel()->selectedRows(NameColumn);
    for (const QModelIndex &index : indexes)
        rows.append(index.row());
    if (rows.isEmpty()) {
        // Icon views select single cells of column 0; selectedRows() misses those when the
        // other columns of the row are not selected.
        for (const QModelIndex &index : m_details->selectionModel()->selectedIndexes()) {
            if (index.column() == NameColumn)
                rows.append(index.row());
        }
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

int FileListView::firstSelectedRow() const
{
    const QList<int> rows = selectedRows();
    return rows.isEmpty() ? -1 : rows.first();
}

void FileListView::selectRow(int row, bool select)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    m_details->selectionModel()->select(
            m_model->index(row, NameColumn),
            (select ? QItemSelectionModel::Select : QItemSelectionModel::Deselect)
                    | QItemSelectionModel::Rows);
}

void FileListView::clearSelection()
{
    m_details->selectionModel()->clearSelection();
}

void FileListView::setCurrentRow(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    m_details->selectionModel()->setCurrentIndex(m_model->index(row, NameColumn),
                                                 QItemSelectionModel::NoUpdate);
}

void FileListView::sortItems(Column column)
{
    m_model->sort(column, Qt::AscendingOrder);
}

int FileListView::columnWidth(int column) const
{
    return m_details->columnWidth(column);
}

void FileListView::setColumnWidth(int column, int width)
{
    m_details->setColumnWidth(column, width);
}

QAbstractItemView *FileListView::currentView() const
{
    return m_style == Details ? static_cast<QAbstractItemView *>(m_details) : m_icons;
}
