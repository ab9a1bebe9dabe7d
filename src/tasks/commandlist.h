#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The main session's command list: lines of the session's command language, first in, first
// out, each with the engine operation it belongs to (0 for none).
class CommandList
{
public:
    void append(const QString &line, int operation = 0)
    {
        m_lines.append(line);
        m_operations.append(operation);
    }
    CommandList &operator<<(const QString &line)
    {
        append(line);
        return *this;
    }
    int firstOperation() const { return m_operations.first(); }
    QString takeFirst()
    {
        m_operations.removeFirst();
        return m_lines.takeFirst();
    }
    void clear()
    {
        m_lines.clear();
        m_operations.clear();
    }
    bool isEmpty() const { return m_lines.isEmpty(); }
    int count() const { return int(m_lines.size()); }
    const QStringList &lines() const { return m_lines; }
    bool holdsOperation(int operation) const { return m_operations.contains(operation); }

private:
    QStringList m_lines;
    QList<int> m_operations;
};
