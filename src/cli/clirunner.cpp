#include "cli/clirunner.h"

#include "platform/localpath.h"
#include "platform/terminal.h"
#include "util/hosttext.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

namespace {

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
    settings.OnExists = options.onExists;
    settings.TransferMode = options.type == CliOptions::AutoType     ? 0
                            : options.type == CliOptions::BinaryType ? 1
                                                                     : 2;
    settings.KAP = Options::KapNever;
    settings.Reconnect = Options::ReconnectNever;
    settings.ConfirmDisconnect = false;
    settings.RetryAttempts = options.retries;
    settings.RetryPause = job.retryPause;
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
    connect(&m_engine, &TaskEngine::operationFinished, this, &CliRunner::operationFinished);
    connect(m_engine.log(), &LogModel::lineWritten, this, [this](const QString &line) {
        if (!m_finished)
            log(line);
    });
    hookSession(m_main);
    connect(m_main, &TcFTP::warning, this, [this](const QString &text) { m_lastWarning = text; });
    // Nobody can be asked here: a certificate that neither verifies nor matches the pin ends
    // the run, saying how to accept it next time.
    connect(&m_engine,
            &TaskEngine::certificateUntrusted,
            this,
            [this](const CertificateInfo &certificate, const QString &problem, const QString &) {
                fail(QStringLiteral("the host's certificate is not trusted (%1); its SHA-256 "
                                    "fingerprint is %2. To accept this certificate, run again "
                                    "with --pin sha256:%2")
                             .arg(problem, certificate.fingerprint));
            });
    connect(&m_engine, &TaskEngine::entrySkipped, this, [this](const QString &what, bool) {
        entrySkipped(what);
    });

    m_watchdog.setInterval(250);
    connect(&m_watchdog, &QTimer::timeout, this, &CliRunner::watchdogTick);
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
    // Each step lists what it needs: the folder the session arrives in is not listed for nothing.
    request.listsFirstFolder = false;
    request.passive = m_job.passive;
    request.nameEncoding = m_job.encoding;
    request.security = m_job.security;
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
    TaskEngine::onActionDone(session, this, [this](auto...) { progressSeen(); });
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

    // Lost under a transfer that is tried again, the main session logs in anew.
    if (newState == csNotConnected && m_engine.mainRejoining()) {
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
                             .arg(m_job.host, m_job.user, hostSaid(m_main->ReplyLine())));
            return;
        }
        mainLost();
    }
    scheduleCheck();
}

void CliRunner::mainLost()
{
    if (m_mainLost)
        return;
    m_mainLost = true;
    QString reason = QStringLiteral("connection to %1 lost").arg(m_job.host);
    if (m_step >= 0 && m_step < m_job.steps.size())
        reason += QStringLiteral(" during ") + m_job.steps.at(m_step).description;
    const QString reply = m_main->ReplyLine();
    if (!m_lastWarning.isEmpty())
        reason += QStringLiteral(": ") + m_lastWarning;
    else if (reply.startsWith(QLatin1Char('4')) || reply.startsWith(QLatin1Char('5')))
        reason += hostSaid(reply);
    m_failures.append(reason);
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

// Comes for every slice of a download: the clock is read at the watchdog's next tick.
void CliRunner::progressSeen()
{
    m_progressed = true;
    m_hostBabbled = false;
}

// State changes arrive from inside the engine's own handling; what they mean for the job is
// looked at once the event loop is back.
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
    // Logging in again for a retry failed for good: the session is offline as any other.
    if (m_main->State() == csNotConnected && !m_engine.mainRejoining())
        mainLost();
    // The operation under way ends with its result; without one the run is over.
    if (m_mainLost && m_operation == 0)
        finish(1);
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
    m_lastWarning.clear();
    m_lastBytes = -1;
    m_sinceStepStart.start();
    m_sinceActivity.restart();
    const CliStep &step = m_job.steps.at(m_step);
    const OperationStart start = startOperation(step);
    m_operation = start.id;
    if (m_operation == 0) {
        // Nothing was left to carry out; what was left out is in no result to come.
        for (const SkippedName &skipped : start.skipped)
            m_failures.append(QStringLiteral("Skipped '%1': %2").arg(skipped.name, skipped.reason));
        m_failures.append(step.description + QStringLiteral(" failed"));
        finish(1);
        return;
    }
    m_engine.Pass();
}

OperationStart CliRunner::startOperation(const CliStep &step)
{
    const HostPath host{step.hostPath};
    const LocalPath local{step.localPath};
    switch (step.kind) {
    case CliStep::List:
        return m_engine.listHostFolder(host);
    case CliStep::Download:
        return m_engine.download({FilePair{host, local}});
    case CliStep::Upload:
        return m_engine.upload({FilePair{host, local}});
    case CliStep::DownloadTree:
        return m_engine.downloadTree(host, local);
    case CliStep::UploadTree:
        return m_engine.uploadTree(local, host, true);
    case CliStep::DeleteTree:
        return m_engine.deleteTree(host);
    case CliStep::Delete:
        return m_engine.deleteOnHost({host});
    case CliStep::MakeFolder:
        return m_engine.makeHostFolder(host);
    case CliStep::Rename:
        return m_engine.renameOnHost({{host, step.newName}});
    }
    return {};
}

void CliRunner::operationFinished(int id, const OperationResult &result)
{
    if (m_finished || id != m_operation || m_step < 0 || m_step >= m_job.steps.size())
        return;
    m_operation = 0;
    m_progress.finish();
    const CliStep &step = m_job.steps.at(m_step);
    m_failures += failuresOf(step, result);
    if (result.success()) {
        if (step.kind == CliStep::List && step.print)
            printListing(step.hostPath);
        reportTransfer(step, result);
    }
    if (!m_failures.isEmpty() || m_mainLost) {
        finish(1);
        return;
    }
    startNextStep();
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
    // A pause before another attempt is no host failing to answer.
    if (m_engine.retriesWaiting() || m_engine.mainRejoining())
        progressSeen();
    if (bytes != m_lastBytes) {
        m_lastBytes = bytes;
        progressSeen();
    }
    if (m_progressed) {
        m_progressed = false;
        m_sinceActivity.restart();
    }
    showProgress();
    if (m_finished || m_sinceActivity.elapsed() < qint64(m_options.timeoutSeconds) * 1000)
        return;
    QString doing;
    if (m_main->State() == csConnecting || (m_phase == Connecting && !m_hostAnswered))
        doing = QStringLiteral("while connecting to %1 port %2").arg(m_job.host, m_job.port);
    else if (m_phase == Connecting)
        doing = QStringLiteral("while logging in to %1").arg(m_job.host);
    else
        doing = QStringLiteral("during ") + m_job.steps.at(m_step).description;
    m_failures.append((m_hostBabbled ? QStringLiteral("no final reply and no data from the host "
                                                      "for %1 seconds %2 (only preliminary "
                                                      "replies or continuation lines)")
                                     : QStringLiteral("no answer from the host for %1 seconds %2"))
                              .arg(m_options.timeoutSeconds)
                              .arg(doing));
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

// An entry left out is named at once. One the run should have carried out fails the step's
// operation, and is named again with the other failures at the end.
void CliRunner::entrySkipped(const QString &what)
{
    if (m_finished)
        return;
    m_progress.finish();
    std::fprintf(stderr,
                 "orvane-ftp-cli: warning: %s\n",
                 VisibleHostText(what).toLocal8Bit().constData());
    std::fflush(stderr);
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
