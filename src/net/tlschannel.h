#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class TlsContext;
typedef struct ssl_st SSL;

// One TLS client connection over a non-blocking descriptor that its owner (the socket) reads
// and writes through. No call waits: each answers Done, or which readiness of the descriptor
// OpenSSL waits for before the same call can go on.
class TlsChannel
{
public:
    enum Step { Done, WantRead, WantWrite, Closed, Failed };

    // Takes over ssl (from TlsContext::newConnection); context is kept alive with it.
    TlsChannel(std::shared_ptr<TlsContext> context, SSL *ssl);
    ~TlsChannel();
    TlsChannel(const TlsChannel &) = delete;
    TlsChannel &operator=(const TlsChannel &) = delete;

    Step handshake();
    // Decrypted bytes into into (at most max); *got is how many (Done only). Closed is the
    // peer's closing alert (or its end of the connection).
    Step read(char *into, qsizetype max, qsizetype *got);
    // Sends from data; *sent is how many bytes went into records (Done only). After WantRead or
    // WantWrite the same bytes must be offered again.
    Step write(const char *data, qsizetype size, qsizetype *sent);
    // Sends the closing alert, without waiting for the peer's.
    void shutdown();
    // Decrypted or received bytes are held inside that no readiness of the descriptor will
    // announce again.
    bool pending() const;
    // Why the last Failed came (OpenSSL's words).
    QString error() const { return m_error; }

    QString version() const;
    QString cipher() const;
    // The peer's certificate in DER form; empty when it sent none.
    QByteArray peerCertificate() const;
    // The certificate chain verified against the trusted authorities and names the host.
    bool verified() const;
    // Why it did not verify; empty when it did.
    QString verifyError() const;
    // The handshake resumed an earlier session instead of making a new one.
    bool sessionReused() const;

    // OpenSSL's error queue as text (emptied).
    static QString lastError();

private:
    Step stepFor(int result);

    std::shared_ptr<TlsContext> m_context;
    SSL *m_ssl = nullptr;
    QString m_error;
};
