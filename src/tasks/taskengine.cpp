#include "taskengine.h"

#include "tasks/soundplayer.h"
#include "tasks/statustexts.h"
#include "util/fieldstring.h"
#include "util/hostpath.h"
#include "util/hosttext.h"
#include "util/pathforms.h"

#include <QPointer>

namespace {
const QChar Star = QLatin1Char('*');
const QString StopText = QStringLiteral("Stop");
const QString ResetText = QStringLiteral("Reset");

// A session that still holds a transfer or listing open takes no new work, whatever its state
// says: the next file's bytes would go to the old one's file.
bool transferOpen(const TcFTP *session)
{
    return session->Downloading() || session->Uploading() || session->Listing();
}

// A tree delete may start at any folder but the root, however it is spelled ("\\", "\\\\",
// "\\pub\\..\\" and "\\pub\\.\\..\\" are all the root, as C strings). A path climbing above the
// root is no folder at all.
bool deletableHostTree(QString path)
{
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!path.startsWith(QLatin1Char('/')))
        path.prepend(QLatin1Char('/'));
    QString normalised;
    return NormaliseHostPath(path, QLatin1Char('/'), &normalised) && normalised.size() > 1;
}
} // namespace

TaskEngine::TaskEngine(QObject *parent)
    : QObject(parent)
    , m_stopCaption(StopText)
{
    m_mainFTP = new TcFTP(this);
    m_mainFTP->setListingBuffer(&m_listingBuffer);
    m_mainFTP->setQuitBeforeIdle(false);
    m_mainFTP->setMaxSecsIdle(180);
    m_mainFTP->setLoginScript(QString());
    configureSession(m_mainFTP);
    m_taskList.append(QStringLiteral("Main Task"), m_mainFTP);

    m_log.setMainSessionNumbered([this] {
        return m_maxTasks > 1 && (m_options->ShowMultiGeneral || m_options->ShowMultiIO);
    });
    m_log.ShowBanner();

    m_status.resize(3);
    m_status.setCaption(0, QStringLiteral("Tasks: 0 of 0"));
    m_status.setCaption(1, QStringLiteral("Queue Size: 0"));

    connect(&m_operations,
            &OperationTracker::operationFinished,
            this,
            &TaskEngine::operationFinished);

    m_taskTimer.setInterval(1000);
    connect(&m_taskTimer, &QTimer::timeout, this, &TaskEngine::Pass);
    m_reconnectTimer.setInterval(1000);
    connect(&m_reconnectTimer, &QTimer::timeout, this, &TaskEngine::reconnectTick);
    m_retryTimer.setSingleShot(true);
    m_retryTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_retryTimer, &QTimer::timeout, this, &TaskEngine::releaseRetries);
    m_operations.setBusyCheck(
            [this](int operation) { return m_retries.holdsOperation(operation); });
}

TaskEngine::~TaskEngine()
{
    stopTimers();
    // Sessions report while they are torn down; nothing of that may reach a half-destroyed
    // engine, and they go while the listing buffer they point to still exists.
    const QList<TcFTP *> sessions = findChildren<TcFTP *>(Qt::FindDirectChildrenOnly);
    for (TcFTP *session : sessions)
        session->disconnect(this);
    qDeleteAll(sessions);
}

