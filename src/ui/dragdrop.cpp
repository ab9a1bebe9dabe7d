// Drag and drop of the main window: where a drag may start, which views take a drop of what,
// and the queue entries a drop turns into.
#include "ui/dragdrop.h"

#include "platform/localpath.h"
#include "settings/options.h"
#include "tasks/dragdroptracker.h"
#include "tasks/taskengine.h"
#include "ui/bookmarks.h"
#include "ui/tdragdropdialog.h"
#include "ui/tdropsource.h"
#include "ui/tform1.h"
#include "util/fieldstring.h"
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
const QString DesktopPrefix = QStringLiteral("Desktop\\");
// Marks the tree node that shows the drop highlight.
constexpr int DropHighlightRole = Qt::UserRole + 40;

// A Desktop-form folder with the real Desktop folder put in.
QString realLocalFolder(const QString &folder)
{
    if (!folder.startsWith(DesktopPrefix))
        return folder;
    return NativeToLocal(DesktopFolder() + QLatin1Char('/')) + folder.mid(DesktopPrefix.size());
}

QString withoutSeparator(const QString &path)
{
    return path.endsWith(Backslash) ? path.left(path.size() - 1) : path;
}

// The last part of a path ("\pub\a\" and "\pub\a" give "a").
QString lastPart(const QString &path)
{
    const QString trimmed = withoutSeparator(path);
    return trimmed.mid(trimmed.lastIndexOf(Backslash) + 1);
}

// A host name that can become a local name and travel in a queue entry.
bool canReceive(const QString &name)
{
    return !name.isEmpty() && TransferQueue::LocalNameCanTravel(name)
           && !name.contains(QLatin1Char('/')) && name != QLatin1String(".")
           && name != QLatin1String("..");
}

bool dragFromHost(int state)
{
    return state == DragDrop::FromRWin || state == DragDrop::FromRPathTree;
}

// The folder of a bookmark entry: name, CR, folder.
QString bookmarkFolder(const QStringList &list, int index)
{
    if (index < 0 || index >= list.size())
        return {};
    return Field(list.at(index), 2, QLatin1Char('\r'));
}
} // namespace

DragDrop::DragDrop(TForm1 *form, TaskEngine *engine, QObject *parent)
    : QObject(parent)
    , m_form(form)
    , m_engine(engine)
{
    m_dragLoop = [](QDrag *drag) {
        drag->exec(Qt::CopyAction, Qt::CopyAction);
    };
    // A press on an item that is already selected keeps the selection until the release, so
    // that several items can be dragged; the views' own drags never start (the moves are ours).
    for (FileListView *list : {form->lWin, form->rWin}) {
        list->detailsView()->setDragEnabled(true);
        list->iconView()->setDragEnabled(true);
        list->iconView()->setMovement(QListView::Static);
    }
    watch(form->lWin, form->lWin->detailsView()->viewport());
    watch(form->lWin, form->lWin->iconView()->viewport());
    watch(form->rWin, form->rWin->detailsView()->viewport());
    watch(form->rWin, form->rWin->iconView()->viewport());
    watch(form->LPathTree, form->LPathTree->viewport());
    watch(form->RPathTree, form->RPathTree->viewport());
    watch(form->QueueView, form->QueueView->viewport());
    watch(form->lbookmark, form->lbookmark);
    watch(form->rbookmark, form->rbookmark);
}

DragDrop::~DragDrop() = default;

void DragDrop::watch(QWidget *control, QWidget *eventSource)
{
    m_controls.insert(eventSource, control);
    eventSource->setAcceptDrops(true);
    if (eventSource != control)
        eventSource->parentWidget()->setAcceptDrops(true);
    eventSource->installEventFilter(this);
}

QWidget *DragDrop::controlOf(QObject *watched) const
{
    return m_controls.value(watched, nullptr);
}

Tdragdropdialog *DragDrop::dragdropdialog()
{
    if (!m_dialog) {
        m_dialog = new Tdragdropdialog(m_form);
        connect(m_dialog, &Tdragdropdialog::cancelPressed, this, &DragDrop::dragDropCancelled);
    }
    return m_dialog;
}

