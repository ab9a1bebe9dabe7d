// Certificates for TLS tests, made with the openssl tool into a private temporary folder: a test
// authority and server certificates for 127.0.0.1, each with its key.
#pragma once

#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace ovtest {

class TestCertificates
{
public:
    enum Kind {
        Signed,      // by the test authority
        OtherSigned, // another one like it (a host whose certificate changed)
        SelfSigned,  // signed by nobody
        Expired,     // by the test authority, no longer valid
    };

    ::testing::AssertionResult make();

    QString authority() const { return m_dir.filePath(QStringLiteral("ca.pem")); }
    QString certificate(Kind kind) const { return file(kind, ".pem"); }
    QString key(Kind kind) const { return file(kind, ".key"); }
    // SHA-256 of the certificate's DER form, 64 lower-case hex digits, as openssl computes it.
    QString fingerprint(Kind kind) const;

private:
    QString file(Kind kind, const char *suffix) const;

    QTemporaryDir m_dir;
};

// Sets the vsftpd options of explicit FTP over TLS with certificate kind: forced for logins and
// data, anonymous included, data connections resuming the control connection's session.
class VsftpdServer;
void enableVsftpdTls(VsftpdServer &server,
                     const TestCertificates &certificates,
                     TestCertificates::Kind kind);

} // namespace ovtest
