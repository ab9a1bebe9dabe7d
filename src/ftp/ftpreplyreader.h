#pragma once

#include <QByteArray>
#include <QString>

// Splits the bytes of an FTP control connection into lines and tells final reply lines from
// the lines that are only reported.
//
// Lines end with CR LF; a partial line waits for the next feed. A line is final when it is
// longer than three characters, its fourth character is a space and its first is not. Once a
// line "ddd-" has opened a multi-line reply, only a line beginning with the same "ddd " ends
// it; every line in between is text, even one that happens to have a space as its fourth
// character:
//     230-Welcome
//     Log in with care          <- text, not a reply with code "Log"
//     230 Login successful.     <- final
//
// A line that does not begin with a three-digit code outside a multi-line reply is marked
// stray: it is no reply at all ("hello", "abc ok").
//
// Two bounds keep a hostile host from filling memory: a line that grows past MaxLineLength
// without CR LF, and a reply whose lines (from the first line after the last final one up to its
// own final line) add up to more than MaxReplySize bytes, are protocol errors: nextLine() then
// returns false and overflowed() or replyTooLong() is true until clear().
class FtpReplyReader
{
public:
    static constexpr qsizetype MaxLineLength = 64 * 1024;
    static constexpr qsizetype MaxReplySize = 1024 * 1024;

    struct Line
    {
        QString text; // the line without CR LF, decoded as host text
        bool final = false;
        bool stray = false; // outside a multi-line reply and without a three-digit code
    };

    // The bounds are MaxLineLength and MaxReplySize unless given (smaller ones let a fuzzer
    // reach them).
    explicit FtpReplyReader(qsizetype maxLineLength = MaxLineLength,
                            qsizetype maxReplySize = MaxReplySize)
        : m_maxLineLength(maxLineLength)
        , m_maxReplySize(maxReplySize)
    {}

    // Appends received bytes.
    void feed(const QByteArray &bytes);
    // Takes the next complete line; false when there is none (or after an overflow).
    bool nextLine(Line &line);
    // True once a line has exceeded its bound.
    bool overflowed() const { return m_overflowed; }
    // True once a reply has exceeded its bound.
    bool replyTooLong() const { return m_replyTooLong; }
    // True while a multi-line reply is open.
    bool inMultiLine() const { return !m_openCode.isEmpty(); }
    // Bytes received but not yet returned as lines.
    qsizetype pendingSize() const { return m_buffer.size() - m_offset; }
    // Forgets everything (a new connection).
    void clear();

private:
    qsizetype m_maxLineLength;
    qsizetype m_maxReplySize;
    QByteArray m_buffer;
    qsizetype m_offset = 0;    // start of the first line not yet returned
    qsizetype m_scanned = 0;   // bytes from m_offset already searched for CR LF
    qsizetype m_replySize = 0; // bytes of the reply being read, CR LF included
    QByteArray m_openCode;     // "ddd" of the open multi-line reply, empty when none
    bool m_overflowed = false;
    bool m_replyTooLong = false;
};
