// TForm1: the host pane. The tree and the list are drawn only from the listing buffer; a folder
// not yet listed is asked of the main session ("*list") and shown when its listing arrives.
#include "ui/tform1.h"

#include "ftp/listingbuffer.h"
#include "settings/options.h"
#include "tasks/taskengine.h"
#include "ui/tdialog.h"
#include "util/fieldstring.h"
#include "util/pathforms.h"
#include "widgets/filelistview.h"
#include "widgets/headerstatus.h"

#include <QHash>
#include <QPainter>
#include <QStandardItemModel>
#include <QTreeWidget>

namespace {

constexpr int NodeTextRole = Qt::UserRole + 1;
// The child of a folder node not yet listed, so that it shows as expandable; "." once its
// listing has been asked for.
const QString Placeholder = QStringLiteral("..");
const QString Requested = QStringLiteral(".");
const QChar Backslash = QLatin1Char('\\');

QString nodeText(const QTreeWidgetItem *node)
{
    const QVariant text = node->data(0, NodeTextRole);
    return text.isValid() ? text.toString() : node->text(0);
}

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

QIcon TForm1::listedIcon(const QIcon &icon) const
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

QString TForm1::hostNodePath(const QTreeWidgetItem *node) const
{
    if (!node)
        return QString();
    QString path;
    for (const QTreeWidgetItem *n = node; n->parent(); n = n->parent())
        path.prepend(nodeText(n) + Backslash);
    const QString root = m_rootFolder.isEmpty() ? QString(Backslash) : m_rootFolder;
    return ConvertPath(root + path, BackslashForm);
}

bool TForm1::isListedNode(const QTreeWidgetItem *node) const
{
    return node && node->data(0, ListedRole).toBool();
}

void TForm1::markListed(QTreeWidgetItem *node)
{
    node->setData(0, ListedRole, true);
    // The root stands for the host and keeps its computer image.
    if (node->parent())
        node->setIcon(0, listedIcon(m_icons.folderNode()));
}

void TForm1::hostFolderListed(const QString &folder, bool buffering)
{
    if (!RPathTree->topLevelItem(0))
        return;
    m_rootFolder = m_engine->RootFolder();
    QTreeWidgetItem *node = FindFolderNode(RPathTree, folder);
    if (!node)
        return;
    RPathTree->setUpdatesEnabled(false);
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
    if (const ListingBuffer::EntryList *entries = m_engine->listingBuffer().entries(folder)) {
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

    if (sameFolder(folder, m_engine->RequestedFolder())) {
        node->sortChildren(0, Qt::AscendingOrder);
        m_currentHostFolder = ConvertPath(folder, BackslashForm);
        RPathTree->setCurrentItem(node);
        RPathTree->scrollToItem(node);
        fillHostList();
    }
    if (!buffering && m_engine->expandOnChange()) {
        m_inExpandHandler = true;
        node->setExpanded(true);
        m_inExpandHandler = false;
    }
    RPathTree->setUpdatesEnabled(true);
    UpdateInterface();
}

void TForm1::showHostFolder(const QString &folder)
{
    if (folder.isEmpty() || sameFolder(folder, m_currentHostFolder))
        return;
    m_currentHostFolder = ConvertPath(folder, BackslashForm);
    if (QTreeWidgetItem *node = FindFolderNode(RPathTree, m_currentHostFolder))
        RPathTree->setCurrentItem(node);
    fillHostList();
}

void TForm1::fillHostList()
{
    const ListingBuffer &buffer = m_engine->listingBuffer();
    const QString current = m_currentHostFolder;
    m_engine->setCurrentHostFolder(current);
    rWin->setUpdatesEnabled(false);
    rWin->beginFill();
    rWin->clear();
    auto markRow = [this](int row) {
        if (row < 0)
            return;
        rWin->setMark(row, listedIcon(rWin->icon(row)));
    };
    if (current != m_rootFolder) {
        const int row = AddFileItem(true, false, rWin, -1, -1, QStringLiteral(".."), current);
        if (buffer.contains(ConvertPath(current + QStringLiteral("..\\"), BackslashForm)))
            markRow(row);
    }
    int objects = 0;
    if (const ListingBuffer::EntryList *entries = buffer.entries(current)) {
        for (const ListingBuffer::Entry &entry : *entries) {
            const QString name = entry.key.mid(1);
            const qint64 size = Field(entry.fields, 1, QLatin1Char('*')).toLongLong();
            const qint64 date = Field(entry.fields, 2, QLatin1Char('*')).toLongLong();
            if (entry.key.startsWith(QLatin1Char('f'))) {
                AddFileItem(true, false, rWin, date, qMax<qint64>(0, size), name, current);
            } else {
                const int row = AddFileItem(true, false, rWin, date, -1, name, current);
                if (buffer.contains(current + name + Backslash))
                    markRow(row);
            }
            ++objects;
        }
    }
    rWin->endFill();
    RStat->setPanelText(1, tr("%1 object(s)").arg(objects));
    RStat->setPanelText(2, current);
    rWin->clearSelection();
    if (rWin->rowCount() > 0) {
        rWin->selectRow(0);
        rWin->setCurrentRow(0);
    }
    SortListView(rWin, 1);
    rWin->setUpdatesEnabled(true);
    rWin->setFocus(Qt::OtherFocusReason);
    UpdateInterface();
}

void TForm1::requestHostListing(const QString &folder, QTreeWidgetItem *node)
{
    if (m_engine->options().ShowMainGeneral)
        m_engine->WriteLog(QStringLiteral("  : Listing host folder '") + folder + QLatin1Char('\''),
                           0);
    if (node) {
        for (int i = node->childCount() - 1; i >= 0; --i) {
            if (nodeText(node->child(i)) == Placeholder) {
                node->child(i)->setText(0, Requested);
                break;
            }
        }
    }
    m_engine->mainCmdList().append(QStringLiteral("*list ") + folder);
    m_engine->Pass();
}

void TForm1::RPathTree_ChangeFolder()
{
    try {
        QTreeWidgetItem *node = RPathTree->currentItem();
        if (!node)
            return;
        const QString folder = hostNodePath(node);
        m_engine->setRequestedFolder(folder);
        if (sameFolder(folder, m_currentHostFolder))
            return;
        if (!m_engine->listingBuffer().contains(folder)) {
            requestHostListing(folder, node);
            return;
        }
        if (m_engine->expandOnChange()) {
            m_inExpandHandler = true;
            node->setExpanded(true);
            m_inExpandHandler = false;
        }
        m_currentHostFolder = folder;
        fillHostList();
    } catch (...) {
        m_engine->WriteLog(QStringLiteral("!!: Error u1-5111 - Please Report to Author."),
                           LogModel::NoSession);
    }
}

void TForm1::RPathTree_Expanding(QTreeWidgetItem *node)
{
    if (m_inExpandHandler || !node)
        return;
    // The expanded-by-the-user mark: the next press on the tree expands what it opens.
    RPathTree->setProperty("tag", 1);
    if (isListedNode(node))
        return;
    // Not listed yet: it opens when its listing arrives.
    m_inExpandHandler = true;
    node->setExpanded(false);
    m_inExpandHandler = false;
    m_engine->setExpandOnChange(true);
    m_engine->mainCmdList().append(QStringLiteral("*list ") + hostNodePath(node));
    m_engine->Pass();
}

void TForm1::RWin_DblClick()
{
    try {
        const int row = rWin->firstSelectedRow();
        if (row < 0)
            return;
        const QString caption = rWin->internalName(row);
        if (rWin->kind(row) == FileListView::FileEntry) {
            Q_EMIT hostFileOpenRequested(m_currentHostFolder + caption);
            return;
        }
        m_engine->setExpandOnChange(true);
        if (caption == QLatin1String("..")) {
            if (QTreeWidgetItem *selected = RPathTree->currentItem())
                selected->setExpanded(false);
        }
        const QString folder
                = ConvertPath(m_currentHostFolder + caption + Backslash, BackslashForm);
        m_engine->setRequestedFolder(folder);
        if (QTreeWidgetItem *node = FindFolderNode(RPathTree, folder))
            RPathTree->setCurrentItem(node);
        RPathTree_ChangeFolder();
    } catch (...) {
        m_engine->WriteLog(QStringLiteral("!!: Error u1-762 - Please Report to Author."),
                           LogModel::NoSession);
    }
}

void TForm1::hostReload()
{
    if (m_currentHostFolder.isEmpty())
        return;
    m_engine->mainCmdList().append(QStringLiteral("*reload ") + m_currentHostFolder);
    m_engine->Pass();
}

void TForm1::hostChangeFolder()
{
    try {
        Dialog->setCaption(tr("Change Host Folder"));
        Dialog->setPrompt(tr("Type the host folder name:"));
        Dialog->setText(m_currentHostFolder);
        if (Dialog->exec() != QDialog::Accepted || Dialog->text().isEmpty())
            return;
        QString folder = Dialog->text();
        if (!folder.startsWith(m_rootFolder))
            folder = m_rootFolder + folder;
        folder = ConvertPath(folder, BackslashForm);
        if (sameFolder(folder, m_currentHostFolder))
            return;
        if (!m_engine->listingBuffer().contains(folder)) {
            m_engine->setRequestedFolder(folder);
            requestHostListing(folder, nullptr);
            return;
        }
        if (QTreeWidgetItem *node = FindFolderNode(RPathTree, folder))
            RPathTree->setCurrentItem(node);
        m_engine->setRequestedFolder(folder);
        m_currentHostFolder = folder;
        fillHostList();
    } catch (...) {
        m_engine->WriteLog(QStringLiteral("!!: Error u1-61112 - Please Report to Author."),
                           LogModel::NoSession);
    }
}

void TForm1::Menu_BufferClick()
{
    if (m_currentHostFolder.isEmpty())
        return;
    m_engine->transferQueue().append(TransferQueue::BufferEntry(m_currentHostFolder));
    m_engine->Pass();
}

void TForm1::hostEntriesChanged(const QString &folder)
{
    if (sameFolder(folder, m_currentHostFolder)) {
        // Keep the selection where the user left it.
        const int row = rWin->firstSelectedRow();
        const QString selected = row >= 0 ? rWin->internalName(row) : QString();
        const bool focused = rWin->hasFocus();
        fillHostList();
        const int again = rWin->findCaption(selected, Qt::CaseSensitive);
        if (again >= 0) {
            rWin->clearSelection();
            rWin->selectRow(again);
            rWin->setCurrentRow(again);
        }
        if (!focused && m_focus)
            m_focus->setFocus(Qt::OtherFocusReason);
    }
    // A folder made on the host shows in the tree below its parent, if the parent is shown.
    if (const ListingBuffer::EntryList *entries = m_engine->listingBuffer().entries(folder)) {
        QTreeWidgetItem *parent = nullptr;
        for (const ListingBuffer::Entry &entry : *entries) {
            if (!entry.key.startsWith(QLatin1Char('d')))
                continue;
            if (!parent)
                parent = FindFolderNode(RPathTree, folder);
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

void TForm1::hostFolderRemoved(const QString &folder)
{
    QTreeWidgetItem *root = RPathTree->topLevelItem(0);
    if (!root)
        return;
    // Find without creating: a folder never shown has no node to remove.
    QTreeWidgetItem *node = root;
    QString rest = ConvertPath(folder, BackslashForm);
    if (rest.startsWith(m_rootFolder))
        rest.remove(0, m_rootFolder.size());
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
    QTreeWidgetItem *current = RPathTree->currentItem();
    bool inside = false;
    for (QTreeWidgetItem *n = current; n; n = n->parent())
        inside = inside || n == node;
    if (inside) {
        RPathTree->setCurrentItem(node->parent());
        RPathTree_ChangeFolder();
    }
    delete node;
}
