// TForm1: the panes composed into the window, the status bar, the pop-up menus, and the
// commands that go to the active side.
#include "ui/tform1.h"

#include "tasks/taskengine.h"
#include "ui/hostpane.h"
#include "ui/localpane.h"
#include "ui/logpanel.h"
#include "ui/queuetotals.h"
#include "ui/reportedfailure.h"
#include "ui/taskpanel.h"
#include "widgets/filelistview.h"

#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QSplitter>
#include <QStatusBar>
#include <QTreeWidget>
#include <QVBoxLayout>

void TForm1::createPanes()
{
    auto *winPanel = new QWidget(this);
    winPanel->setObjectName(QStringLiteral("WinPanel"));
    auto *winLayout = new QVBoxLayout(winPanel);
    winLayout->setContentsMargins(0, 0, 0, 0);
    winLayout->setSpacing(0);
    topbevel = new QFrame(winPanel);
    topbevel->setObjectName(QStringLiteral("topbevel"));
    topbevel->setFrameShape(QFrame::HLine);
    topbevel->setFrameShadow(QFrame::Sunken);
    winLayout->addWidget(topbevel);

    winSplit = new QSplitter(Qt::Vertical, winPanel);
    winSplit->setObjectName(QStringLiteral("Splitter1"));
    winSplit->setHandleWidth(2);
    winSplit->setChildrenCollapsible(false);
    winLayout->addWidget(winSplit);

    topwinspanel = new QSplitter(Qt::Horizontal, winSplit);
    topwinspanel->setObjectName(QStringLiteral("topwinspanel"));
    topwinspanel->setHandleWidth(3);
    topwinspanel->setChildrenCollapsible(false);

    m_taskPanel = new TaskPanel(*m_engine, topwinspanel);
    m_localPane = new LocalPane(m_icons, topwinspanel);
    m_hostPane = new HostPane(*m_engine, m_icons, Dialog, topwinspanel);
    topwinspanel->setStretchFactor(0, 0);
    topwinspanel->setStretchFactor(1, 0);
    topwinspanel->setStretchFactor(2, 1);

    m_logPanel = new LogPanel(winSplit);
    winSplit->setStretchFactor(0, 1);
    winSplit->setStretchFactor(1, 0);

    setCentralWidget(winPanel);

    connect(m_localPane, &LocalPane::selectionChanged, this, &TForm1::UpdateInterface);
    connect(m_hostPane, &HostPane::selectionChanged, this, &TForm1::UpdateInterface);
    connect(m_taskPanel, &TaskPanel::stateChanged, this, &TForm1::UpdateInterface);
    connect(m_taskPanel, &TaskPanel::maxTasksChanged, this, &TForm1::maxTasksChanged);
    connect(m_localPane, &LocalPane::fileOpenRequested, this, &TForm1::localFileOpenRequested);
    connect(m_hostPane, &HostPane::fileOpenRequested, this, &TForm1::hostFileOpenRequested);
    connect(m_hostPane, &HostPane::shownChanged, this, [this](bool shown) {
        if (shown)
            applyHostTreeSize();
        UpdateInterface();
    });
    connect(m_hostPane, &HostPane::listRefilled, this, [this](bool hadFocus) {
        if (!hadFocus && m_focus)
            m_focus->setFocus(Qt::OtherFocusReason);
    });
    connect(m_hostPane, &HostPane::statusClicked, this, [this] {
        if (!focusIn(m_hostPane->RPathTree()))
            m_hostPane->rWin()->setFocus(Qt::MouseFocusReason);
        Menu_ChangeFolderClick(true);
    });
    connect(m_localPane, &LocalPane::statusClicked, this, [this] {
        if (!focusIn(m_localPane->LPathTree()))
            m_localPane->lWin()->setFocus(Qt::MouseFocusReason);
        Menu_ChangeFolderClick(true);
    });
}

