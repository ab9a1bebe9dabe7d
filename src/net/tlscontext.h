#pragma once

#include <QList>
#include <QString>

typedef struct ssl_ctx_st SSL_CTX;
typedef struct ssl_st SSL;
typedef struct ssl_session_st SSL_SESSION;

// What the TLS connections of one session share: the authorities a host's certificate is
// verified against, and the TLS sessions the host handed out. Every data connection resumes
// one, which hosts that insist on it (vsftpd by default) require. With TLS 1.2 that is the
// control connection's session, again and again. With TLS 1.3 the host sends tickets after
// each handshake (two on the control connection, one more on every resumed data connection),
// and a host may take each only once: the newest unused ticket goes to the next data
// connection, and the last one is used again only when no fresh one came.
//
// One context serves one session's control and data connections; the sockets that use it keep
// it alive (shared ownership).
class TlsContext
{
public:
    TlsContext();
    ~TlsContext();
    TlsContext(const TlsContext &) = delete;
    TlsContext &operator=(const TlsContext &) = delete;

    // False when OpenSSL could not set up a client context (error() says why).
    bool isValid() const { return m_ctx != nullptr; }
    QString error() const { return m_error; }
    // Trusts the authorities of a PEM file besides the system's; false (and error) when the
    // file cannot be read.
    bool addAuthorities(const QString &pemFile);
    // A new client connection over the connected descriptor fd. hostName (a name or an
    // address) is what the certificate must name and, for a name, what the host is told it is
    // called. keepsTickets marks the control connection, which makes a new session; every
    // other connection resumes a kept one, if any. nullptr (and error) on failure.
    SSL *newConnection(int fd, const QString &hostName, bool keepsTickets);
    // A session has been kept for data connections to resume.
    bool hasSession() const { return !m_tickets.isEmpty() || m_lastUsed != nullptr; }

private:
    static int sessionArrived(SSL *ssl, SSL_SESSION *session);

    SSL_CTX *m_ctx = nullptr;
    SSL_SESSION *takeTicket();

    QList<SSL_SESSION *> m_tickets; // unused, oldest first
    SSL_SESSION *m_lastUsed = nullptr;
    QString m_error;
};
