// TForm1: interface modes, view styles, toolbar labels, sorting and the command states.
#include "ui/tform1.h"

#include "tasks/taskengine.h"
#include "ui/hostpane.h"
#include "ui/localpane.h"
#include "ui/paneitems.h"
#include "ui/reportedfailure.h"
#include "ui/taskpanel.h"
#include "ui/tlogin.h"
#include "widgets/filelistview.h"

#include <QAction>
#include <QListView>
#include <QPushButton>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

namespace {

int pick(const QList<int> &sizes, int i)
{
    return i < sizes.size() ? sizes.at(i) : 0;
}

} // namespace

TForm1::InterfaceMode TForm1::interfaceMode() const
{
    if (!m_localPane->isHidden())
        return DoubleView;
    if (!m_taskPanel->isHidden())
        return TaskViewMode;
    return SingleView;
}

int TForm1::hostTreeSizeIndex() const
{
    switch (interfaceMode()) {
    case SingleView:
        return 0;
    case DoubleView:
        return 6;
    case TaskViewMode:
        return 12;
    }
    return 6;
}

void TForm1::applyHostTreeSize()
{
    const int size = ViewLayout[hostTreeSizeIndex()];
    m_hostPane->rPanelSplit()->setSizes(
            {size,
             qMax(1,
                  (m_hostPane->rPanelSplit()->orientation() == Qt::Horizontal
                           ? m_hostPane->rpanel2()->width()
                           : m_hostPane->rpanel2()->height())
                          - size)});
}

void TForm1::saveModeSizes()
{
    // Splitter sizes are only real while the splitter is shown in the window (the host pane's
    // inner panel is hidden while offline); otherwise the table keeps what was applied. They
    // stay real after the window closed, when the layout is saved.
    const bool panesShown = topwinspanel->isVisibleTo(this);
    const bool hostShown = m_hostPane->rPanelSplit()->isVisibleTo(this);
    int columns = 1;
    switch (interfaceMode()) {
    case SingleView:
        columns = 1;
        break;
    case DoubleView:
        if (panesShown)
            ViewLayout[5] = pick(topwinspanel->sizes(), 1);
        columns = 7;
        break;
    case TaskViewMode:
        if (panesShown)
            ViewLayout[11] = pick(topwinspanel->sizes(), 0);
        columns = 13;
        break;
    }
    if (hostShown)
        ViewLayout[hostTreeSizeIndex()] = pick(m_hostPane->rPanelSplit()->sizes(), 0);
    for (int i = 0; i < 4; ++i)
        ViewLayout[columns + i] = m_hostPane->rWin()->columnWidth(i);
}

void TForm1::SetGUI(QAction *sender)
{
    RunReportingFailure(logLine(), "!!: Error u2-251 - Please Report to Author.", [&] {
        applyInterfaceMode(sender);
    });
}

void TForm1::applyInterfaceMode(QAction *sender)
{
    if (m_modeApplied)
        saveModeSizes();
    m_modeApplied = true;

    const bool visible = isVisible();
    if (visible)
        setUpdatesEnabled(false);

    const int total = qMax(topwinspanel->width(), width());
    int columns = 1;
    if (sender == Menu_ViewSingle) {
        m_localPane->hide();
        m_taskPanel->hide();
        m_hostPane->rPanelSplit()->setOrientation(Qt::Horizontal);
        m_hostPane->rPanelSplit()->setHandleWidth(3);
        applyHostTreeSize();
        columns = 1;
        tbBtn_iSingle->setChecked(true);
        Menu_ViewSingle->setChecked(true);
    } else if (sender == Menu_ViewDouble) {
        m_taskPanel->hide();
        m_localPane->show();
        topwinspanel->setSizes({0, ViewLayout[5], qMax(1, total - ViewLayout[5])});
        m_hostPane->rPanelSplit()->setOrientation(Qt::Vertical);
        m_hostPane->rPanelSplit()->setHandleWidth(2);
        applyHostTreeSize();
        columns = 7;
        m_localPane->buildTree();
        tbBtn_iDouble->setChecked(true);
        Menu_ViewDouble->setChecked(true);
    } else if (sender == Menu_ViewTask) {
        m_localPane->hide();
        m_taskPanel->show();
        topwinspanel->setSizes({ViewLayout[11], 0, qMax(1, total - ViewLayout[11])});
        m_hostPane->rPanelSplit()->setOrientation(Qt::Vertical);
        m_hostPane->rPanelSplit()->setHandleWidth(2);
        applyHostTreeSize();
        columns = 13;
        tbBtn_iTask->setChecked(true);
        Menu_ViewTask->setChecked(true);
    } else {
        if (visible)
            setUpdatesEnabled(true);
        return;
    }
    m_hostPane->rPanelSplit()->handle(1)->setCursor(sender == Menu_ViewSingle ? Qt::SplitHCursor
                                                                              : Qt::SplitVCursor);
    for (int i = 0; i < 4; ++i)
        m_hostPane->rWin()->setColumnWidth(i, ViewLayout[columns + i]);

    if (visible) {
        const bool hostShown
                = m_hostPane->rpanel2()->isVisible() && m_hostPane->rpanel2()->width() > 0;
        if (sender == Menu_ViewDouble) {
            if (!hostShown)
                m_localPane->lWin()->setFocus(Qt::OtherFocusReason);
        } else if (hostShown) {
            m_hostPane->rWin()->setFocus(Qt::OtherFocusReason);
        } else {
            m_hostPane->setFocus(Qt::OtherFocusReason);
        }
        UpdateInterface();
        setUpdatesEnabled(true);
    }
}

