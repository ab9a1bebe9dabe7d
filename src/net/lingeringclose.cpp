#include "net/lingeringclose.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

LingeringClose::LingeringClose(int fd, int waitMs, QObject *parent)
    : QObject(parent)
    , m_fd(fd)
    , m_notifier(new QSocketNotifier(fd, QSocketNotifier::Read, this))
    , m_timer(new QTimer(this))
{
    connect(m_notifier, &QSocketNotifier::activated, this, &LingeringClose::readReady);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &LingeringClose::finish);
    m_timer->start(waitMs);
}

LingeringClose::~LingeringClose()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void LingeringClose::readReady()
{
    char scrap[16384];
    for (;;) {
        const ssize_t got = ::recv(m_fd, scrap, sizeof scrap, 0);
        if (got > 0)
            continue;
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        // The peer's end, or its reset: nothing more can arrive.
        finish();
        return;
    }
}

void LingeringClose::finish()
{
    if (m_fd < 0)
        return;
    m_notifier->setEnabled(false);
    m_timer->stop();
    ::close(m_fd);
    m_fd = -1;
    deleteLater();
}
