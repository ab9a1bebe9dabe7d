#include "net/tcwinsock.h"

#include "net/tlschannel.h"
#include "net/tlscontext.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QPointer>
#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <utility>

namespace {

constexpr int ListenBacklog = 5;
// Port text that is neither a "tcp" service nor a port number.
constexpr int BadPortNumber = 5262;

QString dotted(quint32 hostOrder)
{
    return QHostAddress(hostOrder).toString();
}

sockaddr_in internetAddress(quint32 address, quint16 port)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(address);
    return sa;
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
int openStreamSocket()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
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
    if (m_lookupId != -1)
        QHostInfo::abortHostLookup(m_lookupId);
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

    in_addr address{};
    if (inet_pton(AF_INET, m_ip.toLatin1().constData(), &address) == 1) {
        m_peerAddress = ntohl(address.s_addr);
        setState(cwReadyToConnect);
        return;
    }
    // A host name: the answer arrives later on this thread.
    m_lookupId = QHostInfo::lookupHost(m_ip, this, [this](const QHostInfo &info) {
        for (const QHostAddress &candidate : info.addresses()) {
            if (candidate.protocol() == QAbstractSocket::IPv4Protocol) {
                lookupFinished(info.lookupId(), true, candidate.toIPv4Address());
                return;
            }
        }
        lookupFinished(info.lookupId(), false, 0);
    });
    setState(cwPrepareConnection);
}

void TcWinsock::lookupFinished(int lookupId, bool ok, quint32 address)
{
    if (lookupId != m_lookupId || m_state != cwPrepareConnection)
        return;
    m_lookupId = -1;
    if (ok) {
        m_peerAddress = address;
        setState(cwReadyToConnect);
    } else {
        setState(cwNIL);
    }
}

void TcWinsock::CancelPrepare()
{
    if (m_state != cwPrepareConnection)
        throw TcWinsockException(1432);
    QHostInfo::abortHostLookup(m_lookupId);
    m_lookupId = -1;
    setState(cwNIL);
}

void TcWinsock::Connect()
{
    if (m_state != cwReadyToConnect)
        throw TcWinsockException(124321);
    closeQuietly();
    m_receiveError = 0;
    m_tlsError.clear();
    const int fd = openStreamSocket();
    if (fd < 0)
        throw TcWinsockException(22167);

    const sockaddr_in peer = internetAddress(m_peerAddress, m_peerPort);
    int error = 0;
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&peer), sizeof peer) != 0)
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
    setState(cwConnecting);
}

void TcWinsock::connectFinished(int error)
{
    if (error != 0) {
        unwatch();
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
    const int fd = openStreamSocket();
    if (fd < 0)
        throw TcWinsockException(3242, errno);
    in_addr bindTo{};
    bindTo.s_addr = htonl(INADDR_ANY);
    if (!m_listenAddress.isEmpty()
        && inet_pton(AF_INET, m_listenAddress.toLatin1().constData(), &bindTo) != 1) {
        ::close(fd);
        throw TcWinsockException(52, EINVAL);
    }
    const sockaddr_in local = internetAddress(ntohl(bindTo.s_addr), port);
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0) {
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
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        const int fd = ::accept(m_listener, reinterpret_cast<sockaddr *>(&peer), &length);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return errno != EAGAIN && errno != EWOULDBLOCK;
        }
        const quint32 from = ntohl(peer.sin_addr.s_addr);
        in_addr wanted{};
        const bool anyone = m_acceptFrom.isEmpty();
        if (!anyone
            && (inet_pton(AF_INET, m_acceptFrom.toLatin1().constData(), &wanted) != 1
                || ntohl(wanted.s_addr) != from)) {
            // An abortive close: the stranger learns nothing but a reset.
            const ::linger option{1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &option, sizeof option);
            ::close(fd);
            Q_EMIT callerRefused(dotted(from));
            continue;
        }
        if (!adopt(fd)) {
            ::close(fd);
            return true;
        }
        m_accepted = fd;
        m_acceptedAddress = from;
        m_acceptedPort = ntohs(peer.sin_port);
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
    m_peerAddress = m_acceptedAddress;
    m_peerPort = m_acceptedPort;
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
        // A graceful end tells the peer with the closing alert that nothing was cut off. What
        // it sent and nobody read (TLS 1.3 tickets on an upload) is taken first: closing over
        // unread bytes resets the connection, and the peer may lose the end of the upload.
        if (!linger && m_tlsPhase == TlsOn) {
            drainQuietly();
            m_tls->shutdown();
        }
        m_tls.reset();
        m_tlsPhase = TlsOff;
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
    if (m_tls) {
        qsizetype sent = 0;
        const TlsChannel::Step step = m_tlsPhase == TlsOn
                                              ? m_tls->write(text.constData(), text.size(), &sent)
                                              : TlsChannel::WantWrite;
        if (step != TlsChannel::Done) {
            if (step == TlsChannel::WantRead || step == TlsChannel::WantWrite)
                armWrite();
            throw TcWinsockException(5522);
        }
        if (sent < text.size())
            armWrite();
        return sent;
    }
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
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (m_socket < 0 || ::getsockname(m_socket, reinterpret_cast<sockaddr *>(&local), &length) != 0)
        return dotted(0);
    return dotted(ntohl(local.sin_addr.s_addr));
}

QString TcWinsock::LocalPort() const
{
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (m_listener < 0
        || ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&local), &length) != 0)
        return QStringLiteral("0");
    return QString::number(ntohs(local.sin_port));
}

QString TcWinsock::PeerAddress() const
{
    return dotted(m_peerAddress);
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
    Q_EMIT dataNeeded();
}
