// The host pane. The tree and the list are drawn only from the listing buffer; a folder not yet
// listed is asked of the engine and shown when its listing arrives.
#include "ui/hostpane.h"

#include "ftp/listingbuffer.h"
#include "settings/options.h"
#include "tasks/taskengine.h"
#include "ui/fileicons.h"
#include "ui/listedentries.h"
#include "ui/paneitems.h"
#include "ui/tdialog.h"
#include "util/fieldstring.h"
#include "util/pathforms.h"
#include "widgets/filelistfill.h"
#include "widgets/filelistview.h"
#include "widgets/headerstatus.h"

#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

using PaneItems::addFolderNode;
using PaneItems::nodeText;

namespace {

// The child of a folder node not yet listed, so that it shows as expandable; "." once its
// listing has been asked for.
const QString Placeholder = QStringLiteral("..");
const QString Requested = QStringLiteral(".");
const QChar Backslash = QLatin1Char('\\');

bool isPlaceholder(const QTreeWidgetItem *node)
{
    const QString text = nodeText(node);
    return text == Placeholder || text == Requested;
}

void addPlaceholder(QTreeWidgetItem *node)
{
    auto *placeholder = new QTreeWidgetItem(node);
    placeholder->setText(0, Placeholder);
}

// Host folders are the same only when spelt alike: "\pub\Sub\" is not "\pub\sub\".
bool sameFolder(const QString &a, const QString &b)
{
    return ConvertPath(a, BackslashForm) == ConvertPath(b, BackslashForm);
}

} // namespace

HostPane::HostPane(TaskEngine &engine, FileIcons &icons, TDialog *dialog, QWidget *parent)
    : QWidget(parent)
    , m_engine(engine)
    , m_icons(icons)
    , m_dialog(dialog)
{
    setObjectName(QStringLiteral("RPanel"));
    setFocusPolicy(Qt::ClickFocus);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    m_caption = new QLabel(tr("Not connected"), this);
    m_caption->setObjectName(QStringLiteral("RPanelCaption"));
    m_caption->setAlignment(Qt::AlignCenter);
    QFont big = m_caption->font();
    big.setBold(true);
    big.setPointSize(big.pointSize() * 2);
    m_caption->setFont(big);
    m_caption->setFrameShape(QFrame::StyledPanel);
    outer->addWidget(m_caption, 1);
    m_inner = new QWidget(this);
    m_inner->setObjectName(QStringLiteral("rpanel2"));
    auto *layout = new QVBoxLayout(m_inner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    auto *header = new QHBoxLayout;
    m_bookmark = new QPushButton(QStringLiteral("\u25BE"), m_inner);
    m_bookmark->setObjectName(QStringLiteral("rbookmark"));
    m_bookmark->setToolTip(tr("Host bookmarks"));
    m_bookmark->setFixedWidth(22);
    m_bookmark->setFocusPolicy(Qt::NoFocus);
    m_status = new HeaderStatus(m_inner);
    m_status->setObjectName(QStringLiteral("RStat"));
    header->addWidget(m_bookmark);
    header->addWidget(m_status, 1);
    layout->addLayout(header);
    m_split = new QSplitter(Qt::Vertical, m_inner);
    m_split->setObjectName(QStringLiteral("rPanelSplit"));
    m_split->setHandleWidth(2);
    m_split->setChildrenCollapsible(false);
    m_tree = PaneItems::newFolderTree(m_split, "RPathTree");
    m_list = new FileListView(m_split);
    m_list->setObjectName(QStringLiteral("rWin"));
    m_split->setStretchFactor(1, 1);
    layout->addWidget(m_split, 1);
    outer->addWidget(m_inner, 1);
    m_inner->hide();

    connect(m_list, &FileListView::selectionChanged, this, &HostPane::selectionChanged);
    connect(m_list, &FileListView::columnClicked, this, [this](int column) {
        sortList(column + 1);
    });
    for (QAbstractItemView *view : {static_cast<QAbstractItemView *>(m_list->detailsView()),
                                    static_cast<QAbstractItemView *>(m_list->iconView())}) {
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint &pos) {
            if (m_listMenu)
                m_listMenu->popup(view->viewport()->mapToGlobal(pos));
        });
    }
    connect(m_list, &FileListView::rowActivated, this, &HostPane::RWin_DblClick);
    connect(m_tree, &QTreeWidget::itemExpanded, this, &HostPane::RPathTree_Expanding);
    connect(m_tree, &QTreeWidget::itemCollapsed, this, [this] {
        m_engine.setExpandOnChange(true);
    });
    connect(m_tree, &QTreeWidget::itemClicked, this, [this] {
        // A press opens the folder; it also expands it when the user has just expanded a node.
        m_engine.setExpandOnChange(m_tree->property("tag").toInt() == 1);
        m_tree->setProperty("tag", 0);
        RPathTree_ChangeFolder();
    });
    connect(m_status, &HeaderStatus::clicked, this, &HostPane::statusClicked);
    connect(m_tree, &QTreeWidget::currentItemChanged, this, &HostPane::selectionChanged);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_tree, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        if (m_treeMenu)
            m_treeMenu->popup(m_tree->viewport()->mapToGlobal(pos));
    });
    attachEngine();
}

