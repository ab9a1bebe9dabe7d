// The local pane: the folder tree and file list of this computer.
#include "ui/localpane.h"

#include "platform/localpath.h"
#include "ui/dosdatetime.h"
#include "ui/fileicons.h"
#include "ui/paneitems.h"
#include "util/pathforms.h"
#include "widgets/filelistview.h"
#include "widgets/headerstatus.h"
#include "widgets/pacedcall.h"

#include <QDir>
#include <QDirIterator>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

using PaneItems::addFolderNode;
using PaneItems::nodeText;

namespace {

const QString Placeholder = QStringLiteral("*");
const QString TopLevel = QStringLiteral("\\");
const QString Parent = QStringLiteral("..");
// A value no folder has: set before a folder change that must refill the list.
const QString NoFolder = QStringLiteral("?");

bool holdsPlaceholder(const QTreeWidgetItem *node)
{
    return node->childCount() > 0 && nodeText(node->child(0)) == Placeholder;
}

void addPlaceholder(QTreeWidgetItem *node)
{
    auto *placeholder = new QTreeWidgetItem(node);
    placeholder->setText(0, Placeholder);
    placeholder->setData(0, PaneItems::NodeTextRole, Placeholder);
}

bool hasSubfolders(const QString &nativeFolder)
{
    QDirIterator it(nativeFolder, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    return it.hasNext();
}

} // namespace

LocalPane::LocalPane(FileIcons &icons, QWidget *parent)
    : QWidget(parent)
    , m_icons(icons)
    , m_folder(NativeToLocal(QDir::homePath()))
{
    setObjectName(QStringLiteral("LPanel"));
    m_showArrivals = new PacedCall(
            ArrivalIntervalMs, [this] { showArrivals(); }, this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    auto *header = new QHBoxLayout;
    m_bookmark = new QPushButton(QStringLiteral("\u25BE"), this);
    m_bookmark->setObjectName(QStringLiteral("lbookmark"));
    m_bookmark->setToolTip(tr("Local bookmarks"));
    m_bookmark->setFixedWidth(22);
    m_bookmark->setFocusPolicy(Qt::NoFocus);
    m_status = new HeaderStatus(this);
    m_status->setObjectName(QStringLiteral("LStat"));
    header->addWidget(m_bookmark);
    header->addWidget(m_status, 1);
    layout->addLayout(header);
    m_split = new QSplitter(Qt::Vertical, this);
    m_split->setObjectName(QStringLiteral("lPanelSplit"));
    m_split->setHandleWidth(2);
    m_split->setChildrenCollapsible(false);
    m_tree = PaneItems::newFolderTree(m_split, "LPathTree");
    m_list = new FileListView(m_split);
    m_list->setObjectName(QStringLiteral("lWin"));
    m_split->setStretchFactor(1, 1);
    layout->addWidget(m_split, 1);

    connect(m_list, &FileListView::selectionChanged, this, &LocalPane::selectionChanged);
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
    connect(m_list, &FileListView::rowActivated, this, &LocalPane::LWin_DblClick);
    connect(m_tree, &QTreeWidget::itemExpanded, this, &LocalPane::LPathTree_Expanding);
    connect(m_tree, &QTreeWidget::itemClicked, this, &LocalPane::LPathTree_ChangeFolder);
    connect(m_status, &HeaderStatus::clicked, this, &LocalPane::statusClicked);
    connect(m_tree, &QTreeWidget::currentItemChanged, this, &LocalPane::selectionChanged);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_tree, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        if (m_treeMenu)
            m_treeMenu->popup(m_tree->viewport()->mapToGlobal(pos));
    });
}

void LocalPane::setPopups(QMenu *listMenu, QMenu *treeMenu)
{
    m_listMenu = listMenu;
    m_treeMenu = treeMenu;
}

bool LocalPane::atTopLevel() const
{
    return m_folder == TopLevel;
}

QString LocalPane::driveLetter() const
{
    // The drive that holds this system's whole file system ("Z" for "/").
    return NativeToLocal(QStringLiteral("/")).left(1);
}

QString LocalPane::nodeTextOf(const QString &folder) const
{
    // Desktop paths keep their form; drive paths become the tree's "Drive Z:\..." form.
    if (folder.startsWith(QLatin1String("\\Desktop")))
        return folder.mid(1);
    if (folder.startsWith(QLatin1String("Desktop")))
        return folder;
    return QStringLiteral("Drive ") + folder;
}

QString LocalPane::nodePath(const QTreeWidgetItem *node) const
{
    if (!node || !node->parent())
        return TopLevel;
    QString path;
    for (const QTreeWidgetItem *n = node; n->parent(); n = n->parent())
        path.prepend(nodeText(n) + QLatin1Char('\\'));
    if (!path.startsWith(QLatin1String("Desktop")) && path.startsWith(QLatin1String("Drive ")))
        path.remove(0, 6);
    return path;
}