void TForm1::createStatusBar()
{
    const int widths[3] = {80, 87, 50};
    const QString texts[3] = {tr("Tasks: 0 of 0"), tr("Queue Size: 0"), QString()};
    for (int i = 0; i < 3; ++i) {
        statPanels[i] = new QLabel(texts[i], statusBar());
        statPanels[i]->setObjectName(QStringLiteral("stat%1").arg(i));
        statPanels[i]->setAlignment(Qt::AlignCenter);
        statPanels[i]->setFrameShape(QFrame::StyledPanel);
        statPanels[i]->setFrameShadow(QFrame::Sunken);
        statPanels[i]->setMinimumWidth(widths[i]);
        statusBar()->addWidget(statPanels[i], i == 2 ? 1 : 0);
    }
    statLock = new QLabel(QStringLiteral("\U0001F512 TLS"), statusBar());
    statLock->setObjectName(QStringLiteral("statLock"));
    statLock->setVisible(false);
    statusBar()->addPermanentWidget(statLock);
    statTotals = new QLabel(statusBar());
    statTotals->setObjectName(QStringLiteral("statTotals"));
    statTotals->setVisible(false);
    statusBar()->addPermanentWidget(statTotals);
    queueTotals = new QueueTotals(*m_engine, this);
    connect(queueTotals, &QueueTotals::changed, statTotals, [this] {
        statTotals->setText(queueTotals->text());
        statTotals->setVisible(!statTotals->text().isEmpty());
    });
    statPanels[0]->installEventFilter(this);
    statPanels[0]->setToolTip(tr("Left click: one more task; right click: one fewer"));
}

void TForm1::createPopups()
{
    struct Entry
    {
        QString caption;
        QAction *menuItem;
    };
    auto build = [this](const char *name, const QList<Entry> &entries) {
        auto *menu = new QMenu(this);
        menu->setObjectName(QLatin1String(name));
        for (const Entry &entry : entries) {
            QAction *item = menu->addAction(entry.caption);
            if (entry.menuItem)
                connect(item, &QAction::triggered, entry.menuItem, &QAction::trigger);
        }
        QAction *properties = menu->addAction(tr("&Properties"));
        properties->setVisible(false);
        properties->setEnabled(false);
        // Each item follows the menu item it stands for when the menu opens.
        connect(menu, &QMenu::aboutToShow, this, [this, menu, entries, properties] {
            UpdateInterface();
            const QList<QAction *> items = menu->actions();
            for (int i = 0; i < entries.size(); ++i)
                items[i]->setEnabled(entries[i].menuItem && entries[i].menuItem->isEnabled());
            properties->setEnabled(false);
        });
        return menu;
    };
    LPopUp = build("LPopUp",
                   {{tr("&Open"), Menu_Open},
                    {tr("&View"), Menu_View},
                    {tr("&Upload"), Menu_Transfer},
                    {tr("&Delete"), Menu_Delete},
                    {tr("&Rename"), Menu_Rename}});
    RPopUp = build("RPopUp",
                   {{tr("&Open"), Menu_Open},
                    {tr("&View"), Menu_View},
                    {tr("Do&wnload"), Menu_Transfer},
                    {tr("&Delete"), Menu_Delete},
                    {tr("&Rename"), Menu_Rename}});
    LPopUp->setDefaultAction(LPopUp->actions().first());
    RPopUp->setDefaultAction(RPopUp->actions().first());
    LFolderPopUp = build("LFolderPopUp",
                         {{tr("&Upload"), Menu_Transfer},
                          {tr("&Refresh"), Menu_Reload},
                          {tr("&New"), Menu_NewFolder},
                          {tr("&Delete"), Menu_Delete}});
    RFolderPopUp = build("RFolderPopUp",
                         {{tr("Do&wnload"), Menu_Transfer},
                          {tr("&Refresh"), Menu_Reload},
                          {tr("&New"), Menu_NewFolder},
                          {tr("&Delete"), Menu_Delete},
                          {tr("&Buffer"), Menu_Buffer}});
    m_localPane->setPopups(LPopUp, LFolderPopUp);
    m_hostPane->setPopups(RPopUp, RFolderPopUp);
}

