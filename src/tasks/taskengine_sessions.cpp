// Connecting, reconnecting and the state changes of every session.
#include "taskengine.h"

#include "tasks/soundplayer.h"
#include "util/fieldstring.h"
#include "util/pathforms.h"

namespace {
const QString Backslash = QStringLiteral("\\");
} // namespace

void TaskEngine::connectMain(const ConnectRequest &request)
{
    // A session still connected refuses a second Connect: nothing changes then.
    guarded(
            "u2-4222",
            [&] {
                abandonRetries();
                m_connectedFromSite = request.fromSite;
                m_hostBookmarks = request.hostBookmarks;
                m_initialFolder = request.initialFolder;
                m_listsFirstFolder = request.listsFirstFolder;
                if (request.setsFirewall) {
                    m_mainFTP->setFirewallType(request.firewallType);
                    m_mainFTP->setFirewallHost(request.firewallHost);
                    m_mainFTP->setFirewallPort(request.firewallPort);
                }
                m_reconnectSession = request.session;
                m_connectOptions = *m_options;
                m_mainFTP->setResumeTransfers(m_connectOptions.Resume);
                m_mainFTP->setPassiveMode(request.passive);
                m_mainFTP->setNameEncoding(request.nameEncoding);
                m_mainFTP->setSecurity(request.security);
                m_mainFTP->setMaxSecsIdle(Options::maxSecsIdle(m_connectOptions.KAP));
                m_mainFTP->setAutoTransferMode(m_connectOptions.TransferMode == 0);
                if (m_connectOptions.TransferMode != 0)
                    m_mainFTP->SetBinaryMode(m_connectOptions.TransferMode == 1);
                Change_MaxTasks(request.tasks);
                m_mainFTP->Abort();
                m_reconnectCountdown = 0;
                Q_EMIT reconnectCountdownChanged(0);
                if (m_mainFTP->State() == csNotConnected)
                    m_mainFTP->setIdles(0);
                m_mainFTP->Connect(m_reconnectSession);
            },
            4222);
}

void TaskEngine::logOff()
{
    if (m_mainFTP->State() == csNotConnected)
        return;
    m_mainFTP->setIdles(25);
    DisconnectMain();
}

bool TaskEngine::DisconnectMain()
{
    const bool active = m_taskList.count() > 1 || m_mainFTP->State() == csWaitForReply;
    if (m_options->ConfirmDisconnect && active && m_confirmDisconnect && !m_confirmDisconnect())
        return false;
    const bool rejoining = abandonRetries();
    // A wanted disconnection: the coming offline report must not be taken for a failed
    // connection. An offline session keeps counting from 0 for its next connection.
    if (m_mainFTP->State() != csNotConnected)
        m_mainFTP->setIdles(6);
    m_transferQueue.clear();
    m_mainCmdList.clear();
    for (int i = m_taskList.count() - 1; i >= 0; --i) {
        if (i >= m_taskList.count())
            continue;
        TcFTP *session = m_taskList.session(i);
        if (session->State() == csNotConnected)
            continue;
        guarded(
                "u2-552", [session] { session->Disconnect(); }, 16631);
        const int index = m_taskList.IndexOfSession(session);
        if (index > 0)
            taskOffline(index);
    }
    // A main session waiting to log in again is offline already: its connection ends now.
    if (rejoining && m_mainFTP->State() == csNotConnected) {
        m_mainFTP->setIdles(6);
        mainOffline(m_taskList.record(0));
    }
    return true;
}

void TaskEngine::reconnectTick()
{
    if (m_reconnectCountdown <= 0)
        return;
    --m_reconnectCountdown;
    Q_EMIT reconnectCountdownChanged(m_reconnectCountdown);
    if (m_reconnectCountdown > 0)
        return;
    WriteLog(QStringLiteral("  : Re-attempting to connect to host."), 0);
    guarded("u1-7755", [this] { m_mainFTP->Connect(m_reconnectSession); });
}