void LocalPane::FillLocalFolderNode(QTreeWidgetItem *node)
{
    if (!node)
        return;
    if (!node->parent()) {
        addPlaceholder(
                addFolderNode(node, QStringLiteral("Desktop"), {}, m_icons.desktop(), false));
        const QString drive = driveLetter() + QLatin1Char(':');
        addPlaceholder(addFolderNode(node,
                                     QStringLiteral("Drive ") + drive,
                                     LocalToNative(drive + QLatin1Char('\\')),
                                     m_icons.drive(),
                                     false));
        return;
    }
    const QString folder = LocalToNative(nodePath(node));
    const QFileInfoList entries = QDir(folder).entryInfoList(
            QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::NoSort);
    for (const QFileInfo &entry : entries) {
        // A "\" would split the name when the node's path is built; such folders are listed
        // but not offered in the tree.
        if (entry.fileName().contains(QLatin1Char('\\')))
            continue;
        QTreeWidgetItem *child
                = addFolderNode(node, entry.fileName(), {}, m_icons.folderNode(), true);
        if (hasSubfolders(entry.filePath()))
            addPlaceholder(child);
    }
}

void LocalPane::ensureChildrenRead(QTreeWidgetItem *node)
{
    if (!holdsPlaceholder(node))
        return;
    qDeleteAll(node->takeChildren());
    FillLocalFolderNode(node);
    node->sortChildren(0, Qt::AscendingOrder);
}

void LocalPane::LPathTree_Expanding(QTreeWidgetItem *node)
{
    ensureChildrenRead(node);
}

void LocalPane::buildTree()
{
    if (m_tree->topLevelItemCount() > 0)
        return;
    auto *root = new QTreeWidgetItem(m_tree);
    root->setText(0, QStringLiteral("(Local Computer)"));
    root->setIcon(0, m_icons.computer());
    FillLocalFolderNode(root);
    root->setExpanded(true);
    ChangeLocalFolder(m_folder);
}

void LocalPane::LPathTree_ChangeFolder()
{
    const QString folder = nodePath(m_tree->currentItem());
    if (folder != m_folder) {
        m_folder = folder;
        FillFileList();
    }
}

void LocalPane::ChangeLocalFolder(const QString &target)
{
    const QString folder = ConvertPath(target, BackslashForm);
    QTreeWidgetItem *root = m_tree->topLevelItem(0);
    if (!root)
        return;
    m_folder = NoFolder;
    if (folder == TopLevel) {
        m_tree->setCurrentItem(root);
        LPathTree_ChangeFolder();
        return;
    }
    const QStringList parts = nodeTextOf(folder).split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    QString partial;
    QTreeWidgetItem *node = root;
    for (const QString &part : parts) {
        partial += part + QLatin1Char('\\');
        node = FindFolderNode(partial);
        m_tree->setCurrentItem(node);
        m_tree->scrollToItem(node);
    }
    node->setExpanded(true);
    m_tree->scrollToItem(node);
    LPathTree_ChangeFolder();
}

