// Type-A line ends: each case is converted whole, then cut into two pieces at every place,
// then fed one byte at a time; a line end split between pieces must come out as if whole.
#include "ftp/textlineends.h"

#include <QList>

#include <gtest/gtest.h>

namespace {

struct LineEndCase
{
    QByteArray in;
    QByteArray out;
};

QByteArray receiveIn(const QList<QByteArray> &pieces)
{
    TextLineEnds lineEnds;
    QByteArray out;
    for (const QByteArray &piece : pieces)
        lineEnds.receive(piece, out);
    lineEnds.finishReceiving(out);
    return out;
}

QByteArray sendIn(const QList<QByteArray> &pieces)
{
    TextLineEnds lineEnds;
    QByteArray out;
    for (const QByteArray &piece : pieces)
        lineEnds.send(piece, out);
    return out;
}

// The text whole, cut once at every place, and byte by byte.
QList<QList<QByteArray>> cuts(const QByteArray &text)
{
    QList<QList<QByteArray>> all{{text}};
    for (qsizetype at = 0; at <= text.size(); ++at)
        all.append({text.left(at), text.mid(at)});
    QList<QByteArray> bytes;
    for (char c : text)
        bytes.append(QByteArray(1, c));
    all.append(bytes);
    return all;
}

} // namespace

TEST(TextLineEnds, WireToLocal)
{
    const QList<LineEndCase> cases = {
            {"", ""},
            {"one\r\ntwo\r\n", "one\ntwo\n"},
            {"\r\n\r\n", "\n\n"},
            {"no end", "no end"},
            {"ends in CR\r", "ends in CR\r"},
            {"lone\rCR", "lone\rCR"},
            {"CR CR LF\r\r\n", "CR CR LF\r\n"},
            {"bare\nLF", "bare\nLF"},
            {"LF CR\n\r", "LF CR\n\r"},
            {"\r\r\r\n\n", "\r\r\n\n"},
    };
    for (const LineEndCase &c : cases) {
        for (const QList<QByteArray> &pieces : cuts(c.in))
            EXPECT_EQ(receiveIn(pieces), c.out) << c.in.toStdString() << " in " << pieces.size();
    }
}

TEST(TextLineEnds, LocalToWire)
{
    const QList<LineEndCase> cases = {
            {"", ""},
            {"one\ntwo\n", "one\r\ntwo\r\n"},
            {"\n\n", "\r\n\r\n"},
            {"already\r\nCRLF", "already\r\nCRLF"},
            {"mixed\r\nand\nends", "mixed\r\nand\r\nends"},
            {"lone\rCR", "lone\rCR"},
            {"ends in CR\r", "ends in CR\r"},
            {"\r\r\n\n", "\r\r\n\r\n"},
    };
    for (const LineEndCase &c : cases) {
        for (const QList<QByteArray> &pieces : cuts(c.in))
            EXPECT_EQ(sendIn(pieces), c.out) << c.in.toStdString() << " in " << pieces.size();
    }
}
