#include "net/tcwinsock.h"

#include "net/lingeringclose.h"
#include "net/tlschannel.h"
#include "net/tlscontext.h"

#include <QHostAddress>
#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

constexpr int ListenBacklog = 5;
// How long a gracefully closed TLS connection waits for the peer's close before it goes.
constexpr int LingerMs = 30000;
// Port text that is neither a "tcp" service nor a port number.
constexpr int BadPortNumber = 5262;

// The address of a socket address as text: dotted IPv4, IPv6 without brackets.
QString addressText(const sockaddr_storage &address)
{
    if (address.ss_family != AF_INET && address.ss_family != AF_INET6)
        return QStringLiteral("0.0.0.0");
    return QHostAddress(reinterpret_cast<const sockaddr *>(&address)).toString();
}

socklen_t addressLength(const sockaddr_storage &address)
{
    return address.ss_family == AF_INET6 ? socklen_t(sizeof(sockaddr_in6))
                                         : socklen_t(sizeof(sockaddr_in));
}

void setAddressPort(sockaddr_storage &address, quint16 port)
{
    if (address.ss_family == AF_INET6)
        reinterpret_cast<sockaddr_in6 &>(address).sin6_port = htons(port);
    else
        reinterpret_cast<sockaddr_in &>(address).sin_port = htons(port);
}

// "[::1]" and "::1" are the same address; a host name stays as it is.
QByteArray hostText(const QString &host)
{
    QString text = host.trimmed();
    if (text.startsWith(QLatin1Char('[')) && text.endsWith(QLatin1Char(']')))
        text = text.mid(1, text.size() - 2);
    return text.toUtf8();
}

// The addresses getaddrinfo gives for host, in its order, without repeats; numericOnly looks
// at literal addresses alone and never asks a name service.
QList<sockaddr_storage> lookUp(const QByteArray &host, bool numericOnly)
{
    QList<sockaddr_storage> found;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = numericOnly ? AI_NUMERICHOST : AI_ADDRCONFIG;
    addrinfo *list = nullptr;
    if (host.isEmpty() || ::getaddrinfo(host.constData(), nullptr, &hints, &list) != 0)
        return found;
    for (const addrinfo *at = list; at; at = at->ai_next) {
        if ((at->ai_family != AF_INET && at->ai_family != AF_INET6)
            || at->ai_addrlen > sizeof(sockaddr_storage))
            continue;
        sockaddr_storage address{};
        std::memcpy(&address, at->ai_addr, at->ai_addrlen);
        const bool repeated = std::any_of(found.cbegin(), found.cend(), [&](const auto &seen) {
            return addressText(seen) == addressText(address);
        });
        if (!repeated)
            found.append(address);
    }
    ::freeaddrinfo(list);
    return found;
}

// A literal address as a socket address; family 0 when text is none.
sockaddr_storage literalAddress(const QString &text)
{
    const QList<sockaddr_storage> found = lookUp(hostText(text), true);
    return found.isEmpty() ? sockaddr_storage{} : found.first();
}

bool sameAddress(const sockaddr_storage &a, const sockaddr_storage &b)
{
    return QHostAddress(reinterpret_cast<const sockaddr *>(&a))
            .isEqual(QHostAddress(reinterpret_cast<const sockaddr *>(&b)),
                     QHostAddress::ConvertV4MappedToIPv4);
}

