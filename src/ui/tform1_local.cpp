// TForm1: the local pane (folder tree and file list of this computer) and the list filling
// both panes share.
#include "ui/tform1.h"

#include "platform/localpath.h"
#include "ui/dosdatetime.h"
#include "util/fieldstring.h"
#include "util/pathforms.h"
#include "widgets/filelistview.h"
#include "widgets/headerstatus.h"

#include <QDir>
#include <QDirIterator>
#include <QFileDialog>
#include <QTreeWidget>

namespace {

constexpr int NodeTextRole = Qt::UserRole + 1;
constexpr int OrdinaryFolderRole = Qt::UserRole + 2;
const QString Placeholder = QStringLiteral("*");
const QString TopLevel = QStringLiteral("\\");
const QString Parent = QStringLiteral("..");
// A value no folder has: set before a folder change that must refill the list.
const QString NoFolder = QStringLiteral("?");

// The text a node is known by when paths are built; the label shown may differ ("/").
QString nodeText(const QTreeWidgetItem *node)
{
    const QVariant text = node->data(0, NodeTextRole);
    return text.isValid() ? text.toString() : node->text(0);
}

bool holdsPlaceholder(const QTreeWidgetItem *node)
{
    return node->childCount() > 0 && nodeText(node->child(0)) == Placeholder;
}

void addPlaceholder(QTreeWidgetItem *node)
{
    auto *placeholder = new QTreeWidgetItem(node);
    placeholder->setText(0, Placeholder);
    placeholder->setData(0, NodeTextRole, Placeholder);
}

bool hasSubfolders(const QString &nativeFolder)
{
    QDirIterator it(nativeFolder, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    return it.hasNext();
}

} // namespace

QString TForm1::driveLetter() const
{
    // The drive that holds this system's whole file system ("Z" for "/").
    return NativeToLocal(QStringLiteral("/")).left(1);
}

QString TForm1::localNodeText(const QString &folder) const
{
    // Desktop paths keep their form; drive paths become the tree's "Drive Z:\..." form.
    if (folder.startsWith(QLatin1String("\\Desktop")))
        return folder.mid(1);
    if (folder.startsWith(QLatin1String("Desktop")))
        return folder;
    return QStringLiteral("Drive ") + folder;
}

QTreeWidgetItem *TForm1::addFolderNode(QTreeWidgetItem *parent,
                                       const QString &text,
                                       const QString &label,
                                       const QIcon &icon,
                                       bool ordinary)
{
    auto *node = new QTreeWidgetItem(parent);
    node->setText(0, label.isEmpty() ? text : label);
    node->setData(0, NodeTextRole, text);
    node->setData(0, OrdinaryFolderRole, ordinary);
    node->setIcon(0, icon);
    return node;
}

QString TForm1::localNodePath(const QTreeWidgetItem *node) const
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

void TForm1::FillLocalFolderNode(QTreeWidgetItem *node)
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
    const QString folder = LocalToNative(localNodePath(node));
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

void TForm1::ensureChildrenRead(QTreeWidgetItem *node)
{
    if (!holdsPlaceholder(node))
        return;
    qDeleteAll(node->takeChildren());
    FillLocalFolderNode(node);
    node->sortChildren(0, Qt::AscendingOrder);
}

void TForm1::LPathTree_Expanding(QTreeWidgetItem *node)
{
    ensureChildrenRead(node);
}

void TForm1::buildLocalTree()
{
    auto *root = new QTreeWidgetItem(LPathTree);
    root->setText(0, QStringLiteral("(Local Computer)"));
    root->setIcon(0, m_icons.computer());
    FillLocalFolderNode(root);
    root->setExpanded(true);
    ChangeLocalFolder(m_localFolder);
}

void TForm1::LPathTree_ChangeFolder()
{
    const QString folder = localNodePath(LPathTree->currentItem());
    if (folder != m_localFolder) {
        m_localFolder = folder;
        FillFileList(false);
    }
}

void TForm1::ChangeLocalFolder(const QString &target)
{
    const QString folder = ConvertPath(target, BackslashForm);
    QTreeWidgetItem *root = LPathTree->topLevelItem(0);
    if (!root)
        return;
    m_localFolder = NoFolder;
    if (folder == TopLevel) {
        LPathTree->setCurrentItem(root);
        LPathTree_ChangeFolder();
        return;
    }
    const QStringList parts = localNodeText(folder).split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    QString partial;
    QTreeWidgetItem *node = root;
    for (const QString &part : parts) {
        partial += part + QLatin1Char('\\');
        node = FindFolderNode(LPathTree, partial);
        LPathTree->setCurrentItem(node);
        LPathTree->scrollToItem(node);
    }
    node->setExpanded(true);
    LPathTree->scrollToItem(node);
    LPathTree_ChangeFolder();
}

QTreeWidgetItem *TForm1::FindFolderNode(QTreeWidget *tree, const QString &path)
{
    const bool host = tree == RPathTree;
    QString rest = path;
    if (host && !m_rootFolder.isEmpty() && rest.startsWith(m_rootFolder))
        rest.remove(0, m_rootFolder.size());
    QTreeWidgetItem *node = tree->topLevelItem(0);
    if (!node)
        return nullptr;
    // Names differ by case alone ("Docs" and "docs"), on the local disk and on the host.
    for (const QString &part : rest.split(QLatin1Char('\\'), Qt::SkipEmptyParts)) {
        if (!host)
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

void TForm1::FillFileList(bool host)
{
    if (host) {
        fillHostList();
        return;
    }
    lWin->setUpdatesEnabled(false);
    lWin->beginFill();
    lWin->clear();
    if (m_localFolder == TopLevel) {
        LStat->setPanelText(2, tr("Select a drive or the Desktop"));
        lWin->addItem(QStringLiteral("Desktop"),
                      FileListView::FolderEntry,
                      {},
                      {},
                      {},
                      m_icons.desktop());
        const QString drive = driveLetter() + QLatin1Char(':');
        lWin->addItem(LocalToNative(drive + QLatin1Char('\\')),
                      FileListView::FolderEntry,
                      {},
                      {},
                      {},
                      m_icons.drive(),
                      drive);
    } else {
        LStat->setPanelText(2, LocalToNative(m_localFolder));
        AddFileItem(true, false, lWin, -1, -1, Parent, m_localFolder);
        const QFileInfoList entries = QDir(LocalToNative(m_localFolder))
                                              .entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot
                                                                     | QDir::Hidden | QDir::System,
                                                             QDir::NoSort);
        for (const QFileInfo &entry : entries) {
            AddFileItem(true,
                        false,
                        lWin,
                        ToDosDateTime(entry.lastModified()),
                        entry.isDir() ? -1 : entry.size(),
                        entry.fileName(),
                        m_localFolder);
        }
    }
    lWin->endFill();
    showObjectCount(lWin);
    lWin->clearSelection();
    lWin->selectRow(0);
    lWin->setCurrentRow(0);
    SortListView(lWin, 1);
    lWin->setUpdatesEnabled(true);
}

void TForm1::showObjectCount(FileListView *list)
{
    int count = list->rowCount();
    for (int row = 0; row < qMin(count, 1); ++row)
        count -= list->kind(row) == FileListView::ParentEntry ? 1 : 0;
    (list == rWin ? RStat : LStat)->setPanelText(1, tr("%1 object(s)").arg(count));
}

int TForm1::AddFileItem(bool noDupCheck,
                        bool recordInBuffer,
                        FileListView *list,
                        qint64 date,
                        qint64 size,
                        const QString &name,
                        const QString &folder)
{
    const bool host = list == rWin;
    const QString shown = host ? m_currentHostFolder : m_localFolder;
    // A late result for a folder the user has left is not shown. Folders differ by case
    // alone, local and host ones alike.
    if (folder != shown)
        return -1;
    if (!noDupCheck) {
        const int existing = list->findCaption(name, Qt::CaseSensitive);
        if (existing >= 0)
            list->removeRow(existing);
    }
    const bool isFolder = size < 0;
    const FileListView::Kind kind = name == Parent ? FileListView::ParentEntry
                                    : isFolder     ? FileListView::FolderEntry
                                                   : FileListView::FileEntry;
    const QDate modified = date == -1 ? QDate::currentDate() : DosDateTimeToDate(date);
    QString typeName = m_folderTypeName;
    QIcon icon = m_icons.closedFolder();
    if (!isFolder)
        m_icons.describe(name, &typeName, &icon);
    // A single entry (a file arriving, a folder made) goes to its sorted place; a fill
    // appends and sorts once at its end.
    const QString sizeText = isFolder ? QString() : FormatSize(size, true);
    const int row = noDupCheck ? list->addItem(name, kind, sizeText, typeName, modified, icon)
                               : list->insertSorted(name, kind, sizeText, typeName, modified, icon);
    if (!noDupCheck)
        showObjectCount(list);
    if (host && recordInBuffer) {
        Q_EMIT hostEntryRecorded(folder,
                                 (isFolder ? QStringLiteral("d") : QStringLiteral("f")) + name,
                                 QStringLiteral("%1*%2").arg(size).arg(date));
    }
    return row;
}

void TForm1::LWin_DblClick()
{
    const int row = lWin->firstSelectedRow();
    if (row < 0)
        return;
    const QString caption = lWin->internalName(row);
    if (!lWin->text(row, FileListView::SizeColumn).isEmpty()) {
        Q_EMIT localFileOpenRequested(m_localFolder + caption);
        return;
    }
    const bool up = caption == Parent;
    const QString folder = ConvertPath(m_localFolder + caption + QLatin1Char('\\'), BackslashForm);
    QTreeWidgetItem *selected = LPathTree->currentItem();
    if (up && selected)
        selected->setExpanded(false);
    if (folder != TopLevel) {
        QTreeWidgetItem *base = up && selected ? selected->parent() : selected;
        if (base)
            ensureChildrenRead(base);
        QTreeWidgetItem *node = FindFolderNode(LPathTree, localNodeText(folder));
        if (node) {
            LPathTree->setCurrentItem(node);
            if (!up)
                node->setExpanded(true);
            LPathTree->scrollToItem(node);
        }
    } else if (QTreeWidgetItem *root = LPathTree->topLevelItem(0)) {
        LPathTree->setCurrentItem(root);
    }
    m_localFolder = NoFolder;
    LPathTree_ChangeFolder();
}

void TForm1::Menu_ReloadClick()
{
    if (!focusIn(lWin) && !focusIn(LPathTree)) {
        hostReload();
        return;
    }
    if (m_localFolder == TopLevel)
        return;
    LPathTree->setUpdatesEnabled(false);
    if (QTreeWidgetItem *node = FindFolderNode(LPathTree, localNodeText(m_localFolder))) {
        const bool expanded = node->isExpanded();
        const bool currentInside
                = LPathTree->currentItem() && LPathTree->currentItem() != node
                  && localNodePath(LPathTree->currentItem()).startsWith(localNodePath(node));
        qDeleteAll(node->takeChildren());
        FillLocalFolderNode(node);
        node->sortChildren(0, Qt::AscendingOrder);
        if (currentInside)
            LPathTree->setCurrentItem(node);
        node->setExpanded(expanded);
    }
    LPathTree->setUpdatesEnabled(true);
    FillFileList(false);
}

void TForm1::Menu_ChangeFolderClick(bool fromStatus)
{
    if (!focusIn(lWin) && !focusIn(LPathTree)) {
        if (focusIn(rWin) || focusIn(RPathTree))
            hostChangeFolder();
        return;
    }
    QString target;
    if (fromStatus) {
        const QString start
                = m_localFolder == TopLevel ? DesktopFolder() : LocalToNative(m_localFolder);
        const QString picked = QFileDialog::getExistingDirectory(
                this, tr("Change Local Folder"), start, QFileDialog::ShowDirsOnly);
        if (picked.isEmpty())
            return;
        target = NativeToLocal(picked + QLatin1Char('/'));
    } else {
        if (m_localFolder == TopLevel)
            return;
        target = m_localFolder;
    }
    ChangeLocalFolder(target);
}
