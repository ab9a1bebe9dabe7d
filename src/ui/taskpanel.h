#pragma once

#include <QWidget>

class FailedPanel;
class QAbstractItemModel;
class QLabel;
class QMenu;
class QPushButton;
class QSlider;
class QSpinBox;
class QSplitter;
class QTabWidget;
class QTreeView;
class TaskEngine;

// The task panel (TaskPanel): the tasks in progress over the actions waiting in the queue, and
// the box with the maximum number of tasks, the kill button and the queue's stop button. It
// owns these controls, shows the engine's task and queue rows and forwards the user's
// commands on them to the engine.
class TaskPanel : public QWidget
{
    Q_OBJECT

public:
    // The engine must outlive the panel.
    explicit TaskPanel(TaskEngine &engine, QWidget *parent = nullptr);

    QTreeView *TaskView() const { return m_taskView; }
    QTreeView *QueueView() const { return m_queueView; }
    QSplitter *tasksplitter() const { return m_splitter; }
    QLabel *TasksLabel() const { return m_tasksLabel; }
    QSlider *Tasks() const { return m_tasks; }
    QSpinBox *TaskUpDown() const { return m_taskUpDown; }
    QPushButton *Btn_TaskKill() const { return m_kill; }
    QPushButton *Btn_QueueStop() const { return m_queueStop; }
    QMenu *TaskPopUp() const { return m_taskPopUp; }
    QMenu *QueuePopUp() const { return m_queuePopUp; }
    // The transfers that finally failed, in a tab beside the queue.
    FailedPanel *failedPanel() const { return m_failed; }
    QTabWidget *queueTabs() const { return m_lists; }

    // The row models the two lists show.
    void setTaskModels(QAbstractItemModel *tasks, QAbstractItemModel *queue);
    // Keeps the track bar, the up-down and the label of the task maximum equal.
    void Change_MaxTasks(QObject *sender);
    // One task more (delta 1) or fewer (-1) on the track bar, which keeps to 1..25.
    void stepMaxTasks(int delta);
    void Btn_TaskKillClick();
    void Btn_QueueStopClick();
    // The kill button names what the focused task list holds; disabled when neither has the
    // focus. The lists take part in the tab order only when tabStops is set.
    void updateCommands(bool taskViewFocused, bool queueViewFocused, bool tabStops);

Q_SIGNALS:
    // The maximum number of tasks changed through the track bar or the up-down.
    void maxTasksChanged(int maxTasks);
    // A selection changed or a command ran: the window recomputes its command states.
    void stateChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createPopups();

    TaskEngine &m_engine;
    QSplitter *m_splitter = nullptr;
    QTreeView *m_taskView = nullptr;
    QTreeView *m_queueView = nullptr;
    QLabel *m_tasksLabel = nullptr;
    QSlider *m_tasks = nullptr;
    QSpinBox *m_taskUpDown = nullptr;
    QPushButton *m_kill = nullptr;
    QPushButton *m_queueStop = nullptr;
    QMenu *m_taskPopUp = nullptr;
    QMenu *m_queuePopUp = nullptr;
    QTabWidget *m_lists = nullptr;
    FailedPanel *m_failed = nullptr;
};
