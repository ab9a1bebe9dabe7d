#include "ui/logpanel.h"

#include "tasks/logmodel.h"

LogPanel::LogPanel(QWidget *parent)
    : LogView(parent)
{
    setObjectName(QStringLiteral("logwin"));
}

void LogPanel::attach(LogModel *log)
{
    detach();
    m_log = log;
    connect(log, &LogModel::lineWritten, this, &LogView::appendLogLine);
    connect(log, &QAbstractItemModel::modelReset, this, &LogPanel::render);
    render();
}

void LogPanel::detach()
{
    if (m_log)
        m_log->disconnect(this);
    m_log = nullptr;
}

void LogPanel::render()
{
    clearLines();
    if (!m_log)
        return;
    for (const QString &line : m_log->lines())
        appendLogLine(line);
}
