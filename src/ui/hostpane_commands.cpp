// The host pane's commands: changing, reloading and buffering host folders. A folder not yet in
// the listing buffer is asked of the main session and shown when its listing arrives.
#include "ui/hostpane.h"

#include "ftp/listingbuffer.h"
#include "settings/options.h"
#include "tasks/taskengine.h"
#include "ui/paneitems.h"
#include "ui/tdialog.h"
#include "util/pathforms.h"
#include "widgets/filelistview.h"

#include <QTreeWidget>

namespace {

const QString Placeholder = QStringLiteral("..");
const QString Requested = QStringLiteral(".");
const QChar Backslash = QLatin1Char('\\');

// Host folders are the same only when spelt alike: "\pub\Sub\" is not "\pub\sub\".
bool sameFolder(const QString &a, const QString &b)
{
    return ConvertPath(a, BackslashForm) == ConvertPath(b, BackslashForm);
}

} // namespace

void HostPane::requestListing(const QString &folder, QTreeWidgetItem *node)
{
    if (m_engine.options().ShowMainGeneral)
        m_engine.WriteLog(QStringLiteral("  : Listing host folder '") + folder + QLatin1Char('\''),
                          0);
    if (node) {
        for (int i = node->childCount() - 1; i >= 0; --i) {
            if (PaneItems::nodeText(node->child(i)) == Placeholder) {
                node->child(i)->setText(0, Requested);
                break;
            }
        }
    }
    m_engine.mainCmdList().append(QStringLiteral("*list ") + folder);
    m_engine.Pass();
}

void HostPane::RPathTree_ChangeFolder()
{
    try {
        QTreeWidgetItem *node = m_tree->currentItem();
        if (!node)
            return;
        const QString folder = nodePath(node);
        m_engine.setRequestedFolder(folder);
        if (sameFolder(folder, currentFolder()))
            return;
        if (!m_engine.listingBuffer().contains(folder)) {
            requestListing(folder, node);
            return;
        }
        if (m_engine.expandOnChange())
            expandQuietly(node, true);
        setCurrentFolder(folder);
        FillFileList();
    } catch (...) {
        m_engine.WriteLog(QStringLiteral("!!: Error u1-5111 - Please Report to Author."),
                          LogModel::NoSession);
    }
}

void HostPane::RPathTree_Expanding(QTreeWidgetItem *node)
{
    if (m_inExpandHandler || !node)
        return;
    // The expanded-by-the-user mark: the next press on the tree expands what it opens.
    m_tree->setProperty("tag", 1);
    if (isListedNode(node))
        return;
    // Not listed yet: it opens when its listing arrives.
    expandQuietly(node, false);
    m_engine.setExpandOnChange(true);
    m_engine.mainCmdList().append(QStringLiteral("*list ") + nodePath(node));
    m_engine.Pass();
}

void HostPane::RWin_DblClick()
{
    try {
        const int row = m_list->firstSelectedRow();
        if (row < 0)
            return;
        const QString caption = m_list->internalName(row);
        if (m_list->kind(row) == FileListView::FileEntry) {
            Q_EMIT fileOpenRequested(currentFolder() + caption);
            return;
        }
        m_engine.setExpandOnChange(true);
        if (caption == QLatin1String("..")) {
            if (QTreeWidgetItem *selected = m_tree->currentItem())
                selected->setExpanded(false);
        }
        const QString folder = ConvertPath(currentFolder() + caption + Backslash, BackslashForm);
        m_engine.setRequestedFolder(folder);
        if (QTreeWidgetItem *node = FindFolderNode(folder))
            m_tree->setCurrentItem(node);
        RPathTree_ChangeFolder();
    } catch (...) {
        m_engine.WriteLog(QStringLiteral("!!: Error u1-762 - Please Report to Author."),
                          LogModel::NoSession);
    }
}

void HostPane::reload()
{
    if (currentFolder().isEmpty())
        return;
    m_engine.mainCmdList().append(QStringLiteral("*reload ") + currentFolder());
    m_engine.Pass();
}

void HostPane::changeFolder()
{
    try {
        m_dialog->setCaption(tr("Change Host Folder"));
        m_dialog->setPrompt(tr("Type the host folder name:"));
        m_dialog->setText(currentFolder());
        if (m_dialog->exec() != QDialog::Accepted || m_dialog->text().isEmpty())
            return;
        QString folder = m_dialog->text();
        if (!folder.startsWith(rootFolder()))
            folder = rootFolder() + folder;
        folder = ConvertPath(folder, BackslashForm);
        if (sameFolder(folder, currentFolder()))
            return;
        if (!m_engine.listingBuffer().contains(folder)) {
            m_engine.setRequestedFolder(folder);
            requestListing(folder, nullptr);
            return;
        }
        if (QTreeWidgetItem *node = FindFolderNode(folder))
            m_tree->setCurrentItem(node);
        m_engine.setRequestedFolder(folder);
        setCurrentFolder(folder);
        FillFileList();
    } catch (...) {
        m_engine.WriteLog(QStringLiteral("!!: Error u1-61112 - Please Report to Author."),
                          LogModel::NoSession);
    }
}

void HostPane::Menu_BufferClick()
{
    if (currentFolder().isEmpty())
        return;
    m_engine.transferQueue().append(TransferQueue::BufferEntry(currentFolder()));
    m_engine.Pass();
}