HostPane::~HostPane() = default;

void HostPane::attachEngine()
{
    connect(&m_engine, &TaskEngine::mainLoggingIn, this, &HostPane::loggingIn);
    connect(&m_engine, &TaskEngine::mainLoggedIn, this, [this](TcFTPHostTypes type) {
        loggedIn(int(type));
    });
    connect(&m_engine, qOverload<>(&TaskEngine::mainOffline), this, &HostPane::offline);
    connect(&m_engine, &TaskEngine::hostFolderListed, this, &HostPane::folderListed);
    connect(&m_engine, &TaskEngine::currentHostFolderChanged, this, &HostPane::showFolder);
    connect(&m_engine, &TaskEngine::hostEntryChanged, this, [this](const QString &folder) {
        entriesChanged(folder);
    });
    connect(&m_engine, &TaskEngine::hostEntryRemoved, this, [this](const QString &folder) {
        entriesChanged(folder);
    });
    connect(&m_engine, &TaskEngine::hostFolderRemoved, this, &HostPane::folderRemoved);
}

void HostPane::setPopups(QMenu *listMenu, QMenu *treeMenu)
{
    m_listMenu = listMenu;
    m_treeMenu = treeMenu;
}

QString HostPane::currentFolder() const
{
    return m_engine.currentHostFolder();
}

void HostPane::setCurrentFolder(const QString &folder)
{
    m_engine.setCurrentHostFolder(folder);
}

QString HostPane::rootFolder() const
{
    return m_engine.RootFolder();
}

void HostPane::setShown(bool shown)
{
    m_inner->setVisible(shown);
    m_caption->setVisible(!shown);
    Q_EMIT shownChanged(shown);
}

void HostPane::loggingIn()
{
    setShown(true);
    m_bookmark->setEnabled(false);
    for (int i = 0; i < 3; ++i)
        m_status->setPanelText(i, QString());
    cancelFill();
    m_list->clear();
    m_tree->clear();
    auto *root = new QTreeWidgetItem(m_tree);
    root->setText(0, QStringLiteral("(Host Computer)"));
    root->setIcon(0, m_icons.computer());
}

void HostPane::loggedIn(int hostType)
{
    m_bookmark->setEnabled(true);
    QTreeWidgetItem *root = m_tree->topLevelItem(0);
    if (!root)
        return;
    root->setText(0, TaskEngine::HostTypeCaption(TcFTPHostTypes(hostType)));
    m_tree->setCurrentItem(root);
}

void HostPane::offline()
{
    m_tree->clear();
    cancelFill();
    m_list->clear();
    for (int i = 0; i < 3; ++i)
        m_status->setPanelText(i, QString());
    m_bookmark->setProperty("tag", -1);
    setShown(false);
}

