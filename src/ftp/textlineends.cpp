#include "ftp/textlineends.h"

#include <cstring>

void TextLineEnds::reset()
{
    m_heldCR = false;
    m_sentCR = false;
}

void TextLineEnds::receive(QByteArrayView text, QByteArray &out)
{
    const char *at = text.data();
    const char *const end = at + text.size();
    if (at == end)
        return;
    if (m_heldCR) {
        m_heldCR = false;
        if (*at != '\n')
            out.append('\r');
    }
    while (at < end) {
        const auto *cr = static_cast<const char *>(std::memchr(at, '\r', size_t(end - at)));
        if (!cr) {
            out.append(at, end - at);
            return;
        }
        out.append(at, cr - at);
        if (cr + 1 == end) {
            m_heldCR = true;
            return;
        }
        // The CR of a CR LF is dropped; the LF goes out with the next run.
        if (cr[1] != '\n')
            out.append('\r');
        at = cr + 1;
    }
}

void TextLineEnds::finishReceiving(QByteArray &out)
{
    if (m_heldCR)
        out.append('\r');
    m_heldCR = false;
}

void TextLineEnds::send(QByteArrayView text, QByteArray &out)
{
    const char *const begin = text.data();
    const char *const end = begin + text.size();
    if (begin == end)
        return;
    const char *at = begin;
    while (at < end) {
        const auto *lf = static_cast<const char *>(std::memchr(at, '\n', size_t(end - at)));
        if (!lf) {
            out.append(at, end - at);
            break;
        }
        out.append(at, lf - at);
        const bool afterCR = lf > begin ? lf[-1] == '\r' : m_sentCR;
        if (!afterCR)
            out.append('\r');
        out.append('\n');
        at = lf + 1;
    }
    m_sentCR = end[-1] == '\r';
}