void TForm1::statMouseDown(Qt::MouseButton button, int x)
{
    if (x > statPanels[0]->width())
        return;
    if (button == Qt::LeftButton)
        m_taskPanel->stepMaxTasks(1);
    else if (button == Qt::RightButton)
        m_taskPanel->stepMaxTasks(-1);
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress && watched == statPanels[0]) {
        auto *press = static_cast<QMouseEvent *>(event);
        statMouseDown(press->button(), int(press->position().x()));
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::onFocusChanged(QWidget *old, QWidget *now)
{
    // Menus and other pop-ups take the focus for a moment; the commands keep acting on the
    // control that had it inside this window.
    if (!now || now->window() != this)
        return;
    m_focus = now;
    UpdateInterface();
}

bool TForm1::focusIn(const QWidget *widget) const
{
    const QWidget *focus = m_focus.data();
    return focus && (focus == widget || widget->isAncestorOf(focus)) && focus->isVisible();
}

bool TForm1::localSideActive() const
{
    return focusIn(m_localPane->lWin()) || focusIn(m_localPane->LPathTree());
}

bool TForm1::hostSideActive() const
{
    return focusIn(m_hostPane->rWin()) || focusIn(m_hostPane->RPathTree());
}

QString TForm1::currentLocalFolder() const
{
    return m_localPane->currentFolder();
}

QString TForm1::currentHostFolder() const
{
    return m_hostPane->currentFolder();
}

void TForm1::ChangeLocalFolder(const QString &folder)
{
    m_localPane->ChangeLocalFolder(folder);
}

void TForm1::FillFileList(bool host)
{
    RunReportingFailure(logLine(), "!!: Error u2-5531 - Please Report to Author.", [&] {
        if (host)
            m_hostPane->FillFileList();
        else
            m_localPane->FillFileList();
    });
}

int TForm1::AddFileItem(bool noDupCheck,
                        FileListView *list,
                        qint64 date,
                        qint64 size,
                        const QString &name,
                        const QString &folder)
{
    int row = -1;
    RunReportingFailure(logLine(), "!!: Error u2-4433 - Please Report to Author.", [&] {
        row = list == m_hostPane->rWin()
                      ? m_hostPane->AddFileItem(noDupCheck, date, size, name, folder)
                      : m_localPane->AddFileItem(noDupCheck, date, size, name, folder);
    });
    return row;
}

QTreeWidgetItem *TForm1::FindFolderNode(QTreeWidget *tree, const QString &path)
{
    QTreeWidgetItem *node = nullptr;
    RunReportingFailure(logLine(), "!!: Error u2-2342 - Please Report to Author", [&] {
        node = tree == m_hostPane->RPathTree() ? m_hostPane->FindFolderNode(path)
                                               : m_localPane->FindFolderNode(path);
    });
    return node;
}

void TForm1::SortListView(FileListView *list, int column)
{
    if (list == m_hostPane->rWin())
        m_hostPane->sortList(column);
    else
        m_localPane->sortList(column);
}

void TForm1::Menu_ReloadClick()
{
    if (localSideActive())
        m_localPane->reload();
    else
        m_hostPane->reload();
}

void TForm1::Menu_ChangeFolderClick(bool fromStatus)
{
    RunReportingFailure(logLine(), "!!: Error u1-61112 - Please Report to Author.", [&] {
        if (localSideActive())
            m_localPane->changeFolder(fromStatus);
        else if (hostSideActive())
            m_hostPane->changeFolder();
    });
}

void TForm1::Menu_BufferClick()
{
    m_hostPane->Menu_BufferClick();
}
