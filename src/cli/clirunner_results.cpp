// What the runner makes of the engine's results: the words for each part that failed,
// listings printed, and the host's words for a refusal.
#include "cli/clirunner.h"

#include "ftp/listparser.h"
#include "platform/localpath.h"
#include "util/hosttext.h"

#include <algorithm>
#include <cstdio>

QString CliRunner::slashForm(QString internalPath)
{
    return internalPath.replace(QLatin1Char('\\'), QLatin1Char('/'));
}

// Every part of the step that did not succeed, in words: a file that did not arrive, a folder
// that could not be listed, made or deleted, a name left out.
QStringList CliRunner::failuresOf(const CliStep &step, const OperationResult &result) const
{
    QStringList failures;
    for (const SkippedName &skipped : result.skipped) {
        if (skipped.failsOperation)
            failures.append(QStringLiteral("Skipped '%1': %2").arg(skipped.name, skipped.reason));
    }
    bool topListed = true;
    for (const ItemResult &item : result.items) {
        if (item.success)
            continue;
        if ((step.kind == CliStep::DownloadTree || step.kind == CliStep::DeleteTree)
            && item.kind == ItemResult::Listing && !item.ended) {
            topListed = false;
            continue;
        }
        failures.append(itemFailure(step, item));
    }
    if (!topListed && failures.isEmpty())
        failures.append(step.description + QStringLiteral(" failed: the folder was not listed"));
    return failures;
}

QString CliRunner::itemFailure(const CliStep &step, const ItemResult &item)
{
    switch (step.kind) {
    case CliStep::List:
    case CliStep::Delete:
    case CliStep::MakeFolder:
    case CliStep::Rename:
        // The step is one command of the main session.
        if (!item.ended)
            return step.description + QStringLiteral(" failed: not carried out");
        if (item.commandSent)
            return step.description + QStringLiteral(" failed") + hostSaid(item.hostReply);
        return step.description + QStringLiteral(" failed")
               + (item.warning.isEmpty() ? QString() : QStringLiteral(": ") + item.warning);
    default:
        break;
    }
    switch (item.kind) {
    case ItemResult::Transfer: {
        QString what = step.description;
        if (step.kind == CliStep::DownloadTree)
            what = QStringLiteral("download of %1 to %2")
                           .arg(slashForm(item.source), LocalToNative(item.target));
        else if (step.kind == CliStep::UploadTree)
            what = QStringLiteral("upload of %1 to %2")
                           .arg(LocalToNative(item.source), slashForm(item.target));
        return what
               + (item.ended ? QStringLiteral(" failed") + refusalOf(item)
                             : QStringLiteral(" failed: not carried out"));
    }
    case ItemResult::Listing:
        return QStringLiteral("listing of %1 failed%2")
                .arg(slashForm(item.target), hostSaid(item.hostReply));
    case ItemResult::LocalFolder:
        return QStringLiteral("cannot make the folder %1").arg(LocalToNative(item.target))
               + (item.failureReason.isEmpty() ? QString()
                                               : QStringLiteral(": ") + item.failureReason);
    case ItemResult::Delete:
        return QStringLiteral("delete of %1 failed%2")
                .arg(slashForm(item.target), hostSaid(item.hostReply));
    default:
        return step.description + QStringLiteral(" failed") + refusalOf(item);
    }
}

// A single file that arrived: how long it took.
void CliRunner::reportTransfer(const CliStep &step, const OperationResult &result)
{
    if ((step.kind != CliStep::Download && step.kind != CliStep::Upload)
        || result.items.size() != 1)
        return;
    const qint64 size = result.items.first().bytes;
    const qint64 ms = qMax<qint64>(1, m_sinceStepStart.elapsed());
    log((step.kind == CliStep::Upload ? QStringLiteral("  : Sent %1 bytes in %2 s (%3/s)")
                                      : QStringLiteral("  : Received %1 bytes in %2 s (%3/s)"))
                .arg(size)
                .arg(double(ms) / 1000.0, 0, 'f', 2)
                .arg(ProgressPrinter::byteText(double(size) * 1000.0 / double(ms))));
}

QString CliRunner::listingLine(const ListingBuffer::Entry &entry)
{
    QByteArray line;
    appendListingLine(line, entry);
    return QString::fromUtf8(line);
}