void TaskEngine::SessionStateChanged(TcFTP *session, TcFTPStates newState)
{
    const int index = m_taskList.IndexOfSession(session);
    if (index < 0)
        return; // a task session that has already left the list
    const bool main = session == m_mainFTP;
    Q_EMIT sessionStateChanged(index, newState);
    guarded("u2-73", [&] {
        switch (newState) {
        case csConnecting:
            session->setASCExtension(m_connectOptions.ASCExtList.engineForm());
            break;
        case csNotConnected:
            if (main && rejoinOffline())
                break;
            if (main) {
                endLoginInfo();
                mainOffline(m_taskList.record(0));
            } else {
                taskOffline(index);
            }
            break;
        case csIdle:
            if (main)
                endLoginInfo();
            sessionIdle(session, index);
            break;
        case csWaitForReply:
            if (main && session->Idles() == 0 && !mainRejoining()) {
                m_loginInfo.clear();
                m_loginInfoText = 0;
                m_loginInfoSkipped = 0;
                Q_EMIT loginInfoCleared();
                // A name may stand for several addresses, of IPv4 and IPv6: say which one
                // answered.
                if (const TcWinsock *control = session->controlSocket();
                    control->State() == cwConnected)
                    WriteLog(QStringLiteral("  : Connected to %1 port %2.")
                                     .arg(control->PeerAddress(), control->Port()),
                             0);
                m_setupLocked = true;
                Q_EMIT setupLockChanged(true);
                Q_EMIT mainLoggingIn(session->Host());
            }
            break;
        }
    });
    Q_EMIT interfaceChanged();
}

void TaskEngine::mainOffline(tTaskListObj *record)
{
    if (m_connectedFromSite) {
        QStringList items;
        for (const QString &entry : std::as_const(m_hostBookmarks))
            items << Field(entry, 1, QLatin1Char('\r')) + QLatin1Char('\r')
                             + Field(entry, 2, QLatin1Char('\r'));
        m_connectedFromSite = false;
        Q_EMIT hostBookmarksReturned(items);
    }
    m_hostBookmarks.clear();
    Change_MaxTasks(1);
    if (m_mainFTP->Idles() == 0) {
        playSound(m_options->doSND2, m_options->snd2);
        const int r = m_connectOptions.Reconnect;
        if (r >= 31) {
            WriteLog(QStringLiteral(" !: Could not establish a connection to the host computer. "
                                    "Reattempting in 42 years."),
                     0);
            m_reconnectCountdown = 1324512000;
        } else if (r <= 0) {
            WriteLog(QStringLiteral(" !: Could not establish a connection to the host computer. "
                                    "Reattempting ..."),
                     0);
            m_reconnectCountdown = 1;
        } else {
            WriteLog(QStringLiteral(" !: Could not establish a connection to the host computer. "
                                    "Reattempting in %1 seconds.")
                             .arg(r * 5),
                     0);
            m_reconnectCountdown = r * 5;
        }
        Q_EMIT reconnectCountdownChanged(m_reconnectCountdown);
    } else {
        WriteLog(QStringLiteral("  : Maintask disconnected from host. Session closed."), 0);
    }

    // Entries left in the queue cannot be carried out any more: the listing buffer they rely
    // on is gone with the connection. Say which, so that nothing is lost without a word.
    withdrawQuestions();
    QStringList dropped;
    for (const TransferRetry::Due &waiting : m_retries.clear())
        dropped.append(waiting.entry);
    dropped += m_transferQueue.entries();
    m_transferQueue.clear();
    for (const QString &entry : dropped) {
        WriteLog(QStringLiteral(" !: Not carried out, the connection was closed: ")
                         + TransferQueue::Caption(entry, entry),
                 LogModel::NoSession);
    }
    m_mainCmdList.clear();

    m_setupLocked = false;
    Q_EMIT setupLockChanged(false);
    if (m_options->ClearLogWin)
        m_log.ShowBanner();
    record->DeleteAfterBuffer = false;
    record->DownloadAfterBuffer = false;
    record->CarryingCommand = false;
    record->WasLoggedIn = false;
    workEnded(record);
    m_listingBuffer.clear();
    m_homeFolder.clear();
    m_rootFolder.clear();
    m_currentHostFolder.clear();
    m_expandOnChange = false;
    m_mainFTP->setIdles(0);
    if (!dropped.isEmpty())
        Q_EMIT queueEntriesDropped(dropped);
    Q_EMIT mainOffline();
}

void TaskEngine::taskOffline(int index)
{
    tTaskListObj *record = m_taskList.record(index);
    TcFTP *session = record->FTP;
    if (session->LoggedIn() || record->WasLoggedIn)
        WriteLog(QStringLiteral("  : Task disconnected from host computer."), index);
    else
        WriteLog(QStringLiteral(" !: Task was unable to connect to host computer."), index);
    workEnded(record);
    m_taskList.removeAt(index);
    // Not inside its own report: the session goes once the event loop is back.
    session->disconnect(this);
    session->deleteLater();
}

void TaskEngine::workEnded(tTaskListObj *record)
{
    m_operations.workEnded(record);
    if (!record->HeldEntry.isEmpty())
        Q_EMIT queueEntryEnded(std::exchange(record->HeldEntry, QString()));
}

