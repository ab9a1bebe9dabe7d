// Transfers tried again: which failures are retried, the pause before each attempt, and the
// main session logging in again for the transfer it was carrying.
#include "taskengine.h"

#include "util/fieldstring.h"

#include <QPointer>

namespace {
const QChar Star = QLatin1Char('*');

// The file an entry moves, as the log names it: the last part of its source.
QString entryFileName(const QString &entry)
{
    const QString source = Field(entry, 2, Star);
    return source.mid(source.lastIndexOf(QLatin1Char('\\')) + 1);
}
} // namespace

void TaskEngine::setRejoin(Rejoin state)
{
    m_rejoin = state;
}

bool TaskEngine::retryTransfer(TcFTP *session, tTaskListObj *record)
{
    const QString entry = record->QueueEntry;
    const int operation = record->operation;
    // Without the main session's connection nothing can be logged in to again: the queue has
    // gone with it.
    if (entry.isEmpty()
        || (session != m_mainFTP && m_mainFTP->State() == csNotConnected
            && m_rejoin == Rejoin::None))
        return false;
    const bool lost = session->ConnectionLost();
    const QString reply = session->ReplyLine();
    const QString localFailure = lost ? QString() : session->FailureReason();
    if (!TransferRetry::isTransient(reply, lost, localFailure)) {
        m_retries.forget(entry, operation);
        return false;
    }
    m_retries.setPolicy(m_options->RetryAttempts, m_options->RetryPause);
    const int attempt = m_retries.attemptsOf(entry, operation) + 1;
    const int pause = m_retries.schedule(entry, operation);
    if (pause < 0)
        return false;
    const QString reason = TransferRetry::reasonText(reply, lost, session->FailureReason());
    const int index = m_taskList.IndexOfSession(session);
    WriteLog(QStringLiteral("  : Retrying %1 (attempt %2 of %3) in %4 s: %5")
                     .arg(entryFileName(entry))
                     .arg(attempt)
                     .arg(m_retries.retries() + 1)
                     .arg(pause)
                     .arg(reason),
             index);
    if (session == m_mainFTP) {
        // The main session stays the window's: it logs in again once the pause is over.
        m_rejoinIdles = session->Idles();
        m_rejoinFolder = session->Folder();
        setRejoin(Rejoin::Waiting);
    }
    // The next attempt goes over a fresh connection; a session still connected is let go of
    // once its report is over.
    QMetaObject::invokeMethod(
            this,
            [this, target = QPointer<TcFTP>(session)] {
                if (!target || target->State() == csNotConnected)
                    return;
                if (target == m_mainFTP)
                    guarded(
                            "u1-7010", [this] { m_mainFTP->Disconnect(); }, 16631);
                else
                    disconnectQuietly(target);
            },
            Qt::QueuedConnection);
    armRetryTimer();
    return true;
}

void TaskEngine::armRetryTimer()
{
    const qint64 next = m_retries.msToNextDue();
    if (next < 0)
        m_retryTimer.stop();
    else
        m_retryTimer.start(int(qMin<qint64>(next, 24 * 3600 * 1000)));
}

void TaskEngine::releaseRetries()
{
    if (m_rejoin == Rejoin::Waiting && m_retries.msToNextDue() != 0) {
        armRetryTimer();
        return;
    }
    if (m_rejoin == Rejoin::Waiting) {
        // The main session's transfer is due: it logs in first, and its transfers go back
        // in the queue once it is in its folder again.
        setRejoin(Rejoin::LoggingIn);
        WriteLog(QStringLiteral("  : Logging in again to %1.").arg(m_reconnectSession.Host), 0);
        m_mainFTP->setIdles(0);
        if (!guarded("u1-7011", [this] { m_mainFTP->Connect(m_reconnectSession); }))
            rejoinOffline();
        return;
    }
    if (m_rejoin != Rejoin::None)
        return;
    const QList<TransferRetry::Due> due = m_retries.takeDue();
    for (auto it = due.crbegin(); it != due.crend(); ++it)
        m_transferQueue.prepend(it->entry, it->operation);
    armRetryTimer();
    if (!due.isEmpty())
        Pass();
}

bool TaskEngine::rejoinOffline()
{
    tTaskListObj *record = m_taskList.record(0);
    switch (m_rejoin) {
    case Rejoin::None:
        return false;
    case Rejoin::Waiting:
        // The connection given up for the retry has closed; the pause runs.
        record->CarryingCommand = false;
        workEnded(record);
        return true;
    case Rejoin::LoggingIn:
    case Rejoin::ChangingFolder:
        break;
    }
    // Logging in again failed: an attempt of each transfer that waited for it.
    const QString reply = m_mainFTP->ReplyLine();
    const QString reason
            = QStringLiteral("could not log in again")
              + (reply.startsWith(QLatin1Char('4')) || reply.startsWith(QLatin1Char('5'))
                         ? QStringLiteral(": ") + reply
                         : QString());
    setRejoin(Rejoin::Waiting);
    bool waiting = false;
    for (const TransferRetry::Due &due : m_retries.takeDue()) {
        const int attempt = m_retries.attemptsOf(due.entry, due.operation) + 1;
        const int pause = m_retries.schedule(due.entry, due.operation);
        if (pause >= 0) {
            waiting = true;
            WriteLog(QStringLiteral("  : Retrying %1 (attempt %2 of %3) in %4 s: %5")
                             .arg(entryFileName(due.entry))
                             .arg(attempt)
                             .arg(m_retries.retries() + 1)
                             .arg(pause)
                             .arg(reason),
                     0);
            continue;
        }
        WriteLog(QStringLiteral(" !: Gave up %1 after %2 attempts: %3")
                         .arg(entryFileName(due.entry))
                         .arg(attempt - 1)
                         .arg(reason),
                 0);
        m_operations.transferGaveUp(due.operation, Field(due.entry, 3, Star), reason, attempt - 1);
    }
    waiting = waiting || m_retries.isWaiting();
    if (waiting) {
        armRetryTimer();
        return true;
    }
    // Nothing is left to log in again for: the session is offline as any other.
    setRejoin(Rejoin::None);
    m_mainFTP->setIdles(qMax(1, m_rejoinIdles));
    return false;
}

bool TaskEngine::rejoinIdle(TcFTP *session)
{
    switch (m_rejoin) {
    case Rejoin::None:
    case Rejoin::Waiting:
        return false;
    case Rejoin::LoggingIn:
        if (!m_rejoinFolder.isEmpty()) {
            setRejoin(Rejoin::ChangingFolder);
            session->AddCommand(QStringLiteral("cwd ") + m_rejoinFolder);
            executeQuietly(session);
            return true;
        }
        break;
    case Rejoin::ChangingFolder:
        break;
    }
    // Logged in and back in its folder: the waiting transfers go on.
    session->setIdles(qMax(session->Idles(), m_rejoinIdles));
    setRejoin(Rejoin::None);
    releaseRetries();
    return true;
}

bool TaskEngine::abandonRetries()
{
    const bool rejoining = m_rejoin != Rejoin::None;
    setRejoin(Rejoin::None);
    m_retries.clear();
    m_retryTimer.stop();
    m_operations.scheduleCheck();
    return rejoining;
}
