#include "sites/passwordcipher.h"

#include <openssl/evp.h>

#include <memory>

QByteArray SitePasswordKey()
{
    return QByteArrayLiteral("kqzmvtr.");
}

QString MalformedPasswordMarker()
{
    const QChar codes[] = {QChar(1), QChar(2), QChar(141)};
    return QString(codes, 3);
}

QString CipherFailureMarker()
{
    const QChar codes[] = {QChar(4), QChar(1), QChar(151)};
    return QString(codes, 3);
}

QByteArray DesEcb(const QByteArray &key, const QByteArray &data, bool encrypt)
{
    if (key.size() != 8 || data.size() % 8 != 0 || data.isEmpty())
        return QByteArray();
    // Triple DES with the same key three times is single DES, and OpenSSL 3 offers it without
    // the legacy provider.
    const QByteArray tripleKey = key + key + key;
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                        &EVP_CIPHER_CTX_free);
    if (!ctx
        || EVP_CipherInit_ex(ctx.get(),
                             EVP_des_ede3_ecb(),
                             nullptr,
                             reinterpret_cast<const unsigned char *>(tripleKey.constData()),
                             nullptr,
                             encrypt ? 1 : 0)
                   != 1
        || EVP_CIPHER_CTX_set_padding(ctx.get(), 0) != 1)
        return QByteArray();
    QByteArray out(data.size() + 8, Qt::Uninitialized);
    int written = 0;
    int finalWritten = 0;
    auto *outBytes = reinterpret_cast<unsigned char *>(out.data());
    if (EVP_CipherUpdate(ctx.get(),
                         outBytes,
                         &written,
                         reinterpret_cast<const unsigned char *>(data.constData()),
                         int(data.size()))
                != 1
        || EVP_CipherFinal_ex(ctx.get(), outBytes + written, &finalWritten) != 1)
        return QByteArray();
    out.resize(written + finalWritten);
    return out;
}

namespace {

QString encipher(const QString &plain, const QByteArray &key)
{
    QByteArray bytes = plain.toUtf8();
    const int pad = (8 - bytes.size() % 8) % 8;
    bytes.append(pad, '.');
    const QByteArray cipher = DesEcb(key, bytes, true);
    if (cipher.size() != bytes.size())
        return CipherFailureMarker();
    QString stored = QStringLiteral("%1").arg(pad, 3, 10, QLatin1Char('0'));
    for (const char byte : cipher)
        stored += QStringLiteral("%1").arg(
                int(static_cast<unsigned char>(byte)), 3, 10, QLatin1Char('0'));
    return stored;
}

// One group of three decimal digits, or -1.
int group(const QString &stored, qsizetype at)
{
    int number = 0;
    for (qsizetype i = at; i < at + 3; ++i) {
        const QChar c = stored.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
        number = number * 10 + (c.unicode() - '0');
    }
    return number;
}

QString decipher(const QString &stored, const QByteArray &key)
{
    if (stored.size() % 3 != 0)
        return MalformedPasswordMarker();
    const int pad = group(stored, 0);
    if (pad < 0 || pad > 7)
        return MalformedPasswordMarker();
    QByteArray cipher;
    for (qsizetype at = 3; at < stored.size(); at += 3) {
        const int byte = group(stored, at);
        if (byte < 0 || byte > 255)
            return MalformedPasswordMarker();
        cipher.append(char(byte));
    }
    if (cipher.isEmpty() || cipher.size() % 8 != 0)
        return MalformedPasswordMarker();
    QByteArray plain = DesEcb(key, cipher, false);
    if (plain.size() != cipher.size())
        return MalformedPasswordMarker();
    plain.chop(pad);
    return QString::fromUtf8(plain);
}

} // namespace

QString PasswordCipher(const QString &text, const QByteArray &key, bool encipherFlag)
{
    if (text.isEmpty())
        return QString();
    return encipherFlag ? encipher(text, key) : decipher(text, key);
}