// Makes a new descriptor non-blocking and private to this process.
bool adopt(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags != -1 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0
           && ::fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

// Outcomes of the connection attempt itself, which arrive later as a failed connect rather
// than as a failure of the call (the peer refused, nobody answered, no route).
bool isConnectOutcome(int error)
{
    switch (error) {
    case ECONNREFUSED:
    case ECONNRESET:
    case ETIMEDOUT:
    case ENETUNREACH:
    case EHOSTUNREACH:
    case ENETDOWN:
    case EHOSTDOWN:
        return true;
    default:
        return false;
    }
}

// A stream socket that never blocks and is not inherited by started programs; -1 on failure.
int openStreamSocket(int family)
{
    const int fd = ::socket(family, SOCK_STREAM, IPPROTO_TCP);
    if (fd < 0)
        return -1;
    if (!adopt(fd)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

TcWinsock::TcWinsock(QObject *parent)
    : QObject(parent)
    , m_state(cwNotConnected)
    , m_readNotifier(new QSocketNotifier(QSocketNotifier::Read, this))
    , m_writeNotifier(new QSocketNotifier(QSocketNotifier::Write, this))
    , m_acceptNotifier(new QSocketNotifier(QSocketNotifier::Read, this))
{
    connect(m_readNotifier, &QSocketNotifier::activated, this, &TcWinsock::readReady);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &TcWinsock::writeReady);
    connect(m_acceptNotifier, &QSocketNotifier::activated, this, &TcWinsock::acceptReady);
}

TcWinsock::~TcWinsock()
{
    closeQuietly();
    stopListeningQuietly();
}

void TcWinsock::setState(TcWinsockStates state)
{
    if (state == m_state)
        return;
    m_state = state;
    Q_EMIT stateChanged(state);
}

quint16 TcWinsock::resolvePort() const
{
    // A number is a number: the services database is read only for names ("ftp"), not for
    // every data connection.
    bool ok = false;
    const uint number = m_port.trimmed().toUInt(&ok, 10);
    if (ok && number <= 65535)
        return quint16(number);
    const QByteArray name = m_port.toLocal8Bit();
    if (const servent *service = getservbyname(name.constData(), "tcp"))
        return ntohs(quint16(service->s_port));
    const uint port = m_port.trimmed().toUInt(&ok, 10);
    if (!ok || port > 65535)
        throw TcWinsockException(BadPortNumber);
    return quint16(port);
}

void TcWinsock::PrepareConnection()
{
    if (m_state != cwNIL && m_state != cwNotConnected && m_state != cwReadyToConnect)
        throw TcWinsockException(5261);
    m_peerPort = resolvePort();

    const sockaddr_storage literal = literalAddress(m_ip);
    if (literal.ss_family != 0) {
        m_candidates = {literal};
        m_peer = literal;
        setAddressPort(m_peer, m_peerPort);
        setState(cwReadyToConnect);
        return;
    }
    // A host name: getaddrinfo may wait on the network for long, so it runs on a worker thread
    // and the answer comes back on this one. A later lookup, a cancel or this socket's end
    // makes the answer count for nothing.
    static int lastLookup = 0;
    const int lookupId = ++lastLookup;
    m_lookupId = lookupId;
    const QByteArray host = hostText(m_ip);
    QPointer<TcWinsock> self(this);
    QThreadPool::globalInstance()->start([self, lookupId, host] {
        const QList<sockaddr_storage> found = lookUp(host, false);
        QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [self, lookupId, found] {
                    if (self)
                        self->lookupFinished(lookupId, found);
                },
                Qt::QueuedConnection);
    });
    setState(cwPrepareConnection);
}

void TcWinsock::lookupFinished(int lookupId, const QList<sockaddr_storage> &addresses)
{
    if (lookupId != m_lookupId || m_state != cwPrepareConnection)
        return;
    m_lookupId = -1;
    m_candidates = addresses;
    if (!addresses.isEmpty()) {
        // The first address is the one a connect tries first.
        m_peer = addresses.first();
        setAddressPort(m_peer, m_peerPort);
    }
    setState(addresses.isEmpty() ? cwNIL : cwReadyToConnect);
}

void TcWinsock::CancelPrepare()
{
    if (m_state != cwPrepareConnection)
        throw TcWinsockException(1432);
    m_lookupId = -1;
    setState(cwNIL);
}

void TcWinsock::Connect()
{
    if (m_state != cwReadyToConnect || m_candidates.isEmpty())
        throw TcWinsockException(124321);
    m_candidate = 0;
    m_receiveError = 0;
    m_tlsError.clear();
    connectNext();
    setState(cwConnecting);
}

// Starts connecting to the address m_candidate; a failure to start at all throws.
void TcWinsock::connectNext()
{
    closeQuietly();
    m_peer = m_candidates.at(m_candidate);
    setAddressPort(m_peer, m_peerPort);
    const int fd = openStreamSocket(m_peer.ss_family);
    if (fd < 0)
        throw TcWinsockException(22167);

    int error = 0;
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&m_peer), addressLength(m_peer)) != 0)
        error = errno;
    if (error != 0 && error != EINPROGRESS && error != EINTR && !isConnectOutcome(error)) {
        ::close(fd);
        throw TcWinsockException(8442);
    }

    m_socket = fd;
    ++m_connectAttempt;
    if (isConnectOutcome(error)) {
        // The system may refuse, or find no route, at once: report it as the failed connect it
        // is, after the caller has seen cwConnecting.
        const quint64 attempt = m_connectAttempt;
        QMetaObject::invokeMethod(
                this,
                [this, attempt, error] {
                    if (attempt == m_connectAttempt && m_state == cwConnecting)
                        connectFinished(error);
                },
                Qt::QueuedConnection);
    } else {
        // Write readiness tells that the connect finished, one way or the other.
        m_writeNotifier->setSocket(fd);
        m_writeNotifier->setEnabled(true);
    }
}

