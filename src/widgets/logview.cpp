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

void LogView::enqueue(Pending line)
{
    m_pending.append(std::move(line));
    // Lines beyond MaxLines would be dropped by the document at once.
    if (m_pending.size() > 2 * MaxLines)
        m_pending.remove(0, m_pending.size() - MaxLines);
    if (!m_flushQueued) {
        m_flushQueued = true;
        QMetaObject::invokeMethod(this, &LogView::flush, Qt::QueuedConnection);
    }
}

void LogView::clearLines()
{
    m_pending.clear();
    clear();
}

void LogView::flush()
{
    m_flushQueued = false;
    if (m_pending.isEmpty())
        return;
    const qsizetype skip = qMax<qsizetype>(0, m_pending.size() - MaxLines);
    QTextCharFormat mark;
    mark.setFont(m_markFont);
    mark.setForeground(Qt::black);
    QTextCharFormat rest;
    rest.setFont(m_textFont);
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    bool first = document()->isEmpty();
    for (qsizetype i = skip; i < m_pending.size(); ++i) {
        const Pending &line = m_pending.at(i);
        if (!first)
            cursor.insertBlock();
        first = false;
        if (line.logLine) {
            rest.setForeground(line.colour);
            cursor.insertText(line.text.left(3), mark);
            if (line.text.size() > 3)
                cursor.insertText(line.text.mid(3), rest);
        } else {
            QTextCharFormat format;
            format.setForeground(line.colour);
            cursor.insertText(line.text, format);
        }
    }
    cursor.endEditBlock();
    m_pending.clear();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void LogView::appendLogLine(const QString &line)
{
    QString text = oneLine(line);
    const QColor colour = ColourOfMark(text.left(3));
    enqueue({std::move(text), colour, true});
}

void LogView::appendLine(const QString &line, const QColor &color)
{
    enqueue({oneLine(line), color, false});
}

QString LogView::line(int n) const
{
    const_cast<LogView *>(this)->flush();
    return document()->findBlockByNumber(n).text();
}

int LogView::lineCount() const
{
    const_cast<LogView *>(this)->flush();
    return document()->isEmpty() ? 0 : document()->blockCount();
}

QColor LogView::lineColor(int n) const
{
    const_cast<LogView *>(this)->flush();
    const QTextBlock block = document()->findBlockByNumber(n);
    QColor colour;
    for (auto it = block.begin(); !it.atEnd(); ++it)
        colour = it.fragment().charFormat().foreground().color();
    return colour;
}

QFont LogView::markFont(int n) const
{
    const_cast<LogView *>(this)->flush();
    const QTextBlock block = document()->findBlockByNumber(n);
    for (auto it = block.begin(); !it.atEnd(); ++it)
        return it.fragment().charFormat().font();
    return {};
}
