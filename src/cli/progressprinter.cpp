#include "cli/progressprinter.h"

#include "util/hosttext.h"

#include "platform/terminal.h"

#include <cstdio>

ProgressPrinter::ProgressPrinter(bool enabled)
    : m_enabled(enabled)
{}

QString ProgressPrinter::byteText(double bytes)
{
    static const char *const units[] = {"KiB", "MiB", "GiB", "TiB"};
    if (bytes < 1024)
        return QStringLiteral("%1 B").arg(qint64(bytes));
    int unit = -1;
    while (bytes >= 1024 && unit < 3) {
        bytes /= 1024;
        ++unit;
    }
    return QStringLiteral("%1 %2").arg(bytes, 0, 'f', 1).arg(QLatin1String(units[unit]));
}

QString ProgressPrinter::progressText(qint64 done, qint64 total, qint64 elapsedMs)
{
    QString text = byteText(double(done));
    if (total > 0) {
        text += QStringLiteral(" of %1 (%2%)")
                        .arg(byteText(double(total)))
                        .arg(qMin<qint64>(100, done * 100 / total));
    }
    if (elapsedMs > 0)
        text += QStringLiteral("  %1/s").arg(byteText(double(done) * 1000.0 / double(elapsedMs)));
    return text;
}

void ProgressPrinter::update(qint64 done, qint64 total, qint64 elapsedMs)
{
    if (!m_enabled || elapsedMs < 1000)
        return;
    const QString text = progressText(done, total, elapsedMs);
    // Pad over the rest of a longer previous line.
    const QByteArray line = text.leftJustified(m_lastWidth).toLocal8Bit();
    std::fputs("\r", stderr);
    std::fputs(line.constData(), stderr);
    std::fflush(stderr);
    m_lastWidth = text.size();
    m_shown = true;
}

void ProgressPrinter::showLines(const QStringList &lines)
{
    if (!m_enabled || lines == m_block)
        return;
    if (m_shown && m_block.isEmpty())
        finish();
    const int width = qMax(20, StandardErrorColumns() - 1);
    QByteArray text;
    // Back to the top of the block on screen, then each line over the old one.
    if (!m_block.isEmpty())
        text += "\r\x1b[" + QByteArray::number(m_block.size()) + "A";
    for (const QString &line : lines)
        text += "\r\x1b[K" + VisibleHostText(line).left(width).toLocal8Bit() + "\n";
    // A block shorter than the last one leaves its old lines blank.
    for (qsizetype i = lines.size(); i < m_block.size(); ++i)
        text += "\r\x1b[K\n";
    if (m_block.size() > lines.size())
        text += "\x1b[" + QByteArray::number(m_block.size() - lines.size()) + "A";
    std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
    std::fflush(stderr);
    m_block = lines;
}

void ProgressPrinter::finish()
{
    // The block stays on screen as it is; what comes next starts below it.
    m_block.clear();
    if (!m_shown)
        return;
    std::fputs("\n", stderr);
    std::fflush(stderr);
    m_shown = false;
    m_lastWidth = 0;
}
