// pyftpdlib on 127.0.0.1 for protocol tests: tests/peers/pyftpd_server.py under
// /usr/bin/python3, serving one private temporary folder read-write to userName()/password()
// and to anonymous. The system picks the control port and each passive data port. In ASCII mode
// (TYPE A, the FTP default) it sends LF line ends as CR LF and stores CR LF as LF.
//
//     PyftpdlibServer pyftpd;
//     ASSERT_TRUE(pyftpd.start());
//     pyftpd.createFile("pub/a.txt", "hello");
#pragma once

#include "support/ftptestserver.h"

namespace ovtest {

class PyftpdlibServer : public FtpTestServer
{
public:
    PyftpdlibServer()
        : FtpTestServer(QStringLiteral("pyftpd"))
    {}

    // Before start(): the address to listen on, "127.0.0.1" unless set ("::1" for IPv6).
    void setListenAddress(const QString &address) { m_options << "--address" << address; }
    // Before start(): explicit FTP over TLS (pyftpdlib's TLS handler) with this certificate.
    void setTls(const QString &certificateFile, const QString &keyFile)
    {
        m_options << "--tls-cert" << certificateFile << "--tls-key" << keyFile;
    }

    // Before start(): the first RETR of each file is answered with 150, then the server hangs
    // up (a connection lost under a download); later ones are served.
    void setDropFirstRetr() { m_options << "--drop-first-retr"; }

    ::testing::AssertionResult start(int timeoutMs = 10000) override;

    static QString userName() { return QStringLiteral("ovuser"); }
    static QString password() { return QStringLiteral("Orv4ne-py-test"); }
    QString loginUser() const override { return userName(); }
    QString loginPassword() const override { return password(); }

    // Below the served folder, "/" for both the user and anonymous ("" = the folder itself).
    QString path(const QString &relativePath = QString()) const { return userPath(relativePath); }
    // Creates a file (and missing parent folders) below the served folder; returns its native
    // path. Fails the test and returns "" when it cannot be written.
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
