#include "util/hosttext.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>

TEST(HostText, EveryByteSequenceComesBackExactly)
{
    EXPECT_EQ(DecodeHostText("Gr\xc3\xbc\xc3\x9f"
                             "e \xe6\x97\xa5"),
              QStringLiteral("Grüße 日"));
    const QByteArray samples[] = {
            "\xf0\x9f\x98\x80.png", // valid four-byte sequence
            "caf\xe9.txt",          // Latin-1 name
            "\xff\xfe",             // bytes that never start a sequence
            "\xc3",                 // sequence cut at the end
            "\xc3(x",               // sequence cut by ASCII
            "\xc0\xaf",             // overlong "/"
            "\xe0\x80\xaf",         // overlong, three bytes
            "\xed\xa0\x80",         // encoded surrogate
            "\xf4\x90\x80\x80",     // above U+10FFFF
            "\xf0\x9f\x98",         // four-byte sequence cut short
            "a\x80"
            "b\xbf"
            "c",                       // lone continuation bytes
            "\xf0\x9f\x82\x80\x80",    // U+1F080 then a stray byte
            "ok \xc3\xa9 bad \xe9 ok", // valid and invalid mixed
    };
    for (const QByteArray &bytes : samples)
        EXPECT_EQ(EncodeHostText(DecodeHostText(bytes)), bytes) << bytes.toHex().constData();
    for (int b = 0; b < 256; ++b) {
        const QByteArray pair = QByteArray(1, char(b)) + QByteArray(1, char(255 - b));
        EXPECT_EQ(EncodeHostText(DecodeHostText(pair)), pair) << b;
    }
    // An invalid byte is one escape character, never a replacement character.
    const QString latin = DecodeHostText(QByteArray("caf\xe9"));
    ASSERT_EQ(latin.size(), 4);
    EXPECT_EQ(latin.at(3).unicode(), 0xDCE9);
    // Lone surrogates from elsewhere become replacement characters.
    EXPECT_EQ(EncodeHostText(QStringLiteral("a") + QChar(0xD800) + 'b' + QChar(0xDC10)),
              QByteArray("a\xef\xbf\xbd"
                         "b\xef\xbf\xbd"));
}

TEST(HostText, ShownTextHasNoControlCharacters)
{
    const std::pair<QString, QString> rows[] = {
            {"tab\tstays Grüße 日本", "tab\tstays Grüße 日本"},
            {"esc\x1b]0;owned\x07.txt", "esc\\x1B]0;owned\\x07.txt"},
            {QStringLiteral("cr\rlf\nnul") + QChar(0), "cr\\x0Dlf\\x0Anul\\x00"},
            {QStringLiteral("del") + QChar(0x7F), "del\\x7F"},
            {QStringLiteral("csi") + QChar(0x9B) + "2J", "csi\\x9B2J"},
            {QStringLiteral("bidi") + QChar(0x202E) + "gnp.exe", "bidi\\u{202E}gnp.exe"},
            {QChar(0x2066) + QStringLiteral("a") + QChar(0x2069) + QChar(0x200F) + QChar(0x061C),
             "\\u{2066}a\\u{2069}\\u{200F}\\u{61C}"},
    };
    for (const auto &[in, out] : rows) {
        EXPECT_EQ(VisibleHostText(in), out);
        EXPECT_EQ(VisibleHostText(out), out); // shown text passes through again unchanged
    }
    // A name that is not UTF-8 keeps its bytes for transfers; only its shown form changes.
    const QString name = DecodeHostText("caf\xe9\x1b[2J");
    EXPECT_EQ(EncodeHostText(name), QByteArray("caf\xe9\x1b[2J"));
    EXPECT_FALSE(VisibleHostText(name).contains(QChar(0x1B)));
}
