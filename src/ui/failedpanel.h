#pragma once

#include <QWidget>

class FailedTransfers;
class QMenu;
class QPushButton;
class QTreeView;
class TaskEngine;

// The task panel's "Failed" list: each transfer that finally failed with its reason, and the
// commands on it, by mouse (the buttons and the pop-up menu) and by keyboard: Return retries
// the selected entries, Delete removes them, the buttons' mnemonics reach the rest.
class FailedPanel : public QWidget
{
    Q_OBJECT
public:
    // The engine must outlive the panel.
    explicit FailedPanel(TaskEngine &engine, QWidget *parent = nullptr);

    FailedTransfers *failed() const { return m_failed; }
    QTreeView *FailedView() const { return m_view; }
    QPushButton *Btn_Retry() const { return m_retry; }
    QPushButton *Btn_RetryAll() const { return m_retryAll; }
    QPushButton *Btn_Remove() const { return m_remove; }
    QMenu *FailedPopUp() const { return m_popUp; }

    void retrySelected();
    void removeSelected();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QList<int> selectedRows() const;
    void updateCommands();

    FailedTransfers *m_failed;
    QTreeView *m_view;
    QPushButton *m_retry;
    QPushButton *m_retryAll;
    QPushButton *m_remove;
    QMenu *m_popUp;
    QAction *m_retryItem;
    QAction *m_retryAllItem;
    QAction *m_removeItem;
};
