#pragma once

#include "net/tcwinsockexception.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <sys/socket.h>

class QSocketNotifier;
class TlsChannel;
class TlsContext;

// Socket states. The ordinal values matter: callers compare them.
enum TcWinsockStates {
    cwNIL = 0,
    cwNotConnected = 1,
    cwPrepareConnection = 2,
    cwReadyToConnect = 3,
    cwConnecting = 4,
    cwConnected = 5,
    cwListening = 6,
    cwAccepting = 7,
};

// A non-blocking TCP endpoint that never waits: the program's only network primitive.
//
// One object is either a client connection (PrepareConnection -> Connect) or a listener that
// accepts one incoming connection and then carries it (Listen -> Accept). Completion of a
// host-name lookup, of a connect, arriving data, room for sending, an incoming connection and
// the peer's close are delivered later on the owner's thread through QSocketNotifier and turned
// into a state change or a signal, in the order read, write, accept, connect, close.
//
// Signals run synchronously inside the operation or notification that caused them; handlers
// may call any operation of the same object (including Close, which emits stateChanged again
// before it returns), so owners must tolerate re-entry.
//
// Misuse and platform failures throw TcWinsockException with the number of the failing site.
// A failed lookup or a failed connect is no exception: it only shows as a state change.
class TcWinsock : public QObject
{
    Q_OBJECT

public:
    explicit TcWinsock(QObject *parent = nullptr);
    ~TcWinsock() override;

    // Host name, dotted IPv4 address or IPv6 address (with or without brackets) of the peer.
    QString IP() const { return m_ip; }
    void setIP(const QString &ip) { m_ip = ip; }
    // Service name (looked up as a "tcp" service) or decimal port; "0" listens on any free port.
    // Text that is neither a known service nor a number from 0 to 65535 makes PrepareConnection
    // and Listen raise 5262.
    QString Port() const { return m_port; }
    void setPort(const QString &port) { m_port = port; }
    TcWinsockStates State() const { return m_state; }
    // IPv4 or IPv6 address a listener binds; empty or "0.0.0.0" binds every local IPv4 address.
    QString ListenAddress() const { return m_listenAddress; }
    void setListenAddress(const QString &address) { m_listenAddress = address; }
    // Address (IPv4 or IPv6) the only caller a listener takes must come from; empty takes anyone.
    // A caller from elsewhere is closed at once (callerRefused) and the listener goes on
    // waiting; it never reaches cwAccepting.
    QString AcceptFrom() const { return m_acceptFrom; }
    void setAcceptFrom(const QString &address) { m_acceptFrom = address; }

