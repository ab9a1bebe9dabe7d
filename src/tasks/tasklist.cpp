#include "tasklist.h"

tTaskListObj *TaskList::append(const QString &name, TcFTP *session)
{
    auto record = std::make_unique<tTaskListObj>();
    record->FTP = session;
    m_entries.push_back({name, std::move(record)});
    return m_entries.back().record.get();
}

void TaskList::removeAt(int index)
{
    m_entries.erase(m_entries.begin() + index);
}

int TaskList::IndexOfSession(const TcFTP *session) const
{
    for (int i = 0; i < count(); ++i) {
        if (m_entries[i].record->FTP == session)
            return i;
    }
    return -1;
}
