#include "tasks/existsquestions.h"

int ExistsQuestions::park(ExistsQuestion question, const QString &entry, int operation)
{
    question.id = ++m_lastId;
    m_parked.append(Parked{question, entry, operation});
    return question.id;
}

std::optional<ExistsQuestions::Parked> ExistsQuestions::take(int id)
{
    for (qsizetype i = 0; i < m_parked.size(); ++i) {
        if (m_parked.at(i).question.id == id)
            return m_parked.takeAt(i);
    }
    return std::nullopt;
}

QList<ExistsQuestions::Parked> ExistsQuestions::takeAll()
{
    return std::exchange(m_parked, {});
}

QList<ExistsQuestion> ExistsQuestions::waiting() const
{
    QList<ExistsQuestion> questions;
    for (const Parked &parked : m_parked)
        questions.append(parked.question);
    return questions;
}
