// The task panel: the engine's task and queue rows and the controls that act on them.
#include "ui/taskpanel.h"

#include "tasks/taskengine.h"
#include "ui/failedpanel.h"
#include "ui/failedtransfers.h"
#include "ui/taskprogressmodel.h"
#include "widgets/progressdelegate.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QIdentityProxyModel>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

// The engine's caption rows under the column caption of their list.
class CaptionHeader : public QIdentityProxyModel
{
public:
    CaptionHeader(QAbstractItemModel *source, const QString &caption, QObject *parent)
        : QIdentityProxyModel(parent)
        , m_caption(caption)
    {
        setSourceModel(source);
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole)
            return m_caption;
        return QIdentityProxyModel::headerData(section, orientation, role);
    }

private:
    QString m_caption;
};

QTreeView *newTaskList(QWidget *parent, const char *name, const QString &caption)
{
    auto *view = new QTreeView(parent);
    view->setObjectName(QLatin1String(name));
    view->setRootIsDecorated(false);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setUniformRowHeights(true);
    // The column caption of a list without rows; the engine's row model replaces it.
    auto *model = new QStandardItemModel(0, 1, view);
    model->setHorizontalHeaderLabels({caption});
    view->setModel(model);
    return view;
}

} // namespace

TaskPanel::TaskPanel(TaskEngine &engine, QWidget *parent)
    : QWidget(parent)
    , m_engine(engine)
{
    setObjectName(QStringLiteral("TaskPanel"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    m_splitter = new QSplitter(Qt::Vertical, this);
    m_splitter->setObjectName(QStringLiteral("tasksplitter"));
    m_splitter->setChildrenCollapsible(false);
    m_taskView = newTaskList(m_splitter, "TaskView", tr("Tasks in Progress"));
    // The queue and the transfers that finally failed share the splitter's lower part.
    m_lists = new QTabWidget(m_splitter);
    m_lists->setObjectName(QStringLiteral("QueueTabs"));
    m_lists->setDocumentMode(true);
    m_queueView = newTaskList(m_lists, "QueueView", tr("Actions Waiting in Queue"));
    m_failed = new FailedPanel(engine, m_lists);
    m_lists->addTab(m_queueView, tr("Queue"));
    m_lists->addTab(m_failed, tr("Failed"));
    // The tabs may shrink as far as the queue list alone could.
    m_lists->setMinimumHeight(m_queueView->minimumSizeHint().height());
    auto countFailed = [this] {
        const int failed = m_failed->failed()->count();
        m_lists->setTabText(1, failed ? tr("Failed (%1)").arg(failed) : tr("Failed"));
    };
    connect(m_failed->failed(), &QAbstractItemModel::rowsInserted, this, countFailed);
    connect(m_failed->failed(), &QAbstractItemModel::rowsRemoved, this, countFailed);
    layout->addWidget(m_splitter, 1);

    auto *box = new QGroupBox(this);
    auto *boxLayout = new QGridLayout(box);
    boxLayout->setContentsMargins(4, 4, 4, 4);
    boxLayout->addWidget(new QLabel(tr("Max # of tasks:"), box), 0, 0);
    m_tasksLabel = new QLabel(QStringLiteral("01"), box);
    m_tasksLabel->setObjectName(QStringLiteral("TasksLabel"));
    boxLayout->addWidget(m_tasksLabel, 0, 1);
    m_tasks = new QSlider(Qt::Horizontal, box);
    m_tasks->setObjectName(QStringLiteral("Tasks"));
    m_tasks->setRange(1, 25);
    m_tasks->setValue(1);
    m_tasks->setSingleStep(4);
    m_tasks->setPageStep(1);
    m_tasks->setToolTip(tr("Maximum number of simultaeous transfers"));
    boxLayout->addWidget(m_tasks, 1, 0);
    m_taskUpDown = new QSpinBox(box);
    m_taskUpDown->setObjectName(QStringLiteral("TaskUpDown"));
    m_taskUpDown->setRange(1, 25);
    m_taskUpDown->setValue(1);
    boxLayout->addWidget(m_taskUpDown, 1, 1);
    m_kill = new QPushButton(tr("&Kill Selected Actions"), box);
    m_kill->setObjectName(QStringLiteral("Btn_TaskKill"));
    m_kill->setEnabled(false);
    boxLayout->addWidget(m_kill, 2, 0, 1, 2);
    m_queueStop = new QPushButton(tr("&Stop Queue"), box);
    m_queueStop->setObjectName(QStringLiteral("Btn_QueueStop"));
    m_queueStop->setCheckable(true);
    boxLayout->addWidget(m_queueStop, 3, 0, 1, 2);
    layout->addWidget(box);

    connect(m_tasks, &QSlider::valueChanged, this, [this] { Change_MaxTasks(m_tasks); });
    connect(m_taskUpDown, &QSpinBox::valueChanged, this, [this] { Change_MaxTasks(m_taskUpDown); });
    // The queue's pop-up acts on queue entries, so a press there names the kill "Actions".
    m_queueView->viewport()->installEventFilter(this);

    // The engine's rows as they are.
    // Running transfers show a bar with their progress.
    setTaskModels(new TaskProgressModel(
                          engine,
                          new CaptionHeader(engine.taskRows(), tr("Tasks in Progress"), this),
                          this),
                  new CaptionHeader(engine.queueRows(), tr("Actions Waiting in Queue"), this));
    m_taskView->setItemDelegateForColumn(0, new ProgressDelegate(m_taskView));
    createPopups();
    connect(m_queueStop, &QPushButton::clicked, this, &TaskPanel::Btn_QueueStopClick);
    connect(m_kill, &QPushButton::clicked, this, &TaskPanel::Btn_TaskKillClick);
    // A click leaves the focus on the task list: the kill acts on the list that has it.
    m_kill->setFocusPolicy(Qt::TabFocus);
    m_queueStop->setFocusPolicy(Qt::TabFocus);
    connect(&engine, &TaskEngine::maxTasksChanged, this, [this](int maxTasks) {
        if (m_taskUpDown->value() == maxTasks)
            return;
        const QSignalBlocker block(m_taskUpDown);
        m_taskUpDown->setValue(maxTasks);
        Change_MaxTasks(m_taskUpDown);
    });
    connect(&engine, &TaskEngine::queueStopChanged, this, [this](bool stopped) {
        m_queueStop->setChecked(stopped);
        m_queueStop->setText(stopped ? tr("Queue &Stopped") : tr("&Stop Queue"));
    });
}

void TaskPanel::setTaskModels(QAbstractItemModel *tasks, QAbstractItemModel *queue)
{
    for (auto [view, model] : {std::pair{m_taskView, tasks}, std::pair{m_queueView, queue}}) {
        if (view->model() != model)
            view->setModel(model);
        // A new model brings a new selection model: the kill button follows that one.
        connect(view->selectionModel(),
                &QItemSelectionModel::selectionChanged,
                this,
                &TaskPanel::stateChanged,
                Qt::UniqueConnection);
    }
}

void TaskPanel::Change_MaxTasks(QObject *sender)
{
    const QSignalBlocker blockSlider(m_tasks);
    const QSignalBlocker blockUpDown(m_taskUpDown);
    if (sender != m_tasks)
        m_tasks->setValue(m_taskUpDown->value());
    else
        m_taskUpDown->setValue(m_tasks->value());
    m_tasksLabel->setText(QStringLiteral("%1").arg(m_tasks->value(), 2, 10, QLatin1Char('0')));
    Q_EMIT maxTasksChanged(m_tasks->value());
}

void TaskPanel::stepMaxTasks(int delta)
{
    m_tasks->setValue(m_tasks->value() + delta);
}

void TaskPanel::Btn_QueueStopClick()
{
    m_engine.toggleQueueStop();
    Q_EMIT stateChanged();
}

void TaskPanel::Btn_TaskKillClick()
{
    const bool tasks = m_kill->text().contains(QLatin1String("Task"));
    QTreeView *view = tasks ? m_taskView : m_queueView;
    QList<int> rows;
    for (const QModelIndex &index : view->selectionModel()->selectedRows())
        rows.append(index.row());
    if (tasks)
        m_engine.KillTasks(rows);
    else
        m_engine.RemoveQueueEntries(rows);
    Q_EMIT stateChanged();
}

void TaskPanel::updateCommands(bool taskViewFocused, bool queueViewFocused, bool tabStops)
{
    for (QTreeView *view : {m_taskView, m_queueView})
        view->setFocusPolicy(tabStops ? Qt::StrongFocus : Qt::ClickFocus);
    if (taskViewFocused) {
        m_kill->setEnabled(m_taskView->selectionModel()->hasSelection());
        m_kill->setText(tr("&Kill Selected Tasks"));
    } else if (queueViewFocused) {
        m_kill->setEnabled(m_queueView->selectionModel()->hasSelection());
        m_kill->setText(tr("&Kill Selected Actions"));
    } else {
        m_kill->setEnabled(false);
    }
}

void TaskPanel::createPopups()
{
    m_taskPopUp = new QMenu(this);
    m_taskPopUp->setObjectName(QStringLiteral("TaskPopUp"));
    QAction *kill = m_taskPopUp->addAction(tr("&Kill Selected Tasks"));
    connect(kill, &QAction::triggered, this, [this] {
        m_kill->setText(tr("&Kill Selected Tasks"));
        Btn_TaskKillClick();
    });
    m_queuePopUp = new QMenu(this);
    m_queuePopUp->setObjectName(QStringLiteral("QueuePopUp"));
    QAction *remove = m_queuePopUp->addAction(tr("&Remove Selected Entries"));
    connect(remove, &QAction::triggered, this, [this] {
        m_kill->setText(tr("&Kill Selected Actions"));
        Btn_TaskKillClick();
    });
    for (auto [view, menu] :
         {std::pair{m_taskView, m_taskPopUp}, std::pair{m_queueView, m_queuePopUp}}) {
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this, [view, menu](const QPoint &pos) {
            menu->actions().first()->setEnabled(view->selectionModel()->hasSelection());
            menu->popup(view->viewport()->mapToGlobal(pos));
        });
    }
}

bool TaskPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress && watched == m_queueView->viewport())
        m_kill->setText(tr("&Kill Selected Actions"));
    return QWidget::eventFilter(watched, event);
}