QTreeWidgetItem *DragDrop::dropHighlight(const QTreeWidget *tree) const
{
    return tree == m_highlightTree ? m_highlightNode : nullptr;
}

bool DragDrop::eventFilter(QObject *watched, QEvent *event)
{
    QWidget *control = controlOf(watched);
    if (!control)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        control->setProperty("dragArmed", true);
        return false;
    case QEvent::MouseButtonRelease:
        control->setProperty("dragArmed", false);
        return false;
    case QEvent::MouseMove: {
        // The first move with a button down over the focused control starts the drag.
        const auto *move = static_cast<QMouseEvent *>(event);
        const bool source = control == m_form->lWin || control == m_form->LPathTree
                            || control == m_form->rWin || control == m_form->RPathTree;
        if (!source || !(move->buttons() & (Qt::LeftButton | Qt::RightButton))
            || !control->property("dragArmed").toBool())
            return false;
        control->setProperty("dragArmed", false);
        if (m_form->focusIn(control))
            startDrag(control);
        return true;
    }
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::DragLeave:
    case QEvent::Drop:
        return handleDragEvent(control, event);
    default:
        return false;
    }
}

bool DragDrop::handleDragEvent(QWidget *control, QEvent *event)
{
    try {
        switch (event->type()) {
        case QEvent::DragEnter: {
            // Taken always, so that the moves over the control follow; each move decides.
            auto *enter = static_cast<QDragEnterEvent *>(event);
            m_dropOnSelf = true;
            enter->setDropAction(Qt::CopyAction);
            enter->accept();
            return true;
        }
        case QEvent::DragMove: {
            auto *move = static_cast<QDragMoveEvent *>(event);
            m_dropOnSelf = true;
            const bool outsideFiles = m_dragState != NoDrag || move->mimeData()->hasUrls();
            if (outsideFiles && OnOLEDragOver(control, move->position().toPoint())) {
                move->setDropAction(Qt::CopyAction);
                move->accept();
            } else {
                move->ignore();
            }
            return true;
        }
        case QEvent::DragLeave:
            m_dropOnSelf = false;
            clearHighlight();
            return true;
        case QEvent::Drop: {
            auto *drop = static_cast<QDropEvent *>(event);
            const QPoint pos = drop->position().toPoint();
            const QMimeData *data = drop->mimeData();
            const bool outsideFiles = m_dragState != NoDrag || data->hasUrls();
            if (!outsideFiles || !OnOLEDragOver(control, pos)) {
                drop->ignore();
                m_dropOnSelf = false;
                clearHighlight();
                return true;
            }
            QStringList names;
            // The dragged host items are in the internal drag list; their data is asked for
            // only by other applications.
            if (m_internalDragList.isEmpty() && !dragFromHost(m_dragState)) {
                for (const QUrl &url : data->urls()) {
                    if (url.isLocalFile())
                        names.append(url.toLocalFile());
                }
            }
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
            OnOLEDragDrop(control, names, pos);
            m_dropOnSelf = false;
            return true;
        }
        default:
            return false;
        }
    } catch (...) {
        writeLog(QStringLiteral("!!: Erro u1-55522 - Please Report to Author."));
        m_dropOnSelf = false;
        return true;
    }
}

// ---- Starting a drag ----

void DragDrop::startDrag(QWidget *control)
{
    QStringList sources;
    m_internalDragList.clear();
    int state = NoDrag;
    bool ok = false;
    if (control == m_form->lWin) {
        state = FromLWin;
        ok = startListDrag(false, sources);
    } else if (control == m_form->LPathTree) {
        state = FromLPathTree;
        ok = startTreeDrag(false, sources);
    } else if (control == m_form->rWin) {
        state = FromRWin;
        ok = startListDrag(true, sources);
    } else if (control == m_form->RPathTree) {
        state = FromRPathTree;
        ok = startTreeDrag(true, sources);
    }
    if (!ok || sources.isEmpty()) {
        m_internalDragList.clear();
        return;
    }
    auto *data = new tDropSource(sources);
    if (dragFromHost(state)) {
        data->OnDropping = [this, state, host = m_internalDragList, local = sources] {
            return OnOLEDropping(state, host, local);
        };
    }
    // Parented to the window: the platform may still ask for the data after the drag loop has
    // returned, and frees the drag itself when it is done with it.
    auto *drag = new QDrag(m_form);
    drag->setMimeData(data);
    m_dragState = state;
    m_dragLoop(drag);
    m_dragState = NoDrag;
    m_dropOnSelf = false;
    clearHighlight();
}

