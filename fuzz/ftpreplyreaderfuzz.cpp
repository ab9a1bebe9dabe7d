// Feeds arbitrary bytes to the reply-line reader, cut into feeds of a size taken from the first
// byte, and checks that the lines come out the same as from one feed and add up to the input,
// that no line and no reply passes its bound, and which lines are marked stray. The second byte
// chooses small bounds, so that short inputs reach them.
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

struct Bounds
{
    qsizetype line;
    qsizetype reply;
};

struct Result
{
    QList<FtpReplyReader::Line> lines;
    bool overflowed = false;
    bool replyTooLong = false;
};

Result read(const QByteArray &bytes, qsizetype step, Bounds bounds)
{
    Result result;
    FtpReplyReader reader(bounds.line, bounds.reply);
    for (qsizetype at = 0; at < bytes.size(); at += step) {
        reader.feed(bytes.mid(at, step));
        FtpReplyReader::Line line;
        while (reader.nextLine(line))
            result.lines.append(line);
        check(reader.pendingSize() <= bounds.line + step + 2);
    }
    result.overflowed = reader.overflowed();
    result.replyTooLong = reader.replyTooLong();
    check(!(result.overflowed && result.replyTooLong));
    return result;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const qsizetype step = 1 + data[0] % 64;
    // Mostly the real bounds; now and then small ones.
    const Bounds bounds
            = data[1] < 192 ? Bounds{FtpReplyReader::MaxLineLength, FtpReplyReader::MaxReplySize}
                            : Bounds{4 + data[1] % 16, 8 + (data[1] % 8) * 16};
    const QByteArray bytes(reinterpret_cast<const char *>(data) + 2, qsizetype(size) - 2);

    const Result whole = read(bytes, qMax<qsizetype>(1, bytes.size()), bounds);
    const Result pieces = read(bytes, step, bounds);
    check(whole.overflowed == pieces.overflowed);
    check(whole.replyTooLong == pieces.replyTooLong);
    check(whole.lines.size() == pieces.lines.size());

    QByteArray joined;
    qsizetype replySize = 0;
    bool inMultiLine = false;
    for (qsizetype i = 0; i < whole.lines.size(); ++i) {
        const FtpReplyReader::Line &line = whole.lines.at(i);
        check(line.text == pieces.lines.at(i).text && line.final == pieces.lines.at(i).final
              && line.stray == pieces.lines.at(i).stray);
        const QByteArray raw = EncodeHostText(line.text);
        check(!raw.contains("\r\n"));
        check(raw.size() <= bounds.line);
        // A final line always carries a space as its fourth character.
        check(!line.final || (raw.size() > 3 && raw.at(3) == ' ' && raw.at(0) != ' '));
        // Inside a multi-line reply nothing is stray; outside it, every non-empty line without
        // a leading three-digit code is.
        const bool coded
                = raw.size() >= 3 && isDigit(raw.at(0)) && isDigit(raw.at(1)) && isDigit(raw.at(2));
        if (inMultiLine)
            check(!line.stray);
        else if (!coded && !raw.isEmpty())
            check(line.stray);
        // The lines before a final one stay within the reply bound.
        replySize += raw.size() + 2;
        if (line.final) {
            replySize = 0;
            inMultiLine = false;
        } else {
            check(replySize <= bounds.reply);
            if (!inMultiLine && coded && raw.size() > 3 && raw.at(3) == '-')
                inMultiLine = true;
        }
        joined += raw + "\r\n";
    }
    check(bytes.startsWith(joined));
    return 0;
}