QIcon HostPane::listedIcon(const QIcon &icon) const
{
    // The folder's own icon with a small green mark in its lower right corner.
    static QHash<qint64, QIcon> made;
    const auto found = made.constFind(icon.cacheKey());
    if (found != made.constEnd())
        return *found;
    QIcon marked;
    for (const int size : {16, 32}) {
        QPixmap pixmap = icon.pixmap(size, size);
        if (pixmap.isNull())
            pixmap = QPixmap(size, size), pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const int d = size / 2;
        const QRectF badge(size - d, size - d, d - 1, d - 1);
        painter.setPen(QPen(Qt::white, size / 16.0));
        painter.setBrush(QColor(0, 150, 0));
        painter.drawEllipse(badge);
        painter.end();
        marked.addPixmap(pixmap);
        QPixmap selected = pixmap;
        marked.addPixmap(selected, QIcon::Selected);
    }
    made.insert(icon.cacheKey(), marked);
    return marked;
}

QString HostPane::nodePath(const QTreeWidgetItem *node) const
{
    if (!node)
        return QString();
    QString path;
    for (const QTreeWidgetItem *n = node; n->parent(); n = n->parent())
        path.prepend(nodeText(n) + Backslash);
    const QString root = rootFolder().isEmpty() ? QString(Backslash) : rootFolder();
    return ConvertPath(root + path, BackslashForm);
}

bool HostPane::isListedNode(const QTreeWidgetItem *node) const
{
    return node && node->data(0, ListedRole).toBool();
}

void HostPane::markListed(QTreeWidgetItem *node)
{
    node->setData(0, ListedRole, true);
    // The root stands for the host and keeps its computer image.
    if (node->parent())
        node->setIcon(0, listedIcon(m_icons.folderNode()));
}

void HostPane::expandQuietly(QTreeWidgetItem *node, bool expanded)
{
    m_inExpandHandler = true;
    node->setExpanded(expanded);
    m_inExpandHandler = false;
}

QTreeWidgetItem *HostPane::FindFolderNode(const QString &path)
{
    QString rest = path;
    const QString root = rootFolder();
    if (!root.isEmpty() && rest.startsWith(root))
        rest.remove(0, root.size());
    QTreeWidgetItem *node = m_tree->topLevelItem(0);
    if (!node)
        return nullptr;
    // Names differ by case alone ("Docs" and "docs").
    for (const QString &part : rest.split(Backslash, Qt::SkipEmptyParts)) {
        QTreeWidgetItem *found = nullptr;
        for (int i = 0; i < node->childCount() && !found; ++i) {
            if (nodeText(node->child(i)) == part)
                found = node->child(i);
        }
        if (!found)
            found = addFolderNode(node, part, {}, m_icons.folderNode(), true);
        node = found;
    }
    return node;
}

int HostPane::AddFileItem(
        bool noDupCheck, qint64 date, qint64 size, const QString &name, const QString &folder)
{
    // A late result for a folder the user has left is not shown. Folders differ by case alone.
    if (folder != currentFolder())
        return -1;
    return PaneItems::addListItem(m_list, m_icons, noDupCheck, Qt::CaseSensitive, date, size, name);
}

void HostPane::sortList(int column)
{
    m_list->setTag(column);
    m_list->sortItems(FileListView::Column(qBound(1, column, 4) - 1));
}

