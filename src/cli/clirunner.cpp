#include "cli/clirunner.h"

#include "ftp/listparser.h"
#include "platform/terminal.h"
#include "settings/asciiextensionlist.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

bool isFinalReply(const QString &line)
{
    return line.size() > 3 && line.at(3) == QLatin1Char(' ') && line.at(0) != QLatin1Char(' ');
}

} // namespace

CliRunner::CliRunner(const CliOptions &options, const CliJob &job, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_job(job)
    , m_progress(StandardErrorIsTerminal())
{
    m_ftp.setListingBuffer(&m_listingBuffer);
    m_ftp.setPassiveMode(options.passive);
    m_ftp.setResumeTransfers(options.resume);
    m_ftp.setMaxSecsIdle(0);
    switch (options.type) {
    case CliOptions::AutoType: {
        AsciiExtensionList extensions;
        extensions.load(AsciiExtensionList::defaultItems().join(QLatin1Char(':')));
        m_ftp.setAutoTransferMode(true);
        m_ftp.setASCExtension(extensions.engineForm());
        break;
    }
    case CliOptions::BinaryType:
        m_ftp.setAutoTransferMode(false);
        m_ftp.SetBinaryMode(true);
        break;
    case CliOptions::AsciiType:
        // Hosts start in ASCII, but say so rather than trust it.
        m_ftp.setAutoTransferMode(false);
        m_ftp.SetBinaryMode(false);
        m_ftp.setLoginScript(QStringLiteral("type a\r\n"));
        break;
    }

    connect(&m_ftp, &TcFTP::stateChanged, this, &CliRunner::stateChanged);
    connect(&m_ftp, &TcFTP::textIO, this, &CliRunner::textExchanged);
    connect(&m_ftp, &TcFTP::actionDone, this, &CliRunner::actionReported);
    connect(&m_ftp, &TcFTP::unknownCommand, this, [this](const QString &line) {
        log(QStringLiteral(" !: Command not accepted: ") + line);
        m_lastWarning = QStringLiteral("command not accepted: ") + line;
        stepEnded(false);
    });
    connect(&m_ftp, &TcFTP::warning, this, [this](const QString &text) {
        log(QStringLiteral(" !: ") + text);
        m_lastWarning = text;
    });
    connect(&m_ftp, &TcFTP::internalError, this, [this](int number, const QString &message) {
        log(QStringLiteral("!!: Error %1 - %2").arg(number).arg(message.simplified()));
        m_lastWarning = QStringLiteral("internal error %1").arg(number);
    });

    m_watchdog.setInterval(250);
    connect(&m_watchdog, &QTimer::timeout, this, &CliRunner::watchdogTick);
}

QString CliRunner::logLineFor(const QString &text, bool fromHost, bool valid)
{
    if (fromHost)
        return valid ? QStringLiteral(">>: ") + text
                     : QStringLiteral("!!: Error in Host input ") + text;
    if (text.startsWith(QLatin1String("pass "), Qt::CaseInsensitive))
        return QStringLiteral("<<: pass *****");
    return QStringLiteral("<<: ") + text;
}

void CliRunner::start()
{
    const FtpUrl &url = m_job.target;
    log(QStringLiteral("  : Connecting to %1 port %2").arg(url.host(), url.port()));
    m_sinceActivity.start();
    m_watchdog.start();
    try {
        m_ftp.Connect(TcFTPSession{url.host(), url.port(), m_job.user, m_job.password});
    } catch (const std::exception &e) {
        fail(QStringLiteral("cannot connect to %1: %2")
                     .arg(url.host(), QString::fromLocal8Bit(e.what()).simplified()));
    }
}

void CliRunner::stateChanged(TcFTPStates newState)
{
    if (m_finished)
        return;
    m_sinceActivity.restart();
    if (newState == csIdle) {
        // Leave the session's call stack before giving it the next line.
        QTimer::singleShot(0, this, &CliRunner::sessionIdle);
        return;
    }
    if (newState != csNotConnected)
        return;
    const FtpUrl &url = m_job.target;
    if (m_step < 0 && !m_hostAnswered) {
        fail(QStringLiteral("cannot connect to %1 port %2").arg(url.host(), url.port()));
    } else if (m_step < 0) {
        fail(QStringLiteral("login to %1 as %2 failed%3").arg(url.host(), m_job.user, hostSaid()));
    } else if (m_step < m_job.steps.size()) {
        QString reason = QStringLiteral("connection to %1 lost during %2")
                                 .arg(url.host(), m_job.steps.at(m_step).description);
        reason += m_lastWarning.isEmpty() ? hostSaid() : QStringLiteral(": ") + m_lastWarning;
        fail(reason);
    }
}

void CliRunner::textExchanged(const QString &line, bool fromHost, bool valid)
{
    if (m_options.verbose) {
        m_progress.finish();
        log(logLineFor(line, fromHost, valid));
    }
    if (!fromHost) {
        m_commandSent = true;
        return;
    }
    m_sinceActivity.restart();
    if (isFinalReply(line))
        m_hostAnswered = true;
}

void CliRunner::actionReported(
        TcFTPActionType action, const QString &fileFolder, qint64 size, bool done, bool success)
{
    m_sinceActivity.restart();
    if (!done || m_step < 0 || m_step >= m_job.steps.size() || m_stepEnded)
        return;
    CliStep::Check expected;
    switch (action) {
    case caUpload:
        expected = CliStep::UploadDone;
        break;
    case caDelete:
        expected = CliStep::DeleteDone;
        break;
    case caMakeFolder:
        expected = CliStep::MakeFolderDone;
        break;
    case caList:
        expected = CliStep::ListDone;
        break;
    case caDownload:
        expected = CliStep::DownloadDone;
        break;
    default:
        return;
    }
    const CliStep &step = m_job.steps.at(m_step);
    if (step.check != expected)
        return;
    if (success && action == caList && !step.printFolder.isEmpty())
        printListing(step.printFolder);
    if (success && (action == caUpload || action == caDownload)) {
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
    stepEnded(success);
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
                 entry.key.mid(1));
}

void CliRunner::printListing(const QString &folder)
{
    const ListingBuffer::EntryList *entries = m_listingBuffer.entries(folder);
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

void CliRunner::sessionIdle()
{
    if (m_finished || m_ftp.State() != csIdle)
        return;
    if (m_step < 0) {
        if (!m_ftp.LoggedIn())
            return;
        log(QStringLiteral("  : Logged in to %1 as %2").arg(m_job.target.host(), m_job.user));
        startNextStep();
        return;
    }
    if (m_step >= m_job.steps.size())
        return;
    // A rename has no action report: the host's answer to RNTO (or to RNFR when that was
    // refused and no RNTO followed) is its result.
    if (!m_stepEnded && m_job.steps.at(m_step).check == CliStep::RenameDone) {
        stepEnded(m_ftp.OutCmd() == QLatin1String("rnto")
                  && m_ftp.InCmd().startsWith(QLatin1Char('2')));
    }
    if (!m_stepEnded) {
        // The session went idle without reporting the step's result.
        stepEnded(false);
    }
    startNextStep();
}

void CliRunner::stepEnded(bool success)
{
    if (m_stepEnded || m_finished || m_step < 0 || m_step >= m_job.steps.size())
        return;
    m_stepEnded = true;
    m_progress.finish();
    const CliStep &step = m_job.steps.at(m_step);
    if (!success) {
        QString reason = step.description + QStringLiteral(" failed");
        if (m_commandSent)
            reason += hostSaid();
        else if (!m_lastWarning.isEmpty())
            reason += QStringLiteral(": ") + m_lastWarning;
        fail(reason);
    }
}

void CliRunner::startNextStep()
{
    if (m_finished)
        return;
    ++m_step;
    if (m_step >= m_job.steps.size()) {
        finish(0);
        return;
    }
    m_stepEnded = false;
    m_commandSent = false;
    m_lastWarning.clear();
    m_lastBytes = -1;
    m_sinceStepStart.start();
    m_sinceActivity.restart();
    const CliStep &step = m_job.steps.at(m_step);
    try {
        m_ftp.AddCommand(step.line);
        m_ftp.Execute();
    } catch (const TcFTPException &) {
        // An own command that failed has been reported through the session's signals;
        // the session has gone on, and sessionIdle settles the step.
    } catch (const std::exception &e) {
        fail(step.description + QStringLiteral(" failed: ")
             + QString::fromLocal8Bit(e.what()).simplified());
    }
}

qint64 CliRunner::bytesMoved() const
{
    return qMax(m_ftp.IOTransfered(), m_ftp.IOPos());
}

void CliRunner::watchdogTick()
{
    if (m_finished)
        return;
    const qint64 bytes = bytesMoved();
    if (bytes != m_lastBytes) {
        m_lastBytes = bytes;
        m_sinceActivity.restart();
    }
    if (bytes >= 0 && m_step >= 0)
        m_progress.update(bytes, m_ftp.IOSize(), m_sinceStepStart.elapsed());

    if (m_sinceActivity.elapsed() < qint64(m_options.timeoutSeconds) * 1000)
        return;
    const FtpUrl &url = m_job.target;
    QString doing;
    if (m_ftp.State() == csConnecting || (m_step < 0 && !m_hostAnswered))
        doing = QStringLiteral("while connecting to %1 port %2").arg(url.host(), url.port());
    else if (m_step < 0)
        doing = QStringLiteral("while logging in to %1").arg(url.host());
    else
        doing = QStringLiteral("during ") + m_job.steps.at(m_step).description;
    fail(QStringLiteral("no answer from the host for %1 seconds %2")
                 .arg(m_options.timeoutSeconds)
                 .arg(doing));
}

QString CliRunner::hostSaid() const
{
    // The session dispatches a reply (and so reports its result) before it reports the
    // line itself, so the line to quote is the session's last reply, not the last one seen.
    const QString reply = m_ftp.ReplyLine();
    return reply.isEmpty() ? QString() : QStringLiteral(" (host said: %1)").arg(reply);
}

void CliRunner::fail(const QString &reason)
{
    if (m_finished)
        return;
    m_failure = reason;
    finish(1);
}

void CliRunner::finish(int exitStatus)
{
    if (m_finished)
        return;
    m_finished = true;
    m_watchdog.stop();
    m_progress.finish();
    // Disconnect from the event loop, not from inside the session's notification.
    QTimer::singleShot(0, this, [this, exitStatus] {
        if (!m_failure.isEmpty()) {
            log(QStringLiteral(" !: ") + m_failure);
            std::fprintf(stderr, "orvane-ftp-cli: %s\n", m_failure.toLocal8Bit().constData());
            std::fflush(stderr);
        }
        if (m_ftp.State() != csNotConnected) {
            try {
                m_ftp.Disconnect();
            } catch (const std::exception &) {
                // A session that is neither connecting nor connected has nothing to end.
            }
        }
        if (exitStatus == 0)
            log(QStringLiteral("  : Disconnected"));
        Q_EMIT finished(exitStatus);
    });
}

void CliRunner::log(const QString &line) const
{
    if (!m_options.verbose)
        return;
    std::fputs(line.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}
