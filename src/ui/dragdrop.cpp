// Drag and drop of the main window: where a drag may start, which views take a drop of what,
// and the queue entries a drop turns into.
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
// Marks the tree node that shows the drop highlight.
constexpr int DropHighlightRole = Qt::UserRole + 40;
} // namespace

DragDrop::DragDrop(TForm1 *form, TaskEngine *engine, QObject *parent)
    : QObject(parent)
    , m_form(form)
    , m_local(form->localPane())
    , m_host(form->hostPane())
    , m_engine(engine)
{
    m_dragLoop = [](QDrag *drag) {
        drag->exec(Qt::CopyAction, Qt::CopyAction);
    };
    // A press on an item that is already selected keeps the selection until the release, so
    // that several items can be dragged; the views' own drags never start (the moves are ours).
    for (FileListView *list : {form->localPane()->lWin(), form->hostPane()->rWin()}) {
        list->detailsView()->setDragEnabled(true);
        list->iconView()->setDragEnabled(true);
        list->iconView()->setMovement(QListView::Static);
    }
    watch(form->localPane()->lWin(), form->localPane()->lWin()->detailsView()->viewport());
    watch(form->localPane()->lWin(), form->localPane()->lWin()->iconView()->viewport());
    watch(form->hostPane()->rWin(), form->hostPane()->rWin()->detailsView()->viewport());
    watch(form->hostPane()->rWin(), form->hostPane()->rWin()->iconView()->viewport());
    watch(form->localPane()->LPathTree(), form->localPane()->LPathTree()->viewport());
    watch(form->hostPane()->RPathTree(), form->hostPane()->RPathTree()->viewport());
    watch(form->taskPanel()->QueueView(), form->taskPanel()->QueueView()->viewport());
    watch(form->localPane()->lbookmark(), form->localPane()->lbookmark());
    watch(form->hostPane()->rbookmark(), form->hostPane()->rbookmark());
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
        m_pressedOn = control;
        m_dragTried = false;
        return false;
    case QEvent::MouseButtonRelease:
        m_pressedOn = nullptr;
        return false;
    case QEvent::MouseMove: {
        // The first move with a button down over the focused control starts the drag. The
        // moves of that press stay ours, so that the view never starts a drag of its own.
        const auto *move = static_cast<QMouseEvent *>(event);
        const bool source = control == m_local->lWin() || control == m_local->LPathTree()
                            || control == m_host->rWin() || control == m_host->RPathTree();
        if (!source || !(move->buttons() & (Qt::LeftButton | Qt::RightButton))
            || m_pressedOn != control)
            return false;
        if (!m_dragTried) {
            m_dragTried = true;
            if (m_form->focusIn(control))
                startDrag(control);
        }
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
    if (control == m_local->lWin()) {
        state = FromLWin;
        ok = startListDrag(false, sources);
    } else if (control == m_local->LPathTree()) {
        state = FromLPathTree;
        ok = startTreeDrag(false, sources);
    } else if (control == m_host->rWin()) {
        state = FromRWin;
        ok = startListDrag(true, sources);
    } else if (control == m_host->RPathTree()) {
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
    FileListView *list = host ? m_host->rWin() : m_local->lWin();
    const QList<int> rows = list->selectedRows();
    if (rows.isEmpty() || (list->kind(0) == FileListView::ParentEntry && rows.first() == 0))
        return false;
    QString folder;
    if (host) {
        folder = m_host->currentFolder();
    } else {
        // The top level holds the Desktop and the drives, which are not dragged.
        folder = ResolveDesktopPath(m_local->currentFolder());
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
    QTreeWidget *tree = host ? m_host->RPathTree() : m_local->LPathTree();
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
        m_internalDragList.append(m_host->nodePath(node));
        sources.append(m_engine->tempFolders().dragDrop() + node->text(0) + Backslash);
        return true;
    }
    // Only ordinary folders: the root, the Desktop and the drives stay.
    if (!node->parent() || !node->parent()->parent())
        return false;
    m_local->LPathTree_ChangeFolder();
    sources.append(withoutSeparator(ResolveDesktopPath(m_local->nodePath(node))));
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
    if (control == m_local->lWin() || control == m_form->taskPanel()->QueueView()) {
        accepted = fromHost && m_local->currentFolder().size() >= 3;
    } else if (control == m_host->rWin()) {
        accepted = !fromHost;
    } else if (control == m_local->LPathTree()) {
        QTreeWidgetItem *node = nodeAt(control, pos);
        accepted = fromHost && node && node->parent();
        if (accepted) {
            setHighlight(m_local->LPathTree(), node);
            highlighted = true;
        }
    } else if (control == m_host->RPathTree()) {
        QTreeWidgetItem *node = nodeAt(control, pos);
        accepted = !fromHost && node;
        if (accepted) {
            setHighlight(m_host->RPathTree(), node);
            highlighted = true;
        }
    } else if (control == m_local->lbookmark()) {
        accepted = fromHost && m_form->bookmarks()->selectedIndex(Bookmarks::LocalSide) >= 0;
    } else if (control == m_host->rbookmark()) {
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

// ---- Path helpers ----

QString DragDrop::withoutSeparator(const QString &path)
{
    return path.endsWith(Backslash) ? path.left(path.size() - 1) : path;
}

QString DragDrop::lastPart(const QString &path)
{
    const QString trimmed = withoutSeparator(path);
    return trimmed.mid(trimmed.lastIndexOf(Backslash) + 1);
}

bool DragDrop::dragFromHost(int state)
{
    return state == FromRWin || state == FromRPathTree;
}
