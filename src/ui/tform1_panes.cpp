// TForm1: the panes, the task panel, the status bar and the context menus.
#include "ui/tform1.h"

#include "tasks/taskengine.h"
#include "widgets/filelistview.h"
#include "widgets/headerstatus.h"
#include "widgets/logview.h"
#include "widgets/visibletextdelegate.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QTreeView *newTaskList(QWidget *parent, const char *name, const QString &caption)
{
    auto *view = new QTreeView(parent);
    view->setObjectName(QLatin1String(name));
    view->setRootIsDecorated(false);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setUniformRowHeights(true);
    // The engine's row model replaces this one; until then the column caption shows.
    auto *model = new QStandardItemModel(0, 1, view);
    model->setHorizontalHeaderLabels({caption});
    view->setModel(model);
    return view;
}

QTreeWidget *newFolderTree(QWidget *parent, const char *name)
{
    auto *tree = new QTreeWidget(parent);
    tree->setObjectName(QLatin1String(name));
    tree->setHeaderHidden(true);
    tree->setColumnCount(1);
    tree->setIndentation(19);
    tree->setRootIsDecorated(true);
    tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    tree->setExpandsOnDoubleClick(true);
    tree->setItemDelegate(new VisibleTextDelegate(tree));
    return tree;
}

} // namespace

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

    createTaskPanel();

    // Local pane: header row, folder tree over file list.
    LPanel = new QWidget(topwinspanel);
    LPanel->setObjectName(QStringLiteral("LPanel"));
    auto *lLayout = new QVBoxLayout(LPanel);
    lLayout->setContentsMargins(0, 0, 0, 0);
    lLayout->setSpacing(1);
    auto *lHeader = new QHBoxLayout;
    lbookmark = new QPushButton(QStringLiteral("\u25BE"), LPanel);
    lbookmark->setObjectName(QStringLiteral("lbookmark"));
    lbookmark->setToolTip(tr("Local bookmarks"));
    lbookmark->setFixedWidth(22);
    lbookmark->setFocusPolicy(Qt::NoFocus);
    LStat = new HeaderStatus(LPanel);
    LStat->setObjectName(QStringLiteral("LStat"));
    lHeader->addWidget(lbookmark);
    lHeader->addWidget(LStat, 1);
    lLayout->addLayout(lHeader);
    lPanelSplit = new QSplitter(Qt::Vertical, LPanel);
    lPanelSplit->setObjectName(QStringLiteral("lPanelSplit"));
    lPanelSplit->setHandleWidth(2);
    lPanelSplit->setChildrenCollapsible(false);
    LPathTree = newFolderTree(lPanelSplit, "LPathTree");
    lWin = new FileListView(lPanelSplit);
    lWin->setObjectName(QStringLiteral("lWin"));
    lPanelSplit->setStretchFactor(1, 1);
    lLayout->addWidget(lPanelSplit, 1);

    // Host pane: the "Not connected" caption or the inner panel.
    RPanel = new QWidget(topwinspanel);
    RPanel->setObjectName(QStringLiteral("RPanel"));
    RPanel->setFocusPolicy(Qt::ClickFocus);
    auto *rOuter = new QVBoxLayout(RPanel);
    rOuter->setContentsMargins(0, 0, 0, 0);
    RPanelCaption = new QLabel(tr("Not connected"), RPanel);
    RPanelCaption->setObjectName(QStringLiteral("RPanelCaption"));
    RPanelCaption->setAlignment(Qt::AlignCenter);
    QFont big = RPanelCaption->font();
    big.setBold(true);
    big.setPointSize(big.pointSize() * 2);
    RPanelCaption->setFont(big);
    RPanelCaption->setFrameShape(QFrame::StyledPanel);
    rOuter->addWidget(RPanelCaption, 1);
    rpanel2 = new QWidget(RPanel);
    rpanel2->setObjectName(QStringLiteral("rpanel2"));
    auto *rLayout = new QVBoxLayout(rpanel2);
    rLayout->setContentsMargins(0, 0, 0, 0);
    rLayout->setSpacing(1);
    auto *rHeader = new QHBoxLayout;
    rbookmark = new QPushButton(QStringLiteral("\u25BE"), rpanel2);
    rbookmark->setObjectName(QStringLiteral("rbookmark"));
    rbookmark->setToolTip(tr("Host bookmarks"));
    rbookmark->setFixedWidth(22);
    rbookmark->setFocusPolicy(Qt::NoFocus);
    RStat = new HeaderStatus(rpanel2);
    RStat->setObjectName(QStringLiteral("RStat"));
    rHeader->addWidget(rbookmark);
    rHeader->addWidget(RStat, 1);
    rLayout->addLayout(rHeader);
    rPanelSplit = new QSplitter(Qt::Vertical, rpanel2);
    rPanelSplit->setObjectName(QStringLiteral("rPanelSplit"));
    rPanelSplit->setHandleWidth(2);
    rPanelSplit->setChildrenCollapsible(false);
    RPathTree = newFolderTree(rPanelSplit, "RPathTree");
    rWin = new FileListView(rPanelSplit);
    rWin->setObjectName(QStringLiteral("rWin"));
    rPanelSplit->setStretchFactor(1, 1);
    rLayout->addWidget(rPanelSplit, 1);
    rOuter->addWidget(rpanel2, 1);
    rpanel2->hide();

    topwinspanel->setStretchFactor(0, 0);
    topwinspanel->setStretchFactor(1, 0);
    topwinspanel->setStretchFactor(2, 1);

    logwin = new LogView(winSplit);
    logwin->setObjectName(QStringLiteral("logwin"));
    winSplit->setStretchFactor(0, 1);
    winSplit->setStretchFactor(1, 0);

    setCentralWidget(winPanel);

    for (FileListView *list : {lWin, rWin}) {
        connect(list, &FileListView::selectionChanged, this, &TForm1::UpdateInterface);
        connect(list, &FileListView::columnClicked, this, [this, list](int column) {
            SortListView(list, column + 1);
        });
        for (QAbstractItemView *view : {static_cast<QAbstractItemView *>(list->detailsView()),
                                        static_cast<QAbstractItemView *>(list->iconView())}) {
            view->setContextMenuPolicy(Qt::CustomContextMenu);
            connect(view,
                    &QWidget::customContextMenuRequested,
                    this,
                    [this, list, view](const QPoint &pos) {
                        (list == lWin ? LPopUp : RPopUp)->popup(view->viewport()->mapToGlobal(pos));
                    });
        }
    }
    connect(lWin, &FileListView::rowActivated, this, &TForm1::LWin_DblClick);
    connect(rWin, &FileListView::rowActivated, this, &TForm1::RWin_DblClick);
    connect(RPathTree, &QTreeWidget::itemExpanded, this, &TForm1::RPathTree_Expanding);
    connect(RPathTree, &QTreeWidget::itemCollapsed, this, [this] {
        m_engine->setExpandOnChange(true);
    });
    connect(RPathTree, &QTreeWidget::itemClicked, this, [this] {
        // A press opens the folder; it also expands it when the user has just expanded a node.
        m_engine->setExpandOnChange(RPathTree->property("tag").toInt() == 1);
        RPathTree->setProperty("tag", 0);
        RPathTree_ChangeFolder();
    });
    connect(RStat, &HeaderStatus::clicked, this, [this] {
        if (!focusIn(RPathTree))
            rWin->setFocus(Qt::MouseFocusReason);
        Menu_ChangeFolderClick(true);
    });
    connect(LPathTree, &QTreeWidget::itemExpanded, this, &TForm1::LPathTree_Expanding);
    connect(LPathTree, &QTreeWidget::itemClicked, this, &TForm1::LPathTree_ChangeFolder);
    connect(LStat, &HeaderStatus::clicked, this, [this] {
        if (!focusIn(LPathTree))
            lWin->setFocus(Qt::MouseFocusReason);
        Menu_ChangeFolderClick(true);
    });
    for (QTreeWidget *tree : {LPathTree, RPathTree}) {
        connect(tree, &QTreeWidget::currentItemChanged, this, &TForm1::UpdateInterface);
        tree->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(tree, &QWidget::customContextMenuRequested, this, [this, tree](const QPoint &pos) {
            (tree == LPathTree ? LFolderPopUp : RFolderPopUp)
                    ->popup(tree->viewport()->mapToGlobal(pos));
        });
    }
}