// Routes a session's reports to the engine.
void TaskEngine::configureSession(TcFTP *session)
{
    connect(session, &TcFTP::stateChanged, this, [this, session](TcFTPStates state) {
        SessionStateChanged(session, state);
    });
    connect(session, &TcFTP::textIO, this, [this, session](const QString &line, bool in, bool ok) {
        FTPTextIO(session, line, in, ok);
    });
    onActionDone(session, this, [this](auto... report) { FTPAction(report...); });
    connect(session, &TcFTP::unknownCommand, this, [this, session](const QString &line) {
        const int index = m_taskList.IndexOfSession(session);
        if (index >= 0)
            m_operations.warning(m_taskList.record(index),
                                 QStringLiteral("command not accepted: ") + line);
        Q_EMIT unknownSessionCommand(line);
    });
    connect(session, &TcFTP::warning, this, [this, session](const QString &text) {
        const int index = m_taskList.IndexOfSession(session);
        if (index >= 0)
            m_operations.warning(m_taskList.record(index), text);
        WriteLog(QStringLiteral(" !: ") + text, m_taskList.IndexOfSession(session));
    });
    connect(session,
            &TcFTP::treeWalkBounded,
            this,
            [this, session](const QString &folder, const QString &reason) {
                const int index = m_taskList.IndexOfSession(session);
                tTaskListObj *record = index >= 0 ? m_taskList.record(index) : nullptr;
                const QString shown = ConvertPath(folder, SlashForm);
                QString line = QStringLiteral(" !: Stopped the tree walk at the host folder '%1': "
                                              "%2.")
                                       .arg(shown, reason);
                SkippedName skipped{shown,
                                    QStringLiteral("the tree walk stopped there: ") + reason
                                            + QLatin1Char('.')};
                if (record && record->DeleteAfterBuffer) {
                    // Half a tree is not deleted: its folders would stay, emptied.
                    record->DeleteAfterBuffer = false;
                    line += QStringLiteral(" Nothing is deleted.");
                    skipped.reason += QStringLiteral(" Nothing is deleted.");
                }
                warnSkipped(index, line, skipped);
                if (record && record->DownloadAfterBuffer)
                    Q_EMIT treeListingFailed(record->BufferRoot, record->LocalRoot);
            });
    connect(session,
            &TcFTP::entryRefused,
            this,
            [this, session](const QString &folder, const QString &line) {
                const int index = m_taskList.IndexOfSession(session);
                const tTaskListObj *record = index >= 0 ? m_taskList.record(index) : nullptr;
                // Left out of a tree that is fetched or deleted, the entry makes it incomplete.
                const bool inTree
                        = record && (record->DownloadAfterBuffer || record->DeleteAfterBuffer);
                const QString shown = ConvertPath(folder, SlashForm);
                const QString reason
                        = QStringLiteral("an entry's name cannot be used (listing line '%1').")
                                  .arg(line);
                warnSkipped(index,
                            QStringLiteral(" !: Skipped an entry of the host folder '%1': its name "
                                           "cannot be used (listing line '%2').")
                                    .arg(shown, line),
                            SkippedName{shown, reason, inTree});
            });
    connect(session,
            &TcFTP::secured,
            this,
            [this, session](const QString &version, const QString &cipher) {
                WriteLog(QStringLiteral("  : TLS established (%1, %2)").arg(version, cipher),
                         m_taskList.IndexOfSession(session));
            });
    connect(session,
            &TcFTP::certificateUntrusted,
            this,
            [this, session](const CertificateInfo &certificate,
                            const QString &problem,
                            const QString &pinned) {
                if (session == m_mainFTP) {
                    Q_EMIT certificateUntrusted(certificate, problem, pinned);
                    return;
                }
                // The main session accepted the host's certificate; a task session shown
                // another one is not talking to the same host.
                WriteLog(QStringLiteral(" !: ") + problem, m_taskList.IndexOfSession(session));
                QMetaObject::invokeMethod(
                        this,
                        [this, target = QPointer<TcFTP>(session)] {
                            if (target)
                                disconnectQuietly(target);
                        },
                        Qt::QueuedConnection);
            });
    connect(session, &TcFTP::internalError, this, [this](int number, const QString &) {
        WriteLog(QStringLiteral("!!: Error %1 - Please Report to Author.").arg(number),
                 LogModel::NoSession);
    });
}

void TaskEngine::startTimers()
{
    m_taskTimer.start();
    m_reconnectTimer.start();
}

void TaskEngine::stopTimers()
{
    m_taskTimer.stop();
    m_reconnectTimer.stop();
}

void TaskEngine::Change_MaxTasks(int value)
{
    value = qBound(1, value, MaxTasksLimit);
    if (value == m_maxTasks)
        return;
    m_maxTasks = value;
    Q_EMIT maxTasksChanged(value);
}

void TaskEngine::Pass()
{
    if (m_inPass) {
        // Asked from inside a session's report during a pass: run again once this one is done,
        // so that reports never nest passes.
        m_passAgain = true;
        return;
    }
    m_inPass = true;
    do {
        m_passAgain = false;
        guarded("u1-9001", [this] { runPass(); });
    } while (m_passAgain);
    m_inPass = false;
}

// Sessions from 1 up that could take an entry now or soon: idle, or not yet logged in.
int TaskEngine::availableTasks() const
{
    int n = 0;
    for (int i = 1; i < m_taskList.count(); ++i) {
        const TcFTP *session = m_taskList.session(i);
        if (m_taskList.record(i)->AwaitingAnswer != 0)
            continue; // takes nothing before its answer
        if (!session->LoggedIn() || session->State() == csIdle)
            ++n;
    }
    return n;
}

