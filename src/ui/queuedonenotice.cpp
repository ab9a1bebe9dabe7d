#include "ui/queuedonenotice.h"

#include "tasks/taskengine.h"

#include <QWidget>

QueueDoneNotice::QueueDoneNotice(TaskEngine &engine,
                                 QWidget &window,
                                 const DesktopNotifier &notifier,
                                 QObject *parent)
    : QObject(parent)
    , m_engine(engine)
    , m_window(&window)
    , m_notifier(notifier)
{
    // Checked once the engine has handed out what comes next.
    m_check.setSingleShot(true);
    m_check.setInterval(0);
    connect(&m_check, &QTimer::timeout, this, &QueueDoneNotice::check);
    connect(&m_engine,
            &TaskEngine::transferEnded,
            this,
            [this](bool, const QString &, const QString &, bool success) {
                ++(success ? m_done : m_failed);
                m_check.start();
            });
    connect(&m_engine, &TaskEngine::sessionStateChanged, this, [this](int, TcFTPStates state) {
        if (state != csWaitForReply && m_done + m_failed > 0)
            m_check.start();
    });
}

bool QueueDoneNotice::finished() const
{
    if (!m_engine.transferQueue().isEmpty())
        return false;
    for (int i = 0; i < m_engine.taskList().count(); ++i) {
        if (m_engine.taskList().session(i)->State() == csWaitForReply)
            return false;
    }
    return true;
}

void QueueDoneNotice::check()
{
    if (!finished())
        return;
    const int total = m_done + m_failed;
    if (total > MoreThanAFew && m_window && !m_window->isActiveWindow()) {
        const QString body = m_failed == 0 ? tr("All %1 transfers are done.").arg(total)
                                           : tr("%1 of %2 transfers are done; %3 failed.")
                                                     .arg(m_done)
                                                     .arg(total)
                                                     .arg(m_failed);
        m_notifier.notify(tr("The queue has finished"), body);
    }
    m_done = 0;
    m_failed = 0;
}