bool DragDrop::startListDrag(bool host, QStringList &sources)
{
    FileListView *list = host ? m_form->rWin : m_form->lWin;
    const QList<int> rows = list->selectedRows();
    if (rows.isEmpty() || (list->kind(0) == FileListView::ParentEntry && rows.first() == 0))
        return false;
    QString folder;
    if (host) {
        folder = m_form->currentHostFolder();
    } else {
        // The top level holds the Desktop and the drives, which are not dragged.
        folder = realLocalFolder(m_form->currentLocalFolder());
        if (folder.size() < 3)
            return false;
    }
    if (folder.isEmpty())
        return false;
    const QString dragDrop = m_engine->tempFolders().dragDrop();
    for (const int row : rows) {
        if (list->kind(row) == FileListView::ParentEntry)
            continue;
        const QString name = list->internalName(row);
        const bool isFolder = list->kind(row) == FileListView::FolderEntry;
        const QString suffix = isFolder ? QString(Backslash) : QString();
        m_internalDragList.append(folder + name + suffix);
        sources.append(host ? dragDrop + name + suffix : folder + name + suffix);
    }
    return true;
}

bool DragDrop::startTreeDrag(bool host, QStringList &sources)
{
    QTreeWidget *tree = host ? m_form->RPathTree : m_form->LPathTree;
    QTreeWidgetItem *node = tree->currentItem();
    if (!node)
        return false;
    if (host) {
        // A press that expanded a node is no drag.
        if (tree->property("tag").toInt() == 1) {
            tree->setProperty("tag", 0);
            return false;
        }
        // The root has no name to give its local copy.
        if (!node->parent())
            return false;
        m_internalDragList.append(m_form->hostNodePath(node));
        sources.append(m_engine->tempFolders().dragDrop() + node->text(0) + Backslash);
        return true;
    }
    // Only ordinary folders: the root, the Desktop and the drives stay.
    if (!node->parent() || !node->parent()->parent())
        return false;
    m_form->LPathTree_ChangeFolder();
    sources.append(withoutSeparator(realLocalFolder(m_form->localNodePath(node))));
    return true;
}

// ---- Over a drop target ----

QTreeWidgetItem *DragDrop::nodeAt(QWidget *control, const QPoint &pos) const
{
    auto *tree = qobject_cast<QTreeWidget *>(control);
    return tree ? tree->itemAt(pos) : nullptr;
}

bool DragDrop::OnOLEDragOver(QWidget *control, const QPoint &pos)
{
    if (m_dragState == NoDrag)
        m_internalDragList.clear();
    const bool fromHost = dragFromHost(m_dragState);
    bool accepted = false;
    bool highlighted = false;
    if (control == m_form->lWin || control == m_form->QueueView) {
        accepted = fromHost && m_form->currentLocalFolder().size() >= 3;
    } else if (control == m_form->rWin) {
        accepted = !fromHost;
    } else if (control == m_form->LPathTree) {
        QTreeWidgetItem *node = nodeAt(control, pos);
        accepted = fromHost && node && node->parent();
        if (accepted) {
            setHighlight(m_form->LPathTree, node);
            highlighted = true;
        }
    } else if (control == m_form->RPathTree) {
        QTreeWidgetItem *node = nodeAt(control, pos);
        accepted = !fromHost && node;
        if (accepted) {
            setHighlight(m_form->RPathTree, node);
            highlighted = true;
        }
    } else if (control == m_form->lbookmark) {
        accepted = fromHost && m_form->bookmarks()->selectedIndex(Bookmarks::LocalSide) >= 0;
    } else if (control == m_form->rbookmark) {
        accepted = !fromHost && m_form->bookmarks()->selectedIndex(Bookmarks::HostSide) >= 0;
    }
    if (!highlighted)
        clearHighlight();
    return accepted;
}

