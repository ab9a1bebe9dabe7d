#include "widgets/filelistview.h"

#include "widgets/visibletextdelegate.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QListView>
#include <QTreeView>

FileListView::FileListView(QWidget *parent)
    : QStackedWidget(parent)
    , m_model(new FileListModel(this))
    , m_details(new QTreeView(this))
    , m_icons(new QListView(this))
{
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
    m_details->header()->setSectionResizeMode(NameColumn, QHeaderView::Stretch);

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
        m_selectedCount = -1;
        Q_EMIT selectionChanged();
    });
    // Rows that move or go take the count and the first selected row with them.
    auto recount = [this] {
        m_selectedCount = -1;
    };
    connect(m_model, &QAbstractItemModel::layoutChanged, this, recount);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, recount);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, recount);
    connect(m_model, &QAbstractItemModel::modelReset, this, recount);
    connect(m_model,
            &QAbstractItemModel::rowsInserted,
            this,
            [this](const QModelIndex &, int first, int last) { measureRows(first, last); });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { measureAll(); });
    connect(m_details->header(), &QHeaderView::sectionResized, this, [this](int column) {
        if (!m_fitting && column > NameColumn && column <= ModifiedColumn)
            m_sizedByUser[column] = true;
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
                          const QString &internalName,
                          qint64 bytes)
{
    return m_model->append({name, internalName, size, type, modified, icon, kind, false, bytes});
}

int FileListView::insertSorted(const QString &name,
                               Kind kind,
                               const QString &size,
                               const QString &type,
                               const QDate &modified,
                               const QIcon &icon,
                               qint64 bytes)
{
    FileListModel::Row row{name, {}, size, type, modified, icon, kind, false, bytes};
    // The tag counts columns from 1; after the last row that does not sort after the new one,
    // as a stable sort of the whole list would put it.
    const int column = qBound(1, m_tag, 4) - 1;
    int low = 0;
    int high = m_model->rowCount();
    while (low < high) {
        const int middle = (low + high) / 2;
        if (FileListModel::LessThan(row, m_model->row(middle), column, m_model->source()))
            high = middle;
        else
            low = middle + 1;
    }
    return m_model->insert(low, std::move(row));
}

void FileListView::removeRow(int row)
{
    m_model->remove(row);
}

void FileListView::clear()
{
    m_model->clearRows();
}

int FileListView::rowCount() const
{
    return m_model->rowCount();
}

int FileListView::findCaption(const QString &name, Qt::CaseSensitivity cs) const
{
    if (cs == Qt::CaseSensitive && !m_model->hasName(name))
        return -1;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        if (m_model->name(row).compare(name, cs) == 0)
            return row;
    }
    return -1;
}

QString FileListView::text(int row, int column) const
{
    if (row < 0 || row >= m_model->rowCount())
        return {};
    return m_model->data(m_model->index(row, column), Qt::DisplayRole).toString();
}

QString FileListView::internalName(int row) const
{
    if (row < 0 || row >= m_model->rowCount())
        return {};
    const FileListModel::Row &r = m_model->row(row);
    return r.internalName.isEmpty() ? m_model->name(row).toString() : r.internalName;
}

FileListView::Kind FileListView::kind(int row) const
{
    return row >= 0 && row < m_model->rowCount() ? m_model->row(row).kind : FileEntry;
}

QIcon FileListView::icon(int row) const
{
    return row >= 0 && row < m_model->rowCount() ? m_model->row(row).icon : QIcon();
}

QList<int> FileListView::selectedRows() const
{
    QList<int> rows;
    for (const QItemSelectionRange &range : m_details->selectionModel()->selection()) {
        // Icon views select single cells of column 0; a range of other columns alone is no row.
        if (range.left() > NameColumn)
            continue;
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.append(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void FileListView::countSelection() const
{
    if (m_selectedCount >= 0)
        return;
    const QList<int> rows = selectedRows();
    m_selectedCount = int(rows.size());
    m_firstSelected = rows.isEmpty() ? -1 : rows.first();
}

int FileListView::firstSelectedRow() const
{
    countSelection();
    return m_firstSelected;
}

int FileListView::selectedCount() const
{
    countSelection();
    return m_selectedCount;
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
    const bool fitting = m_fitting;
    m_fitting = true;
    m_details->setColumnWidth(column, width);
    m_fitting = fitting;
}

void FileListView::showEvent(QShowEvent *event)
{
    QStackedWidget::showEvent(event);
    measureAll();
}

void FileListView::measureAll()
{
    m_measureAll = true;
    for (QSet<QString> &measured : m_measuredTexts)
        measured.clear();
    scheduleFit();
}

void FileListView::measureRows(int first, int last)
{
    // A few rows at a time (files arriving one by one) are measured as they come, so the
    // widening at the end of the turn costs nothing per row already shown; a larger batch is
    // measured like a new list.
    if (m_measureAll || last - first >= MeasuredInsertRows) {
        measureAll();
        return;
    }
    for (int row = first; row <= last; ++row) {
        for (int column : {SizeColumn, TypeColumn, ModifiedColumn}) {
            if (m_sizedByUser[column])
                continue;
            // Arrivals mostly repeat the texts of those before them (one type, one date).
            const QModelIndex index = m_model->index(row, column);
            QSet<QString> &measured = m_measuredTexts[column];
            if (measured.size() > 4096)
                measured.clear();
            const QString text = index.data().toString();
            if (measured.contains(text))
                continue;
            measured.insert(text);
            const int width = m_details->sizeHintForIndex(index).width();
            m_widestArrived[column] = qMax(m_widestArrived[column], width);
        }
    }
    scheduleFit();
}

void FileListView::scheduleFit()
{
    if (m_fitQueued)
        return;
    m_fitQueued = true;
    QMetaObject::invokeMethod(
            this,
            [this] {
                m_fitQueued = false;
                fit();
            },
            Qt::QueuedConnection);
}

void FileListView::fitColumns()
{
    m_measureAll = true;
    fit();
}

void FileListView::fit()
{
    if (m_model->rowCount() == 0)
        return;
    QHeaderView *header = m_details->header();
    const bool all = m_measureAll;
    m_measureAll = false;
    for (int column : {SizeColumn, TypeColumn, ModifiedColumn}) {
        int wanted = std::exchange(m_widestArrived[column], 0);
        if (m_sizedByUser[column])
            continue;
        // The rows in view and a bounded number around them (the header's precision).
        if (all) {
            wanted = qMax(wanted,
                          static_cast<QAbstractItemView *>(m_details)->sizeHintForColumn(column));
        }
        wanted = qMax(header->sectionSizeHint(column), wanted);
        if (wanted > m_details->columnWidth(column))
            setColumnWidth(column, wanted);
    }
}

QAbstractItemView *FileListView::currentView() const
{
    return m_style == Details ? static_cast<QAbstractItemView *>(m_details) : m_icons;
}
