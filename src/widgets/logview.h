#pragma once

#include <QPlainTextEdit>

class PacedCall;

// The log window: a read-only view of at most MaxLines lines, no word wrap, on the face colour
// of buttons of the desktop's palette, light or dark. Lines are inserted as plain text: a host
// reply holding "<b>" or "&amp;" shows exactly as sent and cannot restyle the log.
//
// A log line begins with a three-character kind mark ("  :", ">>:", "<<:", "!!:", " !:").
// appendLogLine draws the mark in a fixed-pitch face and the rest in the log's bold face,
// coloured by the mark; the engine's log hands its lines over as they are written. Each kind
// keeps its colour (information white, from the host grey, to the host teal, errors red,
// warnings blue, the mark black), darkened on a light background or lightened on a dark one
// just enough to read at a contrast of at least 4.5:1; information lines take the palette's
// text colour where white would not read. When the palette changes, every line is coloured
// again.
//
// Appended lines wait for the end of the event-loop turn and go into the document together,
// in one edit, with one scroll; while lines keep coming, they are written at most every
// FlushIntervalMs: a queue that logs thousands of lines a second costs a few layouts a second,
// not one per line or per turn. Reading the log writes the waiting lines first.
class LogView : public QPlainTextEdit
{
    Q_OBJECT

public:
    static constexpr int MaxLines = 999;
    static constexpr int FlushIntervalMs = 100;

    explicit LogView(QWidget *parent = nullptr);

    // The colour of the text after a mark: information white, from the host grey, to the host
    // teal, internal errors red, warnings blue, anything else black.
    static QColor ColourOfMark(const QString &mark);
    // The colour a line with this mark shows in on this log's background, and the marks' own.
    QColor shownColour(const QString &mark) const;
    QColor markColour() const;

    // Appends a log line, its mark and text styled as above, and scrolls to it.
    void appendLogLine(const QString &line);
    // Appends one line in one colour and scrolls to it; the oldest lines go beyond MaxLines.
    void appendLine(const QString &line, const QColor &color);
    // Empties the log, the waiting lines included.
    void clearLines();
    // Writes the waiting lines now.
    void flush();
    // The text of line n (0-based), without its styles.
    QString line(int n) const;
    int lineCount() const;
    // The colour of line n's last part (the text after the mark).
    QColor lineColor(int n) const;
    // The font of line n's first character (the mark's face for log lines).
    QFont markFont(int n) const;

protected:
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Takes the background from the palette and colours every line again.
    void followPalette();
    QColor readable(const QColor &colour) const;
    QColor computeShownColour(const QString &mark) const;

    struct Pending
    {
        QString text;
        QColor colour;
        bool logLine; // mark and text styled apart
    };
    void enqueue(Pending line);

    QList<Pending> m_pending;
    PacedCall *m_flush;
    QColor m_shown[6]; // per kind of mark, on the background of the palette followed last
    bool m_followingPalette = false;

    QFont m_markFont;
    QFont m_textFont;
};
