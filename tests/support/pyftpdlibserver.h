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
#include "support/peerprocess.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace ovtest {

class PyftpdlibServer : public FtpTestServer
{
public:
    PyftpdlibServer();
    ~PyftpdlibServer() override;
    PyftpdlibServer(const PyftpdlibServer &) = delete;
    PyftpdlibServer &operator=(const PyftpdlibServer &) = delete;

    // Before start(): the address to listen on, "127.0.0.1" unless set ("::1" for IPv6).
    void setListenAddress(const QString &address) { m_address = address; }
    // Before start(): explicit FTP over TLS (pyftpdlib's TLS handler) with this certificate.
    void setTls(const QString &certificateFile, const QString &keyFile)
    {
        m_tlsCertificate = certificateFile;
        m_tlsKey = keyFile;
    }

    // Starts the server and returns once it listens, or a failure with its output when that
    // does not happen within timeoutMs. Use as ASSERT_TRUE(server.start()).
    ::testing::AssertionResult start(int timeoutMs = 10000) override;
    void stop() override;

    quint16 port() const override { return m_port; }
    static QString userName();
    static QString password();
    QString loginUser() const override { return userName(); }
    QString loginPassword() const override { return password(); }

    // The served folder: "/" for both the user and anonymous.
    QString root() const;
    QString path(const QString &relativePath = QString()) const;

    // Creates a file (and missing parent folders) below root(); returns its native path. Fails
    // the test and returns "" when it cannot be written.
    QString createFile(const QString &relativePath, const QByteArray &content) const;
    QString createFolder(const QString &relativePath) const;

    QString userRoot() const override { return root(); }
    QString createUserFile(const QString &relativePath, const QByteArray &content) override
    {
        return createFile(relativePath, content);
    }
    QString createUserFolder(const QString &relativePath) override
    {
        return createFolder(relativePath);
    }

    // The command lines the server received on every control connection, in order, as its log
    // shows them ("RETR /pub/a.txt"; passwords appear as "PASS ******").
    QStringList commands() const override;

    // The server's log (every command and reply) and output, for failure messages.
    QString log() const override;

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    PeerProcess m_process;
    quint16 m_port = 0;
    QString m_address;
    QString m_tlsCertificate;
    QString m_tlsKey;
};

} // namespace ovtest
