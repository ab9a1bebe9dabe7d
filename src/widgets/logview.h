#pragma once

#include <QPlainTextEdit>

// The log window: a read-only view of at most MaxLines lines, no word wrap, on the classic
// button-face grey so that white lines stay readable. Lines are inserted as plain text in the
// given colour: a host reply holding "<b>" or "&amp;" shows exactly as sent.
class LogView : public QPlainTextEdit
{
    Q_OBJECT

public:
    static constexpr int MaxLines = 999;

    explicit LogView(QWidget *parent = nullptr);

    // Appends one line in the colour and scrolls to it; the oldest lines go beyond MaxLines.
    void appendLine(const QString &line, const QColor &color);
    // The text of line n (0-based), without its colour.
    QString line(int n) const;
    int lineCount() const;
    // The colour line n was written in.
    QColor lineColor(int n) const;
};
