// What every real FTP server of the tests offers for a login with a user name and password, so
// one test can run against vsftpd and pyftpdlib alike: a TEST_P over FtpTestServer::Kind,
// instantiated with ::testing::Values(Kind::Vsftpd, Kind::Pyftpdlib) and FtpTestServer::testName,
// that makes its server with FtpTestServer::create(GetParam()).
#pragma once

#include "support/peerprocess.h"
#include "support/qtprinters.h"

#include <memory>
#include <ostream>
#include <string>

namespace ovtest {

class FtpTestServer
{
public:
    enum class Kind { Vsftpd, Pyftpdlib };
    friend void PrintTo(Kind kind, std::ostream *out)
    {
        *out << (kind == Kind::Vsftpd ? "vsftpd" : "pyftpdlib");
    }

    static std::unique_ptr<FtpTestServer> create(Kind kind);
    // "Vsftpd" or "Pyftpdlib": a name generator for INSTANTIATE_TEST_SUITE_P.
    static std::string testName(const ::testing::TestParamInfo<Kind> &info);

    virtual ~FtpTestServer() = default;

    // Starts the server; returns once it accepts logins, or a failure carrying its output when
    // that does not happen within timeoutMs. Use as ASSERT_TRUE(server.start()).
    virtual ::testing::AssertionResult start(int timeoutMs = 10000) = 0;
    void stop() { m_peer.stop(); }
    quint16 port() const { return m_port; }

    // The account with a password. Its "/" is userRoot(), readable and writable.
    virtual QString loginUser() const = 0;
    virtual QString loginPassword() const = 0;
    virtual QString userRoot() const = 0;
    // The native path of a host path below the user's "/" ("pub/a.txt" -> ".../pub/a.txt").
    QString userPath(const QString &relativePath) const;
    // Creates a file or folder below the user's "/", owned so that the user may change it;
    // returns its native path, or "" after failing the test.
    virtual QString createUserFile(const QString &relativePath, const QByteArray &content) = 0;
    virtual QString createUserFolder(const QString &relativePath) = 0;

    // The command lines the server received on every control connection, in order, as its log
    // shows them ("RETR /pub/a.txt").
    virtual QStringList commands() const = 0;
    // The server's log (every command and reply) and output, for failure messages.
    virtual QString log() const = 0;

protected:
    explicit FtpTestServer(const QString &name)
        : m_peer(name)
    {}

    PeerProcess m_peer;
    quint16 m_port = 0;
};

} // namespace ovtest