QTreeWidgetItem *LocalPane::FindFolderNode(const QString &path)
{
    QTreeWidgetItem *node = m_tree->topLevelItem(0);
    if (!node)
        return nullptr;
    // Local names differ by case alone ("Docs" and "docs").
    for (const QString &part : path.split(QLatin1Char('\\'), Qt::SkipEmptyParts)) {
        ensureChildrenRead(node);
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

void LocalPane::FillFileList()
{
    m_list->setUpdatesEnabled(false);
    m_list->beginFill();
    m_list->clear();
    if (m_folder == TopLevel) {
        m_status->setPanelText(2, tr("Select a drive or the Desktop"));
        m_list->addItem(QStringLiteral("Desktop"),
                        FileListView::FolderEntry,
                        {},
                        {},
                        {},
                        m_icons.desktop());
        const QString drive = driveLetter() + QLatin1Char(':');
        m_list->addItem(LocalToNative(drive + QLatin1Char('\\')),
                        FileListView::FolderEntry,
                        {},
                        {},
                        {},
                        m_icons.drive(),
                        drive);
    } else {
        m_status->setPanelText(2, LocalToNative(m_folder));
        AddFileItem(true, -1, -1, Parent, m_folder);
        const QFileInfoList entries = QDir(LocalToNative(m_folder))
                                              .entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot
                                                                     | QDir::Hidden | QDir::System,
                                                             QDir::NoSort);
        for (const QFileInfo &entry : entries) {
            AddFileItem(true,
                        ToDosDateTime(entry.lastModified()),
                        entry.isDir() ? -1 : entry.size(),
                        entry.fileName(),
                        m_folder);
        }
    }
    m_list->endFill();
    showObjectCount();
    m_list->clearSelection();
    m_list->selectRow(0);
    m_list->setCurrentRow(0);
    sortList(1);
    m_list->setUpdatesEnabled(true);
}

int LocalPane::AddFileItem(
        bool noDupCheck, qint64 date, qint64 size, const QString &name, const QString &folder)
{
    // A late result for a folder the user has left is not shown. Local folders differ by
    // case alone.
    if (folder != m_folder)
        return -1;
    const int row = PaneItems::addListItem(
            m_list, m_icons, noDupCheck, Qt::CaseSensitive, date, size, name);
    if (!noDupCheck)
        showObjectCount();
    return row;
}

void LocalPane::showObjectCount()
{
    int count = m_list->rowCount();
    if (count > 0 && m_list->kind(0) == FileListView::ParentEntry)
        --count;
    m_status->setPanelText(1, tr("%1 object(s)").arg(count));
}

void LocalPane::sortList(int column)
{
    m_list->setTag(column);
    if (atTopLevel())
        return;
    m_list->sortItems(FileListView::Column(qBound(1, column, 4) - 1));
}

void LocalPane::LWin_DblClick()
{
    const int row = m_list->firstSelectedRow();
    if (row < 0)
        return;
    const QString caption = m_list->internalName(row);
    if (!m_list->text(row, FileListView::SizeColumn).isEmpty()) {
        Q_EMIT fileOpenRequested(m_folder + caption);
        return;
    }
    const bool up = caption == Parent;
    const QString folder = ConvertPath(m_folder + caption + QLatin1Char('\\'), BackslashForm);
    QTreeWidgetItem *selected = m_tree->currentItem();
    if (up && selected)
        selected->setExpanded(false);
    if (folder != TopLevel) {
        QTreeWidgetItem *base = up && selected ? selected->parent() : selected;
        if (base)
            ensureChildrenRead(base);
        QTreeWidgetItem *node = FindFolderNode(nodeTextOf(folder));
        if (node) {
            m_tree->setCurrentItem(node);
            if (!up)
                node->setExpanded(true);
            m_tree->scrollToItem(node);
        }
    } else if (QTreeWidgetItem *root = m_tree->topLevelItem(0)) {
        m_tree->setCurrentItem(root);
    }
    m_folder = NoFolder;
    LPathTree_ChangeFolder();
}

void LocalPane::reload()
{
    if (atTopLevel())
        return;
    m_tree->setUpdatesEnabled(false);
    if (QTreeWidgetItem *node = FindFolderNode(nodeTextOf(m_folder))) {
        const bool expanded = node->isExpanded();
        const bool currentInside = m_tree->currentItem() && m_tree->currentItem() != node
                                   && nodePath(m_tree->currentItem()).startsWith(nodePath(node));
        qDeleteAll(node->takeChildren());
        FillLocalFolderNode(node);
        node->sortChildren(0, Qt::AscendingOrder);
        if (currentInside)
            m_tree->setCurrentItem(node);
        node->setExpanded(expanded);
    }
    m_tree->setUpdatesEnabled(true);
    FillFileList();
}

void LocalPane::changeFolder(bool fromStatus)
{
    QString target;
    if (fromStatus) {
        const QString start = atTopLevel() ? DesktopFolder() : LocalToNative(m_folder);
        const QString picked = QFileDialog::getExistingDirectory(
                window(), tr("Change Local Folder"), start, QFileDialog::ShowDirsOnly);
        if (picked.isEmpty())
            return;
        target = NativeToLocal(picked + QLatin1Char('/'));
    } else {
        if (atTopLevel())
            return;
        target = m_folder;
    }
    ChangeLocalFolder(target);
}

void LocalPane::showEntry(const QString &folder, const QString &name, qint64 size)
{
    // Files arriving by the hundred a second are shown a few times a second, together.
    m_arrivals.append({folder, name, size});
    m_showArrivals->request();
}

void LocalPane::showArrivals()
{
    const QList<Arrival> arrivals = std::exchange(m_arrivals, {});
    for (const Arrival &arrival : arrivals)
        showArrival(arrival.folder, arrival.name, arrival.size);
}

void LocalPane::showArrival(const QString &folder, const QString &name, qint64 size)
{
    if (name.isEmpty()) {
        // A folder was made (a tree being received): it shows in its parent's list and tree.
        const QString trimmed = folder.left(folder.size() - 1);
        const int cut = trimmed.lastIndexOf(QLatin1Char('\\'));
        if (cut < 0)
            return;
        const QString parent = trimmed.left(cut + 1);
        AddFileItem(false, -1, -1, trimmed.mid(cut + 1), parent);
        if (m_tree->topLevelItem(0)) {
            QTreeWidgetItem *node = FindFolderNode(nodeTextOf(folder));
            if (node && node->parent())
                node->parent()->sortChildren(0, Qt::AscendingOrder);
        }
    } else {
        // The file on the disk has the last word on its size: a transfer reports none (-1)
        // when the host never told it.
        const QFileInfo landed(LocalToNative(folder + name));
        AddFileItem(
                false, -1, landed.isFile() ? landed.size() : qMax<qint64>(0, size), name, folder);
    }
}
