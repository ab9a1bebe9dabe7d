#include "ftp/ftpreplyreader.h"
#include "support/qtprinters.h"
#include "util/hosttext.h"

#include <QRandomGenerator>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

// Every line the reader gives, as "F text" (final), "S text" (no reply) or "- text" (other).
QStringList drain(FtpReplyReader &reader)
{
    QStringList out;
    FtpReplyReader::Line line;
    while (reader.nextLine(line))
        out << QString(line.final ? u'F' : line.stray ? u'S' : u'-') + u' ' + line.text;
    return out;
}

} // namespace

// Lines cut anywhere between feeds come out whole; a multi-line reply ends only with a line of
// its own code and a space; outside one a line without a three-digit code is no reply.
TEST(FtpReplyReader, TellsFinalRepliesFromOtherLines)
{
    const QByteArray stream
            = "200 Type set\r\n200\r\n 200 x\r\nLog in here\r\nxx\r\n\r\n2001 x\r\n"
              "230-multi\r\nLog in with care\r\n150 not the end\r\n 230 indented\r\n"
              "230 end\r\n";
    // clang-format off
    const QStringList expected = {"F 200 Type set",
                                  "- 200", "S  200 x", "F Log in here", "S xx", "- ", "S 2001 x",
                                  "- 230-multi", "- Log in with care", "- 150 not the end",
                                  "-  230 indented", "F 230 end"};
    // clang-format on
    QRandomGenerator random(42);
    for (int round = 0; round < 300; ++round) {
        FtpReplyReader reader;
        QStringList got;
        for (qsizetype at = 0, n = 0; at < stream.size(); at += n) {
            n = round == 0 ? stream.size()
                           : 1 + random.bounded(int(qMin<qsizetype>(12, stream.size() - at)));
            reader.feed(stream.mid(at, n));
            got += drain(reader);
        }
        ASSERT_EQ(got, expected) << "round " << round;
        EXPECT_FALSE(reader.inMultiLine());
        EXPECT_EQ(reader.pendingSize(), 0);
    }
    // A name in the host's own bytes goes back to the host unchanged.
    FtpReplyReader reader;
    reader.feed("550 caf\xe9.txt\r\n");
    FtpReplyReader::Line line;
    ASSERT_TRUE(reader.nextLine(line));
    EXPECT_EQ(EncodeHostText(line.text), "550 caf\xe9.txt");
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
        EXPECT_EQ(drain(reader).size(), perReply + 1);
        EXPECT_FALSE(reader.replyTooLong());
    }
    // One line more, and the reply is refused before its end; so are blank lines without end.
    for (const QByteArray &line : {text, QByteArray("\r\n")}) {
        reader.clear();
        qsizetype taken = 0;
        for (qsizetype i = 0; i < FtpReplyReader::MaxReplySize / line.size() + 1; ++i) {
            reader.feed(line);
            taken += drain(reader).size();
        }
        reader.feed("230 done\r\n");
        taken += drain(reader).size();
        EXPECT_TRUE(reader.replyTooLong());
        EXPECT_LE(taken * line.size(), FtpReplyReader::MaxReplySize);
    }
}

// A line of the longest length is taken; one without end overflows after the earlier lines,
// and nothing more comes out until the reader is cleared.
TEST(FtpReplyReader, EndlessLineOverflows)
{
    FtpReplyReader reader;
    reader.feed("200 " + QByteArray(FtpReplyReader::MaxLineLength - 4, 'y') + "\r");
    EXPECT_TRUE(drain(reader).isEmpty());
    reader.feed("\n220 hello\r\n");
    const QStringList first = drain(reader);
    ASSERT_EQ(first.size(), 2);
    EXPECT_EQ(first.at(0).size(), FtpReplyReader::MaxLineLength + 2);
    EXPECT_FALSE(reader.overflowed());
    for (int i = 0; i < 40 && !reader.overflowed(); ++i) {
        reader.feed(QByteArray(4096, 'x'));
        EXPECT_TRUE(drain(reader).isEmpty());
    }
    EXPECT_TRUE(reader.overflowed());
    EXPECT_LE(reader.pendingSize(), FtpReplyReader::MaxLineLength + 4096);
    reader.feed("\r\n200 ok\r\n");
    EXPECT_TRUE(drain(reader).isEmpty());
    reader.clear();
    reader.feed("200 ok\r\n");
    EXPECT_EQ(drain(reader), QStringList{"F 200 ok"});
}
