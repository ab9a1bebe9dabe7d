#pragma once

#include "ftp/listingbuffer.h"
#include "ftp/tcftp.h"
#include "ftp/tcftpexception.h"
#include "settings/options.h"
#include "tasks/captionlistmodel.h"
#include "tasks/commandlist.h"
#include "tasks/connectrequest.h"
#include "tasks/existsquestions.h"
#include "tasks/extensioncache.h"
#include "tasks/logmodel.h"
#include "tasks/operationresult.h"
#include "tasks/operationtracker.h"
#include "tasks/statustexts.h"
#include "tasks/tasklist.h"
#include "tasks/tempfolders.h"
#include "tasks/transferqueue.h"
#include "tasks/transferretry.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>

class SoundPlayer;

// The headless task engine: the owner of the main session, the task sessions, the task list,
// the transfer queue, the main session's command list, the listing buffer, the log and the
// timers. The window and the CLI drive it alike: they append to transferQueue() or
// mainCmdList() and call Pass(), forward the user's commands (Stop, Stop Queue, Kill, MaxTasks,
// connect, disconnect), and show the models and signals as they are.
//
// Single-threaded and re-entrant: sessions report synchronously from inside the calls the
// engine makes, and every report may run a scheduler pass. A pass asked for while one is
// running is carried out right after it.
class TaskEngine : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxTasksLimit = 25;

    explicit TaskEngine(QObject *parent = nullptr);
    ~TaskEngine() override;

    // Owned state ---------------------------------------------------------------------------
    TcFTP *MainFTP() const { return m_mainFTP; }
    TaskList &taskList() { return m_taskList; }
    TransferQueue &transferQueue() { return m_transferQueue; }
    CommandList &mainCmdList() { return m_mainCmdList; }
    // What the sessions have listed; only they write it.
    const ListingBuffer &listingBuffer() const { return m_listingBuffer; }
    ExtensionCache &extensionCache() { return m_extensionCache; }
    // The live options, read at the moment a value is needed. The engine keeps its own set
    // (the defaults) until the front end hands it the program's one object, which must then
    // outlive the engine.
    Options &options() { return *m_options; }
    void useOptions(Options &options) { m_options = &options; }
    TempFolders &tempFolders() { return m_tempFolders; }
    void setSoundPlayer(SoundPlayer *player) { m_soundPlayer = player; }

    // Models the window shows as they are.
    LogModel *log() { return &m_log; }
    CaptionListModel *taskRows() { return &m_taskRows; }   // "Tasks in Progress"
    CaptionListModel *queueRows() { return &m_queueRows; } // "Actions Waiting in Queue"
    CaptionListModel *statusTexts() { return &m_status; }  // the three status panels
    // Lines of the log-in information window of the current connection: the first
    // MaxLoginInfoLines lines (MaxLoginInfoText characters), then, once the login is over, one
    // line saying how many more were left out.
    const QStringList &loginInfo() const { return m_loginInfo; }
    static constexpr int MaxLoginInfoLines = 1000;
    static constexpr qsizetype MaxLoginInfoText = 256 * 1024;

    // Connection state ----------------------------------------------------------------------
    const TcFTPSession &ReconnectSession() const { return m_reconnectSession; }
    int ReconnectCountdown() const { return m_reconnectCountdown; }
    QString InitialFolder() const { return m_initialFolder; }
    QString HomeFolder() const { return m_homeFolder; }
    QString RootFolder() const { return m_rootFolder; }
    QString RequestedFolder() const { return m_requestedFolder; }
    void setRequestedFolder(const QString &folder) { m_requestedFolder = folder; }
    // Bookmarks, each "name" + CR + "folder". The host list comes with the connect request of a
    // saved site and goes back through hostBookmarksReturned when the main session goes offline.
    QStringList &hostBookmarks() { return m_hostBookmarks; }
    QStringList &localBookmarks() { return m_localBookmarks; }
    // The host folder the views show (internal folder form).
    QString currentHostFolder() const { return m_currentHostFolder; }
    void setCurrentHostFolder(const QString &folder) { m_currentHostFolder = folder; }
    // The caption of the host's root node for a detected host type: "(Serv-U FTP Server Host)",
    // ..., "(Host Computer)" when unchecked or unknown.
    static QString HostTypeCaption(TcFTPHostTypes hostType);
    // Connects session's actionDone to handler(session, action, fileFolder, size, done, success),
    // called for as long as receiver lives.
    template<typename Handler>
    static QMetaObject::Connection onActionDone(TcFTP *session, QObject *receiver, Handler handler)
    {
        return connect(session,
                       &TcFTP::actionDone,
                       receiver,
                       [session, handler](TcFTPActionType action,
                                          const QString &fileFolder,
                                          qint64 size,
                                          bool done,
                                          bool success) {
                           handler(session, action, fileFolder, size, done, success);
                       });
    }
    // While a connection is being made or is up, the session options (Resume, TransferMode,
    // KAP, the ASCII extensions) cannot change; the window disables their controls.
    bool setupLocked() const { return m_setupLocked; }
    // The main session was connected from a saved site (not Quick connect).
    bool connectedFromSite() const { return m_connectedFromSite; }
    // Set by the login walk: the first listing expands its tree node.
    bool expandOnChange() const { return m_expandOnChange; }
    void setExpandOnChange(bool expand) { m_expandOnChange = expand; }

    // Scheduler -----------------------------------------------------------------------------
    int MaxTasks() const { return m_maxTasks; }
    // Sets the largest number of sessions (1 to 25, the main session included). Runs no pass:
    // the next tick applies it.
    void Change_MaxTasks(int value);
    // One scheduler pass: trim, grow, task rows, queue rows, status texts.
    void Pass();
    // Starts the once-a-second scheduler and reconnect timers.
    void startTimers();
    void stopTimers();

    // The Stop button: cancels a pending reconnection, disconnects while logging in, aborts the
    // main session's action ("Reset" for half a second), and on a second click within that
    // half second clears both lists and disconnects every task session.
    void Stop();
    QString stopCaption() const { return m_stopCaption; }
    // The "Stop Queue" toggle: while stopped no queue entry is handed out.
    void toggleQueueStop();
    bool queueStopped() const { return m_queueStopTag % 2 == 1; }
    // Kill the sessions of the given task rows (row 0 disconnects everything).
    void KillTasks(const QList<int> &rows);
    // Remove the queue entries of the given rows.
    void RemoveQueueEntries(const QList<int> &rows);
    // Aborts the main session's action and disconnects every task session.
    void AbortAll();
    // Empties the transfer queue and the main session's command list.
    void dropQueuedWork();

    // Connecting ----------------------------------------------------------------------------
    void connectMain(const ConnectRequest &request);
    // Disconnects every session and empties both lists. With ConfirmDisconnect and work in
    // progress it asks through confirmDisconnect first; false when the answer was No and
    // nothing was disconnected.
    bool DisconnectMain();
    // The Log Off command: a wanted disconnection, never followed by a reconnection.
    void logOff();
    // Asked before disconnecting active sessions; no answer means yes.
    void setConfirmDisconnect(std::function<bool()> ask) { m_confirmDisconnect = std::move(ask); }

    // Operations ----------------------------------------------------------------------------
    // Each call queues its work for the scheduler and returns at once with the operation's id
    // and the names it left out (each logged with its reason); operationFinished(id, result)
    // follows from the event loop once every part has ended. Names that cannot travel in the
    // engine's lists are left out, the rest is carried out; with nothing left the id is 0 and
    // no result follows. The calls run no scheduler pass: call Pass() or wait for the tick.
    OperationStart download(const QList<FilePair> &files);
    OperationStart upload(const QList<FilePair> &files);
    // The tree below hostFolder into localFolder (whose contents it becomes).
    OperationStart downloadTree(const HostPath &hostFolder, const LocalPath &localFolder);
    // The tree below localFolder into hostFolder; with makeFolder hostFolder is made first.
    OperationStart uploadTree(const LocalPath &localFolder,
                              const HostPath &hostFolder,
                              bool makeFolder);
    OperationStart deleteTree(const HostPath &hostFolder);
    OperationStart deleteOnHost(const QList<HostPath> &files);
    // Renames each path within its folder; the folders are listed again afterwards when
    // reloadFolder is set.
    OperationStart renameOnHost(const QList<std::pair<HostPath, QString>> &renames,
                                const HostPath &reloadFolder = {});
    // A host folder; a path not beginning with "" or "/" is taken in the session's folder.
    OperationStart makeHostFolder(const HostPath &hostFolder);
    // Shows a host folder: from the listing buffer when it is there, else listed.
    OperationStart listHostFolder(const HostPath &hostFolder);
    // Lists a host folder again, whatever the buffer holds.
    OperationStart reloadHostFolder(const HostPath &hostFolder);
    // Lists the tree below a host folder into the listing buffer.
    OperationStart bufferHostFolder(const HostPath &hostFolder);

    // Existing targets ----------------------------------------------------------------------
    // The answer to existsQuestionAsked: what to do with that file; with applyToRest the same
    // for every further transfer of this queue whose target exists (the questions still
    // waiting included, which are withdrawn). A number no longer waiting is ignored.
    void answerExists(int question, ExistsPolicy::Choice choice, bool applyToRest);
    // The questions waiting for an answer, in the order they were asked.
    QList<ExistsQuestion> waitingQuestions() const { return m_existsQuestions.waiting(); }
    // Retries -------------------------------------------------------------------------------
    // A transfer that failed for the moment (its connection broke off, or the host answered
    // 421, 425, 426, 450 or 451) is tried again on a fresh connection after a growing pause,
    // as often as the options' RetryAttempts allow; each retry is one line of the log. A task
    // session is replaced by a new one; the main session logs in again and changes back to
    // its folder, and until then its going offline ends nothing (mainRejoining).
    bool mainRejoining() const { return m_rejoin != Rejoin::None; }
    // Transfers wait for their next attempt.
    bool retriesWaiting() const { return m_retries.isWaiting(); }
    // The entry of operation failed before and is being tried again: a partial local file of a
    // download is its own and is resumed.
    bool isRetry(const QString &entry, int operation) const
    {
        return m_retries.attemptsOf(entry, operation) > 1;
    }

    // Producers -----------------------------------------------------------------------------
    void WriteLog(const QString &text, int taskNumber) { m_log.WriteLog(text, taskNumber); }
    // Turns the buffered tree below hostFolder into "cwd", "dele" and "rmd" commands for the
    // main session, deepest folders first.
    void DeleteBufferedHostTree(const QString &hostFolder, int operation = 0);

    // Session events (every session's signals arrive here) ----------------------------------
    void SessionStateChanged(TcFTP *session, TcFTPStates newState);
    void FTPTextIO(TcFTP *session, const QString &ioString, bool fromHost, bool valid);
    void FTPAction(TcFTP *session,
                   TcFTPActionType action,
                   const QString &fileFolder,
                   qint64 size,
                   bool done,
                   bool success);