void CliRunner::appendListingLine(QByteArray &line, const ListingBuffer::Entry &entry)
{
    const QStringView fields(entry.fields);
    const qsizetype star = fields.indexOf(u'*');
    const QStringView size = fields.left(star < 0 ? fields.size() : star);
    const qint32 dosDate = star < 0 ? 0 : fields.mid(star + 1).toInt();
    // The stored date is local already: its fields are printed as they are, without a time
    // zone lookup for every line of a long listing.
    const quint32 high = quint32(dosDate) >> 16;
    const quint32 low = quint32(dosDate) & 0xFFFF;
    const int year = int(high >> 9) + 1980;
    const int month = int((high >> 5) & 15);
    const int day = int(high & 31);
    const int hour = int(low >> 11);
    const int minute = int((low >> 5) & 63);
    // "yyyy-MM-dd HH:mm", written digit by digit.
    char when[17] = {};
    if (dosDate != 0 && QDate::isValid(year, month, day)
        && QTime::isValid(hour, minute, int(low & 31) * 2)) {
        const auto put = [&when](int at, int value, int digits) {
            for (int i = digits - 1; i >= 0; --i, value /= 10)
                when[at + i] = char('0' + value % 10);
        };
        put(0, year, 4);
        when[4] = '-';
        put(5, month, 2);
        when[7] = '-';
        put(8, day, 2);
        when[10] = ' ';
        put(11, hour, 2);
        when[13] = ':';
        put(14, minute, 2);
    }
    // Written straight into the line's bytes: a long listing has thousands of these.
    const QStringView name = QStringView(entry.key).mid(1);
    const qsizetype start = line.size();
    line.resize(start + 4 + size.size() + 16 + name.size());
    char *out = line.data() + start;
    *out++ = entry.key.startsWith(QLatin1Char('d')) ? 'd' : 'f';
    *out++ = '\t';
    for (const QChar c : size)
        *out++ = char(c.unicode() < 0x80 ? c.unicode() : '?');
    *out++ = '\t';
    for (const char c : when) {
        if (c)
            *out++ = c;
    }
    *out++ = '\t';
    // A name of printable ASCII characters is its own bytes; any other is shown as the terminal
    // may see it, in UTF-8.
    const bool plain = std::all_of(name.begin(), name.end(), [](QChar c) {
        return c.unicode() >= 0x20 && c.unicode() < 0x7F;
    });
    if (plain) {
        for (const QChar c : name)
            *out++ = char(c.unicode());
        line.resize(out - line.constData());
    } else {
        line.resize(out - line.constData());
        line += VisibleHostText(name.toString()).toUtf8();
    }
}

void CliRunner::printListing(const QString &folder)
{
    const ListingBuffer::EntryList *entries = m_engine.listingBuffer().entries(folder);
    if (!entries)
        return;
    m_progress.finish();
    // One text for the whole listing, written at once.
    QByteArray lines;
    qsizetype room = 0;
    for (const ListingBuffer::Entry &entry : *entries)
        room += entry.key.size() + entry.fields.size() + 24;
    lines.reserve(room);
    for (const ListingBuffer::Entry &entry : *entries) {
        appendListingLine(lines, entry);
        lines += '\n';
    }
    std::fwrite(lines.constData(), 1, size_t(lines.size()), stdout);
    std::fflush(stdout);
}

QString CliRunner::hostSaid(const QString &reply)
{
    return reply.isEmpty() ? QString() : QStringLiteral(" (host said: %1)").arg(reply);
}

// Why a part failed: the program's own reason when it has one, else the session's own word
// ("... changed while being sent"), else as far as the host told: its last reply when that was
// a refusal ("550 Failed to open file."); a reply such as "227 Entering Passive Mode" is no
// reason.
QString CliRunner::refusalOf(const ItemResult &item)
{
    // What the program itself found ("cannot listen for a data connection: ...") comes first.
    if (!item.failureReason.isEmpty())
        return QStringLiteral(": ") + item.failureReason;
    if (!item.warning.isEmpty())
        return QStringLiteral(": ") + item.warning;
    const QString &reply = item.hostReply;
    if (reply.startsWith(QLatin1Char('4')) || reply.startsWith(QLatin1Char('5')))
        return hostSaid(reply);
    if (item.connectionClosed)
        return QStringLiteral(": the connection was closed");
    return QString();
}
