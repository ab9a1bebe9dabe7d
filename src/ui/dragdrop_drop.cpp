// What a drop turns into: queue entries for the views of the main window, and for another
// application the host items received into the drag-and-drop folder.
#include "ui/dragdrop.h"

#include "platform/localpath.h"
#include "settings/options.h"
#include "tasks/dragdroptracker.h"
#include "tasks/taskengine.h"
#include "ui/bookmarks.h"
#include "ui/hostpane.h"
#include "ui/localpane.h"
#include "ui/taskpanel.h"
#include "ui/tdragdropdialog.h"
#include "ui/tdropsource.h"
#include "ui/tform1.h"
#include "util/fieldstring.h"
#include "util/hosttext.h"
#include "widgets/filelistview.h"

#include <QDrag>
#include <QDropEvent>
#include <QFileInfo>
#include <QListView>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QUrl>

namespace {
const QChar Backslash = QLatin1Char('\\');

// The folder of a bookmark entry: name, CR, folder.
QString bookmarkFolder(const QStringList &list, int index)
{
    if (index < 0 || index >= list.size())
        return {};
    return Field(list.at(index), 2, QLatin1Char('\r'));
}
} // namespace

// ---- Dropped ----

void DragDrop::OnOLEDragDrop(QWidget *control, const QStringList &names, const QPoint &pos)
{
    try {
        if (control == m_local->lWin() || control == m_local->LPathTree()
            || control == m_local->lbookmark() || control == m_form->taskPanel()->QueueView())
            downloadDrop(control, pos);
        else if (control == m_host->rWin() || control == m_host->RPathTree()
                 || control == m_host->rbookmark())
            uploadDrop(control, names, pos);
    } catch (...) {
        writeLog(QStringLiteral("!!: Erro u1-55522 - Please Report to Author."));
    }
    m_internalDragList.clear();
    clearHighlight();
    m_engine->Pass();
}

QString DragDrop::localDropTarget(QWidget *control, const QPoint &pos) const
{
    QString target;
    if (control == m_local->lWin()) {
        target = m_local->currentFolder();
    } else if (control == m_form->taskPanel()->QueueView()) {
        const QString download = m_form->options().DownLoadFolder;
        target = download.size() >= 2 ? download : m_local->currentFolder();
    } else if (control == m_local->LPathTree()) {
        QTreeWidgetItem *node = nodeAt(control, pos);
        if (node && node->parent())
            target = m_local->nodePath(node);
    } else if (control == m_local->lbookmark()) {
        target = bookmarkFolder(m_engine->localBookmarks(),
                                m_form->bookmarks()->selectedIndex(Bookmarks::LocalSide));
    }
    target = ResolveDesktopPath(target);
    if (!target.isEmpty() && !target.endsWith(Backslash))
        target += Backslash;
    return target.size() >= 3 ? target : QString();
}

QString DragDrop::hostDropTarget(QWidget *control, const QPoint &pos) const
{
    QString target;
    if (control == m_host->rWin()) {
        target = m_host->currentFolder();
    } else if (control == m_host->RPathTree()) {
        if (QTreeWidgetItem *node = nodeAt(control, pos))
            target = m_host->nodePath(node);
    } else if (control == m_host->rbookmark()) {
        target = bookmarkFolder(m_engine->hostBookmarks(),
                                m_form->bookmarks()->selectedIndex(Bookmarks::HostSide));
    }
    if (!target.isEmpty() && !target.endsWith(Backslash))
        target += Backslash;
    return target;
}

void DragDrop::downloadDrop(QWidget *control, const QPoint &pos)
{
    const QString target = localDropTarget(control, pos);
    if (target.isEmpty())
        return;
    QStringList folders, files;
    for (const QString &item : std::as_const(m_internalDragList))
        (item.endsWith(Backslash) ? folders : files).append(item);
    if (m_form->options().ConfirmTransfer) {
        if (!folders.isEmpty() && !files.isEmpty()) {
            if (!askYesNo(QStringLiteral("Copy dragged file(s) and folder(s) to local computer?")))
                return;
        } else if (!folders.isEmpty()) {
            if (!askYesNo(QStringLiteral("Copy dragged folder(s) to local computer?")))
                folders.clear();
        } else if (!files.isEmpty()) {
            if (!askYesNo(QStringLiteral("Copy dragged file(s) to local computer?")))
                files.clear();
        }
    }
    TransferQueue &queue = m_engine->transferQueue();
    const auto skip = [this](const QString &item) {
        writeLog(QStringLiteral(" !: Skipped the host item '%1': its name cannot be used for a "
                                "local file.")
                         .arg(item));
    };
    for (const QString &folder : std::as_const(folders)) {
        const QString name = lastPart(folder);
        if (TransferQueue::HostNameCanArrive(name) && TransferQueue::HostNameCanTravel(folder))
            queue.append(TransferQueue::DownloadTreeEntry(folder, target + name + Backslash));
        else
            skip(folder);
    }
    for (const QString &file : std::as_const(files)) {
        const QString name = lastPart(file);
        if (TransferQueue::HostNameCanArrive(name) && TransferQueue::HostNameCanTravel(file))
            queue.append(TransferQueue::DownloadEntry(file, target + name));
        else
            skip(file);
    }
}

