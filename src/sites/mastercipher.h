#pragma once

#include <QByteArray>
#include <QString>

// Passwords kept under a passphrase (the master password, or the passphrase of an exported site
// file): AES-256-GCM with a key derived from the passphrase by scrypt. Every sealed text has its
// own random salt and nonce, so two sealings of one password never look alike.
//
// Sealed text: "1:" N-exponent ":" base64(salt) ":" base64(nonce) ":" base64(ciphertext + tag),
// for example "1:14:...". The version and the scrypt cost travel with the text, so that a later
// program can raise the cost and still open what it wrote before.
class MasterCipher
{
public:
    enum class Opened { Ok, WrongPassphrase, Damaged };

    // The sealed text of plain under passphrase; empty when the cipher itself fails.
    static QString seal(const QString &plain, const QString &passphrase);

    // Opens sealed into *plain. WrongPassphrase: the text is well formed but its tag does not
    // match under this passphrase (a wrong passphrase, or a change inside the ciphertext: only
    // a verifier sealed under the same passphrase tells the two apart). Damaged: not a text
    // seal() writes.
    static Opened open(const QString &sealed, const QString &passphrase, QString *plain);

    // A verifier: a fixed text sealed under passphrase. check() answers Ok for the passphrase it
    // was made with, WrongPassphrase for any other, Damaged when the verifier is not one.
    static QString makeVerifier(const QString &passphrase);
    static Opened check(const QString &verifier, const QString &passphrase);

    // True when text has the shape of a sealed text (it may still fail to open).
    static bool looksSealed(const QString &text);

    // The scrypt cost exponent of new sealings (N = 2^exponent, r = 8, p = 1).
    static constexpr int CostExponent = 14;
};
