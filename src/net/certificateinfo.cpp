#include "net/certificateinfo.h"

#include <QCryptographicHash>
#include <QRegularExpression>

#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/x509.h>

#include <ctime>

namespace {

QString nameText(const X509_NAME *name)
{
    BIO *out = BIO_new(BIO_s_mem());
    if (!out)
        return {};
    X509_NAME_print_ex(out, name, 0, XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB);
    char *data = nullptr;
    const long length = BIO_get_mem_data(out, &data);
    const QString text = QString::fromUtf8(data, length);
    BIO_free(out);
    return text;
}

QDateTime timeOf(const ASN1_TIME *time)
{
    std::tm parts{};
    if (!time || ASN1_TIME_to_tm(time, &parts) != 1)
        return {};
    return QDateTime(QDate(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday),
                     QTime(parts.tm_hour, parts.tm_min, parts.tm_sec),
                     Qt::UTC);
}

} // namespace

CertificateInfo CertificateInfo::fromDer(const QByteArray &der)
{
    CertificateInfo info;
    info.fingerprint = fingerprintOf(der);
    const auto *bytes = reinterpret_cast<const unsigned char *>(der.constData());
    X509 *certificate = d2i_X509(nullptr, &bytes, der.size());
    if (!certificate)
        return info;
    info.subject = nameText(X509_get_subject_name(certificate));
    info.issuer = nameText(X509_get_issuer_name(certificate));
    info.notBefore = timeOf(X509_get0_notBefore(certificate));
    info.notAfter = timeOf(X509_get0_notAfter(certificate));
    X509_free(certificate);
    return info;
}

QString CertificateInfo::fingerprintOf(const QByteArray &der)
{
    if (der.isEmpty())
        return {};
    return QString::fromLatin1(QCryptographicHash::hash(der, QCryptographicHash::Sha256).toHex());
}

QString CertificateInfo::parsePin(const QString &text)
{
    QString digits = text.trimmed();
    if (digits.startsWith(QLatin1String("sha256:"), Qt::CaseInsensitive))
        digits = digits.mid(7);
    digits.remove(QLatin1Char(':'));
    static const QRegularExpression hex(QStringLiteral("^[0-9a-fA-F]{64}$"));
    return hex.match(digits).hasMatch() ? digits.toLower() : QString();
}

QString CertificateInfo::spaced(const QString &fingerprint)
{
    QStringList pairs;
    for (qsizetype i = 0; i + 1 < fingerprint.size(); i += 2)
        pairs.append(fingerprint.mid(i, 2).toUpper());
    return pairs.join(QLatin1Char(':'));
}