FileListView *TForm1::activeList() const
{
    if (focusIn(m_localPane->LPathTree()) || focusIn(m_localPane->lWin()))
        return m_localPane->lWin();
    if (focusIn(m_hostPane->RPathTree()) || focusIn(m_hostPane->rWin()))
        return m_hostPane->rWin();
    return nullptr;
}

int TForm1::countSelected(FileListView *list) const
{
    if (!focusIn(list))
        return 0;
    if (list == m_localPane->lWin() && m_localPane->atTopLevel())
        return 0;
    int count = list->selectedCount();
    if (count > 0 && list->firstSelectedRow() == 0 && list->kind(0) == FileListView::ParentEntry)
        --count;
    return count;
}

bool TForm1::folderSelected() const
{
    for (FileListView *list : {m_localPane->lWin(), m_hostPane->rWin()}) {
        if (focusIn(list)) {
            const int row = list->firstSelectedRow();
            return row >= 0 && list->text(row, FileListView::SizeColumn).isEmpty();
        }
    }
    for (QTreeWidget *tree : {m_localPane->LPathTree(), m_hostPane->RPathTree()}) {
        if (focusIn(tree)) {
            const QTreeWidgetItem *node = tree->currentItem();
            return node && node->isSelected()
                   && node->data(0, PaneItems::OrdinaryFolderRole).toBool();
        }
    }
    return false;
}

void TForm1::markSplitter(QSplitter *splitter, bool grey)
{
    QSplitterHandle *handle = splitter->handle(1);
    if (!handle)
        return;
    QPalette pal = handle->palette();
    pal.setColor(QPalette::Window,
                 grey ? QColor(0x80, 0x80, 0x80) : palette().color(QPalette::Button));
    handle->setPalette(pal);
    handle->setAutoFillBackground(true);
    handle->setProperty("marked", grey);
}

void TForm1::setListTabStop(FileListView *list, bool on)
{
    for (QWidget *view :
         {static_cast<QWidget *>(list->detailsView()), static_cast<QWidget *>(list->iconView())})
        view->setFocusPolicy(on ? Qt::StrongFocus : Qt::ClickFocus);
}