void TcWinsock::connectFinished(int error)
{
    if (error != 0) {
        unwatch();
        // A name with an IPv6 and an IPv4 address, of which only one answers: go on with the
        // next address before giving up.
        while (m_candidate + 1 < m_candidates.size()) {
            ++m_candidate;
            try {
                connectNext();
                return;
            } catch (const TcWinsockException &) {
            }
        }
        setState(cwNotConnected);
        return;
    }
    if (m_tlsContext && m_tlsFromFirstByte) {
        startHandshake();
        return;
    }
    watch(m_socket);
    setState(cwConnected);
}

void TcWinsock::Listen()
{
    if (m_state != cwNIL && m_state != cwNotConnected)
        throw TcWinsockException(7722);
    const quint16 port = resolvePort();
    m_receiveError = 0;
    stopListeningQuietly();
    sockaddr_storage local{};
    if (m_listenAddress.isEmpty()) {
        auto &any = reinterpret_cast<sockaddr_in &>(local);
        any.sin_family = AF_INET;
        any.sin_addr.s_addr = htonl(INADDR_ANY);
    } else {
        local = literalAddress(m_listenAddress);
        if (local.ss_family == 0)
            throw TcWinsockException(52, EINVAL);
    }
    setAddressPort(local, port);
    const int fd = openStreamSocket(local.ss_family);
    if (fd < 0)
        throw TcWinsockException(3242, errno);
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&local), addressLength(local)) != 0) {
        const int error = errno;
        ::close(fd);
        throw TcWinsockException(52, error);
    }
    if (::listen(fd, ListenBacklog) != 0) {
        const int error = errno;
        ::close(fd);
        throw TcWinsockException(5542, error);
    }
    m_listener = fd;
    m_acceptNotifier->setSocket(fd);
    m_acceptNotifier->setEnabled(true);
    setState(cwListening);
}

void TcWinsock::acceptReady()
{
    if (!takeCaller())
        return;
    // One incoming connection is all a listener carries: later ones wait in the backlog
    // unanswered instead of taking the state away from a running transfer.
    m_acceptNotifier->setEnabled(false);
    setState(cwAccepting);
}

// Takes callers off the backlog until one may stay (m_accepted) and returns true; false when
// none is waiting any more. A caller from another address than AcceptFrom is closed at once
// and never sees a byte. A failure other than an empty backlog returns true with no caller, so
// that Accept reports it.
bool TcWinsock::takeCaller()
{
    while (m_accepted < 0 && m_listener >= 0) {
        sockaddr_storage peer{};
        socklen_t length = sizeof peer;
        const int fd = ::accept(m_listener, reinterpret_cast<sockaddr *>(&peer), &length);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return errno != EAGAIN && errno != EWOULDBLOCK;
        }
        const bool anyone = m_acceptFrom.isEmpty();
        if (!anyone && !sameAddress(literalAddress(m_acceptFrom), peer)) {
            // An abortive close: the stranger learns nothing but a reset.
            const ::linger option{1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &option, sizeof option);
            ::close(fd);
            Q_EMIT callerRefused(addressText(peer));
            continue;
        }
        if (!adopt(fd)) {
            ::close(fd);
            return true;
        }
        m_accepted = fd;
        m_acceptedPeer = peer;
    }
    return m_accepted >= 0;
}

int TcWinsock::Accept()
{
    if (m_accepted < 0)
        takeCaller();
    if (m_accepted < 0)
        throw TcWinsockException(22222);
    const int fd = std::exchange(m_accepted, -1);
    closeQuietly();
    m_socket = fd;
    m_peer = m_acceptedPeer;
    if (m_tlsContext && m_tlsFromFirstByte) {
        startHandshake();
        return fd;
    }
    watch(fd);
    setState(cwConnected);
    return fd;
}

