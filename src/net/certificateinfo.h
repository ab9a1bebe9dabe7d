#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// What a person is shown of a host's certificate before trusting it, read from its DER form.
struct CertificateInfo
{
    QString subject;
    QString issuer;
    QDateTime notBefore; // UTC; invalid when the certificate cannot be read
    QDateTime notAfter;
    // SHA-256 of the DER form, 64 lower-case hex digits: what a site pins.
    QString fingerprint;

    // Empty fields (but the fingerprint of the bytes) when der is no certificate.
    static CertificateInfo fromDer(const QByteArray &der);
    static QString fingerprintOf(const QByteArray &der);
    // "sha256:AB:cd:..." or the bare digits, colons allowed, any case -> 64 lower-case hex
    // digits; empty when text is no SHA-256 fingerprint.
    static QString parsePin(const QString &text);
    // The fingerprint in pairs, "AB:CD:...", as certificate viewers show it.
    static QString spaced(const QString &fingerprint);
};
