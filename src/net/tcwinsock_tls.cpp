// TLS over the socket: the handshake, driven by the readiness OpenSSL waits for, and the
// settings of later connections.
#include "net/tcwinsock.h"

#include "net/tlschannel.h"
#include "net/tlscontext.h"

#include <QPointer>
#include <QSocketNotifier>

namespace {

// The largest record TLS carries.
constexpr qsizetype GatheredRecord = 16 * 1024;

} // namespace

void TcWinsock::setTls(std::shared_ptr<TlsContext> context,
                       const QString &hostName,
                       bool keepsTickets,
                       bool fromFirstByte)
{
    m_tlsContext = std::move(context);
    m_tlsHost = hostName;
    m_tlsKeepsTickets = keepsTickets;
    m_tlsFromFirstByte = fromFirstByte;
}

void TcWinsock::StartTls()
{
    if (m_state != cwConnected || !m_tlsContext || m_tls)
        throw TcWinsockException(1235);
    // Anything the host sent in clear after agreeing would otherwise pass for protected text.
    m_inboxStart = m_inboxEnd = 0;
    startHandshake();
}

bool TcWinsock::Encrypted() const
{
    return m_tls && m_tlsPhase == TlsOn;
}

void TcWinsock::startHandshake()
{
    m_tlsError.clear();
    SSL *ssl = m_tlsContext->newConnection(m_socket, m_tlsHost, m_tlsKeepsTickets);
    if (!ssl) {
        failTls(m_tlsContext->error());
        return;
    }
    m_tls = std::make_unique<TlsChannel>(m_tlsContext, ssl);
    m_tlsPhase = TlsHandshaking;
    m_readNotifier->setEnabled(false);
    m_readNotifier->setSocket(m_socket);
    if (m_writeNotifier->socket() != m_socket) {
        m_writeNotifier->setEnabled(false);
        m_writeNotifier->setSocket(m_socket);
    }
    stepHandshake();
}

void TcWinsock::stepHandshake()
{
    switch (m_tls->handshake()) {
    case TlsChannel::Done: {
        m_tlsPhase = TlsOn;
        const bool connected = m_state == cwConnected;
        watch(m_socket);
        const QPointer<TcWinsock> alive(this);
        if (!connected)
            setState(cwConnected);
        if (alive && m_tlsPhase == TlsOn)
            Q_EMIT encrypted();
        // Bytes that came with the end of the handshake are announced without another poll.
        if (alive && m_tlsPhase == TlsOn && m_tls->pending())
            queueNotice();
        return;
    }
    case TlsChannel::WantRead:
        m_writeNotifier->setEnabled(false);
        m_readNotifier->setEnabled(true);
        return;
    case TlsChannel::WantWrite:
        m_readNotifier->setEnabled(false);
        m_writeNotifier->setEnabled(true);
        return;
    case TlsChannel::Closed:
        failTls(QStringLiteral("the host closed the connection during the TLS handshake"));
        return;
    case TlsChannel::Failed:
        failTls(m_tls->error());
        return;
    }
}

void TcWinsock::failTls(const QString &reason)
{
    m_tlsError = reason.isEmpty() ? QStringLiteral("TLS failure") : reason;
    closeQuietly();
    setState(cwNotConnected);
}

qint64 TcWinsock::sendTls(const QByteArray &text)
{
    if (m_tlsPhase != TlsOn) {
        armWrite();
        throw TcWinsockException(5522);
    }
    if (!m_gatherSends && !m_outboxWaiting && m_outbox.isEmpty()) {
        qsizetype sent = 0;
        const TlsChannel::Step step = m_tls->write(text.constData(), text.size(), &sent);
        if (step != TlsChannel::Done) {
            if (step == TlsChannel::WantRead || step == TlsChannel::WantWrite)
                armWrite();
            throw TcWinsockException(5522);
        }
        if (sent < text.size())
            armWrite();
        return sent;
    }
    qsizetype taken = 0;
    while (taken < text.size()) {
        if ((m_outboxWaiting || m_outbox.size() >= GatheredRecord) && !flushOutbox())
            break;
        const qsizetype take = qMin(text.size() - taken, GatheredRecord - m_outbox.size());
        if (m_outbox.capacity() < GatheredRecord)
            m_outbox.reserve(GatheredRecord);
        m_outbox.append(text.constData() + taken, take);
        taken += take;
    }
    // A full record goes out at once; one that would block is already counted as taken.
    if (m_outbox.size() >= GatheredRecord && !m_outboxWaiting)
        flushOutbox();
    if (taken == 0)
        throw TcWinsockException(5522);
    if (taken < text.size())
        armWrite();
    return taken;
}

// Writes the gathered record; false while it waits for the socket (the write notification is
// armed) or when the connection failed.
bool TcWinsock::flushOutbox()
{
    if (m_outbox.isEmpty()) {
        m_outboxWaiting = false;
        return true;
    }
    TlsChannel::Step step = TlsChannel::Done;
    while (!m_outbox.isEmpty()) {
        qsizetype sent = 0;
        step = m_tls->write(m_outbox.constData(), m_outbox.size(), &sent);
        if (step != TlsChannel::Done)
            break;
        m_outbox.remove(0, sent);
    }
    if (m_outbox.isEmpty()) {
        m_outboxWaiting = false;
        return true;
    }
    // OpenSSL takes the same record again once the socket is ready.
    m_outboxWaiting = step == TlsChannel::WantRead || step == TlsChannel::WantWrite;
    if (m_outboxWaiting)
        armWrite();
    return false;
}
