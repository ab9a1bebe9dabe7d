#pragma once

#include <QDeadlineTimer>
#include <QHash>
#include <QList>
#include <QString>

// The transfers waiting to be tried again, and the rule that decides which failures are worth
// another attempt.
//
// A transfer whose connection broke off (reset, closed, no answer in time) or that the host
// turned away for the moment (421, 425, 426, 450, 451) is tried again after a pause that grows
// with each attempt: the first retry waits the pause, the second twice the pause, and so on.
// A permanent refusal (550, 553, any other 5xx) and a local failure are final. Entries are
// known by their queue text and operation; the engine puts a due entry back in front of the
// queue.
class TransferRetry
{
public:
    struct Due
    {
        QString entry;
        int operation = 0;
    };

    // Whether a transfer that failed this way is tried again. reply is the session's last reply
    // line, connectionLost its word that a connection broke off, localFailure the session's own
    // reason when the transfer failed on this side (empty when none).
    static bool isTransient(const QString &reply, bool connectionLost, const QString &localFailure);
    // The failure in words for the log: the session's reason, the host's refusal, or that the
    // connection was lost.
    static QString reasonText(const QString &reply,
                              bool connectionLost,
                              const QString &localFailure);

    // Retries after the first attempt (0: none) and the first pause in seconds; read at the
    // moment a transfer fails.
    void setPolicy(int retries, int pauseSeconds);
    int retries() const { return m_retries; }

    // Attempts made so far at entry of operation, the one under way included (1 when it was
    // never retried).
    int attemptsOf(const QString &entry, int operation) const;
    // When a retry is left, counts the next attempt, keeps entry waiting and returns the pause
    // in seconds before it; else forgets entry and returns -1.
    int schedule(const QString &entry, int operation);
    // The entry has ended for good: its count is dropped.
    void forget(const QString &entry, int operation);
    // Entries whose pause is over, in the order they failed; they are no longer waiting.
    QList<Due> takeDue();
    // Milliseconds until the next waiting entry is due; -1 when none waits.
    qint64 msToNextDue() const;
    bool isWaiting() const { return !m_waiting.isEmpty(); }
    bool holdsOperation(int operation) const;
    // Drops every waiting entry and count; returns the entries that were waiting.
    QList<Due> clear();

private:
    using Key = std::pair<int, QString>;
    struct Waiting
    {
        Due due;
        QDeadlineTimer at;
    };

    int m_retries = 2;
    int m_pauseSeconds = 5;
    QHash<Key, int> m_attempts;
    QList<Waiting> m_waiting;
};
