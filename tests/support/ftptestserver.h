// What every real FTP server of the tests offers for a login with a user name and password, so
// one test can run against vsftpd and pyftpdlib alike.
#pragma once

#include "support/peerprocess.h"
#include "support/qtprinters.h"

#include <ostream>
#include <string>

namespace ovtest {

class FtpTestServer
{
public:
    enum class Kind { Vsftpd, Pyftpdlib };
    friend void PrintTo(Kind kind, std::ostream *out) { *out << testName({kind, 0}); }
    // "Vsftpd" or "Pyftpdlib": a name generator for INSTANTIATE_TEST_SUITE_P.
    static std::string testName(const ::testing::TestParamInfo<Kind> &info)
    {
        return info.param == Kind::Vsftpd ? "Vsftpd" : "Pyftpdlib";
    }

    virtual ~FtpTestServer() = default;

    // Returns once the server accepts logins, or a failure carrying its output.
    virtual ::testing::AssertionResult start(int timeoutMs = 10000) = 0;
    void stop() { m_peer.stop(); }
    quint16 port() const { return m_port; }

    virtual QString loginUser() const = 0;
    virtual QString loginPassword() const = 0;
    // The login's "/", readable and writable, and native paths below it.
    virtual QString userRoot() const = 0;
    QString userPath(const QString &relativePath) const
    {
        return relativePath.isEmpty() ? userRoot() : userRoot() + u'/' + relativePath;
    }
    // A file or folder below the user's "/" that the user may change: its native path, or ""
    // after failing the test.
    virtual QString createUserFile(const QString &relativePath, const QByteArray &content) = 0;
    virtual QString createUserFolder(const QString &relativePath) = 0;

    // The command lines received on every control connection, in order ("RETR /pub/a.txt").
    virtual QStringList commands() const = 0;
    virtual QString log() const = 0; // every command, reply and output, for failure messages

protected:
    explicit FtpTestServer(const QString &name)
        : m_peer(name)
    {}

    PeerProcess m_peer;
    quint16 m_port = 0;
};

} // namespace ovtest
