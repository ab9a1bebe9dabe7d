// Feeds arbitrary bytes to the reply-line reader, cut into feeds of a size taken from the first
// byte, and checks that the lines come out the same as from one feed and add up to the input.
#include "ftp/ftpreplyreader.h"
#include "util/hosttext.h"

#include <QList>

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

struct Result
{
    QList<FtpReplyReader::Line> lines;
    bool overflowed = false;
};

Result read(const QByteArray &bytes, qsizetype step)
{
    Result result;
    FtpReplyReader reader;
    for (qsizetype at = 0; at < bytes.size(); at += step) {
        reader.feed(bytes.mid(at, step));
        FtpReplyReader::Line line;
        while (reader.nextLine(line))
            result.lines.append(line);
        check(reader.pendingSize() <= FtpReplyReader::MaxLineLength + step + 2);
    }
    result.overflowed = reader.overflowed();
    return result;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const qsizetype step = 1 + data[0] % 64;
    const QByteArray bytes(reinterpret_cast<const char *>(data) + 1, qsizetype(size) - 1);

    const Result whole = read(bytes, qMax<qsizetype>(1, bytes.size()));
    const Result pieces = read(bytes, step);
    check(whole.overflowed == pieces.overflowed);
    check(whole.lines.size() == pieces.lines.size());

    QByteArray joined;
    for (qsizetype i = 0; i < whole.lines.size(); ++i) {
        const FtpReplyReader::Line &line = whole.lines.at(i);
        check(line.text == pieces.lines.at(i).text && line.final == pieces.lines.at(i).final);
        const QByteArray raw = EncodeHostText(line.text);
        check(!raw.contains("\r\n"));
        check(raw.size() <= FtpReplyReader::MaxLineLength);
        // A final line always carries a space as its fourth character.
        check(!line.final || (raw.size() > 3 && raw.at(3) == ' ' && raw.at(0) != ' '));
        joined += raw + "\r\n";
    }
    check(bytes.startsWith(joined));
    return 0;
}
