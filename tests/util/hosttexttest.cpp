#include "util/hosttext.h"

#include <gtest/gtest.h>

namespace {

TEST(HostText, DecodesUtf8AndAscii)
{
    EXPECT_EQ(DecodeHostText("readme.txt"), QStringLiteral("readme.txt"));
    EXPECT_EQ(DecodeHostText(QByteArray()), QString());
    EXPECT_EQ(DecodeHostText("Gr\xc3\xbc\xc3\x9f"
                             "e"),
              QStringLiteral("Grüße"));
    EXPECT_EQ(DecodeHostText("\xe6\x97\xa5\xe6\x9c\xac"), QStringLiteral("日本"));
    const QString emoji = DecodeHostText("\xf0\x9f\x98\x80.png");
    EXPECT_EQ(emoji, QString::fromUtf8("\xf0\x9f\x98\x80.png"));
    EXPECT_EQ(EncodeHostText(QStringLiteral("Grüße")),
              QByteArray("Gr\xc3\xbc\xc3\x9f"
                         "e"));
    EXPECT_EQ(EncodeHostText(emoji), QByteArray("\xf0\x9f\x98\x80.png"));
}

TEST(HostText, KeepsInvalidBytesExactly)
{
    const QByteArray samples[] = {
            QByteArray("caf\xe9.txt"),      // Latin-1 name
            QByteArray("\xff\xfe"),         // bytes that never start a sequence
            QByteArray("\xc3"),             // sequence cut at the end
            QByteArray("\xc3(x"),           // sequence cut by ASCII
            QByteArray("\xc0\xaf"),         // overlong "/"
            QByteArray("\xe0\x80\xaf"),     // overlong, three bytes
            QByteArray("\xed\xa0\x80"),     // encoded surrogate
            QByteArray("\xf4\x90\x80\x80"), // above U+10FFFF
            QByteArray("\xf0\x9f\x98"),     // four-byte sequence cut short
            QByteArray("a\x80"
                       "b\xbf"
                       "c"),                       // lone continuation bytes
            QByteArray("\xf0\x9f\x82\x80\x80"),    // U+1F080 (low surrogate DC80) then a stray byte
            QByteArray("ok \xc3\xa9 bad \xe9 ok"), // valid and invalid mixed
    };
    for (const QByteArray &bytes : samples) {
        const QString text = DecodeHostText(bytes);
        EXPECT_EQ(EncodeHostText(text), bytes) << bytes.toHex().constData();
    }

    // An invalid byte is one escape character, never a replacement character.
    const QString latin = DecodeHostText(QByteArray("caf\xe9"));
    ASSERT_EQ(latin.size(), 4);
    EXPECT_EQ(latin.at(3).unicode(), 0xDCE9);
    EXPECT_FALSE(latin.contains(QChar(0xFFFD)));
}

TEST(HostText, EveryByteValueRoundTrips)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    EXPECT_EQ(EncodeHostText(DecodeHostText(all)), all);
    for (int b = 0; b < 256; ++b) {
        const QByteArray pair = QByteArray(1, char(b)) + QByteArray(1, char(255 - b));
        EXPECT_EQ(EncodeHostText(DecodeHostText(pair)), pair) << b;
    }
}

TEST(HostText, LoneSurrogatesFromElsewhereBecomeReplacementCharacters)
{
    QString text = QStringLiteral("a");
    text += QChar(0xD800); // high surrogate without its pair
    text += QLatin1Char('b');
    text += QChar(0xDC10); // low surrogate below the escaped byte range
    EXPECT_EQ(EncodeHostText(text),
              QByteArray("a\xef\xbf\xbd"
                         "b\xef\xbf\xbd"));
}

} // namespace

namespace {

TEST(HostText, ShownTextHasNoControlCharacters)
{
    struct Row
    {
        QString in;
        QString out;
    };
    const Row rows[] = {
            {QStringLiteral("plain name.txt"), QStringLiteral("plain name.txt")},
            {QStringLiteral("tab\tstays"), QStringLiteral("tab\tstays")},
            {QStringLiteral("Grüße 日本"), QStringLiteral("Grüße 日本")},
            {QString::fromUtf8("esc\x1b]0;owned\x07.txt"),
             QStringLiteral("esc\\x1B]0;owned\\x07.txt")},
            {QString::fromUtf8("cr\rlf\nnul") + QChar(0), QStringLiteral("cr\\x0Dlf\\x0Anul\\x00")},
            {QStringLiteral("del") + QChar(0x7F), QStringLiteral("del\\x7F")},
            {QStringLiteral("csi") + QChar(0x9B) + QStringLiteral("2J"),
             QStringLiteral("csi\\x9B2J")},
            {QStringLiteral("bidi") + QChar(0x202E) + QStringLiteral("gnp.exe"),
             QStringLiteral("bidi\\u{202E}gnp.exe")},
            {QChar(0x2066) + QStringLiteral("a") + QChar(0x2069) + QChar(0x200F) + QChar(0x061C),
             QStringLiteral("\\u{2066}a\\u{2069}\\u{200F}\\u{61C}")},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.in.toStdString());
        const QString shown = VisibleHostText(row.in);
        EXPECT_EQ(shown, row.out);
        EXPECT_EQ(VisibleHostText(shown), shown); // shown text passes through again unchanged
    }
    // A name that is not UTF-8 keeps its bytes for transfers; only its shown form changes.
    const QString name = DecodeHostText("caf\xe9\x1b[2J");
    EXPECT_EQ(EncodeHostText(name), QByteArray("caf\xe9\x1b[2J"));
    EXPECT_FALSE(VisibleHostText(name).contains(QChar(0x1B)));
}

} // namespace
