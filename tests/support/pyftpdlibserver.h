// pyftpdlib on 127.0.0.1 (tests/peers/pyftpd_server.py), serving one private temporary folder
// read-write to userName() and to anonymous, on ports the system picks. In ASCII mode (TYPE A)
// it sends LF line ends as CR LF and stores CR LF as LF.
#pragma once

#include "support/ftptestserver.h"

namespace ovtest {

class PyftpdlibServer : public FtpTestServer
{
public:
    PyftpdlibServer()
        : FtpTestServer(QStringLiteral("pyftpd"))
    {}

    // Before start(): the address to listen on ("::1" for IPv6; "127.0.0.1" unless set).
    void setListenAddress(const QString &address) { m_options << "--address" << address; }
    // Before start(): explicit FTP over TLS with this certificate.
    void setTls(const QString &certificateFile, const QString &keyFile)
    {
        m_options << "--tls-cert" << certificateFile << "--tls-key" << keyFile;
    }
    // Before start(): the first RETR of each file gets 150, then the server hangs up.
    void setDropFirstRetr() { m_options << "--drop-first-retr"; }

    ::testing::AssertionResult start(int timeoutMs = 10000) override;

    static QString userName() { return QStringLiteral("ovuser"); }
    static QString password() { return QStringLiteral("Orv4ne-py-test"); }
    QString loginUser() const override { return userName(); }
    QString loginPassword() const override { return password(); }

    // Below the served folder, "/" for the user and anonymous alike.
    QString path(const QString &relativePath = QString()) const { return userPath(relativePath); }
    QString createFile(const QString &relativePath, const QByteArray &content) const;
    QString createFolder(const QString &relativePath) const;

    QString userRoot() const override { return m_peer.path(QStringLiteral("root")); }
    QString createUserFile(const QString &relativePath, const QByteArray &content) override
    {
        return createFile(relativePath, content);
    }
    QString createUserFolder(const QString &relativePath) override
    {
        return createFolder(relativePath);
    }

    // Passwords appear as "PASS ******".
    QStringList commands() const override;
    QString log() const override { return m_peer.log(QStringLiteral("pyftpd.log")); }

private:
    QStringList m_options;
};

} // namespace ovtest