void DragDrop::uploadDrop(QWidget *control, const QStringList &names, const QPoint &pos)
{
    const QString target = hostDropTarget(control, pos);
    if (target.isEmpty())
        return;
    QStringList items = m_internalDragList;
    if (items.isEmpty()) {
        for (const QString &native : names) {
            const QFileInfo info(native);
            if (!info.exists())
                continue;
            QString local = NativeToLocal(info.absoluteFilePath());
            if (info.isDir() && !local.endsWith(Backslash))
                local += Backslash;
            items.append(local);
        }
    }
    QStringList folders, files;
    for (const QString &item : std::as_const(items))
        (item.endsWith(Backslash) ? folders : files).append(item);
    if (m_form->options().ConfirmTransfer) {
        if (!folders.isEmpty() && !files.isEmpty()) {
            if (!askYesNo(QStringLiteral("Copy dragged file(s) and folder(s) to host?")))
                return;
        } else if (!folders.isEmpty()) {
            if (!askYesNo(QStringLiteral("Copy dragged folder(s) to host?")))
                folders.clear();
        } else if (!files.isEmpty()) {
            if (!askYesNo(QStringLiteral("Copy dragged file(s) to host?")))
                files.clear();
        }
    }
    TransferQueue &queue = m_engine->transferQueue();
    const auto skip = [this](const QString &item) {
        writeLog(QStringLiteral(" !: Skipped '%1': names holding '*' or '\\' cannot be sent.")
                         .arg(LocalToNative(item)));
    };
    for (const QString &folder : std::as_const(folders)) {
        const QString name = lastPart(folder);
        if (name.isEmpty() || folder.contains(QLatin1Char('*'))
            || !TransferQueue::LocalNameCanTravel(name)) {
            skip(folder);
            continue;
        }
        m_engine->QueueMissingHostFolders(target + name + Backslash);
        m_engine->UploadFolderTree(folder, target + name + Backslash);
    }
    if (!files.isEmpty())
        m_engine->QueueMissingHostFolders(target);
    for (const QString &file : std::as_const(files)) {
        const QString name = lastPart(file);
        if (file.contains(QLatin1Char('*')) || !TransferQueue::LocalNameCanTravel(name)) {
            skip(file);
            continue;
        }
        queue.append(TransferQueue::UploadEntry(file, target + name));
    }
}

// ---- Dragged out to another application ----

bool DragDrop::OnOLEDropping(int state, const QStringList &hostItems, const QStringList &localItems)
{
    // Over one of our own views the drop is handled there; nothing is received here.
    if (!dragFromHost(state) || m_dropOnSelf)
        return false;
    const QString dragDropFolder = m_engine->tempFolders().dragDrop();
    if (dragDropFolder.isEmpty()) {
        writeLog(QStringLiteral(" !: Drag-and-drop operation canceled: there is no drag-and-drop "
                                "folder."));
        return false;
    }
    TransferQueue &queue = m_engine->transferQueue();
    QStringList tracked;
    for (int i = 0; i < hostItems.size() && i < localItems.size(); ++i) {
        const QString &host = hostItems.at(i);
        const QString &local = localItems.at(i);
        const QString name = lastPart(host);
        if (!TransferQueue::HostNameCanArrive(name) || !TransferQueue::HostNameCanTravel(host)) {
            writeLog(QStringLiteral(" !: Skipped the host item '%1': its name cannot be used for "
                                    "a local file.")
                             .arg(host));
            continue;
        }
        if (host.endsWith(Backslash))
            queue.append(TransferQueue::DownloadTreeEntry(host, local));
        else
            queue.append(TransferQueue::DownloadEntry(host, local));
        tracked.append(local);
    }
    if (tracked.isEmpty())
        return false;

    Tdragdropdialog *dialog = dragdropdialog();
    DragDropTracker tracker(*m_engine, dragDropFolder);
    connect(&tracker, &DragDropTracker::arrived, dialog, [dialog] { dialog->finish(true); });
    connect(&tracker, &DragDropTracker::failed, dialog, [this, dialog](const QString &item) {
        writeLog(QStringLiteral(" !: Drag-and-drop operation canceled: '%1' could not be "
                                "received.")
                         .arg(item));
        dialog->finish(false);
    });
    connect(dialog, &Tdragdropdialog::cancelPressed, &tracker, &DragDropTracker::stop);
    tracker.track(tracked);
    m_engine->Pass();
    const bool ok = dialog->exec() == QDialog::Accepted;
    if (ok) {
        // The other application may have stopped waiting meanwhile: say where the files are.
        writeLog(QStringLiteral("  : The dragged files are in '%1'.")
                         .arg(LocalToNative(dragDropFolder)));
    }
    return ok;
}

void DragDrop::dragDropCancelled()
{
    m_engine->transferQueue().clear();
    m_engine->mainCmdList().clear();
    m_engine->AbortAll();
    writeLog(QStringLiteral(" !: Drag-and-drop operation canceled. Resetting Connection."));
    m_engine->Pass();
}

bool DragDrop::askYesNo(const QString &text) const
{
    QMessageBox box(QMessageBox::Question,
                    QStringLiteral("Orvane FTP"),
                    VisibleHostLines(text),
                    QMessageBox::Yes | QMessageBox::No,
                    m_form);
    box.setObjectName(QStringLiteral("DragDropQuestion"));
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void DragDrop::writeLog(const QString &line) const
{
    m_engine->WriteLog(line, LogModel::NoSession);
}