void TaskEngine::runPass()
{
    int n = availableTasks();

    // Trim: surplus idle task sessions go, the last first.
    while (m_taskList.count() > m_maxTasks || n > m_transferQueue.count()) {
        int idle = -1;
        for (int i = m_taskList.count() - 1; i >= 1; --i) {
            // A session waiting for the user's answer stays: the answer is its next work.
            if (m_taskList.session(i)->State() == csIdle
                && m_taskList.record(i)->AwaitingAnswer == 0) {
                idle = i;
                break;
            }
        }
        if (idle < 0)
            break;
        disconnectQuietly(m_taskList.session(idle));
        --n;
    }

    // Grow: a session per waiting entry, up to the maximum. A task that fails at once leaves
    // the list again, so the number of starts per pass is bounded as well.
    if (m_maxTasks > 1) {
        int starts = 0;
        while (m_taskList.count() < m_maxTasks && n < m_transferQueue.count()
               && starts < MaxTasksLimit) {
            StartTask();
            ++n;
            ++starts;
        }
    }

    // Task rows, handing out work to idle sessions on the way.
    TransferTotals totals;
    for (int i = 0; i < m_taskList.count(); ++i) {
        if (m_taskRows.count() < i + 1)
            m_taskRows.resize(i + 1);
        updateTaskRow(i, totals);
    }
    if (m_taskRows.count() > m_taskList.count())
        m_taskRows.resize(m_taskList.count());

    // Queue rows; a row of an entry of an unknown kind keeps its caption. While entries are
    // only taken from the front and appended, the rows follow by the same moves and only new
    // rows get captions: a pass per finished file must not cost a caption per waiting entry.
    int firstNew = 0;
    if (m_transferQueue.reshaped() == m_queueRowsReshaped) {
        m_queueRows.removeFirst(int(m_transferQueue.takenFromFront() - m_queueRowsTaken));
        firstNew = qMin(m_queueRows.count(), m_transferQueue.count());
    }
    m_queueRowsReshaped = m_transferQueue.reshaped();
    m_queueRowsTaken = m_transferQueue.takenFromFront();
    m_queueRows.resize(m_transferQueue.count());
    for (int i = firstNew; i < m_transferQueue.count(); ++i)
        m_queueRows.setCaption(
                i, TransferQueue::Caption(m_transferQueue.at(i), m_queueRows.caption(i)));

    forgetQueueAnswerWhenDry();
    m_status.setCaption(0, TasksPanelText(m_taskList.count(), m_maxTasks));
    m_status.setCaption(1, QueuePanelText(m_transferQueue.count()));
    m_status.setCaption(2, ProgressPanelText(totals, m_reconnectCountdown));
}

void TaskEngine::updateTaskRow(int row, TransferTotals &totals)
{
    tTaskListObj *record = m_taskList.record(row);
    TcFTP *session = record->FTP;
    const bool main = session == m_mainFTP;
    switch (session->State()) {
    case csNotConnected:
        m_taskRows.setCaption(row, OfflineRowCaption(m_reconnectCountdown));
        break;
    case csIdle:
        if (transferOpen(session)) {
            m_taskRows.setCaption(row, IdleRowCaption(main, session->SecsIdle()));
        } else if (m_stopCaption == StopText && main && !m_mainCmdList.isEmpty()) {
            record->operation = m_mainCmdList.firstOperation();
            const QString command = m_mainCmdList.takeFirst();
            guarded("u1-6144", [&] { session->AddCommand(command); });
            executeQuietly(session);
            // A command carried out at once (a folder shown from the buffer) is done now.
            if (session->State() != csWaitForReply)
                workEnded(record);
        } else if (record->AwaitingAnswer != 0) {
            m_taskRows.setCaption(row,
                                  QStringLiteral("Waiting : Asking what to do with a file "
                                                 "that exists"));
        } else if (m_stopCaption == StopText && !queueStopped() && !m_transferQueue.isEmpty()
                   && (!main || m_maxTasks == 1) && !queueBlocked()) {
            m_taskRows.setCaption(row, QStringLiteral("Preparing to handle next queue entry"));
            handOutQueueEntry(record);
        } else {
            m_taskRows.setCaption(row, IdleRowCaption(main, session->SecsIdle()));
        }
        break;
    case csWaitForReply:
        totals.add(session->IOPos(), session->IOTransfered(), session->IOSize(), session->IOTime());
        if (session->Buffering()) {
            m_taskRows.setCaption(row, QStringLiteral("Buffering : ") + session->Folder());
        } else if (session->Downloading() || session->Uploading()) {
            m_taskRows.setCaption(row,
                                  TransferRowCaption(session->Downloading(),
                                                     session->IOdstFile(),
                                                     session->IOPos(),
                                                     session->IOSize(),
                                                     session->IOTransfered(),
                                                     session->IOTime()));
        } else if (session->LoggedIn()) {
            m_taskRows.setCaption(row, QStringLiteral("Waiting : Waiting for Reply from Server"));
        } else {
            m_taskRows.setCaption(row, QStringLiteral("Waiting : Connecting to FTP Site"));
        }
        break;
    case csConnecting:
        if (!main)
            m_taskRows.setCaption(row, QStringLiteral("Waiting : Connecting to the FTP site"));
        break;
    }
}

