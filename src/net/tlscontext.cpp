#include "net/tlscontext.h"

#include "net/tlschannel.h"

#include <QHostAddress>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

namespace {

// Unused tickets kept at most; older ones are dropped.
constexpr qsizetype MaxTickets = 8;

// OpenSSL reads this much per system call once a connection is busy: a record is at most
// 16 KiB, and a download brings many in a row.
constexpr long ReadBufferLength = 64 * 1024;

} // namespace

TlsContext::TlsContext()
{
    m_ctx = SSL_CTX_new(TLS_client_method());
    if (!m_ctx) {
        m_error = TlsChannel::lastError();
        return;
    }
    SSL_CTX_set_min_proto_version(m_ctx, TLS1_2_VERSION);
    SSL_CTX_set_default_verify_paths(m_ctx);
    // Verification decides nothing during the handshake: its result is read afterwards, so
    // that a certificate the user trusts, or pinned, can still be accepted.
    SSL_CTX_set_verify(m_ctx, SSL_VERIFY_NONE, nullptr);
    SSL_CTX_set_mode(m_ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    // A host that closes a data connection without a closing alert still ends the transfer;
    // the final reply on the control connection says whether it was whole.
    SSL_CTX_set_options(m_ctx, SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_read_ahead(m_ctx, 1);
    SSL_CTX_set_default_read_buffer_len(m_ctx, ReadBufferLength);
    SSL_CTX_set_session_cache_mode(m_ctx, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
    SSL_CTX_sess_set_new_cb(m_ctx, &TlsContext::sessionArrived);
    SSL_CTX_set_app_data(m_ctx, this);
}

TlsContext::~TlsContext()
{
    for (SSL_SESSION *ticket : std::as_const(m_tickets))
        SSL_SESSION_free(ticket);
    if (m_lastUsed)
        SSL_SESSION_free(m_lastUsed);
    if (m_ctx)
        SSL_CTX_free(m_ctx);
}

bool TlsContext::addAuthorities(const QString &pemFile)
{
    if (!m_ctx)
        return false;
    if (SSL_CTX_load_verify_locations(m_ctx, pemFile.toLocal8Bit().constData(), nullptr) != 1) {
        m_error = TlsChannel::lastError();
        return false;
    }
    return true;
}

SSL *TlsContext::newConnection(int fd, const QString &hostName, bool keepsTickets)
{
    if (!m_ctx)
        return nullptr;
    SSL *ssl = SSL_new(m_ctx);
    if (!ssl || SSL_set_fd(ssl, fd) != 1) {
        m_error = TlsChannel::lastError();
        SSL_free(ssl);
        return nullptr;
    }
    const QByteArray host = hostName.toUtf8();
    if (!QHostAddress(hostName).isNull()) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), host.constData());
    } else if (!host.isEmpty()) {
        SSL_set_tlsext_host_name(ssl, host.constData());
        SSL_set1_host(ssl, host.constData());
    }
    if (!keepsTickets)
        if (SSL_SESSION *ticket = takeTicket())
            SSL_set_session(ssl, ticket);
    SSL_set_connect_state(ssl);
    return ssl;
}

// The session the next data connection resumes: the newest unused ticket, else the one used
// last. A TLS 1.2 session stays usable; a TLS 1.3 ticket is spent.
SSL_SESSION *TlsContext::takeTicket()
{
    if (m_tickets.isEmpty())
        return m_lastUsed;
    if (SSL_SESSION_get_protocol_version(m_tickets.last()) < TLS1_3_VERSION)
        return m_tickets.last();
    if (m_lastUsed)
        SSL_SESSION_free(m_lastUsed);
    m_lastUsed = m_tickets.takeLast();
    return m_lastUsed;
}

int TlsContext::sessionArrived(SSL *ssl, SSL_SESSION *session)
{
    auto *self = static_cast<TlsContext *>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl)));
    if (!self)
        return 0;
    // A TLS 1.2 data connection that resumed brings back the session it resumed: one copy is
    // enough.
    for (SSL_SESSION *kept : std::as_const(self->m_tickets)) {
        if (kept == session)
            return 0;
    }
    if (self->m_tickets.size() >= MaxTickets)
        SSL_SESSION_free(self->m_tickets.takeFirst());
    // Returning 1 hands our reference to the session over to us.
    self->m_tickets.append(session);
    return 1;
}