    // Resolves Port and IP: an address goes straight to cwReadyToConnect, a host name waits in
    // cwPrepareConnection until the lookup (getaddrinfo, both families, off the owner's thread)
    // answers: cwReadyToConnect with every address found, in the order the system gave them,
    // or cwNIL. Allowed in cwNIL, cwNotConnected, cwReadyToConnect (else 5261).
    void PrepareConnection();
    // Cancels a pending lookup -> cwNIL (1432 when none is pending).
    void CancelPrepare();
    // Starts a non-blocking connect -> cwConnecting (124321 unless cwReadyToConnect). When an
    // address cannot be reached the next one found by the lookup is tried, still in
    // cwConnecting; only the last one's failure ends in cwNotConnected.
    void Connect();
    // Binds ListenAddress on the resolved Port, backlog 5 -> cwListening (7722 unless cwNIL or
    // cwNotConnected; 52 when the address cannot be bound).
    void Listen();
    // Accepts the pending connection after cwAccepting -> cwConnected; returns the handle
    // (22222 when there is none). The listener reports one incoming connection only; it stays
    // open until StopListening.
    int Accept();
    // Closes the connection socket -> cwNotConnected; linger true discards unsent data. Over TLS
    // a graceful close (linger false) sends the closing alert and shuts the sending side only;
    // the descriptor goes on reading and discarding until the peer closes it (at most 30 s).
    // Closing when there is no connection socket raises 7221 and keeps the state.
    void Close(bool linger);
    // Shuts the listener down and closes it -> cwNotConnected (2233 when there is none).
    void StopListening();
    // One non-blocking send of the whole text; returns how many bytes the system took, which
    // may be fewer. When it took fewer (or would block, 5522) a dataNeeded follows once there
    // is room again. Raises 1234 unless cwConnected.
    qint64 Send(const QByteArray &text);
    // At most 4096 bytes of what the peer sent; empty when nothing could be read. Underneath,
    // one system call reads up to 256 KiB into the socket's own buffer, which later calls hand
    // out first. The peer's close (cwNotConnected) is reported only after every byte it sent
    // has been handed out here.
    QByteArray Receive();
    // Receive without the copy: the slice lies in the socket's own buffer. The socket reads into
    // that buffer again (from its start) only once ReadAheadLeft is 0, so consecutive slices
    // of one read lie one after the other and stay where they are until then: an owner may
    // keep them and write them out in one go, provided it does so before the next Receive,
    // ReceiveView or BytesAvailable after ReadAheadLeft reached 0 (or a StartTls).
    QByteArrayView ReceiveView();
    // Bytes read from the connection that Receive has not handed out yet.
    qsizetype ReadAheadLeft() const { return m_inboxEnd - m_inboxStart; }
    // TLS settings for later connections. hostName is what the certificate must name;
    // keepsTickets marks the connection whose TLS sessions the others of the context resume
    // (the control connection). With fromFirstByte, after a connect or an accept the socket
    // runs the handshake first and reports cwConnected (then encrypted) only once it is done;
    // a failed handshake closes the connection (cwNotConnected, TlsError says why). Without
    // it, TLS waits for StartTls. A null context turns TLS off.
    void setTls(std::shared_ptr<TlsContext> context,
                const QString &hostName,
                bool keepsTickets,
                bool fromFirstByte);
    // Starts TLS on the connection as it stands (cwConnected, after the host agreed to it);
    // bytes received in clear and not yet handed out are dropped. The state stays cwConnected;
    // encrypted follows the handshake, or the connection closes. Uses the context of setTls.
    // 1235 unless cwConnected with a context set.
    void StartTls();
    // Over TLS, gathers what Send is given into records of up to 16 KiB instead of one record
    // per Send: a host decrypts, and often writes to disk, one record at a time. Bytes kept
    // for the next record count as taken; they go out once a record is full, at the next write
    // notification, or with a graceful Close. For data connections only: a command would wait.
    void setGatherSends(bool gather) { m_gatherSends = gather; }
    // The connection runs over TLS and its handshake is done.
    bool Encrypted() const;
    // The connection's TLS layer (version, cipher, certificate); nullptr without TLS.
    const TlsChannel *Tls() const { return m_tls.get(); }
    // Why the last handshake or TLS read failed; empty when none did.
    QString TlsError() const { return m_tlsError; }
    // The system's error number when the connection ended with an error rather than the peer's
    // orderly close (ECONNRESET for a reset); 0 otherwise. Kept after Close until the next
    // Connect or Listen.
    int ReceiveError() const { return m_receiveError; }
    // Bytes that can be read from the connection socket (the socket's own buffer included), or
    // -1 when the query fails.
    qint64 BytesAvailable() const;
    // Local address of the connection socket (what a PORT or EPRT command announces), IPv6
    // without brackets; "0.0.0.0" when there is no connection socket.
    QString LocalAddress() const;
    // Decimal local port of the listening socket; "0" when there is no listener.
    QString LocalPort() const;
    // Address of the connection socket's peer (used to open passive data connections to the
    // host the control connection already reaches), IPv6 without brackets; still known after
    // the connection closed, "0.0.0.0" before any.
    QString PeerAddress() const;
    // True when the connection goes (or went) over IPv6.
    bool PeerIsIPv6() const { return m_peer.ss_family == AF_INET6; }

Q_SIGNALS:
    // The OnStateChange event: raised once for every real change of State.
    void stateChanged(TcWinsockStates newState);
    // The OnDataAvailable event: data can be read. It comes again while data remains, provided
    // the owner called Receive since the last one; an owner that leaves data unread hears
    // nothing more (not even the peer's close) until its next Receive. Bytes already in the
    // socket's own buffer are announced again at once, from inside the same notification,
    // for as long as the owner keeps reading.
    void dataAvailable();
    // The TLS handshake is done (after cwConnected when TLS ran from the first byte).
    void encrypted();
    // The OnDataNeeded event: more data can be sent.
    void dataNeeded();
    // A listener closed a caller that did not come from AcceptFrom; address is the caller's
    // address.
    void callerRefused(const QString &address);

private:
    void setState(TcWinsockStates state);
    quint16 resolvePort() const;
    void lookupFinished(int lookupId, const QList<sockaddr_storage> &addresses);
    void connectNext();
    void watch(int fd);
    void unwatch();
    void closeQuietly();
    void stopListeningQuietly();
    bool takeCaller();
    void armWrite();
    void readReady();
    void fillInbox();
    bool buffered() const;
    void queueNotice();
    void writeReady();
    void acceptReady();
    void connectFinished(int error);
    void peerClosed();
    void startHandshake();
    void stepHandshake();
    void failTls(const QString &reason);
    qint64 sendTls(const QByteArray &text);
    bool flushOutbox();

    QString m_ip;
    QString m_port = QStringLiteral("0");
    TcWinsockStates m_state = cwNIL;
    int m_socket = -1;   // connection socket; -1 when none
    int m_listener = -1; // listening socket; -1 when none
    int m_accepted = -1; // caller taken off the backlog, waiting for Accept; -1 when none
    sockaddr_storage m_acceptedPeer{};
    QString m_listenAddress;
    QString m_acceptFrom;
    sockaddr_storage m_peer{};            // address and port of the peer; family 0 before any
    quint16 m_peerPort = 0;               // host byte order
    QList<sockaddr_storage> m_candidates; // addresses the lookup found, tried in order
    qsizetype m_candidate = 0;            // the one being tried
    int m_lookupId = -1;
    quint64 m_connectAttempt = 0;  // tells a queued connect failure from a later connect
    bool m_readSinceNotice = true; // Receive was called since the last dataAvailable
    bool m_readPaused = false;     // read notices wait for the owner's next Receive
    bool m_peerDone = false;       // a receive saw the end of the peer's data (or a reset)
    int m_receiveError = 0;        // errno of the receive that ended the connection, or 0
    QByteArray m_inbox;            // bytes read ahead, handed out from m_inboxStart
    QByteArray m_slice;            // the last slice handed out
    qsizetype m_inboxStart = 0;
    qsizetype m_inboxEnd = 0;
    int m_noticeDepth = 0;       // read notices being delivered (they nest through re-entry)
    bool m_noticeQueued = false; // a notice for bytes left in the buffer is on its way
    enum TlsPhase { TlsOff, TlsHandshaking, TlsOn };
    std::shared_ptr<TlsContext> m_tlsContext;
    QString m_tlsHost;
    bool m_tlsKeepsTickets = false;
    bool m_tlsFromFirstByte = false;
    std::unique_ptr<TlsChannel> m_tls;
    TlsPhase m_tlsPhase = TlsOff;
    QString m_tlsError;
    bool m_gatherSends = false;
    QByteArray m_outbox;          // bytes gathered for the next TLS record
    bool m_outboxWaiting = false; // the record in m_outbox waits for the socket's readiness
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QSocketNotifier *m_acceptNotifier = nullptr;
};
