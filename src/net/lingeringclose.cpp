#include "net/lingeringclose.h"

#include "net/tlschannel.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

LingeringClose::LingeringClose(
        int fd, std::unique_ptr<TlsChannel> tls, QByteArray pending, int waitMs, QObject *parent)
    : QObject(parent)
    , m_fd(fd)
    , m_tls(std::move(tls))
    , m_pending(std::move(pending))
    , m_reader(new QSocketNotifier(fd, QSocketNotifier::Read, this))
    , m_writer(new QSocketNotifier(fd, QSocketNotifier::Write, this))
    , m_timer(new QTimer(this))
{
    m_reader->setEnabled(false);
    m_writer->setEnabled(false);
    connect(m_reader, &QSocketNotifier::activated, this, &LingeringClose::readReady);
    connect(m_writer, &QSocketNotifier::activated, this, &LingeringClose::send);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &LingeringClose::finish);
    m_timer->start(waitMs);
    if (m_tls)
        send();
    else
        m_reader->setEnabled(true);
}

LingeringClose::~LingeringClose()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

// The rest of the last record and the closing alert; then only the peer's end is awaited.
void LingeringClose::send()
{
    m_writer->setEnabled(false);
    m_reader->setEnabled(false);
    while (!m_pending.isEmpty()) {
        qsizetype sent = 0;
        const TlsChannel::Step step = m_tls->write(m_pending.constData(), m_pending.size(), &sent);
        if (step == TlsChannel::Done) {
            m_pending.remove(0, sent);
            continue;
        }
        if (step == TlsChannel::WantWrite)
            m_writer->setEnabled(true);
        else if (step == TlsChannel::WantRead)
            m_reader->setEnabled(true);
        else
            finish();
        return;
    }
    m_tls->shutdown();
    m_tls.reset();
    ::shutdown(m_fd, SHUT_WR);
    m_reader->setEnabled(true);
}

void LingeringClose::readReady()
{
    if (m_tls) {
        send();
        return;
    }
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
    m_reader->setEnabled(false);
    m_writer->setEnabled(false);
    m_timer->stop();
    m_tls.reset();
    ::close(m_fd);
    m_fd = -1;
    deleteLater();
}