void TForm1::UpdateInterface()
{
    if (!Menu_Open || !m_localPane || !m_hostPane || !m_taskPanel)
        return;
    // The control that shows as focused is the one the commands act on, also when the focus
    // moved while the window was not active (a list filled after a dialog closed, with no
    // window manager to activate the window again); pop-ups never become it.
    if (QWidget *focus = focusWidget(); focus && focus->isVisible())
        m_focus = focus;
    const bool connected = isConnected();
    const bool ready = isReady();
    const bool lTree = focusIn(m_localPane->LPathTree());
    const bool rTree = focusIn(m_hostPane->RPathTree());
    const bool lList = focusIn(m_localPane->lWin());
    const bool rList = focusIn(m_hostPane->rWin());
    const int L = countSelected(m_localPane->lWin());
    const int R = countSelected(m_hostPane->rWin());
    const bool folderSel = folderSelected();
    const InterfaceMode mode = interfaceMode();

    // 1. The splitter of the active side turns grey in double view.
    if (mode == DoubleView) {
        if (lTree || lList) {
            markSplitter(m_localPane->lPanelSplit(), true);
            markSplitter(m_hostPane->rPanelSplit(), false);
        } else if (rTree || rList) {
            markSplitter(m_localPane->lPanelSplit(), false);
            markSplitter(m_hostPane->rPanelSplit(), true);
        }
    } else if (m_hostPane->rPanelSplit()->handle(1)
               && m_hostPane->rPanelSplit()->handle(1)->property("marked").toBool()) {
        markSplitter(m_hostPane->rPanelSplit(), false);
    }

    // 2. Tab stops.
    setListTabStop(m_localPane->lWin(), mode == DoubleView);
    m_localPane->LPathTree()->setFocusPolicy(mode == DoubleView ? Qt::StrongFocus : Qt::ClickFocus);
    setListTabStop(m_hostPane->rWin(), connected);
    m_hostPane->RPathTree()->setFocusPolicy(connected ? Qt::StrongFocus : Qt::ClickFocus);
    m_taskPanel->updateCommands(focusIn(m_taskPanel->TaskView()),
                                focusIn(m_taskPanel->QueueView()),
                                mode == TaskViewMode);

    // 3. Enabled and checked states.
    const bool anyPane = lTree || rTree || lList || rList;
    Menu_QuickConnect->setEnabled(!connected);
    Menu_Open->setEnabled(anyPane);
    Menu_View->setEnabled(!folderSel && (L > 0 || R > 0));
    Menu_Transfer->setEnabled((ready && (lTree || L > 0)) || rTree || R > 0);
    Menu_NewFolder->setEnabled(anyPane);
    for (QAction *item : {Menu_ChangeFolder,
                          Menu_Reload,
                          Menu_ViewBookmarks,
                          Menu_ViewLarge,
                          Menu_ViewSmall,
                          Menu_ViewList,
                          Menu_ViewDetails})
        item->setEnabled(anyPane);
    Menu_Buffer->setEnabled(rList || rTree);
    Menu_Delete->setEnabled(lTree || rTree || L > 0 || R > 0);
    Menu_Rename->setEnabled(L > 0 || R > 0);
    Menu_Disconnect->setEnabled(connected);
    Menu_ViewInterfaceCtrl->setChecked(TB_Main->isVisibleTo(this));
    Menu_ViewGeneralCtrl->setChecked(TB_Online->isVisibleTo(this));
    Menu_ViewLabels->setChecked(TB_Online->toolButtonStyle() == Qt::ToolButtonTextUnderIcon);
    const FileListView *active = (lTree || lList)   ? m_localPane->lWin()
                                 : (rTree || rList) ? m_hostPane->rWin()
                                                    : nullptr;
    QAction *const styles[4] = {Menu_ViewLarge, Menu_ViewSmall, Menu_ViewList, Menu_ViewDetails};
    for (int i = 0; i < 4; ++i)
        styles[i]->setChecked(active && active->viewStyle() == i);
    Menu_ShowLoginInfo->setEnabled(LogIn && LogIn->lineCount() > 0);

    // 4. The toolbar follows while it is enabled.
    if (TB_Online->isEnabled()) {
        tbBtn_Open->setEnabled(Menu_Open->isEnabled());
        tbBtn_Stop->setEnabled(connected || m_engine->ReconnectCountdown() > 0);
        tbBtn_Upload->setEnabled(ready && (lTree || L > 0));
        tbBtn_MkFolder->setEnabled(Menu_NewFolder->isEnabled());
        tbBtn_Reload->setEnabled(Menu_Reload->isEnabled());
        tbBtn_Download->setEnabled(rTree || R > 0);
        tbBtn_Delete->setEnabled(Menu_Delete->isEnabled());
    }
}

void TForm1::setViewStyleOfActive(int style)
{
    if (FileListView *list = activeList())
        list->setViewStyle(FileListView::ViewStyle(style));
    UpdateInterface();
}

void TForm1::Menu_ViewLargeClick()
{
    setViewStyleOfActive(FileListView::LargeIcons);
}

void TForm1::Menu_ViewSmallClick()
{
    setViewStyleOfActive(FileListView::SmallIcons);
}

void TForm1::Menu_ViewListClick()
{
    setViewStyleOfActive(FileListView::List);
}

void TForm1::Menu_ViewDetailsClick()
{
    setViewStyleOfActive(FileListView::Details);
}

void TForm1::Menu_ViewInterfaceCtrlClick()
{
    TB_Main->setVisible(Menu_ViewInterfaceCtrl->isChecked());
    UpdateInterface();
}

void TForm1::Menu_ViewGeneralCtrlClick()
{
    TB_Online->setVisible(Menu_ViewGeneralCtrl->isChecked());
    UpdateInterface();
}

void TForm1::Menu_ViewLabelsClick()
{
    ApplyTextLabels(Menu_ViewLabels->isChecked());
    UpdateInterface();
}

void TForm1::ApplyTextLabels(bool on)
{
    for (QToolBar *bar : {TB_Online, TB_Main}) {
        bar->setToolButtonStyle(on ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
        for (QAction *action : bar->actions()) {
            QWidget *button = bar->widgetForAction(action);
            if (!button
                || !action->objectName().startsWith(QLatin1String("tbbtn"), Qt::CaseInsensitive))
                continue;
            if (on)
                button->setFixedSize(qMax(48, button->sizeHint().width()), 40);
            else if (action->objectName() == QLatin1String("tbBtn_ViewMode"))
                button->setFixedSize(32, 22);
            else
                button->setFixedSize(23, 22);
        }
    }
}

void TForm1::DockTopInsertRemoveBar()
{
    bool docked = false;
    for (QToolBar *bar : {TB_Online, TB_Main}) {
        if (bar->isVisibleTo(this) && !bar->isFloating() && toolBarArea(bar) == Qt::TopToolBarArea)
            docked = true;
    }
    topbevel->setVisible(!docked);
}