void HostPane::folderListed(const QString &folder, bool buffering)
{
    if (!m_tree->topLevelItem(0))
        return;
    QTreeWidgetItem *node = FindFolderNode(folder);
    if (!node)
        return;
    m_tree->setUpdatesEnabled(false);
    markListed(node);

    // The folders above are known now: their placeholders go.
    for (QTreeWidgetItem *above = node->parent(); above; above = above->parent()) {
        for (int i = above->childCount() - 1; i >= 0; --i) {
            if (isPlaceholder(above->child(i)))
                delete above->takeChild(i);
        }
    }
    QStringList known;
    for (int i = node->childCount() - 1; i >= 0; --i) {
        if (isPlaceholder(node->child(i)))
            delete node->takeChild(i);
        else
            known.append(nodeText(node->child(i)));
    }
    if (const ListingBuffer::EntryList *entries = m_engine.listingBuffer().entries(folder)) {
        for (const ListingBuffer::Entry &entry : *entries) {
            if (!entry.key.startsWith(QLatin1Char('d')))
                continue;
            const QString name = entry.key.mid(1);
            if (known.contains(name))
                continue;
            addPlaceholder(addFolderNode(node, name, {}, m_icons.folderNode(), true));
        }
    }
    if (!known.isEmpty())
        node->sortChildren(0, Qt::AscendingOrder);

    if (sameFolder(folder, m_engine.RequestedFolder())) {
        node->sortChildren(0, Qt::AscendingOrder);
        setCurrentFolder(ConvertPath(folder, BackslashForm));
        m_tree->setCurrentItem(node);
        m_tree->scrollToItem(node);
        FillFileList();
    }
    if (!buffering && m_engine.expandOnChange())
        expandQuietly(node, true);
    m_tree->setUpdatesEnabled(true);
    Q_EMIT selectionChanged();
}

void HostPane::showFolder(const QString &folder)
{
    // The list shows its folder in RStat: a folder it shows already is not drawn again.
    if (folder.isEmpty() || sameFolder(folder, m_status->panelText(2)))
        return;
    setCurrentFolder(ConvertPath(folder, BackslashForm));
    if (QTreeWidgetItem *node = FindFolderNode(currentFolder()))
        m_tree->setCurrentItem(node);
    FillFileList();
}

void HostPane::FillFileList()
{
    cancelFill();
    const ListingBuffer &buffer = m_engine.listingBuffer();
    const QString current = currentFolder();
    m_list->clear();
    // RStat names the folder from now on, so that showing it again does not start over.
    m_status->setPanelText(2, current);
    QList<FileListModel::Row> first;
    if (current != rootFolder()) {
        first.append(PaneItems::makeRow(m_icons, -1, -1, QStringLiteral("..")));
        if (buffer.contains(ConvertPath(current + QStringLiteral("..\\"), BackslashForm))) {
            first.last().marked = true;
            first.last().icon = listedIcon(first.last().icon);
        }
    }
    // The rows read the entries where the buffer keeps them; they keep only what is worked out
    // once per entry (kind, type, icon, date, bytes).
    const ListingBuffer::EntryList *listed = buffer.entries(current);
    const auto source
            = std::make_shared<const ListedEntries>(listed ? *listed : ListingBuffer::EntryList());
    const ListedEntries *entries = source.get();
    m_fill = std::make_unique<FileListFill>(
            std::move(first),
            entries->count(),
            [this, entries, current](int i) {
                const ListingBuffer::Entry &entry = entries->at(i);
                // A name of its own for the type look-up, which may keep it.
                const QString name = entries->name(i).toString();
                const qint64 size = Field(entry.fields, 1, QLatin1Char('*')).toLongLong();
                const qint64 date = Field(entry.fields, 2, QLatin1Char('*')).toLongLong();
                if (entry.key.startsWith(QLatin1Char('f')))
                    return PaneItems::makeRow(m_icons, date, qMax<qint64>(0, size), name, i);
                FileListModel::Row row = PaneItems::makeRow(m_icons, date, -1, name, i);
                if (m_engine.listingBuffer().contains(current + name + Backslash)) {
                    row.marked = true;
                    row.icon = listedIcon(row.icon);
                }
                return row;
            },
            source);
    m_fillSelect.clear();
    m_fillReport = false;
    // The first slice now: a folder that fits in it is shown before this returns.
    if (m_fill->step())
        finishFill();
    else
        continueFill();
}

void HostPane::continueFill()
{
    const int run = m_fillRun;
    QTimer::singleShot(0, this, [this, run] {
        if (run != m_fillRun || !m_fill)
            return;
        if (m_fill->step())
            finishFill();
        else
            continueFill();
    });
}

