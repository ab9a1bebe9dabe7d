#include "support/eventwait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

namespace ovtest {

bool waitFor(const std::function<bool()> &predicate, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    QTimer wake; // wakes the waiting event loop often enough to notice the deadline
    wake.start(5);
    for (;;) {
        if (predicate())
            return true;
        if (deadline.hasExpired())
            return predicate();
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

void spinFor(int ms)
{
    waitFor([] { return false; }, ms);
}

} // namespace ovtest