Q_SIGNALS:
    // The main session's host showed a certificate that cannot be accepted as it stands; the
    // session waits until the front end calls MainFTP()->TrustCertificate() or disconnects.
    void certificateUntrusted(const CertificateInfo &certificate,
                              const QString &problem,
                              const QString &pinnedFingerprint);
    // An operation has ended; result holds each of its parts.
    void operationFinished(int id, const OperationResult &result);
    // A queue entry of no known kind was taken ("Unknown command from tranferqueue").
    void unknownQueueEntry(const QString &entry);
    // A session did not accept a command line ("cFTPc: Unknown Input Command.").
    void unknownSessionCommand(const QString &line);
    // The main session went offline with entries still queued: they were dropped (and logged).
    void queueEntriesDropped(const QStringList &entries);
    // Every state change of every session, with its task number.
    void sessionStateChanged(int taskNumber, TcFTPStates newState);
    // The main session started logging in to host / logged in / went offline.
    void mainLoggingIn(const QString &host);
    void mainLoggedIn(TcFTPHostTypes hostType);
    void mainOffline();
    // The main session of a connection from a saved site went offline: the host bookmarks as
    // they are now, for the site record ("name" + CR + "folder" each).
    void hostBookmarksReturned(const QStringList &items);
    // The options that cannot change under a running session are locked or free again.
    void setupLockChanged(bool locked);
    void maxTasksChanged(int maxTasks);
    void stopCaptionChanged(const QString &caption);
    void queueStopChanged(bool stopped);
    void reconnectCountdownChanged(int seconds);
    void loginInfoCleared();
    void loginInfoAdded(const QString &line);
    // The log-in information window should show itself (ShowLogInInfo after login).
    void loginInfoWanted();
    // Listing-buffer and view updates: the window redraws what it shows of them.
    void hostFolderListed(const QString &folder, bool buffering);
    void currentHostFolderChanged(const QString &folder);
    void hostEntryChanged(const QString &folder, const QString &name);
    void hostEntryRemoved(const QString &folder, const QString &name);
    void hostFolderRemoved(const QString &folder);
    void localEntryChanged(const QString &folder, const QString &name, qint64 size);
    // Files received into the temporary folders.
    void dragDropFileReceived(const QString &folder, const QString &file, bool lastOne);
    void openFileReceived(const QString &folder, const QString &file);
    void viewFileReceived(const QString &folder, const QString &file);
    // A folder of a tree being buffered for a download could not be entered or listed: the
    // tree below hostFolder will not arrive whole in localRoot.
    void treeListingFailed(const QString &hostFolder, const QString &localRoot);
    // A local folder that a download needs could not be made (reason: the system's words).
    // localFile is the download's local file (internal form), empty for a folder of a tree; a
    // download whose folder failed is not carried out and ends with transferEnded as failed.
    void localFolderFailed(const QString &localFile,
                           const QString &nativeFolder,
                           const QString &reason);
    // An entry was left out of an operation, and the log says so: its name cannot travel, it
    // is a link that is not followed, a bound on a tree walk was reached, or it is the host's
    // root. what is the log line's text (shown form); failsOperation is false only for what
    // is left out by design (links not followed). Said at once; the operation's result names
    // it again among its skipped names.
    void entrySkipped(const QString &what, bool failsOperation);
    // A transfer ended (for front ends that count results).
    void transferEnded(bool download, const QString &folder, const QString &file, bool success);
    // A transfer was not carried out because its target exists and is left as it is (target:
    // the local file of a download, the host file of an upload).
    void transferLeft(bool download, const QString &target);
    // A tree ("b*") or command ("c*") entry handed to a session is over, carried out or not
    // (a tree once it has been listed and its files queued).
    void queueEntryEnded(const QString &entry);
    // Something changed that the window's enabled commands depend on.
    void interfaceChanged();
    // A transfer's target exists and the choice is to ask: the transfer waits (and so does
    // the session that took it, while the others go on) until answerExists(question.id).
    void existsQuestionAsked(const ExistsQuestion &question);
    // A question no longer waits: answered for the rest of the queue, or its work was dropped.
    void existsQuestionWithdrawn(int question);

