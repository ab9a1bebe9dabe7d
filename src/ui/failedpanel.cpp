#include "ui/failedpanel.h"

#include "ui/failedtransfers.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

FailedPanel::FailedPanel(TaskEngine &engine, QWidget *parent)
    : QWidget(parent)
    , m_failed(new FailedTransfers(engine, this))
    , m_view(new QTreeView(this))
    , m_retry(new QPushButton(tr("&Retry"), this))
    , m_retryAll(new QPushButton(tr("Retry &All"), this))
    , m_remove(new QPushButton(tr("Re&move"), this))
    , m_popUp(new QMenu(this))
{
    setObjectName(QStringLiteral("FailedPanel"));
    m_view->setObjectName(QStringLiteral("FailedView"));
    m_view->setModel(m_failed);
    m_view->setRootIsDecorated(false);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setUniformRowHeights(true);
    m_view->installEventFilter(this);
    m_retry->setObjectName(QStringLiteral("Btn_Retry"));
    m_retryAll->setObjectName(QStringLiteral("Btn_RetryAll"));
    m_remove->setObjectName(QStringLiteral("Btn_Remove"));
    m_popUp->setObjectName(QStringLiteral("FailedPopUp"));
    m_retryItem = m_popUp->addAction(tr("&Retry"), this, &FailedPanel::retrySelected);
    m_retryAllItem = m_popUp->addAction(tr("Retry &All"), m_failed, &FailedTransfers::retryAll);
    m_removeItem = m_popUp->addAction(tr("Re&move"), this, &FailedPanel::removeSelected);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(m_view, 1);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *button : {m_retry, m_retryAll, m_remove}) {
        // A click leaves the focus on the list, whose selection the buttons act on.
        button->setFocusPolicy(Qt::TabFocus);
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);

    connect(m_retry, &QPushButton::clicked, this, &FailedPanel::retrySelected);
    connect(m_retryAll, &QPushButton::clicked, m_failed, &FailedTransfers::retryAll);
    connect(m_remove, &QPushButton::clicked, this, &FailedPanel::removeSelected);
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_view, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        updateCommands();
        m_popUp->popup(m_view->viewport()->mapToGlobal(pos));
    });
    connect(m_view->selectionModel(),
            &QItemSelectionModel::selectionChanged,
            this,
            &FailedPanel::updateCommands);
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_failed, signal, this, &FailedPanel::updateCommands);
    updateCommands();
}

QList<int> FailedPanel::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex &index : m_view->selectionModel()->selectedRows())
        rows.append(index.row());
    return rows;
}

void FailedPanel::retrySelected()
{
    m_failed->retry(selectedRows());
}

void FailedPanel::removeSelected()
{
    m_failed->remove(selectedRows());
}

void FailedPanel::updateCommands()
{
    const bool selected = m_view->selectionModel()->hasSelection();
    const bool any = m_failed->count() > 0;
    m_retry->setEnabled(selected);
    m_remove->setEnabled(selected);
    m_retryItem->setEnabled(selected);
    m_removeItem->setEnabled(selected);
    m_retryAll->setEnabled(any);
    m_retryAllItem->setEnabled(any);
}

bool FailedPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            retrySelected();
            return true;
        }
        if (key == Qt::Key_Delete) {
            removeSelected();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