void TaskEngine::sessionIdle(TcFTP *session, int index)
{
    tTaskListObj *record = m_taskList.record(index);
    // A transfer held back for what the session was finding out goes on now.
    if (continueTransferEntry(session, record))
        return;
    if (record->DeleteAfterBuffer)
        DeleteBufferedHostTree(record->BufferRoot, record->operation);
    workEnded(record);
    record->DeleteAfterBuffer = false;
    record->DownloadAfterBuffer = false;
    record->CarryingCommand = false;
    if (session->LoggedIn())
        record->WasLoggedIn = true;
    if (session == m_mainFTP && !rejoinIdle(session)) {
        guarded("u2-151", [&] { mainIdleWalk(session); });
    }
    Pass();
}

// The main session after login: ask for the home folder, find the root folder, change to the
// initial folder and list it.
void TaskEngine::mainIdleWalk(TcFTP *session)
{
    const int idles = session->Idles();
    if (idles == 1) {
        m_expandOnChange = true;
        playSound(m_options->doSND1, m_options->snd1);
        if (m_options->ShowLogInInfo)
            Q_EMIT loginInfoWanted();
        Q_EMIT mainLoggedIn(session->HostType());
        session->AddCommand(QStringLiteral("pwd"));
        executeQuietly(session);
    } else if (idles == 2) {
        m_homeFolder = session->Folder();
        m_requestedFolder = m_homeFolder;
        if (m_homeFolder != Backslash) {
            session->AddCommand(QStringLiteral("cwd /"));
            session->AddCommand(QStringLiteral("pwd"));
        } else {
            m_rootFolder = m_homeFolder;
            const QString target = initialTarget();
            if (!target.isEmpty()) {
                m_requestedFolder = target;
                session->AddCommand(QStringLiteral("cwd ") + target);
            }
            if (m_listsFirstFolder)
                session->AddCommand(QStringLiteral("*list"));
        }
        executeQuietly(session);
    } else if (idles >= 3 && m_rootFolder.isEmpty()) {
        m_rootFolder = session->Folder();
        QString target = initialTarget();
        if (target.isEmpty() && m_rootFolder != m_homeFolder)
            target = m_homeFolder;
        if (!target.isEmpty()) {
            m_requestedFolder = target;
            session->AddCommand(QStringLiteral("cwd ") + target);
        }
        if (m_listsFirstFolder)
            session->AddCommand(QStringLiteral("*list"));
        executeQuietly(session);
    }
}

QString TaskEngine::HostTypeCaption(TcFTPHostTypes hostType)
{
    switch (hostType) {
    case csWARFTPD:
        return QStringLiteral("(WAR-FTPD Host)");
    case csServU:
        return QStringLiteral("(Serv-U FTP Server Host)");
    case csMicrosoftFTP:
        return QStringLiteral("(Microsoft FTP Server)");
    case csWinNTFTP:
        return QStringLiteral("(Windows NT FTP Server)");
    case csWUFTPD:
        return QStringLiteral("(WUArchive FTPD Host)");
    default:
        return QStringLiteral("(Host Computer)");
    }
}

// The folder to show first: none, the initial folder, or the initial folder taken relative to
// the home folder when it does not begin with the root folder.
QString TaskEngine::initialTarget() const
{
    if (m_initialFolder.isEmpty() || m_initialFolder == Backslash)
        return {};
    if (m_initialFolder.startsWith(m_rootFolder))
        return m_initialFolder;
    return ConvertPath(m_homeFolder + m_initialFolder, BackslashForm);
}

void TaskEngine::DeleteBufferedHostTree(const QString &hostFolder, int operation)
{
    if (m_listingBuffer.isEmpty())
        return;
    const QString top = ConvertPath(hostFolder, BackslashForm);
    QString parent = top.left(top.size() - 1);
    parent = parent.left(parent.lastIndexOf(QLatin1Char('\\')) + 1);
    m_mainCmdList.append(QStringLiteral("cwd ") + (parent.isEmpty() ? Backslash : parent),
                         operation);
    QStringList folders;
    for (const QString &folder : m_listingBuffer.folders()) {
        if (!folder.startsWith(top))
            continue;
        folders.append(folder);
        const ListingBuffer::EntryList *entries = m_listingBuffer.entries(folder);
        for (const ListingBuffer::Entry &entry : *entries) {
            // A link is removed itself, never gone through: "dele" of a link to a folder would
            // otherwise reach whatever it points to.
            if (entry.key.startsWith(QLatin1Char('f')) || entry.fromLink)
                m_mainCmdList.append(QStringLiteral("dele ") + folder + entry.key.mid(1),
                                     operation);
        }
    }
    for (auto it = folders.crbegin(); it != folders.crend(); ++it)
        m_mainCmdList.append(QStringLiteral("rmd ") + *it, operation);
}