void TcWinsock::Close(bool linger)
{
    if (m_socket < 0)
        throw TcWinsockException(7221);
    unwatch();
    if (m_tls) {
        // A graceful end tells the peer with the closing alert that nothing was cut off.
        const bool graceful = !linger && m_tlsPhase == TlsOn;
        const bool gathered = graceful && (m_outboxWaiting || !m_outbox.isEmpty());
        if (graceful && !gathered)
            m_tls->shutdown();
        m_tlsPhase = TlsOff;
        if (graceful && (gathered || !m_peerDone)) {
            // The peer may still send after the last record of an upload went out: a host that
            // finishes its side of the handshake late sends its TLS 1.3 tickets then. Closing
            // now would answer them with a reset, and the host's system would drop the part of
            // the upload the host has not read yet, which the host then stores as the whole
            // file. The last gathered record goes out, then the closing alert and the end of
            // the sending side; the rest waits for the host's close.
            std::unique_ptr<TlsChannel> tls = gathered ? std::move(m_tls) : nullptr;
            if (!gathered)
                ::shutdown(m_socket, SHUT_WR);
            new LingeringClose(
                    m_socket, std::move(tls), std::exchange(m_outbox, {}), LingerMs, this);
            m_tls.reset();
            m_outboxWaiting = false;
            m_socket = -1;
            m_inboxStart = m_inboxEnd = 0;
            setState(cwNotConnected);
            return;
        }
        m_tls.reset();
        m_outbox.clear();
        m_outboxWaiting = false;
    }
    ::shutdown(m_socket, SHUT_RDWR);
    // Linger on with no time makes the close abortive: unsent data is dropped.
    const ::linger option{linger ? 1 : 0, 0};
    ::setsockopt(m_socket, SOL_SOCKET, SO_LINGER, &option, sizeof option);
    const int rc = ::close(m_socket);
    const int error = errno;
    if (rc != 0 && error == EBADF)
        throw TcWinsockException(7221);
    // Any other failure still releases the descriptor on this system.
    m_socket = -1;
    m_inboxStart = m_inboxEnd = 0;
    setState(cwNotConnected);
}

void TcWinsock::StopListening()
{
    if (m_listener < 0)
        throw TcWinsockException(2233);
    stopListeningQuietly();
    setState(cwNotConnected);
}

qint64 TcWinsock::Send(const QByteArray &text)
{
    if (m_state != cwConnected)
        throw TcWinsockException(1234);
    if (m_tls)
        return sendTls(text);
    const ssize_t sent = ::send(m_socket, text.constData(), size_t(text.size()), MSG_NOSIGNAL);
    if (sent < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            armWrite();
        throw TcWinsockException(5522);
    }
    if (sent < text.size())
        armWrite();
    return sent;
}

QString TcWinsock::LocalAddress() const
{
    sockaddr_storage local{};
    socklen_t length = sizeof local;
    if (m_socket < 0 || ::getsockname(m_socket, reinterpret_cast<sockaddr *>(&local), &length) != 0)
        return addressText(sockaddr_storage{});
    return addressText(local);
}

QString TcWinsock::LocalPort() const
{
    sockaddr_storage local{};
    socklen_t length = sizeof local;
    if (m_listener < 0
        || ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&local), &length) != 0)
        return QStringLiteral("0");
    const quint16 port = local.ss_family == AF_INET6
                                 ? reinterpret_cast<const sockaddr_in6 &>(local).sin6_port
                                 : reinterpret_cast<const sockaddr_in &>(local).sin_port;
    return QString::number(ntohs(port));
}

QString TcWinsock::PeerAddress() const
{
    return addressText(m_peer);
}

void TcWinsock::watch(int fd)
{
    m_inboxStart = m_inboxEnd = 0;
    m_readSinceNotice = true;
    m_readPaused = false;
    m_peerDone = false;
    m_receiveError = 0;
    m_readNotifier->setSocket(fd);
    m_readNotifier->setEnabled(true);
    // Room for sending is reported once after the connection is made.
    if (m_writeNotifier->socket() != fd) {
        m_writeNotifier->setEnabled(false);
        m_writeNotifier->setSocket(fd);
    }
    m_writeNotifier->setEnabled(true);
}

void TcWinsock::unwatch()
{
    m_readNotifier->setEnabled(false);
    m_writeNotifier->setEnabled(false);
}

void TcWinsock::armWrite()
{
    if (!m_writeNotifier->isEnabled())
        m_writeNotifier->setEnabled(true);
}

void TcWinsock::closeQuietly()
{
    if (m_socket < 0)
        return;
    unwatch();
    m_tls.reset();
    m_tlsPhase = TlsOff;
    m_outbox.clear();
    m_outboxWaiting = false;
    ::close(m_socket);
    m_socket = -1;
    m_inboxStart = m_inboxEnd = 0;
}

void TcWinsock::stopListeningQuietly()
{
    if (m_listener < 0)
        return;
    m_acceptNotifier->setEnabled(false);
    if (m_accepted >= 0) {
        ::close(m_accepted);
        m_accepted = -1;
    }
    ::shutdown(m_listener, SHUT_RDWR);
    ::close(m_listener);
    m_listener = -1;
}

void TcWinsock::writeReady()
{
    m_writeNotifier->setEnabled(false);
    if (m_state == cwConnecting) {
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(m_socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
            error = errno;
        connectFinished(error);
        return;
    }
    if (m_tlsPhase == TlsHandshaking) {
        stepHandshake();
        return;
    }
    // A gathered record goes out before the owner hears of room for more.
    if (m_tlsPhase == TlsOn && (m_outboxWaiting || !m_outbox.isEmpty()) && !flushOutbox())
        return;
    Q_EMIT dataNeeded();
}
