#include "widgets/paintpacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

PaintPacer::PaintPacer(QWidget *window, int intervalMs)
    : QObject(window)
    , m_window(window)
    , m_interval(intervalMs)
{
    m_later.setSingleShot(true);
    connect(&m_later, &QTimer::timeout, this, &PaintPacer::paintNow);
    window->installEventFilter(this);
}

bool PaintPacer::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_window || event->type() != QEvent::UpdateRequest || m_sending)
        return QObject::eventFilter(watched, event);
    if (!m_sinceLast.isValid() || m_sinceLast.elapsed() >= m_interval) {
        m_sinceLast.start();
        m_later.stop();
        return false;
    }
    // Held back: Qt asks again only after this request has been served, so the timer serves
    // it, with everything that changed in between.
    if (!m_later.isActive())
        m_later.start(int(qMax<qint64>(1, m_interval - m_sinceLast.elapsed())));
    return true;
}

void PaintPacer::paintNow()
{
    m_sinceLast.start();
    m_sending = true;
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(m_window, &request);
    m_sending = false;
}
