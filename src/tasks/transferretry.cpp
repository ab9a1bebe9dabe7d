#include "tasks/transferretry.h"

#include <QStringList>

namespace {
// Replies that say "not now" rather than "never": the host is closing, could not open or lost
// the data connection, or the file is busy or the host had a local error.
bool transientReply(const QString &reply)
{
    static const QStringList codes{QStringLiteral("421"),
                                   QStringLiteral("425"),
                                   QStringLiteral("426"),
                                   QStringLiteral("450"),
                                   QStringLiteral("451")};
    return codes.contains(reply.left(3));
}
} // namespace

bool TransferRetry::isTransient(const QString &reply,
                                bool connectionLost,
                                const QString &localFailure)
{
    if (connectionLost)
        return true;
    // A local file that could not be read or written fails every attempt alike, whatever the
    // host answered to the transfer it cut short.
    if (!localFailure.isEmpty())
        return false;
    return transientReply(reply);
}

QString TransferRetry::reasonText(const QString &reply,
                                  bool connectionLost,
                                  const QString &localFailure)
{
    if (!localFailure.isEmpty())
        return localFailure;
    if (reply.startsWith(QLatin1Char('4')) || reply.startsWith(QLatin1Char('5')))
        return reply;
    return connectionLost ? QStringLiteral("the connection was lost") : QString();
}

void TransferRetry::setPolicy(int retries, int pauseSeconds)
{
    m_retries = qMax(0, retries);
    m_pauseSeconds = qMax(0, pauseSeconds);
}

int TransferRetry::attemptsOf(const QString &entry, int operation) const
{
    return m_attempts.value(Key{operation, entry}, 1);
}

int TransferRetry::schedule(const QString &entry, int operation)
{
    const Key key{operation, entry};
    const int made = m_attempts.value(key, 1);
    if (made > m_retries) {
        m_attempts.remove(key);
        return -1;
    }
    m_attempts.insert(key, made + 1);
    const int pause = m_pauseSeconds * made;
    m_waiting.append(Waiting{Due{entry, operation}, QDeadlineTimer(qint64(pause) * 1000)});
    return pause;
}

void TransferRetry::forget(const QString &entry, int operation)
{
    m_attempts.remove(Key{operation, entry});
}

QList<TransferRetry::Due> TransferRetry::takeDue()
{
    QList<Due> due;
    for (qsizetype i = 0; i < m_waiting.size();) {
        if (m_waiting.at(i).at.hasExpired()) {
            due.append(m_waiting.takeAt(i).due);
            continue;
        }
        ++i;
    }
    return due;
}

qint64 TransferRetry::msToNextDue() const
{
    qint64 next = -1;
    for (const Waiting &waiting : m_waiting) {
        const qint64 left = waiting.at.remainingTime();
        if (next < 0 || left < next)
            next = left;
    }
    return next;
}

bool TransferRetry::holdsOperation(int operation) const
{
    for (const Waiting &waiting : m_waiting) {
        if (waiting.due.operation == operation)
            return true;
    }
    return false;
}

QList<TransferRetry::Due> TransferRetry::clear()
{
    QList<Due> dropped;
    for (const Waiting &waiting : std::as_const(m_waiting))
        dropped.append(waiting.due);
    m_waiting.clear();
    m_attempts.clear();
    return dropped;
}
