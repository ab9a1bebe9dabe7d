// What the runner makes of the engine's results: transfers and folder commands that ended,
// listings printed, and the host's words for a refusal.
#include "cli/clirunner.h"

#include "ftp/listparser.h"
#include "platform/localpath.h"
#include "util/fieldstring.h"
#include "util/hosttext.h"

#include <cstdio>

QString CliRunner::slashForm(QString internalPath)
{
    return internalPath.replace(QLatin1Char('\\'), QLatin1Char('/'));
}

void CliRunner::mainActionReported(TcFTPActionType action, qint64 size, bool done, bool success)
{
    if (!done || m_phase != Working || m_step < 0 || m_step >= m_job.steps.size() || m_stepEnded)
        return;
    const CliStep &step = m_job.steps.at(m_step);
    if (step.queued())
        return;
    CliStep::Check expected;
    switch (action) {
    case caDelete:
        expected = CliStep::DeleteDone;
        break;
    case caMakeFolder:
        expected = CliStep::MakeFolderDone;
        break;
    case caList:
        expected = CliStep::ListDone;
        break;
    default:
        return;
    }
    (void)size;
    if (step.check != expected)
        return;
    if (success && action == caList && !step.printFolder.isEmpty())
        printListing(step.printFolder);
    stepEnded(success);
}

// Every session's results: the transfers the job counts, and what went wrong in a tree.
void CliRunner::actionReported(TcFTP *session,
                               TcFTPActionType action,
                               const QString &fileFolder,
                               qint64 size,
                               bool done,
                               bool success)
{
    m_sinceActivity.restart();
    if (!done || m_phase != Working || m_step < 0 || m_step >= m_job.steps.size())
        return;
    const CliStep &step = m_job.steps.at(m_step);
    if (!step.queued())
        return;

    switch (action) {
    case caDownload:
    case caUpload: {
        const QString destination = session->IOdstFolder() + session->IOdstFile();
        const auto found = m_transferIndex.constFind(destination);
        if (found == m_transferIndex.constEnd()) {
            if (!success)
                m_failures.append(QStringLiteral("transfer of %1 failed%2")
                                          .arg(slashForm(destination), refusalOf(session)));
            return;
        }
        Transfer &transfer = m_transfers[*found];
        transfer.ended = true;
        transfer.success = success;
        if (!success)
            transfer.reason = refusalOf(session);
        m_sessionWarnings.remove(session);
        if (success && m_transfers.size() == 1) {
            const qint64 ms = qMax<qint64>(1, m_sinceStepStart.elapsed());
            const QString line
                    = (action == caUpload ? QStringLiteral("  : Sent %1 bytes in %2 s (%3/s)")
                                          : QStringLiteral("  : Received %1 bytes in %2 s (%3/s)"))
                              .arg(size)
                              .arg(double(ms) / 1000.0, 0, 'f', 2)
                              .arg(ProgressPrinter::byteText(double(size) * 1000.0 / double(ms)));
            // After the line of the reply that ended the transfer.
            QTimer::singleShot(0, this, [this, line] { log(line); });
        }
        break;
    }
    case caList:
    case caChangeFolder:
        if (!success
            && (step.check == CliStep::TreeDownloadDone || step.check == CliStep::TreeDeleteDone)) {
            const QString command = session->CommandLine();
            const QString folder = command.startsWith(QLatin1String("cwd "), Qt::CaseInsensitive)
                                           ? command.mid(4)
                                           : slashForm(session->Folder());
            m_failures.append(
                    QStringLiteral("listing of %1 failed%2").arg(folder, hostSaid(session)));
        }
        break;
    case caDelete:
    case caRemoveFolder:
        if (!success && step.check == CliStep::TreeDeleteDone)
            m_failures.append(QStringLiteral("delete of %1 failed%2")
                                      .arg(slashForm(fileFolder), hostSaid(session)));
        break;
    default:
        break;
    }
}

// A folder of a tree download has been listed: its files are what the tree must bring.
void CliRunner::folderListed(const QString &folder)
{
    if (m_phase != Working || m_step < 0 || m_step >= m_job.steps.size())
        return;
    const CliStep &step = m_job.steps.at(m_step);
    if (!folder.startsWith(step.hostFolder))
        return;
    if (folder.size() == step.hostFolder.size())
        m_treeListed = true;
    if (step.check != CliStep::TreeDownloadDone)
        return;
    const QString rel = folder.mid(step.hostFolder.size());
    const QString localFolder = step.localFolder + rel;
    m_treeFolders.append(localFolder);
    const ListingBuffer::EntryList *entries = m_engine.listingBuffer().entries(folder);
    if (!entries)
        return;
    for (const ListingBuffer::Entry &entry : *entries) {
        if (!entry.key.startsWith(QLatin1Char('f')))
            continue;
        const QString name = entry.key.mid(1);
        expectTransfer(localFolder + name,
                       QStringLiteral("download of %1 to %2")
                               .arg(slashForm(folder + name), LocalToNative(localFolder + name)));
    }
}

