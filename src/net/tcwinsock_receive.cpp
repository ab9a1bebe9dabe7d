// The receiving side of the socket: reading ahead into its own buffer, handing the bytes out
// in slices, read notices and the peer's close.
#include "net/tcwinsock.h"

#include "net/tlschannel.h"

#include <QPointer>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <sys/ioctl.h>
#include <sys/socket.h>

namespace {

// The owner takes at most ReceiveSlice bytes per Receive; underneath, one system call reads up
// to ReadAhead bytes into the socket's own buffer.
constexpr int ReceiveSlice = 4096;
constexpr int ReadAhead = 256 * 1024;

} // namespace

QByteArray TcWinsock::Receive()
{
    const QByteArrayView slice = ReceiveView();
    // The slice is handed out in the same storage each time: once the owner has let go of
    // the last one, no slice costs an allocation.
    m_slice.resize(slice.size());
    if (!slice.isEmpty())
        std::memcpy(m_slice.data(), slice.data(), size_t(slice.size()));
    return m_slice;
}

QByteArrayView TcWinsock::ReceiveView()
{
    if (m_socket < 0)
        return {};
    m_readSinceNotice = true;
    if (m_readPaused && !m_peerDone) {
        m_readPaused = false;
        m_readNotifier->setEnabled(true);
    }
    if (m_inboxStart == m_inboxEnd)
        fillInbox();
    const qsizetype take = qMin<qsizetype>(ReceiveSlice, m_inboxEnd - m_inboxStart);
    if (take == 0)
        return {};
    const QByteArrayView slice(m_inbox.constData() + m_inboxStart, take);
    m_inboxStart += take;
    // Bytes read ahead are announced again by the notice loop in readReady; a Receive made
    // outside a notice needs one of its own.
    if (m_noticeDepth == 0 && buffered())
        queueNotice();
    return slice;
}

// One read into the socket's own buffer, which is empty when this is called.
void TcWinsock::fillInbox()
{
    m_inboxStart = m_inboxEnd = 0;
    if (m_peerDone)
        return;
    if (m_inbox.size() < ReadAhead)
        m_inbox.resize(ReadAhead);
    if (m_tls) {
        if (m_tlsPhase != TlsOn)
            return;
        // Records are at most 16 KiB: take what OpenSSL can give without waiting.
        while (m_inboxEnd < ReadAhead) {
            qsizetype got = 0;
            const TlsChannel::Step step
                    = m_tls->read(m_inbox.data() + m_inboxEnd, ReadAhead - m_inboxEnd, &got);
            if (step == TlsChannel::Done) {
                m_inboxEnd += got;
                continue;
            }
            if (step == TlsChannel::WantWrite)
                armWrite();
            if (step == TlsChannel::Closed) {
                m_peerDone = true;
                queueNotice();
            } else if (step == TlsChannel::Failed) {
                m_tlsError = m_tls->error();
                m_receiveError = ECONNRESET;
                m_peerDone = true;
                queueNotice();
            }
            break;
        }
        return;
    }
    const ssize_t got = ::recv(m_socket, m_inbox.data(), ReadAhead, 0);
    if (got > 0) {
        m_inboxEnd = got;
        return;
    }
    // Zero is the peer's orderly end; a reset ends the connection as well. Either is
    // reported by the next read notice, once the owner has all the data.
    if (got == 0) {
        m_peerDone = true;
    } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        m_receiveError = errno;
        m_peerDone = true;
    }
}

bool TcWinsock::buffered() const
{
    return m_inboxEnd > m_inboxStart || (m_tls && m_tlsPhase == TlsOn && m_tls->pending());
}

void TcWinsock::queueNotice()
{
    if (m_noticeQueued)
        return;
    m_noticeQueued = true;
    QMetaObject::invokeMethod(
            this,
            [this] {
                m_noticeQueued = false;
                if (m_socket >= 0
                    && ((m_readSinceNotice && buffered()) || (m_peerDone && !buffered())))
                    readReady();
            },
            Qt::QueuedConnection);
}

qint64 TcWinsock::BytesAvailable() const
{
    if (m_tls) {
        // What waits in the kernel may be no data at all (a closing alert, a ticket): only
        // decrypted bytes count. Reading ahead changes nothing the owner can observe.
        if (m_socket < 0)
            return -1;
        auto *self = const_cast<TcWinsock *>(this);
        if (!buffered() || m_inboxStart == m_inboxEnd)
            self->fillInbox();
        return m_inboxEnd - m_inboxStart;
    }
    int count = 0;
    if (m_socket < 0 || ::ioctl(m_socket, FIONREAD, &count) != 0)
        return -1;
    return count + (m_inboxEnd - m_inboxStart);
}

void TcWinsock::readReady()
{
    if (m_tlsPhase == TlsHandshaking) {
        stepHandshake();
        return;
    }
    if (m_tls && m_inboxStart == m_inboxEnd && !m_peerDone) {
        // Decrypt first: what arrived may be a ticket or another message without data.
        fillInbox();
        if (!buffered() && !m_peerDone)
            return;
    }
    if (m_peerDone && !buffered()) {
        peerClosed();
        return;
    }
    if (!m_readSinceNotice) {
        // The owner left the last notice unanswered. Find out whether the socket is readable
        // for data (then wait for the owner's next Receive) or for the peer's end.
        char probe;
        const ssize_t got = buffered() ? 1 : ::recv(m_socket, &probe, 1, MSG_PEEK);
        if (got > 0) {
            m_readPaused = true;
            m_readNotifier->setEnabled(false);
            return;
        }
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            return;
        if (got < 0)
            m_receiveError = errno;
        m_peerDone = true;
        peerClosed();
        return;
    }
    // One system call read up to ReadAhead bytes: the owner hears of them slice by slice, for
    // as long as it keeps reading and bytes remain, without waiting for the next poll.
    const QPointer<TcWinsock> alive(this);
    ++m_noticeDepth;
    do {
        m_readSinceNotice = false;
        Q_EMIT dataAvailable();
    } while (alive && m_socket >= 0 && m_readSinceNotice && buffered());
    if (alive)
        --m_noticeDepth;
}

void TcWinsock::peerClosed()
{
    m_readNotifier->setEnabled(false);
    setState(cwNotConnected);
}