void HostPane::cancelFill()
{
    ++m_fillRun;
    m_fill.reset();
}

void HostPane::finishFill()
{
    const std::unique_ptr<FileListFill> fill = std::move(m_fill);
    ++m_fillRun;
    m_list->model()->setRows(fill->takeRows(), fill->source());
    // The rows are in Name order already; the row selected is the one listed first.
    m_list->setTag(1);
    int objects = m_list->rowCount();
    if (objects > 0 && m_list->kind(0) == FileListView::ParentEntry)
        --objects;
    m_status->setPanelText(1, tr("%1 object(s)").arg(objects));
    m_list->clearSelection();
    const int again
            = m_fillSelect.isEmpty() ? -1 : m_list->findCaption(m_fillSelect, Qt::CaseSensitive);
    const int selected = again >= 0 ? again : fill->firstRowAt();
    if (selected >= 0) {
        m_list->selectRow(selected);
        m_list->setCurrentRow(selected);
    }
    m_list->setFocus(Qt::OtherFocusReason);
    Q_EMIT selectionChanged();
    if (m_fillReport)
        Q_EMIT listRefilled(m_fillHadFocus);
}

void HostPane::entriesChanged(const QString &folder)
{
    if (sameFolder(folder, currentFolder())) {
        // Keep the selection where the user left it (or where a fill under way was to put it).
        const int row = m_list->firstSelectedRow();
        const QString selected = m_fill     ? m_fillSelect
                                 : row >= 0 ? m_list->internalName(row)
                                            : QString();
        const bool focused = m_fill ? m_fillHadFocus : m_list->hasFocus();
        FillFileList();
        m_fillSelect = selected;
        m_fillReport = true;
        m_fillHadFocus = focused;
        if (!m_fill) {
            // Shown already: select again and report now.
            const int again = m_list->findCaption(selected, Qt::CaseSensitive);
            if (again >= 0) {
                m_list->clearSelection();
                m_list->selectRow(again);
                m_list->setCurrentRow(again);
            }
            Q_EMIT listRefilled(focused);
        }
    }
    // A folder made on the host shows in the tree below its parent, if the parent is shown.
    if (const ListingBuffer::EntryList *entries = m_engine.listingBuffer().entries(folder)) {
        QTreeWidgetItem *parent = nullptr;
        for (const ListingBuffer::Entry &entry : *entries) {
            if (!entry.key.startsWith(QLatin1Char('d')))
                continue;
            if (!parent)
                parent = FindFolderNode(folder);
            if (!parent)
                break;
            bool present = false;
            for (int i = 0; i < parent->childCount() && !present; ++i)
                present = nodeText(parent->child(i)) == entry.key.mid(1);
            if (!present && isListedNode(parent)) {
                addPlaceholder(
                        addFolderNode(parent, entry.key.mid(1), {}, m_icons.folderNode(), true));
                parent->sortChildren(0, Qt::AscendingOrder);
            }
        }
    }
}

void HostPane::folderRemoved(const QString &folder)
{
    QTreeWidgetItem *root = m_tree->topLevelItem(0);
    if (!root)
        return;
    // Find without creating: a folder never shown has no node to remove.
    QTreeWidgetItem *node = root;
    QString rest = ConvertPath(folder, BackslashForm);
    if (rest.startsWith(rootFolder()))
        rest.remove(0, rootFolder().size());
    for (const QString &part : rest.split(Backslash, Qt::SkipEmptyParts)) {
        QTreeWidgetItem *found = nullptr;
        for (int i = 0; i < node->childCount() && !found; ++i) {
            if (nodeText(node->child(i)) == part)
                found = node->child(i);
        }
        if (!found)
            return;
        node = found;
    }
    if (node == root)
        return;
    QTreeWidgetItem *current = m_tree->currentItem();
    bool inside = false;
    for (QTreeWidgetItem *n = current; n; n = n->parent())
        inside = inside || n == node;
    if (inside) {
        m_tree->setCurrentItem(node->parent());
        RPathTree_ChangeFolder();
    }
    delete node;
}
