#include "sites/mastercipher.h"

#include <QStringList>

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <memory>

namespace {

constexpr int SaltSize = 16;
constexpr int NonceSize = 12;
constexpr int TagSize = 16;
constexpr int KeySize = 32;
constexpr int MinCost = 10;
constexpr int MaxCost = 20;

const QLatin1String Version("1");
const QLatin1String VerifierText("Orvane FTP master password check");

QByteArray deriveKey(const QString &passphrase, const QByteArray &salt, int costExponent)
{
    const QByteArray secret = passphrase.toUtf8();
    QByteArray key(KeySize, Qt::Uninitialized);
    const uint64_t n = uint64_t(1) << costExponent;
    // Memory bound: 128 * r * N bytes plus headroom.
    const uint64_t maxMem = 128ull * 8 * n + (1u << 20);
    if (EVP_PBE_scrypt(secret.constData(),
                       size_t(secret.size()),
                       reinterpret_cast<const unsigned char *>(salt.constData()),
                       size_t(salt.size()),
                       n,
                       8,
                       1,
                       maxMem,
                       reinterpret_cast<unsigned char *>(key.data()),
                       size_t(key.size()))
        != 1)
        return QByteArray();
    return key;
}

struct CipherContextFree
{
    void operator()(EVP_CIPHER_CTX *ctx) const { EVP_CIPHER_CTX_free(ctx); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree>;

unsigned char *bytes(QByteArray &a)
{
    return reinterpret_cast<unsigned char *>(a.data());
}

const unsigned char *bytes(const QByteArray &a)
{
    return reinterpret_cast<const unsigned char *>(a.constData());
}

// AES-256-GCM; on decryption the last TagSize bytes of data are the tag. Empty optional-like
// result with ok false when the cipher fails or the tag does not match.
QByteArray gcm(const QByteArray &key,
               const QByteArray &nonce,
               const QByteArray &data,
               bool encrypt,
               bool *ok)
{
    *ok = false;
    CipherContext ctx(EVP_CIPHER_CTX_new());
    if (!ctx)
        return QByteArray();
    const QByteArray body = encrypt ? data : data.left(data.size() - TagSize);
    QByteArray out(body.size() + TagSize, Qt::Uninitialized);
    int length = 0;
    int total = 0;
    if (EVP_CipherInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr, encrypt ? 1 : 0)
                != 1
        || EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, NonceSize, nullptr) != 1
        || EVP_CipherInit_ex(ctx.get(), nullptr, nullptr, bytes(key), bytes(nonce), -1) != 1)
        return QByteArray();
    if (!body.isEmpty()
        && EVP_CipherUpdate(ctx.get(), bytes(out), &length, bytes(body), int(body.size())) != 1)
        return QByteArray();
    total = length;
    if (!encrypt) {
        QByteArray tag = data.right(TagSize);
        if (EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, TagSize, tag.data()) != 1)
            return QByteArray();
    }
    if (EVP_CipherFinal_ex(ctx.get(), bytes(out) + total, &length) != 1)
        return QByteArray();
    total += length;
    if (encrypt) {
        if (EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, TagSize, bytes(out) + total) != 1)
            return QByteArray();
        total += TagSize;
    }
    out.truncate(total);
    *ok = true;
    return out;
}

QByteArray random(int size)
{
    QByteArray out(size, Qt::Uninitialized);
    if (RAND_bytes(bytes(out), size) != 1)
        return QByteArray();
    return out;
}

struct Parts
{
    int cost = 0;
    QByteArray salt;
    QByteArray nonce;
    QByteArray sealed;
};

bool split(const QString &text, Parts *parts)
{
    const QStringList fields = text.split(QLatin1Char(':'));
    if (fields.size() != 5 || fields.at(0) != Version)
        return false;
    bool number = false;
    parts->cost = fields.at(1).toInt(&number);
    if (!number || parts->cost < MinCost || parts->cost > MaxCost)
        return false;
    const auto decode = [](const QString &field, QByteArray *out) {
        auto result = QByteArray::fromBase64Encoding(field.toLatin1(),
                                                     QByteArray::AbortOnBase64DecodingErrors);
        if (!result)
            return false;
        *out = *result;
        return true;
    };
    return decode(fields.at(2), &parts->salt) && parts->salt.size() == SaltSize
           && decode(fields.at(3), &parts->nonce) && parts->nonce.size() == NonceSize
           && decode(fields.at(4), &parts->sealed) && parts->sealed.size() >= TagSize;
}

} // namespace

QString MasterCipher::seal(const QString &plain, const QString &passphrase)
{
    const QByteArray salt = random(SaltSize);
    const QByteArray nonce = random(NonceSize);
    if (salt.isEmpty() || nonce.isEmpty())
        return QString();
    const QByteArray key = deriveKey(passphrase, salt, CostExponent);
    if (key.isEmpty())
        return QString();
    bool ok = false;
    const QByteArray sealed = gcm(key, nonce, plain.toUtf8(), true, &ok);
    if (!ok)
        return QString();
    return QStringList{Version,
                       QString::number(CostExponent),
                       QString::fromLatin1(salt.toBase64()),
                       QString::fromLatin1(nonce.toBase64()),
                       QString::fromLatin1(sealed.toBase64())}
            .join(QLatin1Char(':'));
}

MasterCipher::Opened MasterCipher::open(const QString &sealed,
                                        const QString &passphrase,
                                        QString *plain)
{
    Parts parts;
    if (!split(sealed, &parts))
        return Opened::Damaged;
    const QByteArray key = deriveKey(passphrase, parts.salt, parts.cost);
    if (key.isEmpty())
        return Opened::Damaged;
    bool ok = false;
    const QByteArray text = gcm(key, parts.nonce, parts.sealed, false, &ok);
    if (!ok)
        return Opened::WrongPassphrase;
    if (plain)
        *plain = QString::fromUtf8(text);
    return Opened::Ok;
}

QString MasterCipher::makeVerifier(const QString &passphrase)
{
    return seal(VerifierText, passphrase);
}

MasterCipher::Opened MasterCipher::check(const QString &verifier, const QString &passphrase)
{
    QString text;
    const Opened opened = open(verifier, passphrase, &text);
    if (opened == Opened::Ok && text != VerifierText)
        return Opened::Damaged;
    return opened;
}

bool MasterCipher::looksSealed(const QString &text)
{
    Parts parts;
    return split(text, &parts);
}
