#include "ftp/ftpreplyreader.h"

#include "util/hosttext.h"

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

void FtpReplyReader::feed(const QByteArray &bytes)
{
    if (m_overflowed || m_replyTooLong)
        return;
    // Drop what was already handed out before the buffer grows again.
    if (m_offset > 0 && m_offset >= m_buffer.size() / 2) {
        m_buffer.remove(0, m_offset);
        m_offset = 0;
    }
    m_buffer.append(bytes);
}

bool FtpReplyReader::nextLine(Line &line)
{
    if (m_overflowed || m_replyTooLong)
        return false;
    const qsizetype available = m_buffer.size() - m_offset;
    // Search from one byte before the end of the last search so a CR LF split over two feeds
    // is found.
    const qsizetype from = m_offset + (m_scanned > 0 ? m_scanned - 1 : 0);
    const qsizetype end = m_buffer.indexOf("\r\n", from);
    if (end < 0 || end - m_offset > m_maxLineLength) {
        m_scanned = available;
        // A CR at the very end may still become the line's CR LF.
        const qsizetype lineSoFar
                = available > 0 && m_buffer.endsWith('\r') ? available - 1 : available;
        if (end >= 0 || lineSoFar > m_maxLineLength)
            m_overflowed = true;
        return false;
    }
    const char *start = m_buffer.constData() + m_offset;
    const qsizetype length = end - m_offset;
    const QByteArray bytes = QByteArray::fromRawData(start, length);
    const bool coded
            = length >= 3 && isDigit(bytes.at(0)) && isDigit(bytes.at(1)) && isDigit(bytes.at(2));
    bool final = false;
    bool stray = false;
    if (m_openCode.isEmpty()) {
        final = length > 3 && bytes.at(3) == ' ' && bytes.at(0) != ' ';
        // "220", "220 text" and "220-text" are replies; an empty line is ignored text.
        stray = length > 0 && !(coded && (length == 3 || bytes.at(3) == ' ' || bytes.at(3) == '-'));
    } else {
        final = length > 3 && bytes.at(3) == ' ' && bytes.startsWith(m_openCode);
    }
    // Lines that do not end a reply add up; past the bound the host is broken or hostile.
    m_replySize += length + 2;
    if (!final && m_replySize > m_maxReplySize) {
        m_replyTooLong = true;
        return false;
    }
    m_offset = end + 2;
    m_scanned = 0;

    line.text = DecodeHostText(bytes);
    line.final = final;
    line.stray = stray;
    if (final) {
        m_openCode.clear();
        m_replySize = 0;
    } else if (m_openCode.isEmpty() && coded && length > 3 && bytes.at(3) == '-') {
        m_openCode = bytes.left(3);
    }
    if (m_offset == m_buffer.size()) {
        m_buffer.clear();
        m_offset = 0;
    }
    return true;
}

void FtpReplyReader::clear()
{
    m_buffer.clear();
    m_offset = 0;
    m_scanned = 0;
    m_replySize = 0;
    m_openCode.clear();
    m_overflowed = false;
    m_replyTooLong = false;
}