void TForm1::createTaskPanel()
{
    TaskPanel = new QWidget(topwinspanel);
    TaskPanel->setObjectName(QStringLiteral("TaskPanel"));
    auto *layout = new QVBoxLayout(TaskPanel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    tasksplitter = new QSplitter(Qt::Vertical, TaskPanel);
    tasksplitter->setObjectName(QStringLiteral("tasksplitter"));
    tasksplitter->setChildrenCollapsible(false);
    TaskView = newTaskList(tasksplitter, "TaskView", tr("Tasks in Progress"));
    QueueView = newTaskList(tasksplitter, "QueueView", tr("Actions Waiting in Queue"));
    layout->addWidget(tasksplitter, 1);

    auto *box = new QGroupBox(TaskPanel);
    auto *boxLayout = new QGridLayout(box);
    boxLayout->setContentsMargins(4, 4, 4, 4);
    boxLayout->addWidget(new QLabel(tr("Max # of tasks:"), box), 0, 0);
    TasksLabel = new QLabel(QStringLiteral("01"), box);
    TasksLabel->setObjectName(QStringLiteral("TasksLabel"));
    boxLayout->addWidget(TasksLabel, 0, 1);
    Tasks = new QSlider(Qt::Horizontal, box);
    Tasks->setObjectName(QStringLiteral("Tasks"));
    Tasks->setRange(1, 25);
    Tasks->setValue(1);
    Tasks->setSingleStep(4);
    Tasks->setPageStep(1);
    Tasks->setToolTip(tr("Maximum number of simultaeous transfers"));
    boxLayout->addWidget(Tasks, 1, 0);
    TaskUpDown = new QSpinBox(box);
    TaskUpDown->setObjectName(QStringLiteral("TaskUpDown"));
    TaskUpDown->setRange(1, 25);
    TaskUpDown->setValue(1);
    boxLayout->addWidget(TaskUpDown, 1, 1);
    Btn_TaskKill = new QPushButton(tr("&Kill Selected Actions"), box);
    Btn_TaskKill->setObjectName(QStringLiteral("Btn_TaskKill"));
    Btn_TaskKill->setEnabled(false);
    boxLayout->addWidget(Btn_TaskKill, 2, 0, 1, 2);
    Btn_QueueStop = new QPushButton(tr("&Stop Queue"), box);
    Btn_QueueStop->setObjectName(QStringLiteral("Btn_QueueStop"));
    Btn_QueueStop->setCheckable(true);
    boxLayout->addWidget(Btn_QueueStop, 3, 0, 1, 2);
    layout->addWidget(box);

    connect(Tasks, &QSlider::valueChanged, this, [this] { Change_MaxTasks(Tasks); });
    connect(TaskUpDown, &QSpinBox::valueChanged, this, [this] { Change_MaxTasks(TaskUpDown); });
    setTaskModels(TaskView->model(), QueueView->model());
    // The queue's pop-up acts on queue entries, so a press there names the kill "Actions".
    QueueView->viewport()->installEventFilter(this);
}

void TForm1::setTaskModels(QAbstractItemModel *tasks, QAbstractItemModel *queue)
{
    for (auto [view, model] : {std::pair{TaskView, tasks}, std::pair{QueueView, queue}}) {
        if (view->model() != model)
            view->setModel(model);
        // A new model brings a new selection model: the kill button follows that one.
        connect(view->selectionModel(),
                &QItemSelectionModel::selectionChanged,
                this,
                &TForm1::UpdateInterface,
                Qt::UniqueConnection);
    }
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
}

void TForm1::Change_MaxTasks(QObject *sender)
{
    const QSignalBlocker blockSlider(Tasks);
    const QSignalBlocker blockUpDown(TaskUpDown);
    if (sender != Tasks)
        Tasks->setValue(TaskUpDown->value());
    else
        TaskUpDown->setValue(Tasks->value());
    TasksLabel->setText(QStringLiteral("%1").arg(Tasks->value(), 2, 10, QLatin1Char('0')));
    Q_EMIT maxTasksChanged(Tasks->value());
}

void TForm1::statMouseDown(Qt::MouseButton button, int x)
{
    if (x > statPanels[0]->width())
        return;
    if (button == Qt::LeftButton)
        Tasks->setValue(Tasks->value() + 1);
    else if (button == Qt::RightButton)
        Tasks->setValue(Tasks->value() - 1);
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        auto *press = static_cast<QMouseEvent *>(event);
        if (watched == statPanels[0])
            statMouseDown(press->button(), int(press->position().x()));
        else if (watched == QueueView->viewport())
            Btn_TaskKill->setText(tr("&Kill Selected Actions"));
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
