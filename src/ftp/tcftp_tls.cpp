// FTP over TLS: AUTH TLS before the login (or TLS from the first byte), the host's certificate,
// then PBSZ 0 and PROT P so that data connections are protected as well.
#include "ftp/tcftp.h"

#include "net/tlschannel.h"
#include "net/tlscontext.h"

// Called by Connect: the control socket learns how TLS is to start.
void TcFTP::startControlTls()
{
    m_dataProtected = false;
    m_certificateHeld = false;
    m_userLine.clear();
    m_tlsContext.reset();
    if (m_security.encryption == cePlainOnly) {
        m_control->setTls(nullptr, QString(), false, false);
        m_data->setTls(nullptr, QString(), false, false);
        return;
    }
    // A fresh context for each connection: data connections resume only this control
    // connection's TLS session.
    m_tlsContext = std::make_shared<TlsContext>();
    if (!m_security.authorityFile.isEmpty()
        && !m_tlsContext->addAuthorities(m_security.authorityFile))
        Q_EMIT warning(tr("Cannot read the trusted authorities from %1: %2")
                               .arg(m_security.authorityFile, m_tlsContext->error()));
    m_control->setTls(m_tlsContext, m_host, true, m_security.encryption == ceImplicit);
}

void TcFTP::sendLogin(const QString &userLine)
{
    const bool explicitTls = m_security.encryption == ceExplicitIfAvailable
                             || m_security.encryption == ceExplicitRequired;
    if (explicitTls && !m_control->Encrypted()) {
        m_userLine = userLine;
        AddCommand(QStringLiteral("auth tls"));
        return;
    }
    AddCommand(userLine);
}

// The reply to AUTH TLS: 234 starts the handshake, which the host expects next.
void TcFTP::authReplied(ReplyFlags &flags)
{
    flags.cont = false;
    if (m_inCmd == QLatin1String("234")) {
        try {
            m_control->StartTls();
        } catch (const TcWinsockException &) {
            disconnectQuietly();
        }
        return;
    }
    if (m_security.encryption == ceExplicitIfAvailable) {
        Q_EMIT warning(tr("The host does not offer FTP over TLS (%1); going on in plain FTP, "
                          "unencrypted.")
                               .arg(m_replyLine));
        m_commandQueue.prepend(m_userLine);
        flags.cont = true;
        return;
    }
    Q_EMIT warning(tr("The host refused AUTH TLS (%1); this connection requires FTP over TLS, so "
                      "nothing of the login was sent.")
                           .arg(m_replyLine));
    disconnectQuietly();
}

void TcFTP::protReplied()
{
    if (m_inCmd.startsWith(QLatin1Char('2'))) {
        m_dataProtected = true;
        return;
    }
    if (m_security.encryption == ceExplicitIfAvailable) {
        Q_EMIT warning(tr("The host refused to protect data connections (%1); files and "
                          "listings go unencrypted.")
                               .arg(m_replyLine));
        return;
    }
    Q_EMIT warning(tr("The host refused to protect data connections (%1); this connection "
                      "requires FTP over TLS.")
                           .arg(m_replyLine));
    disconnectQuietly();
}

// After login on a protected control connection: data connections are protected too.
void TcFTP::queueDataProtection()
{
    if (!m_control->Encrypted())
        return;
    m_commandQueue.prepend(QStringLiteral("prot p"));
    m_commandQueue.prepend(QStringLiteral("pbsz 0"));
}

// The handshake waits for the host's 125/150 as well as for the connection: a host may take a
// handshake that reaches it before the transfer command for stray bytes on a connection nobody
// asked for yet, and close it (pyftpdlib does, in active mode at once, as it connects at PORT).
void TcFTP::startDataTls()
{
    if (!m_dataProtected || !m_dataAccepted || m_data->State() != cwConnected || m_data->Tls())
        return;
    try {
        m_data->StartTls();
    } catch (const TcWinsockException &) {
        closeDataSocket(true);
    }
}

void TcFTP::controlEncrypted()
{
    const TlsChannel *tls = m_control->Tls();
    if (!tls)
        return;
    Q_EMIT secured(tls->version(), tls->cipher());
    if (certificateAccepted())
        continueAfterTls();
}

// True when the certificate may be used at once; otherwise the owner is asked, and the session
// waits unless the owner trusted it from inside the question.
bool TcFTP::certificateAccepted()
{
    const TlsChannel *tls = m_control->Tls();
    const QByteArray der = tls->peerCertificate();
    const QString fingerprint = CertificateInfo::fingerprintOf(der);
    const QString &pinned = m_security.pinnedFingerprint;
    const bool trusted
            = !fingerprint.isEmpty() && m_security.trustedFingerprints.contains(fingerprint);
    QString problem;
    if (!pinned.isEmpty()) {
        if (fingerprint == pinned || trusted)
            return true;
        problem = tr("The host's certificate has changed: the site trusts %1, the host now shows "
                     "%2.")
                          .arg(CertificateInfo::spaced(pinned),
                               CertificateInfo::spaced(fingerprint));
    } else {
        if (tls->verified() || trusted)
            return true;
        problem = tls->verifyError();
    }
    m_certificateHeld = true;
    m_askingTrust = true;
    Q_EMIT certificateUntrusted(CertificateInfo::fromDer(der), problem, pinned);
    m_askingTrust = false;
    return !m_certificateHeld && m_control->Encrypted();
}

void TcFTP::TrustCertificate()
{
    if (!m_certificateHeld || !m_control->Encrypted())
        return;
    const QString fingerprint = CertificateInfo::fingerprintOf(m_control->Tls()->peerCertificate());
    if (!m_security.trustedFingerprints.contains(fingerprint))
        m_security.trustedFingerprints.append(fingerprint);
    m_certificateHeld = false;
    m_sinceProgress.restart();
    if (m_askingTrust)
        return; // certificateAccepted goes on
    QMetaObject::invokeMethod(
            this,
            [this] {
                try {
                    continueAfterTls();
                } catch (const TcFTPException &e) {
                    reportInternalError(e.number(), e.message());
                } catch (const std::exception &) {
                    const TcFTPException replaced(99);
                    reportInternalError(replaced.number(), replaced.message());
                }
            },
            Qt::QueuedConnection);
}

// The certificate is accepted: after AUTH TLS the login goes on; with TLS from the first byte
// the greeting, held back while the owner was asked, is read now.
void TcFTP::continueAfterTls()
{
    if (m_certificateHeld || !m_control->Encrypted())
        return;
    if (m_outCmd == QLatin1String("auth") && !m_userLine.isEmpty()) {
        m_commandQueue.prepend(std::exchange(m_userLine, QString()));
        runQueue();
        return;
    }
    if (m_control->BytesAvailable() > 0)
        controlDataAvailable();
}

void TcFTP::reportTlsFailure(const TcWinsock *socket, bool dataConnection)
{
    if (socket->TlsError().isEmpty())
        return;
    if (dataConnection)
        failTransfer(tr("the data connection's TLS failed: %1").arg(socket->TlsError()));
    else
        Q_EMIT warning(tr("FTP over TLS failed: %1").arg(socket->TlsError()));
}