// While a "c*" entry is being carried out nothing queued behind it is handed out: a folder
// upload's files (and its sub-folders' MKD) must not reach the host before their folder exists.
bool TaskEngine::queueBlocked() const
{
    for (int i = 0; i < m_taskList.count(); ++i) {
        if (m_taskList.record(i)->CarryingCommand)
            return true;
    }
    return false;
}

bool TaskEngine::handOutQueueEntry(tTaskListObj *record)
{
    TcFTP *session = record->FTP;
    record->operation = m_transferQueue.operationAt(0);
    const QString entry = m_transferQueue.takeFirst();
    const ushort kind = entry.isEmpty() ? 0 : entry.at(0).unicode();
    record->QueueEntry = kind == 'd' || kind == 'u' ? entry : QString();
    record->HeldEntry = kind == 'b' || kind == 'c' ? entry : QString();
    bool known = true;
    // AddCommand refuses an empty command line: the entry is then dropped (and logged).
    guarded("u1-9002", [&] {
        switch (kind) {
        case 'd':
        case 'u':
            startTransferEntry(record, entry);
            break;
        case 'c':
            session->AddCommand(entry.mid(2, 999));
            record->CarryingCommand = true;
            break;
        case 'b':
            // The root in any spelling ("\\", "\\pub\\..\\", "\\.\\") is never deleted as a tree.
            if (entry.contains(QLatin1String("*!delete"))
                && !deletableHostTree(Field(entry, 2, Star))) {
                const QString root = Field(entry, 2, Star);
                warnSkipped(m_taskList.IndexOfSession(session),
                            QStringLiteral(" !: Refused to delete the host folder '%1' with "
                                           "everything below it: it is the host's root folder.")
                                    .arg(root),
                            SkippedName{root,
                                        QStringLiteral("the host's root folder is not deleted "
                                                       "with everything below it.")});
                break;
            }
            session->AddCommand(QStringLiteral("*bufferfolder ") + Field(entry, 2, Star));
            if (entry.contains(QLatin1String("*!delete"))) {
                record->DeleteAfterBuffer = true;
                record->BufferRoot = ConvertPath(Field(entry, 2, Star), BackslashForm);
            } else if (entry.contains(QLatin1String("*!download"))) {
                record->DownloadAfterBuffer = true;
                record->BufferRoot = ConvertPath(Field(entry, 2, Star), BackslashForm);
                record->LocalRoot = ConvertPath(Field(entry, 3, Star), BackslashForm);
            }
            break;
        default:
            known = false;
            Q_EMIT unknownQueueEntry(entry);
            break;
        }
    });
    executeQuietly(session);
    // A command that never left (refused, or done at once) holds nothing back. The session may
    // have left the task list meanwhile, taking its record with it.
    const int index = m_taskList.IndexOfSession(session);
    if (index >= 0 && session->State() != csWaitForReply) {
        m_taskList.record(index)->CarryingCommand = false;
        workEnded(m_taskList.record(index));
        // An entry that needed nothing of the host (a file left as it is) leaves the session
        // idle: it takes the next one in this pass, not a second later.
        if (session->State() == csIdle && m_taskList.record(index)->AwaitingAnswer == 0)
            m_passAgain = true;
    }
    return known;
}

// An own command that failed has been reported through the session's action event; the
// exception Execute raises for it then says nothing new.
void TaskEngine::executeQuietly(TcFTP *session)
{
    guarded(
            "u1-1241", [session] { session->Execute(); }, 1241);
}

void TaskEngine::logFailure(const char *place, const QString &what)
{
    WriteLog(QStringLiteral("!!: Error %1 - Please Report to Author.").arg(QLatin1String(place)),
             LogModel::NoSession);
    if (!what.isEmpty())
        WriteLog(QStringLiteral("!!: ")
                         + QString(what).replace(QLatin1String("\r\r\n"), QLatin1String(" ")),
                 LogModel::NoSession);
}