private:
    // Where errors stop: work raising an exception ends here as lines in the log naming place;
    // returns false then. A session's exception numbered quiet is expected where it is used
    // (Disconnect of a session already offline) and ends without a word.
    template<typename Work>
    bool guarded(const char *place, Work &&work, int quiet = 0)
    {
        try {
            work();
            return true;
        } catch (const TcFTPException &error) {
            if (error.number() != quiet)
                logFailure(place, QString::fromLocal8Bit(error.what()));
        } catch (const std::exception &error) {
            logFailure(place, QString::fromLocal8Bit(error.what()));
        } catch (...) {
            logFailure(place, QString());
        }
        return false;
    }
    void logFailure(const char *place, const QString &what);

    // taskengine.cpp: the scheduler
    void runPass();
    int availableTasks() const;
    void StartTask();
    void configureSession(TcFTP *session);
    void disconnectQuietly(TcFTP *session);
    void updateTaskRow(int row, TransferTotals &totals);
    bool handOutQueueEntry(tTaskListObj *record);
    bool queueBlocked() const;
    void executeQuietly(TcFTP *session);
    void resetStopCaption();

    // taskengine_sessions.cpp: connecting and session states
    void reconnectTick();
    void mainOffline(tTaskListObj *record);
    void taskOffline(int index);
    void sessionIdle(TcFTP *session, int index);
    // The session's current work is over: its operation learns of it, and a tree or command
    // entry it held ends.
    void workEnded(tTaskListObj *record);
    void mainIdleWalk(TcFTP *session);
    void addLoginInfo(const QString &line);
    void endLoginInfo();
    QString initialTarget() const;
    void playSound(bool enabled, const QString &file);

    // taskengine_actions.cpp: action results
    void listingDone(TcFTP *session, tTaskListObj *record, bool success);
    void queueTreeFolder(TcFTP *session, tTaskListObj *record);
    // Writes a warning line (" !: ...") for an entry left out by the work of session index, adds
    // it to that work's operation and reports it (entrySkipped).
    void warnSkipped(int index, const QString &line, const SkippedName &skipped);
    // size is the action's own: the session has reset its transfer fields by then.
    void downloadDone(TcFTP *session, qint64 size, bool success);
    void uploadDone(TcFTP *session, qint64 size, bool success);
    void changeFolderFailed(TcFTP *session);
    // Makes a missing local folder for a download (localFile, "" for a folder of a tree); on
    // failure says why in the log and through localFolderFailed, and returns false. logMade
    // writes a log line when the folder had to be made.
    bool makeLocalFolder(const QString &localFolder,
                         const QString &localFile,
                         bool logMade,
                         int index);
    void removeBufferEntry(const QString &folder, const QString &key);

    // taskengine_exists.cpp: transfer entries and their existing targets. stage counts what
    // the session has found out for the entry: 0 nothing, 1 the target folder's listing, 2
    // the host's time of the file (hostTime, invalid when the host did not tell).
    void startTransferEntry(tTaskListObj *record,
                            const QString &entry,
                            int stage = 0,
                            const QDateTime &hostTime = {});
    // The session is idle after finding something out for a held-back entry: carries it on.
    // False when there was none, or it ended without new work for the session.
    bool continueTransferEntry(TcFTP *session, tTaskListObj *record);
    void askExists(tTaskListObj *record, const QString &entry, ExistsQuestion question);
    void requeueAnswered(const ExistsQuestions::Parked &parked, ExistsPolicy::Choice choice);
    // Drops every waiting question with its transfer (the queue was emptied).
    void withdrawQuestions();
    void forgetQueueAnswerWhenDry();
    bool transfersAsText(const TcFTP *session, const QString &name) const;
    // taskengine_retries.cpp: transfers tried again
    enum class Rejoin {
        None,           // the main session is not logging in again
        Waiting,        // offline, until its transfer's pause is over
        LoggingIn,      // connecting and logging in anew
        ChangingFolder, // back to the folder it was in
    };
    void setRejoin(Rejoin state);
    // A transfer of session failed: true when it will be tried again (logged, and the session
    // let go of), false when the failure is final.
    bool retryTransfer(TcFTP *session, tTaskListObj *record);
    // Due transfers go back in front of the queue; a main session waiting to log in again
    // starts connecting.
    void releaseRetries();
    void armRetryTimer();
    // The main session went offline or became idle while logging in again: true when that
    // was part of it and nothing else is to be done.
    bool rejoinOffline();
    bool rejoinIdle(TcFTP *session);
    // The user stopped or disconnected: nothing waits for another attempt any more. Returns
    // whether the main session was waiting to log in again.
    bool abandonRetries();

    // taskengine_operations.cpp
    OperationStart queueCommand(const QString &line,
                                ItemResult::Kind kind,
                                const QString &source,
                                const QString &target);
    void logSkipped(const OperationStart &start, const QString &subject);

    TcFTP *m_mainFTP = nullptr;
    TaskList m_taskList;
    TransferQueue m_transferQueue;
    CommandList m_mainCmdList;
    ListingBuffer m_listingBuffer;
    ExtensionCache m_extensionCache;
    Options m_ownOptions = Options::defaults();
    Options *m_options = &m_ownOptions;
    // What the sessions of the current connection use: the options as they were at connect.
    Options m_connectOptions = m_ownOptions;
    TempFolders m_tempFolders;
    SoundPlayer *m_soundPlayer = nullptr;

    LogModel m_log;
    CaptionListModel m_taskRows;
    CaptionListModel m_queueRows;
    CaptionListModel m_status;
    QStringList m_loginInfo;
    qsizetype m_loginInfoText = 0; // characters in m_loginInfo
    int m_loginInfoSkipped = 0;    // lines left out of it

    TcFTPSession m_reconnectSession;
    bool m_connectedFromSite = false;
    QStringList m_hostBookmarks;
    QStringList m_localBookmarks;
    int m_reconnectCountdown = 0;
    QString m_initialFolder;
    bool m_listsFirstFolder = true;
    QString m_homeFolder;
    QString m_rootFolder;
    QString m_requestedFolder;
    QString m_currentHostFolder;
    bool m_expandOnChange = false;
    bool m_setupLocked = false;

    int m_maxTasks = 1;
    QString m_stopCaption;
    int m_queueStopTag = 0;
    QTimer m_taskTimer;
    QTimer m_reconnectTimer;
    QTimer *m_resetTimer = nullptr;
    bool m_inPass = false;
    quint64 m_queueRowsTaken = 0;    // the queue's takenFromFront() the queue rows follow
    quint64 m_queueRowsReshaped = 0; // the queue's reshaped() the queue rows follow
    bool m_passAgain = false;
    std::function<bool()> m_confirmDisconnect;
    OperationTracker m_operations{m_transferQueue, m_mainCmdList, m_taskList};
    ExistsQuestions m_existsQuestions;
    TransferRetry m_retries;
    QTimer m_retryTimer;
    Rejoin m_rejoin = Rejoin::None;
    int m_rejoinIdles = 0;  // the main session's idle count when it lost its connection
    QString m_rejoinFolder; // and its folder (internal form)
    QString m_rejoinReason; // why the last attempt failed
};
