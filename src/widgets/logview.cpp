#include "widgets/logview.h"

#include "widgets/pacedcall.h"

#include <cmath>

#include <QApplication>
#include <QEvent>
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

// Relative luminance and contrast ratio of two colours, as the WCAG defines them.
double Luminance(const QColor &colour)
{
    auto channel = [](double c) {
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF())
           + 0.0722 * channel(colour.blueF());
}

double Contrast(const QColor &a, const QColor &b)
{
    const double x = Luminance(a);
    const double y = Luminance(b);
    return (qMax(x, y) + 0.05) / (qMin(x, y) + 0.05);
}

constexpr double ReadableContrast = 4.5;
// The kinds of mark, in the order of the shown colours kept per kind; anything else is last.
const char *const Marks[] = {"  :", ">>:", "<<:", "!!:", " !:"};
constexpr int OtherMark = 5;

int MarkIndex(QStringView mark)
{
    for (int i = 0; i < OtherMark; ++i) {
        if (mark == QLatin1String(Marks[i]))
            return i;
    }
    return OtherMark;
}
// A log line's block holds this state; lines of appendLine() keep the colour they were given.
constexpr int LogLineState = 1;

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
    // No block limit on the document: flush() removes the oldest lines itself, as the
    // document's own limit would lay out every line it removes.
    setUndoRedoEnabled(false);
    m_flush = new PacedCall(
            FlushIntervalMs, [this] { flush(); }, this);
    followPalette();
    // The desktop's palette reaches the application first.
    qApp->installEventFilter(this);
}

bool LogView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange)
        followPalette();
    return QPlainTextEdit::eventFilter(watched, event);
}

void LogView::changeEvent(QEvent *event)
{
    QPlainTextEdit::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        followPalette();
}

QColor LogView::readable(const QColor &colour) const
{
    const QColor background = palette().color(QPalette::Base);
    // Towards black on a light background, towards white on a dark one, in small steps: the
    // colour stays as near its kind's as reading allows. Black or white itself always reads
    // (at least 4.58:1 against any background).
    const QColor target = Luminance(background) > 0.18 ? QColor(Qt::black) : QColor(Qt::white);
    for (int step = 0; step <= 40; ++step) {
        const double t = step / 40.0;
        auto mix = [t](int from, int to) {
            return qRound(from * (1 - t) + to * t);
        };
        const QColor mixed(mix(colour.red(), target.red()),
                           mix(colour.green(), target.green()),
                           mix(colour.blue(), target.blue()));
        if (Contrast(mixed, background) >= ReadableContrast)
            return mixed;
    }
    return target;
}

QColor LogView::shownColour(const QString &mark) const
{
    return m_shown[MarkIndex(mark)];
}

QColor LogView::computeShownColour(const QString &mark) const
{
    const QColor colour = ColourOfMark(mark);
    // White information lines on a light background would fade into the grey of the host's
    // lines: they take the palette's text colour there.
    if (mark == QLatin1String("  :")
        && Contrast(colour, palette().color(QPalette::Base)) < ReadableContrast)
        return readable(palette().color(QPalette::WindowText));
    return readable(colour);
}

QColor LogView::markColour() const
{
    return readable(QColor(Qt::black));
}

void LogView::followPalette()
{
    if (m_followingPalette)
        return;
    m_followingPalette = true;
    const QPalette desktop = QApplication::palette(this);
    QPalette pal = palette();
    pal.setColor(QPalette::Base, desktop.color(QPalette::Button));
    pal.setColor(QPalette::WindowText, desktop.color(QPalette::WindowText));
    setPalette(pal);
    pal.setColor(QPalette::Text, markColour());
    setPalette(pal);
    for (int i = 0; i <= OtherMark; ++i)
        m_shown[i] = computeShownColour(i < OtherMark ? QLatin1String(Marks[i]) : QString());
    // Every log line again, in its kind's colour on the new background.
    QTextCharFormat mark;
    mark.setForeground(markColour());
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        if (block.userState() != LogLineState)
            continue;
        const QString text = block.text();
        QTextCharFormat rest;
        rest.setForeground(shownColour(text.left(3)));
        cursor.setPosition(block.position());
        cursor.setPosition(block.position() + qMin<int>(3, int(text.size())),
                           QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(mark);
        if (text.size() > 3) {
            cursor.setPosition(block.position() + 3);
            cursor.setPosition(block.position() + int(text.size()), QTextCursor::KeepAnchor);
            cursor.mergeCharFormat(rest);
        }
    }
    cursor.endEditBlock();
    m_followingPalette = false;
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
    // The first lines after a quiet spell show at the end of this turn; a busy log is written
    // at most every FlushIntervalMs.
    m_flush->request();
}

void LogView::clearLines()
{
    m_pending.clear();
    clear();
}

void LogView::flush()
{
    if (m_pending.isEmpty())
        return;
    const qsizetype skip = qMax<qsizetype>(0, m_pending.size() - MaxLines);
    QTextCharFormat mark;
    mark.setFont(m_markFont);
    mark.setForeground(markColour());
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
            rest.setForeground(shownColour(line.text.left(3)));
            cursor.block().setUserState(LogLineState);
            cursor.insertText(line.text.left(3), mark);
            if (line.text.size() > 3)
                cursor.insertText(line.text.mid(3), rest);
        } else {
            QTextCharFormat format;
            format.setForeground(line.colour);
            cursor.block().setUserState(-1);
            cursor.insertText(line.text, format);
        }
    }
    const int excess = document()->blockCount() - MaxLines;
    if (excess > 0) {
        cursor.setPosition(0);
        cursor.setPosition(document()->findBlockByNumber(excess).position(),
                           QTextCursor::KeepAnchor);
        // The line that becomes the first keeps its own style.
        const QTextCharFormat firstLine = cursor.blockCharFormat();
        cursor.removeSelectedText();
        cursor.setBlockCharFormat(firstLine);
    }
    cursor.endEditBlock();
    m_pending.clear();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void LogView::appendLogLine(const QString &line)
{
    enqueue({oneLine(line), QColor(), true});
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
