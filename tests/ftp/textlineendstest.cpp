// Type-A line ends: each case is converted whole, then cut into two pieces at every place,
// then fed one byte at a time; a line end split between pieces must come out as if whole.
#include "ftp/textlineends.h"

#include <QList>

#include <gtest/gtest.h>

namespace {

QByteArray convert(bool receiving, const QList<QByteArray> &pieces)
{
    TextLineEnds lineEnds;
    QByteArray out;
    for (const QByteArray &piece : pieces)
        receiving ? lineEnds.receive(piece, out) : lineEnds.send(piece, out);
    if (receiving)
        lineEnds.finishReceiving(out);
    return out;
}

TEST(TextLineEnds, ConvertsBothWaysWhereverTheTextIsCut)
{
    // clang-format off
    const struct { bool receiving; QByteArray in, out; } cases[] = {
            {true, "", ""},
            {true, "one\r\ntwo\r\n", "one\ntwo\n"},
            {true, "\r\n\r\n", "\n\n"},
            {true, "ends in CR\r", "ends in CR\r"},
            {true, "lone\rCR", "lone\rCR"},
            {true, "CR CR LF\r\r\n", "CR CR LF\r\n"},
            {true, "bare\nLF", "bare\nLF"},
            {true, "LF CR\n\r", "LF CR\n\r"},
            {true, "\r\r\r\n\n", "\r\r\n\n"},
            {false, "", ""},
            {false, "one\ntwo\n", "one\r\ntwo\r\n"},
            {false, "already\r\nCRLF", "already\r\nCRLF"},
            {false, "mixed\r\nand\nends", "mixed\r\nand\r\nends"},
            {false, "lone\rCR", "lone\rCR"},
            {false, "ends in CR\r", "ends in CR\r"},
            {false, "\r\r\n\n", "\r\r\n\r\n"},
    };
    // clang-format on
    for (const auto &c : cases) {
        QList<QList<QByteArray>> cuts{{c.in}, {}};
        for (qsizetype at = 0; at <= c.in.size(); ++at)
            cuts.append({c.in.left(at), c.in.mid(at)});
        for (char byte : c.in)
            cuts[1].append(QByteArray(1, byte));
        for (const QList<QByteArray> &pieces : cuts)
            EXPECT_EQ(convert(c.receiving, pieces), c.out)
                    << c.in.toStdString() << " in " << pieces.size();
    }
}

} // namespace
