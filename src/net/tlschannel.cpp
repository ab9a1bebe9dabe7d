#include "net/tlschannel.h"

#include "net/tlscontext.h"

#include <QStringList>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <cerrno>
#include <cstring>

TlsChannel::TlsChannel(std::shared_ptr<TlsContext> context, SSL *ssl)
    : m_context(std::move(context))
    , m_ssl(ssl)
{}

TlsChannel::~TlsChannel()
{
    SSL_free(m_ssl);
}

QString TlsChannel::lastError()
{
    QStringList reasons;
    while (const unsigned long code = ERR_get_error()) {
        char text[256];
        ERR_error_string_n(code, text, sizeof text);
        reasons.append(QString::fromLatin1(text));
    }
    return reasons.join(QStringLiteral("; "));
}

TlsChannel::Step TlsChannel::stepFor(int result)
{
    switch (SSL_get_error(m_ssl, result)) {
    case SSL_ERROR_NONE:
        return Done;
    case SSL_ERROR_WANT_READ:
        return WantRead;
    case SSL_ERROR_WANT_WRITE:
        return WantWrite;
    case SSL_ERROR_ZERO_RETURN:
        return Closed;
    case SSL_ERROR_SYSCALL: {
        const int error = errno;
        m_error = lastError();
        if (m_error.isEmpty())
            m_error = error != 0 ? QString::fromLocal8Bit(std::strerror(error))
                                 : QStringLiteral("the connection closed");
        return Failed;
    }
    default:
        m_error = lastError();
        if (m_error.isEmpty())
            m_error = QStringLiteral("TLS failure");
        return Failed;
    }
}

TlsChannel::Step TlsChannel::handshake()
{
    ERR_clear_error();
    return stepFor(SSL_do_handshake(m_ssl));
}

TlsChannel::Step TlsChannel::read(char *into, qsizetype max, qsizetype *got)
{
    ERR_clear_error();
    size_t done = 0;
    const int result = SSL_read_ex(m_ssl, into, size_t(max), &done);
    *got = qsizetype(done);
    return result == 1 ? Done : stepFor(result);
}

TlsChannel::Step TlsChannel::write(const char *data, qsizetype size, qsizetype *sent)
{
    ERR_clear_error();
    size_t done = 0;
    const int result = SSL_write_ex(m_ssl, data, size_t(size), &done);
    *sent = qsizetype(done);
    return result == 1 ? Done : stepFor(result);
}

void TlsChannel::shutdown()
{
    ERR_clear_error();
    SSL_shutdown(m_ssl);
    ERR_clear_error();
}

bool TlsChannel::pending() const
{
    return SSL_has_pending(m_ssl) == 1;
}

QString TlsChannel::version() const
{
    return QString::fromLatin1(SSL_get_version(m_ssl));
}

QString TlsChannel::cipher() const
{
    return QString::fromLatin1(SSL_get_cipher_name(m_ssl));
}

QByteArray TlsChannel::peerCertificate() const
{
    X509 *certificate = SSL_get1_peer_certificate(m_ssl);
    if (!certificate)
        return {};
    unsigned char *der = nullptr;
    const int length = i2d_X509(certificate, &der);
    QByteArray bytes;
    if (length > 0)
        bytes = QByteArray(reinterpret_cast<const char *>(der), length);
    OPENSSL_free(der);
    X509_free(certificate);
    return bytes;
}

bool TlsChannel::verified() const
{
    return SSL_get_verify_result(m_ssl) == X509_V_OK && SSL_get0_peer_certificate(m_ssl);
}

QString TlsChannel::verifyError() const
{
    if (!SSL_get0_peer_certificate(m_ssl))
        return QStringLiteral("the host sent no certificate");
    const long result = SSL_get_verify_result(m_ssl);
    if (result == X509_V_OK)
        return {};
    return QString::fromLatin1(X509_verify_cert_error_string(result));
}

bool TlsChannel::sessionReused() const
{
    return SSL_session_reused(m_ssl) == 1;
}
