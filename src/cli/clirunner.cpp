#include "cli/clirunner.h"

#include "platform/localpath.h"
#include "platform/terminal.h"
#include "tasks/uploadfoldertree.h"
#include "util/fieldstring.h"
#include "util/hosttext.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

namespace {

const QChar Star = QLatin1Char('*');

bool isFinalReply(const QString &line)
{
    return line.size() > 3 && line.at(3) == QLatin1Char(' ') && line.at(0) != QLatin1Char(' ');
}

// A property on each session the runner listens to, so that it listens once.
const char HookedProperty[] = "orvaneCliHooked";

// Task sessions that fail to connect one after another before the runner takes the host's
// word that it allows no more of them.
constexpr int TaskFailuresAccepted = 3;

} // namespace

CliRunner::CliRunner(const CliOptions &options, const CliJob &job, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_job(job)
    , m_progress(StandardErrorIsTerminal())
{
    m_main = m_engine.MainFTP();
    Options &settings = m_engine.options();
    settings.Resume = options.resume;
    settings.TransferMode = options.type == CliOptions::AutoType     ? 0
                            : options.type == CliOptions::BinaryType ? 1
                                                                     : 2;
    settings.KAP = Options::KapNever;
    settings.Reconnect = Options::ReconnectNever;
    settings.ConfirmDisconnect = false;
    settings.ClearLogWin = false;
    settings.ShowLogInInfo = false;
    settings.ShowMainIO = options.verbose;
    settings.ShowMultiIO = options.verbose;
    settings.ShowMainGeneral = options.verbose;
    settings.ShowMultiGeneral = options.verbose;
    // Hosts start in ASCII, but say so rather than trust it.
    if (options.type == CliOptions::AsciiType)
        m_main->setLoginScript(QStringLiteral("type a\r\n"));

    connect(&m_engine, &TaskEngine::sessionStateChanged, this, &CliRunner::sessionStateChanged);
    connect(&m_engine, &TaskEngine::hostFolderListed, this, [this](const QString &folder, bool) {
        folderListed(folder);
    });
    connect(&m_engine, &TaskEngine::localFolderFailed, this, &CliRunner::localFolderFailed);
    connect(&m_engine, &TaskEngine::unknownSessionCommand, this, [this](const QString &line) {
        log(QStringLiteral(" !: Command not accepted: ") + line);
        m_lastWarning = QStringLiteral("command not accepted: ") + line;
    });
    connect(m_engine.log(), &LogModel::lineWritten, this, [this](const QString &line) {
        if (!m_finished)
            log(line);
    });
    hookSession(m_main);
    connect(m_main,
            &TcFTP::actionDone,
            this,
            [this](TcFTPActionType action, const QString &, qint64 size, bool done, bool ok) {
                mainActionReported(action, size, done, ok);
            });
    connect(m_main, &TcFTP::warning, this, [this](const QString &text) { m_lastWarning = text; });
    connect(&m_engine, &TaskEngine::entrySkipped, this, &CliRunner::entrySkipped);

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
    log(QStringLiteral("  : Connecting to %1 port %2").arg(m_job.host, m_job.port));
    m_sinceActivity.start();
    m_sinceStart.start();
    m_watchdog.start();
    m_engine.startTimers();

    ConnectRequest request;
    request.session = TcFTPSession{m_job.host, m_job.port, m_job.user, m_job.password};
    request.initialFolder = m_job.initialFolder;
    request.passive = m_job.passive;
    request.tasks = m_job.tasks;
    request.setsFirewall = true;
    request.firewallType = m_job.firewallType;
    request.firewallHost = m_job.firewallHost;
    request.firewallPort = m_job.firewallPort;
    m_engine.connectMain(request);
    if (m_main->State() == csNotConnected && !m_finished)
        fail(QStringLiteral("cannot connect to %1 port %2").arg(m_job.host, m_job.port));
}

// Listens to a session's own reports as well as the engine's: its host text keeps the
// watchdog quiet, and its results tell which file arrived and why one did not.
void CliRunner::hookSession(TcFTP *session)
{
    if (session->property(HookedProperty).toBool())
        return;
    session->setProperty(HookedProperty, true);
    connect(session, &TcFTP::textIO, this, [this](const QString &line, bool fromHost, bool valid) {
        textExchanged(line, fromHost, valid);
    });
    // Said at once, on standard error: a refused stranger on the data connection does not fail
    // the run, and the log is shown only with -v.
    connect(session, &TcFTP::warning, this, [this](const QString &text) {
        if (!m_options.verbose && !m_finished)
            std::fprintf(stderr, "orvane-ftp-cli: warning: %s\n", text.toLocal8Bit().constData());
    });
    // The session gives up on a host that makes no progress a little after the watchdog would,
    // so that the watchdog, which knows the step, tells the main session's story.
    session->setReplyTimeout(m_options.timeoutSeconds + 2);
    TaskEngine::onActionDone(session, this, [this](auto... report) { actionReported(report...); });
    connect(session, &TcFTP::warning, this, [this, session](const QString &text) {
        m_sessionWarnings.insert(session, text);
    });
    if (session != m_main && m_options.type == CliOptions::AsciiType)
        session->setLoginScript(QStringLiteral("type a\r\n"));
}

void CliRunner::sessionStateChanged(int taskNumber, TcFTPStates newState)
{
    if (m_finished)
        return;
    progressSeen();
    TaskList &tasks = m_engine.taskList();
    if (taskNumber < 0 || taskNumber >= tasks.count())
        return;
    TcFTP *session = tasks.session(taskNumber);
    hookSession(session);

    if (session != m_main) {
        if (newState == csIdle && session->LoggedIn())
            m_taskFailuresInRow = 0;
        if (newState == csNotConnected && !session->LoggedIn()
            && !tasks.record(taskNumber)->WasLoggedIn)
            taskCouldNotConnect();
        scheduleCheck();
        return;
    }

    if (newState == csNotConnected) {
        if (m_phase == Connecting) {
            // The session's own word (a reply that is no reply, one too long, no progress)
            // says more than the host's last reply.
            if (!m_lastWarning.isEmpty())
                fail(QStringLiteral("login to %1 as %2 failed: %3")
                             .arg(m_job.host, m_job.user, m_lastWarning));
            else if (!m_hostAnswered)
                fail(QStringLiteral("cannot connect to %1 port %2").arg(m_job.host, m_job.port));
            else
                fail(QStringLiteral("login to %1 as %2 failed%3")
                             .arg(m_job.host, m_job.user, hostSaid(m_main)));
            return;
        }
        if (!m_mainLost) {
            m_mainLost = true;
            QString reason = QStringLiteral("connection to %1 lost").arg(m_job.host);
            if (m_step >= 0 && m_step < m_job.steps.size())
                reason += QStringLiteral(" during ") + m_job.steps.at(m_step).description;
            const QString said = refusalOf(m_main);
            if (!m_lastWarning.isEmpty())
                reason += QStringLiteral(": ") + m_lastWarning;
            else if (said.startsWith(QLatin1String(" (")))
                reason += said;
            m_failures.append(reason);
        }
    }
    scheduleCheck();
}

// A task session could not connect. A host that allows fewer sessions than asked for refuses
// the extra ones for ever; the scheduler would start them again every second, and with none of
// them working nothing would ever be carried out. After a few refusals in a row the runner goes
// on with the sessions the host let in.
void CliRunner::taskCouldNotConnect()
{
    if (++m_taskFailuresInRow < TaskFailuresAccepted)
        return;
    m_taskFailuresInRow = 0;
    int loggedIn = 0;
    for (int i = 0; i < m_engine.taskList().count(); ++i) {
        if (m_engine.taskList().session(i)->LoggedIn())
            ++loggedIn;
    }
    const int tasks = qMax(1, loggedIn);
    if (tasks >= m_engine.MaxTasks())
        return;
    log(QStringLiteral(" !: The host refuses more sessions; going on with %1.").arg(tasks));
    m_engine.Change_MaxTasks(tasks);
}

// Only progress keeps the watchdog quiet: a command sent, a final reply other than a
// preliminary one, data moving. A host that sends nothing but 1xx replies or continuation
// lines is as stuck as a silent one.
void CliRunner::textExchanged(const QString &line, bool fromHost, bool valid)
{
    if (!fromHost) {
        m_commandSent = true;
        progressSeen();
        return;
    }
    const bool final = isFinalReply(line);
    if (final)
        m_hostAnswered = true;
    if (final && valid && !line.startsWith(QLatin1Char('1')))
        progressSeen();
    else
        m_hostBabbled = true;
}

void CliRunner::progressSeen()
{
    m_sinceActivity.restart();
    m_hostBabbled = false;
}

// The main session's results settle the steps it carries out itself.
void CliRunner::scheduleCheck()
{
    if (m_checkPending || m_finished)
        return;
    m_checkPending = true;
    QTimer::singleShot(0, this, [this] {
        m_checkPending = false;
        check();
    });
}

void CliRunner::check()
{
    if (m_finished)
        return;
    if (m_mainLost) {
        // Whatever the other sessions still carry ends with their own reports.
        if (sessionsBusy())
            return;
        if (m_step >= 0 && m_step < m_job.steps.size() && m_job.steps.at(m_step).queued())
            m_failures += unfinishedTransfers();
        finish(1);
        return;
    }
    if (m_phase == Connecting) {
        // After login the engine walks the main session to its first folder; it is idle once
        // that walk is over.
        if (m_main->State() != csIdle || !m_main->LoggedIn())
            return;
        m_phase = Working;
        log(QStringLiteral("  : Logged in to %1 as %2").arg(m_job.host, m_job.user));
        startNextStep();
        return;
    }
    if (m_phase != Working || m_step < 0 || m_step >= m_job.steps.size())
        return;
    const CliStep &step = m_job.steps.at(m_step);
    if (step.queued()) {
        if (engineQuiet())
            endQueueStep();
        return;
    }
    if (m_main->State() != csIdle || !m_engine.mainCmdList().isEmpty())
        return;
    // A rename has no action report: the host's answer to RNTO (or to RNFR when that was
    // refused and no RNTO followed) is its result.
    if (!m_stepEnded && step.check == CliStep::RenameDone)
        stepEnded(m_main->OutCmd() == QLatin1String("rnto")
                  && m_main->InCmd().startsWith(QLatin1Char('2')));
    // The session went idle without reporting the step's result.
    if (!m_stepEnded)
        stepEnded(false);
    startNextStep();
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
    if (step.queued()) {
        queueStep(step);
    } else {
        m_engine.mainCmdList().append(step.line);
    }
    m_engine.Pass();
    scheduleCheck();
}

// Puts a step into the transfer queue and notes each file it is to move.
void CliRunner::queueStep(const CliStep &step)
{
    m_transfers.clear();
    m_transferIndex.clear();
    m_treeFolders.clear();
    m_treeListed = false;
    TransferQueue &queue = m_engine.transferQueue();
    switch (step.check) {
    case CliStep::UploadDone:
    case CliStep::DownloadDone: {
        // "*upload A*B" and "*download A*B" are what the "u*A*B" and "d*A*B" entries become.
        const QString argument = step.line.section(QLatin1Char(' '), 1);
        const QChar kind = step.check == CliStep::UploadDone ? QLatin1Char('u') : QLatin1Char('d');
        if (step.check == CliStep::UploadDone) {
            // Sent into a host folder that may not exist yet: its folders are made first.
            const QString hostFile = Field(argument, 2, Star);
            QueueMissingHostFolders(hostFile.left(hostFile.lastIndexOf(QLatin1Char('\\')) + 1),
                                    m_engine.listingBuffer(),
                                    queue);
        }
        queue.append(kind + QString(Star) + argument);
        expectTransfer(Field(argument, 2, Star), step.description);
        break;
    }
    case CliStep::FolderUploadDone: {
        // The folder, and any folder above it that is missing, is made first (like mkdir -p).
        QueueMissingHostFolders(step.hostFolder, m_engine.listingBuffer(), queue);
        const int first = queue.count();
        UploadFolderTree(
                step.localFolder, step.hostFolder, queue, [this](const QString &line, bool fails) {
                    log(line);
                    entrySkipped(line.mid(4).trimmed(), fails);
                });
        for (int i = first; i < queue.count(); ++i) {
            const QString &entry = queue.at(i);
            if (!entry.startsWith(QLatin1String("u*")))
                continue;
            const QString local = Field(entry, 2, Star);
            const QString host = Field(entry, 3, Star);
            expectTransfer(host,
                           QStringLiteral("upload of %1 to %2")
                                   .arg(LocalToNative(local), slashForm(host)));
        }
        break;
    }
    default:
        queue.append(step.line);
        break;
    }
}

void CliRunner::endQueueStep()
{
    const CliStep &step = m_job.steps.at(m_step);
    QStringList failures = unfinishedTransfers();
    for (const QString &folder : std::as_const(m_treeFolders)) {
        if (!QFileInfo(LocalToNative(folder)).isDir())
            failures.append(QStringLiteral("folder %1 was not made").arg(LocalToNative(folder)));
    }
    if ((step.check == CliStep::TreeDeleteDone || step.check == CliStep::TreeDownloadDone)
        && m_failures.isEmpty() && failures.isEmpty() && !m_treeListed) {
        failures.append(step.description + QStringLiteral(" failed: the folder was not listed"));
    }
    m_failures += failures;
    m_stepEnded = true;
    m_progress.finish();
    if (!m_failures.isEmpty()) {
        finish(1);
        return;
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
            reason += hostSaid(m_main);
        else if (!m_lastWarning.isEmpty())
            reason += QStringLiteral(": ") + m_lastWarning;
        fail(reason);
    }
}

// Nothing waits in either list and no session is working or starting.
bool CliRunner::engineQuiet()
{
    if (!m_engine.transferQueue().isEmpty() || !m_engine.mainCmdList().isEmpty())
        return false;
    return !sessionsBusy();
}

bool CliRunner::sessionsBusy()
{
    TaskList &tasks = m_engine.taskList();
    for (int i = 0; i < tasks.count(); ++i) {
        const TcFTPStates state = tasks.session(i)->State();
        if (state == csConnecting || state == csWaitForReply)
            return true;
    }
    return false;
}

qint64 CliRunner::bytesMoved()
{
    TaskList &tasks = m_engine.taskList();
    qint64 bytes = 0;
    for (int i = 0; i < tasks.count(); ++i) {
        const TcFTP *session = tasks.session(i);
        bytes += qMax<qint64>(0, qMax(session->IOTransfered(), session->IOPos()));
    }
    return bytes;
}

void CliRunner::watchdogTick()
{
    if (m_finished)
        return;
    const qint64 bytes = bytesMoved();
    if (bytes != m_lastBytes) {
        m_lastBytes = bytes;
        progressSeen();
    }
    showProgress();
    if (m_phase == Working && !m_mainLost)
        check();
    if (m_finished || m_sinceActivity.elapsed() < qint64(m_options.timeoutSeconds) * 1000)
        return;
    QString doing;
    if (m_main->State() == csConnecting || (m_phase == Connecting && !m_hostAnswered))
        doing = QStringLiteral("while connecting to %1 port %2").arg(m_job.host, m_job.port);
    else if (m_phase == Connecting)
        doing = QStringLiteral("while logging in to %1").arg(m_job.host);
    else
        doing = QStringLiteral("during ") + m_job.steps.at(m_step).description;
    const bool queued = m_phase == Working && m_step >= 0 && m_step < m_job.steps.size()
                        && m_job.steps.at(m_step).queued();
    m_failures.append((m_hostBabbled ? QStringLiteral("no final reply and no data from the host "
                                                      "for %1 seconds %2 (only preliminary "
                                                      "replies or continuation lines)")
                                     : QStringLiteral("no answer from the host for %1 seconds %2"))
                              .arg(m_options.timeoutSeconds)
                              .arg(doing));
    if (queued)
        m_failures += unfinishedTransfers();
    finish(1);
}

// The task rows and the status texts of the scheduler, on a terminal, once the run has taken
// a second.
void CliRunner::showProgress()
{
    if (m_phase != Working || m_sinceStart.elapsed() < 1000)
        return;
    QStringList lines;
    const QStringList rows = m_engine.taskRows()->captions();
    for (int i = 0; i < rows.size(); ++i)
        lines.append(QStringLiteral("[%1] ").arg(i, 2, 10, QLatin1Char('0')) + rows.at(i));
    QStringList status = m_engine.statusTexts()->captions();
    status.removeAll(QString());
    lines.append(status.join(QStringLiteral("  |  ")));
    m_progress.showLines(lines);
}

// An entry left out is named at once; one the run should have carried out makes it fail, and
// is named again with the other failures at the end.
void CliRunner::entrySkipped(const QString &what, bool failsRun)
{
    if (m_finished)
        return;
    m_progress.finish();
    std::fprintf(stderr,
                 "orvane-ftp-cli: warning: %s\n",
                 VisibleHostText(what).toLocal8Bit().constData());
    std::fflush(stderr);
    if (failsRun)
        m_failures.append(what);
}

void CliRunner::fail(const QString &reason)
{
    if (m_finished)
        return;
    m_failures.append(reason);
    finish(1);
}

void CliRunner::finish(int exitStatus)
{
    if (m_finished)
        return;
    m_finished = true;
    m_phase = Done;
    m_watchdog.stop();
    m_progress.finish();
    // Disconnect from the event loop, not from inside a session's notification.
    QTimer::singleShot(0, this, [this, exitStatus] {
        for (const QString &failure : std::as_const(m_failures)) {
            log(QStringLiteral(" !: ") + failure);
            std::fprintf(stderr,
                         "orvane-ftp-cli: %s\n",
                         VisibleHostText(failure).toLocal8Bit().constData());
        }
        std::fflush(stderr);
        m_engine.stopTimers();
        m_engine.transferQueue().clear();
        m_engine.mainCmdList().clear();
        if (m_main->State() != csNotConnected)
            m_engine.logOff();
        else
            m_engine.DisconnectMain();
        if (exitStatus == 0)
            log(QStringLiteral("  : Disconnected"));
        Q_EMIT finished(exitStatus);
    });
}

void CliRunner::log(const QString &line)
{
    if (!m_options.verbose)
        return;
    m_progress.finish();
    std::fputs(VisibleHostText(line).toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}
