#pragma once

#include <QByteArray>
#include <QString>

// The stored form of site passwords. This is obfuscation, not protection: the key is fixed and
// part of the program.
//
// Stored text: runs of three decimal digits. The first number (000..007) counts the "."
// characters appended to the password's UTF-8 bytes to reach a multiple of 8; every following
// number (000..255) is one byte of the DES-ECB ciphertext of the padded bytes. A 10-character
// password is "006" and 16 numbers, 51 characters in all. The empty password is stored empty.

// The fixed key "kqzmvtr.", used as the 8 DES key bytes.
QByteArray SitePasswordKey();

// Result of deciphering a stored form that is not one the cipher produces (codes 1, 2, 141).
QString MalformedPasswordMarker();
// Result of enciphering when the cipher itself fails (codes 4, 1, 151).
QString CipherFailureMarker();

// encipher true: the stored form of the plain password text; false: the plain password of the
// stored form text, or MalformedPasswordMarker() for anything the cipher cannot have produced
// (a group that is not a number, a byte above 255, a count above 7, a length that is not whole
// blocks). The empty text gives the empty text both ways.
QString PasswordCipher(const QString &text, const QByteArray &key, bool encipher);

inline QString EncipherPassword(const QString &plain)
{
    return PasswordCipher(plain, SitePasswordKey(), true);
}

inline QString DecipherPassword(const QString &stored)
{
    return PasswordCipher(stored, SitePasswordKey(), false);
}

// Single DES in ECB mode over whole 8-byte blocks, no padding. Returns an empty array when the
// key is not 8 bytes, the data is not whole blocks or the cipher fails.
QByteArray DesEcb(const QByteArray &key, const QByteArray &data, bool encrypt);