void DragDrop::setHighlight(QTreeWidget *tree, QTreeWidgetItem *node)
{
    if (tree == m_highlightTree && node == m_highlightNode)
        return;
    clearHighlight();
    node->setData(0, DropHighlightRole, true);
    node->setBackground(0, tree->palette().highlight());
    node->setForeground(0, tree->palette().highlightedText());
    m_highlightTree = tree;
    m_highlightNode = node;
}

void DragDrop::clearHighlight()
{
    if (!m_highlightTree)
        return;
    // The marked node is looked up again: the tree may have lost it meanwhile.
    for (QTreeWidgetItemIterator it(m_highlightTree); *it; ++it) {
        if ((*it)->data(0, DropHighlightRole).toBool()) {
            (*it)->setData(0, DropHighlightRole, QVariant());
            (*it)->setData(0, Qt::BackgroundRole, QVariant());
            (*it)->setData(0, Qt::ForegroundRole, QVariant());
        }
    }
    m_highlightTree = nullptr;
    m_highlightNode = nullptr;
}

// ---- Dropped ----

void DragDrop::OnOLEDragDrop(QWidget *control, const QStringList &names, const QPoint &pos)
{
    try {
        if (control == m_form->lWin || control == m_form->LPathTree || control == m_form->lbookmark
            || control == m_form->QueueView)
            downloadDrop(control, pos);
        else if (control == m_form->rWin || control == m_form->RPathTree
                 || control == m_form->rbookmark)
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
    if (control == m_form->lWin) {
        target = m_form->currentLocalFolder();
    } else if (control == m_form->QueueView) {
        const QString download = m_form->options().DownLoadFolder;
        target = download.size() >= 2 ? download : m_form->currentLocalFolder();
    } else if (control == m_form->LPathTree) {
        QTreeWidgetItem *node = nodeAt(control, pos);
        if (node && node->parent())
            target = m_form->localNodePath(node);
    } else if (control == m_form->lbookmark) {
        target = bookmarkFolder(m_engine->localBookmarks(),
                                m_form->bookmarks()->selectedIndex(Bookmarks::LocalSide));
    }
    target = realLocalFolder(target);
    if (!target.isEmpty() && !target.endsWith(Backslash))
        target += Backslash;
    return target.size() >= 3 ? target : QString();
}

QString DragDrop::hostDropTarget(QWidget *control, const QPoint &pos) const
{
    QString target;
    if (control == m_form->rWin) {
        target = m_form->currentHostFolder();
    } else if (control == m_form->RPathTree) {
        if (QTreeWidgetItem *node = nodeAt(control, pos))
            target = m_form->hostNodePath(node);
    } else if (control == m_form->rbookmark) {
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
        if (canReceive(name) && TransferQueue::HostNameCanTravel(folder))
            queue.append(TransferQueue::DownloadTreeEntry(folder, target + name + Backslash));
        else
            skip(folder);
    }
    for (const QString &file : std::as_const(files)) {
        const QString name = lastPart(file);
        if (canReceive(name) && TransferQueue::HostNameCanTravel(file))
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
        queue.append(TransferQueue::MakeFolderEntry(target + name + Backslash));
        m_engine->UploadFolderTree(folder, target + name + Backslash);
    }
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
    TransferQueue &queue = m_engine->transferQueue();
    QStringList tracked;
    for (int i = 0; i < hostItems.size() && i < localItems.size(); ++i) {
        const QString &host = hostItems.at(i);
        const QString &local = localItems.at(i);
        const QString name = lastPart(host);
        if (!canReceive(name) || !TransferQueue::HostNameCanTravel(host)) {
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
    DragDropTracker tracker(*m_engine, m_engine->tempFolders().dragDrop());
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
                         .arg(LocalToNative(m_engine->tempFolders().dragDrop())));
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
                    text,
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
