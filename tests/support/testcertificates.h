// Certificates for TLS tests, made with the openssl tool into a private temporary folder: a test
// authority and server certificates for 127.0.0.1 (signed by it, self-signed, expired, and a
// second one signed by it), each with its key.
//
//     TestCertificates certificates;
//     ASSERT_TRUE(certificates.make());
//     vsftpd.setOption("rsa_cert_file", certificates.certificate(TestCertificates::Signed));
#pragma once

#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace ovtest {

class TestCertificates
{
public:
    enum Kind {
        Signed,      // by the test authority, for 127.0.0.1
        OtherSigned, // another one like it (a host whose certificate changed)
        SelfSigned,  // for 127.0.0.1, signed by nobody
        Expired,     // by the test authority, no longer valid
    };

    ::testing::AssertionResult make();

    QString authority() const; // the authority's certificate (PEM)
    QString certificate(Kind kind) const;
    QString key(Kind kind) const;
    // SHA-256 of the certificate's DER form, 64 lower-case hex digits, as openssl computes it.
    QString fingerprint(Kind kind) const;

private:
    QTemporaryDir m_dir;
};

// Sets the vsftpd options of explicit FTP over TLS with certificate kind: forced for logins and
// data, anonymous included, data connections resuming the control connection's session.
class VsftpdServer;
void enableVsftpdTls(VsftpdServer &server,
                     const TestCertificates &certificates,
                     TestCertificates::Kind kind);

} // namespace ovtest
