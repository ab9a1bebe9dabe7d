#include "widgets/logview.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

LogView::LogView(QWidget *parent)
    : QPlainTextEdit(parent)
{
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

void LogView::appendLine(const QString &line, const QColor &color)
{
    QTextCharFormat format;
    format.setForeground(color);
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    const bool empty = document()->isEmpty();
    if (!empty)
        cursor.insertBlock();
    // insertText takes the text literally; line breaks inside a host line would start new
    // blocks and could push out more than one line, so they are shown as spaces.
    QString text = line;
    text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    cursor.insertText(text, format);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
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
    for (auto it = block.begin(); !it.atEnd(); ++it)
        return it.fragment().charFormat().foreground().color();
    return {};
}