void TaskEngine::StartTask()
{
    auto *session = new TcFTP(this);
    configureSession(session);
    session->setListingBuffer(&m_listingBuffer);
    session->setQuitBeforeIdle(false);
    session->setLoginScript(QString());
    session->setResumeTransfers(m_connectOptions.Resume);
    session->setAutoTransferMode(m_connectOptions.TransferMode == 0);
    if (m_connectOptions.TransferMode != 0)
        session->SetBinaryMode(m_connectOptions.TransferMode == 1);
    m_taskList.append(QStringLiteral("Connecting"), session);
    session->setPassiveMode(m_mainFTP->PassiveMode());
    session->setNameEncoding(m_mainFTP->NameEncoding());
    session->setSecurity(m_mainFTP->Security());
    const TcFTPSession login{
            m_mainFTP->Host(), m_mainFTP->Port(), m_mainFTP->Username(), m_mainFTP->Password()};
    if (!guarded("u1-7001", [&] { session->Connect(login); })) {
        const int index = m_taskList.IndexOfSession(session);
        if (index > 0)
            taskOffline(index);
    }
}

// Disconnects a task session; its entry leaves the task list through its offline report, or
// here when the report does not come at once.
void TaskEngine::disconnectQuietly(TcFTP *session)
{
    guarded(
            "u1-7002", [session] { session->Disconnect(); }, 16631);
    const int index = m_taskList.IndexOfSession(session);
    if (index > 0)
        taskOffline(index);
}

void TaskEngine::dropQueuedWork()
{
    withdrawQuestions();
    abandonRetries();
    m_transferQueue.clear();
    m_mainCmdList.clear();
    m_operations.scheduleCheck();
}

void TaskEngine::AbortAll()
{
    guarded("u1-7003", [this] { m_mainFTP->Abort(); });
    for (int i = m_taskList.count() - 1; i >= 1; --i) {
        if (i < m_taskList.count())
            disconnectQuietly(m_taskList.session(i));
    }
}

void TaskEngine::Stop()
{
    if (m_rejoin == Rejoin::Waiting) {
        // Stopping a transfer that waits for another attempt gives it up, and with it the
        // connection it was to log in again for.
        DisconnectMain();
        Pass();
        return;
    }
    if (m_reconnectCountdown > 0) {
        m_reconnectCountdown = 0;
        Q_EMIT reconnectCountdownChanged(0);
        Q_EMIT interfaceChanged();
        return;
    }
    if (m_mainFTP->State() == csNotConnected)
        return;
    if (m_mainFTP->State() == csConnecting || m_rootFolder.isEmpty() || m_mainFTP->Idles() < 2) {
        m_mainFTP->setIdles(25);
        DisconnectMain();
        return;
    }
    if (m_stopCaption == StopText) {
        m_stopCaption = ResetText;
        Q_EMIT stopCaptionChanged(m_stopCaption);
        QTimer::singleShot(500, this, &TaskEngine::resetStopCaption);
        guarded("u1-7004", [this] { m_mainFTP->Abort(); });
        return;
    }
    withdrawQuestions();
    abandonRetries();
    m_transferQueue.clear();
    m_mainCmdList.clear();
    AbortAll();
    Pass();
}

void TaskEngine::resetStopCaption()
{
    if (m_stopCaption == StopText)
        return;
    m_stopCaption = StopText;
    Q_EMIT stopCaptionChanged(m_stopCaption);
}

void TaskEngine::toggleQueueStop()
{
    ++m_queueStopTag;
    Q_EMIT queueStopChanged(queueStopped());
    Pass();
    Q_EMIT interfaceChanged();
}

void TaskEngine::KillTasks(const QList<int> &rows)
{
    if (rows.contains(0)) {
        if (m_mainFTP->State() != csNotConnected)
            DisconnectMain();
    } else {
        for (int i = m_taskList.count() - 1; i >= 1; --i) {
            if (rows.contains(i) && i < m_taskList.count())
                disconnectQuietly(m_taskList.session(i));
        }
    }
    Pass();
    Q_EMIT interfaceChanged();
}

void TaskEngine::RemoveQueueEntries(const QList<int> &rows)
{
    for (int i = m_transferQueue.count() - 1; i >= 0; --i) {
        if (rows.contains(i))
            m_transferQueue.removeAt(i);
    }
    Pass();
    Q_EMIT interfaceChanged();
}

void TaskEngine::playSound(bool enabled, const QString &file)
{
    if (enabled && m_soundPlayer && !file.isEmpty())
        m_soundPlayer->play(file);
}

void TaskEngine::warnSkipped(int index, const QString &line, const SkippedName &skipped)
{
    WriteLog(line, index);
    if (index >= 0)
        m_operations.skip(m_taskList.record(index)->operation, skipped);
    Q_EMIT entrySkipped(VisibleHostText(line.mid(4)), skipped.failsOperation);
}
