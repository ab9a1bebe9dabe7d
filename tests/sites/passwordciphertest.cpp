#include "sites/passwordcipher.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>

TEST(PasswordCipher, StoredFormCountsFillAndBytes)
{
    // DES itself: the FIPS 46 vector, both ways, block by block; short input or key gives nothing.
    const QByteArray key = QByteArray::fromHex("133457799BBCDFF1");
    const QByteArray plain = QByteArray::fromHex("0123456789ABCDEF");
    const QByteArray cipher = DesEcb(key, plain, true);
    EXPECT_EQ(cipher.toHex().toUpper(), QByteArray("85E813540F0AB405"));
    EXPECT_EQ(DesEcb(key, cipher, false), plain);
    EXPECT_EQ(DesEcb(key, plain + plain, true), cipher + cipher);
    EXPECT_TRUE(DesEcb(key, QByteArray("short"), true).isEmpty());
    EXPECT_TRUE(DesEcb(QByteArray("7 bytes"), plain, true).isEmpty());

    // DES-ECB of "password" under "kqzmvtr." is 56 ce be 89 5e 35 4d 74.
    EXPECT_EQ(EncipherPassword("password"), QStringLiteral("000086206190137094053077116"));
    EXPECT_NE(PasswordCipher("password", "otherkey", true), EncipherPassword("password"));
    EXPECT_TRUE(EncipherPassword(QString()).isEmpty());
    EXPECT_TRUE(DecipherPassword(QString()).isEmpty());
    // Passwords go in as UTF-8 ("pässwörd" is 10 bytes); fill characters are "." and the count
    // says how many to drop, so a password ending in "." keeps it.
    const std::tuple<QString, const char *, int> rows[] = {
            {"12345678", "000", 27},
            {"x", "007", 27},
            {"1234567", "001", 27},
            {"123456789", "007", 51},
            {"0123456789abcdef", "000", 51},
            {"p\u00e4ssw\u00f6rd", "006", 51},
            {"abc.", "004", 27},
            {"........", "000", 27},
    };
    for (const auto &[plain, fill, length] : rows) {
        const QString stored = EncipherPassword(plain);
        EXPECT_EQ(stored.size(), length) << plain.toStdString();
        EXPECT_TRUE(stored.startsWith(QLatin1String(fill))) << stored.toStdString();
        EXPECT_EQ(DecipherPassword(stored), plain);
    }
}

TEST(PasswordCipher, MalformedFormsGiveTheMarker)
{
    const QString marker = MalformedPasswordMarker();
    EXPECT_EQ(marker, QString::fromUtf16(u"\u0001\u0002\u008d"));
    for (const char *stored : {
                 "plain text password",
                 "000086206190137094053077x16", // a group that is not a number
                 "00008620619013709405307711",  // not whole groups
                 "000086206190137094053",       // not a whole block
                 "000",                         // no block at all
                 "008086206190137094053077116", // more fill than a block can need
                 "000086206190137094053077999", // a byte above 255
                 "-01086206190137094053077116",
         })
        EXPECT_EQ(DecipherPassword(QLatin1String(stored)), marker) << stored;
}
