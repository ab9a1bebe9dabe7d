#include "ftp/ftpreplyreader.h"
#include "util/hosttext.h"

#include <QList>
#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace {

struct Collected
{
    QStringList lines;
    QList<bool> finals;
    QList<bool> strays;
};

Collected drain(FtpReplyReader &reader)
{
    Collected out;
    FtpReplyReader::Line line;
    while (reader.nextLine(line)) {
        out.lines.append(line.text);
        out.finals.append(line.final);
        out.strays.append(line.stray);
    }
    return out;
}

} // namespace

TEST(FtpReplyReader, SplitsLinesAcrossFeeds)
{
    FtpReplyReader reader;
    reader.feed("220 Serv");
    EXPECT_TRUE(drain(reader).lines.isEmpty());
    reader.feed("-U ready\r");
    EXPECT_TRUE(drain(reader).lines.isEmpty());
    reader.feed("\n331 Password required\r\n230 partial");
    const Collected got = drain(reader);
    ASSERT_EQ(got.lines.size(), 2);
    EXPECT_EQ(got.lines.at(0), QStringLiteral("220 Serv-U ready"));
    EXPECT_EQ(got.lines.at(1), QStringLiteral("331 Password required"));
    EXPECT_EQ(reader.pendingSize(), 11);
    reader.feed(" done\r\n");
    const Collected rest = drain(reader);
    ASSERT_EQ(rest.lines.size(), 1);
    EXPECT_EQ(rest.lines.at(0), QStringLiteral("230 partial done"));
    EXPECT_EQ(reader.pendingSize(), 0);
}

TEST(FtpReplyReader, TellsFinalRepliesFromOtherLines)
{
    FtpReplyReader reader;
    reader.feed("200 Type set\r\n"
                "200\r\n"         // too short
                " 200 x\r\n"      // begins with a space
                "Log in here\r\n" // outside a multi-line reply the old rule holds
                "xx\r\n"
                "\r\n"
                "2001 x\r\n"
                "230-multi\r\n"
                "Log in with care\r\n"
                "230 end\r\n");
    const Collected got = drain(reader);
    EXPECT_EQ(got.finals,
              (QList<bool>{true, false, false, true, false, false, false, false, false, true}));
    // Outside a multi-line reply a line without a three-digit code is no reply at all.
    EXPECT_EQ(got.strays,
              (QList<bool>{false, false, true, true, true, false, true, false, false, false}));
}

TEST(FtpReplyReader, ReplyPastItsBoundIsRefused)
{
    const QByteArray text = "230-" + QByteArray(96, 'w') + "\r\n";
    const qsizetype perReply = FtpReplyReader::MaxReplySize / text.size();
    FtpReplyReader reader;
    // Two replies just within the bound: the count starts again after each final line.
    for (int reply = 0; reply < 2; ++reply) {
        for (qsizetype i = 0; i < perReply; ++i)
            reader.feed(text);
        reader.feed("230 done\r\n");
        const Collected got = drain(reader);
        EXPECT_EQ(got.lines.size(), perReply + 1);
        EXPECT_FALSE(reader.replyTooLong());
    }
    // One line more, and the reply is refused before its end; so are blank lines without end.
    for (const QByteArray &line : {text, QByteArray("\r\n")}) {
        reader.clear();
        qsizetype taken = 0;
        for (qsizetype i = 0; i < FtpReplyReader::MaxReplySize / line.size() + 1; ++i) {
            reader.feed(line);
            taken += drain(reader).lines.size();
        }
        reader.feed("230 done\r\n");
        taken += drain(reader).lines.size();
        EXPECT_TRUE(reader.replyTooLong());
        EXPECT_LE(taken * line.size(), FtpReplyReader::MaxReplySize);
    }
}

TEST(FtpReplyReader, MultiLineReplyEndsOnlyWithItsOwnCode)
{
    FtpReplyReader reader;
    reader.feed("230-Welcome to the archive\r\n"
                "Log in with care\r\n"
                "230-still welcome\r\n"
                "150 not the end either\r\n"
                " 230 indented\r\n"
                "230 Login successful.\r\n"
                "257 \"/\" is current\r\n");
    const Collected got = drain(reader);
    ASSERT_EQ(got.lines.size(), 7);
    EXPECT_EQ(got.finals, (QList<bool>{false, false, false, false, false, true, true}));
    EXPECT_FALSE(reader.inMultiLine());
}

TEST(FtpReplyReader, EndlessLineOverflowsAfterEarlierLines)
{
    FtpReplyReader reader;
    reader.feed("220 hello\r\n");
    QByteArray endless(4096, 'x');
    bool overflowed = false;
    QStringList lines;
    for (int i = 0; i < 40 && !overflowed; ++i) {
        reader.feed(endless);
        FtpReplyReader::Line line;
        while (reader.nextLine(line))
            lines.append(line.text);
        overflowed = reader.overflowed();
    }
    EXPECT_EQ(lines, QStringList{QStringLiteral("220 hello")});
    EXPECT_TRUE(overflowed);
    EXPECT_LE(reader.pendingSize(), FtpReplyReader::MaxLineLength + 4096);
    // Once overflowed nothing more comes out until cleared.
    reader.feed("\r\n200 ok\r\n");
    FtpReplyReader::Line line;
    EXPECT_FALSE(reader.nextLine(line));
    reader.clear();
    reader.feed("200 ok\r\n");
    ASSERT_TRUE(reader.nextLine(line));
    EXPECT_TRUE(line.final);
}

TEST(FtpReplyReader, LineAtTheLimitIsAccepted)
{
    FtpReplyReader reader;
    QByteArray line = "200 " + QByteArray(FtpReplyReader::MaxLineLength - 4, 'y');
    reader.feed(line);
    reader.feed("\r");
    FtpReplyReader::Line got;
    EXPECT_FALSE(reader.nextLine(got));
    EXPECT_FALSE(reader.overflowed());
    reader.feed("\n");
    ASSERT_TRUE(reader.nextLine(got));
    EXPECT_EQ(got.text.size(), FtpReplyReader::MaxLineLength);
}

TEST(FtpReplyReader, NonUtf8BytesRoundTrip)
{
    FtpReplyReader reader;
    const QByteArray name = "550 caf\xe9.txt: no such file";
    reader.feed(name + "\r\n");
    FtpReplyReader::Line got;
    ASSERT_TRUE(reader.nextLine(got));
    EXPECT_TRUE(got.final);
    EXPECT_EQ(EncodeHostText(got.text), name);
}

// Any way of cutting the same bytes into feeds gives the same lines.
TEST(FtpReplyReader, RandomSplitsGiveTheSameLines)
{
    const QByteArray stream = "220-first\r\n 220 x\r\nLog on\r\n220 ready\r\n331 pass\r\n"
                              "230 ok\r\n150-a\r\n150 b\r\n226 done\r\n";
    FtpReplyReader whole;
    whole.feed(stream);
    const Collected expected = drain(whole);
    ASSERT_EQ(expected.lines.size(), 9);

    QRandomGenerator random(42);
    for (int round = 0; round < 500; ++round) {
        FtpReplyReader reader;
        Collected got;
        qsizetype at = 0;
        while (at < stream.size()) {
            const qsizetype n = 1 + random.bounded(int(qMin<qsizetype>(12, stream.size() - at)));
            reader.feed(stream.mid(at, n));
            const Collected part = drain(reader);
            got.lines += part.lines;
            got.finals += part.finals;
            at += n;
        }
        ASSERT_EQ(got.lines, expected.lines) << "round " << round;
        ASSERT_EQ(got.finals, expected.finals) << "round " << round;
    }
}
