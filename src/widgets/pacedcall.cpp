#include "widgets/pacedcall.h"

PacedCall::PacedCall(int intervalMs, std::function<void()> run, QObject *parent)
    : QObject(parent)
    , m_interval(intervalMs)
    , m_run(std::move(run))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &PacedCall::run);
}

void PacedCall::request()
{
    if (m_timer.isActive())
        return;
    const qint64 since = m_sinceRun.isValid() ? m_sinceRun.elapsed() : m_interval;
    m_timer.start(int(qBound(qint64(0), m_interval - since, qint64(m_interval))));
}

void PacedCall::runPending()
{
    if (m_timer.isActive())
        run();
}

void PacedCall::run()
{
    m_timer.stop();
    m_sinceRun.start();
    m_run();
}
