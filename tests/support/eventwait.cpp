#include "support/eventwait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

namespace ovtest {

namespace {
// A timer that wakes a waiting event loop often enough to notice the deadline.
constexpr int WakeIntervalMs = 5;
} // namespace

bool waitFor(const std::function<bool()> &predicate, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    QTimer wake;
    wake.setInterval(WakeIntervalMs);
    wake.start();
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
