#include "sites/passwordcipher.h"

#include <gtest/gtest.h>

namespace {

TEST(PasswordCipher, DesMatchesTheFips46Vector)
{
    const QByteArray key = QByteArray::fromHex("133457799BBCDFF1");
    const QByteArray plain = QByteArray::fromHex("0123456789ABCDEF");
    const QByteArray cipher = DesEcb(key, plain, true);
    EXPECT_EQ(cipher.toHex().toUpper(), QByteArray("85E813540F0AB405"));
    EXPECT_EQ(DesEcb(key, cipher, false), plain);
    // ECB: equal blocks give equal ciphertext blocks.
    EXPECT_EQ(DesEcb(key, plain + plain, true), cipher + cipher);
    EXPECT_TRUE(DesEcb(key, QByteArray("short"), true).isEmpty());
    EXPECT_TRUE(DesEcb(QByteArray("7 bytes"), plain, true).isEmpty());
}

TEST(PasswordCipher, StoredFormCountsFillAndBytes)
{
    struct Case
    {
        QString plain;
        const char *pad;
        int length;
    };
    const Case cases[] = {
            {QStringLiteral("12345678"), "000", 3 + 8 * 3},
            {QStringLiteral("x"), "007", 3 + 8 * 3},
            {QStringLiteral("abcdefghij"), "006", 51},
            {QStringLiteral("1234567"), "001", 3 + 8 * 3},
            {QStringLiteral("123456789"), "007", 3 + 16 * 3},
            {QStringLiteral("0123456789abcdef"), "000", 3 + 16 * 3},
            // Passwords go in as UTF-8: "pässwörd" is 10 bytes.
            {QStringLiteral("p\u00e4ssw\u00f6rd"), "006", 51},
    };
    for (const Case &c : cases) {
        const QString stored = EncipherPassword(c.plain);
        EXPECT_EQ(stored.size(), c.length) << c.plain.toStdString();
        EXPECT_TRUE(stored.startsWith(QLatin1String(c.pad))) << stored.toStdString();
        for (qsizetype at = 0; at < stored.size(); at += 3) {
            bool ok = false;
            const int number = stored.mid(at, 3).toInt(&ok);
            EXPECT_TRUE(ok && number >= 0 && number <= 255) << stored.toStdString();
        }
        EXPECT_EQ(DecipherPassword(stored), c.plain);
    }
}

TEST(PasswordCipher, KnownStoredForm)
{
    // DES-ECB of "password" under "kqzmvtr." is 56 ce be 89 5e 35 4d 74.
    EXPECT_EQ(EncipherPassword(QStringLiteral("password")),
              QStringLiteral("000086206190137094053077116"));
    EXPECT_EQ(DecipherPassword(QStringLiteral("000086206190137094053077116")),
              QStringLiteral("password"));
    // Fill characters are "." and the count says how many to drop, so a password ending in
    // "." keeps it.
    for (const QString &plain :
         {QStringLiteral("abc."), QStringLiteral("........"), QStringLiteral(".")})
        EXPECT_EQ(DecipherPassword(EncipherPassword(plain)), plain);
    // Another key gives another stored form.
    EXPECT_NE(PasswordCipher(QStringLiteral("password"), QByteArray("otherkey"), true),
              EncipherPassword(QStringLiteral("password")));
}

TEST(PasswordCipher, EmptyAndMalformedForms)
{
    EXPECT_TRUE(EncipherPassword(QString()).isEmpty());
    EXPECT_TRUE(DecipherPassword(QString()).isEmpty());

    const QString marker = MalformedPasswordMarker();
    ASSERT_EQ(marker.size(), 3);
    EXPECT_EQ(marker.at(0).unicode(), 1);
    EXPECT_EQ(marker.at(1).unicode(), 2);
    EXPECT_EQ(marker.at(2).unicode(), 141);

    const QString good = QStringLiteral("000086206190137094053077116");
    const QString malformed[] = {
            QStringLiteral("plain text password"),
            QStringLiteral("000086206190137094053077x16"), // a group that is not a number
            QStringLiteral("00008620619013709405307711"),  // not whole groups
            QStringLiteral("000086206190137094053"),       // not a whole block
            QStringLiteral("000"),                         // no block at all
            QStringLiteral("008086206190137094053077116"), // more fill than a block can need
            QStringLiteral("000086206190137094053077999"), // a byte above 255
            QStringLiteral("-01086206190137094053077116"),
    };
    for (const QString &stored : malformed)
        EXPECT_EQ(DecipherPassword(stored), marker) << stored.toStdString();
    EXPECT_EQ(DecipherPassword(good), QStringLiteral("password"));
}

} // namespace
