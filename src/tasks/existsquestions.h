#pragma once

#include "tasks/existsquestion.h"

#include <QList>
#include <QString>

#include <optional>

// The transfers parked while the user is asked about their existing targets, in the order
// they were asked, and the answer given for the rest of the queue.
class ExistsQuestions
{
public:
    struct Parked
    {
        ExistsQuestion question;
        QString entry;     // the queue entry, as it was taken
        int operation = 0; // the engine operation it belongs to
    };

    // Parks entry; returns the question's number (from 1 up, never used twice).
    int park(ExistsQuestion question, const QString &entry, int operation);
    // Takes the question numbered id out; nothing when it is not waiting.
    std::optional<Parked> take(int id);
    // Takes every waiting question out, in their order.
    QList<Parked> takeAll();
    QList<ExistsQuestion> waiting() const;
    bool isEmpty() const { return m_parked.isEmpty(); }

    // The choice the user gave for every further question of the queue; none before an answer
    // with "apply to the rest", and again once the queue has run dry.
    std::optional<ExistsPolicy::Choice> queueAnswer() const { return m_queueAnswer; }
    void setQueueAnswer(std::optional<ExistsPolicy::Choice> choice) { m_queueAnswer = choice; }

private:
    QList<Parked> m_parked;
    int m_lastId = 0;
    std::optional<ExistsPolicy::Choice> m_queueAnswer;
};
