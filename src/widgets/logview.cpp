#include "widgets/logview.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

namespace {

// Line breaks inside a host line would start new lines of their own, so they show as spaces.
QString oneLine(QString text)
{
    text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

} // namespace

LogView::LogView(QWidget *parent)
    : QPlainTextEdit(parent)
    , m_markFont(QStringLiteral("FixedSys"), 10)
    , m_textFont(QStringLiteral("Tahoma"), 8, QFont::Bold)
{
    m_markFont.setStyleHint(QFont::Monospace);
    m_markFont.setFixedPitch(true);
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setMaximumBlockCount(MaxLines);
    setUndoRedoEnabled(false);
    QPalette pal = palette();
    pal.setColor(QPalette::Base, QColor(192, 192, 192));
    pal.setColor(QPalette::Text, Qt::black);
    setPalette(pal);
}

QColor LogView::ColourOfMark(const QString &mark)
{
    if (mark == QLatin1String("  :"))
        return QColor(255, 255, 255);
    if (mark == QLatin1String(">>:"))
        return QColor(128, 128, 128);
    if (mark == QLatin1String("<<:"))
        return QColor(0, 128, 128);
    if (mark == QLatin1String("!!:"))
        return QColor(255, 0, 0);
    if (mark == QLatin1String(" !:"))
        return QColor(0, 0, 255);
    return QColor(0, 0, 0);
}

QTextCursor LogView::startLine()
{
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    if (!document()->isEmpty())
        cursor.insertBlock();
    return cursor;
}

void LogView::scrollToEnd()
{
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void LogView::appendLogLine(const QString &line)
{
    const QString text = oneLine(line);
    QTextCharFormat mark;
    mark.setFont(m_markFont);
    mark.setForeground(Qt::black);
    QTextCharFormat rest;
    rest.setFont(m_textFont);
    rest.setForeground(ColourOfMark(text.left(3)));
    QTextCursor cursor = startLine();
    cursor.insertText(text.left(3), mark);
    if (text.size() > 3)
        cursor.insertText(text.mid(3), rest);
    scrollToEnd();
}

void LogView::appendLine(const QString &line, const QColor &color)
{
    QTextCharFormat format;
    format.setForeground(color);
    startLine().insertText(oneLine(line), format);
    scrollToEnd();
}

QString LogView::line(int n) const
{
    return document()->findBlockByNumber(n).text();
}

int LogView::lineCount() const
{
    return document()->isEmpty() ? 0 : document()->blockCount();
}

QColor LogView::lineColor(int n) const
{
    const QTextBlock block = document()->findBlockByNumber(n);
    QColor colour;
    for (auto it = block.begin(); !it.atEnd(); ++it)
        colour = it.fragment().charFormat().foreground().color();
    return colour;
}

QFont LogView::markFont(int n) const
{
    const QTextBlock block = document()->findBlockByNumber(n);
    for (auto it = block.begin(); !it.atEnd(); ++it)
        return it.fragment().charFormat().font();
    return {};
}