// A download's local folder could not be made: the file names the folder and the reason, a
// folder of a tree is a failure of its own.
void CliRunner::localFolderFailed(const QString &localFile,
                                  const QString &nativeFolder,
                                  const QString &reason)
{
    const QString why = QStringLiteral("cannot make the folder %1: %2").arg(nativeFolder, reason);
    const auto found = m_transferIndex.constFind(localFile);
    if (localFile.isEmpty() || found == m_transferIndex.constEnd()) {
        if (!m_failures.contains(why))
            m_failures.append(why);
        return;
    }
    Transfer &transfer = m_transfers[*found];
    transfer.ended = true;
    transfer.success = false;
    transfer.reason = QStringLiteral(": ") + why;
}

QString CliRunner::listingLine(const ListingBuffer::Entry &entry)
{
    const bool folder = entry.key.startsWith(QLatin1Char('d'));
    const qint32 dosDate = entry.fields.section(QLatin1Char('*'), 1, 1).toInt();
    const QDateTime date = DosDateTimeToQDateTime(dosDate);
    return QStringLiteral("%1\t%2\t%3\t%4")
            .arg(folder ? QLatin1Char('d') : QLatin1Char('f'))
            .arg(entry.fields.section(QLatin1Char('*'), 0, 0),
                 dosDate == 0 || !date.isValid()
                         ? QString()
                         : date.toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                 VisibleHostText(entry.key.mid(1)));
}

void CliRunner::printListing(const QString &folder)
{
    const ListingBuffer::EntryList *entries = m_engine.listingBuffer().entries(folder);
    if (!entries)
        return;
    m_progress.finish();
    QByteArray text;
    for (const ListingBuffer::Entry &entry : *entries) {
        text += listingLine(entry).toLocal8Bit();
        text += '\n';
    }
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    std::fflush(stdout);
}

// State changes arrive from inside the engine's own handling; what they mean for the job is
// looked at once the event loop is back, when the engine has handed out what it will.
void CliRunner::expectTransfer(const QString &destination, const QString &description)
{
    if (m_transferIndex.contains(destination))
        return;
    m_transferIndex.insert(destination, m_transfers.size());
    Transfer transfer;
    transfer.description = description;
    m_transfers.append(transfer);
}

QStringList CliRunner::unfinishedTransfers() const
{
    QStringList lines;
    for (const Transfer &transfer : m_transfers) {
        if (transfer.success)
            continue;
        lines.append(transfer.description
                     + (transfer.ended ? QStringLiteral(" failed") + transfer.reason
                                       : QStringLiteral(" failed: not carried out")));
    }
    return lines;
}

// Every entry of the step has been carried out: count what arrived.
QString CliRunner::hostSaid(const TcFTP *session) const
{
    // The session dispatches a reply (and so reports its result) before it reports the
    // line itself, so the line to quote is the session's last reply, not the last one seen.
    const QString reply = session->ReplyLine();
    return reply.isEmpty() ? QString() : QStringLiteral(" (host said: %1)").arg(reply);
}

// Why a session's work failed: the session's own reason when it has one, else as far as the
// host told: its last reply when that was a refusal ("550 Failed to open file."), else nothing;
// a reply such as "227 Entering Passive Mode" is no reason.
QString CliRunner::refusalOf(const TcFTP *session) const
{
    // What the session itself found ("cannot listen for a data connection: ...") comes first.
    if (!session->FailureReason().isEmpty())
        return QStringLiteral(": ") + session->FailureReason();
    // The session's own word comes first: "... changed while being sent".
    const QString warning = m_sessionWarnings.value(session);
    if (!warning.isEmpty())
        return QStringLiteral(": ") + warning;
    const QString reply = session->ReplyLine();
    if (reply.startsWith(QLatin1Char('4')) || reply.startsWith(QLatin1Char('5')))
        return QStringLiteral(" (host said: %1)").arg(reply);
    if (session->State() == csNotConnected)
        return QStringLiteral(": the connection was closed");
    return QString();
}
