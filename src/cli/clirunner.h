#pragma once

#include "cli/clijob.h"
#include "cli/clioptions.h"
#include "cli/progressprinter.h"
#include "ftp/listingbuffer.h"
#include "tasks/taskengine.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QTimer>

// Carries out one CliJob on the program's task engine, as the window drives it: connect the
// main session (it logs in and lists its first folder), then one step at a time: commands of
// the main session go through its command list, transfers and tree operations through the
// transfer queue, which the scheduler hands to as many sessions as the job asks for.
//
// finished(exitStatus) is emitted exactly once, from the event loop (never from inside a
// session notification): 0 when every step succeeded, 1 otherwise, after the reason and every
// file that failed have been written to standard error. The engine only logs a failed
// transfer; the runner counts each file it asked for (a tree's files as they are listed) and
// names every one that did not arrive. With verbose options every line of the engine's log is
// written to standard output, passwords masked.
//
// No run can hang: a watchdog ends it when no session has made progress (sent a command, had a
// final reply other than a preliminary one, moved data) for the options' timeout; when the main
// session goes offline the run ends once the other sessions have stopped. Each session also
// gives up on its own host a little later (TcFTP::ReplyTimeout).
class CliRunner : public QObject
{
    Q_OBJECT

public:
    CliRunner(const CliOptions &options, const CliJob &job, QObject *parent = nullptr);

    // Starts connecting; call once, with the event loop running or about to run.
    void start();

    // The log line for a line exchanged with the host: "<<: " sent (a password shows as
    // "pass *****"), ">>: " received, "!!: Error in Host input " for an unexpected reply.
    static QString logLineFor(const QString &text, bool fromHost, bool valid);
    // The line ls prints for an entry: "d" or "f", the size (-1 for a folder), the date as
    // "yyyy-MM-dd HH:mm" (empty when unknown) and the name, separated by tabs.
    static QString listingLine(const ListingBuffer::Entry &entry);

Q_SIGNALS:
    void finished(int exitStatus);

private:
    // Internal host path in slash form, for messages.
    static QString slashForm(QString internalPath);
    // One file the job asked to move, by its destination path (internal form).
    struct Transfer
    {
        QString description; // "download of /pub/a.txt to /home/ann/a.txt"
        bool ended = false;
        bool success = false;
        QString reason; // why it failed, when known
    };
    enum Phase { Connecting, Working, Done };

    void sessionStateChanged(int taskNumber, TcFTPStates newState);
    void hookSession(TcFTP *session);
    void textExchanged(const QString &line, bool fromHost, bool valid);
    void progressSeen();
    void actionReported(TcFTP *session,
                        TcFTPActionType action,
                        const QString &fileFolder,
                        qint64 size,
                        bool done,
                        bool success);
    void mainActionReported(TcFTPActionType action, qint64 size, bool done, bool success);
    void folderListed(const QString &folder);
    void localFolderFailed(const QString &localFile,
                           const QString &nativeFolder,
                           const QString &reason);
    void scheduleCheck();
    void check();
    void watchdogTick();

    void startNextStep();
    void queueStep(const CliStep &step);
    void expectTransfer(const QString &destination, const QString &description);
    void endQueueStep();
    void stepEnded(bool success);
    bool engineQuiet();
    bool sessionsBusy();
    void taskCouldNotConnect();
    void entrySkipped(const QString &what, bool failsRun);
    void fail(const QString &reason);
    void finish(int exitStatus);
    void log(const QString &line);
    void printListing(const QString &folder);
    void showProgress();
    qint64 bytesMoved();
    QString hostSaid(const TcFTP *session) const;
    QString refusalOf(const TcFTP *session) const;
    QStringList unfinishedTransfers() const;

    CliOptions m_options;
    CliJob m_job;
    TaskEngine m_engine;
    TcFTP *m_main = nullptr;
    ProgressPrinter m_progress;
    QTimer m_watchdog;
    QElapsedTimer m_sinceActivity;
    QElapsedTimer m_sinceStart;
    QElapsedTimer m_sinceStepStart;

    Phase m_phase = Connecting;
    int m_step = -1;             // index of the step being carried out; -1 before login
    bool m_stepEnded = false;    // the current step has its result
    bool m_commandSent = false;  // a command went to the host since the current step started
    bool m_hostAnswered = false; // the host has sent a reply since connecting
    bool m_hostBabbled = false;  // the host sent lines, but no progress, since the last progress
    bool m_checkPending = false;
    bool m_mainLost = false;     // the main session went offline while working
    int m_taskFailuresInRow = 0; // task sessions that could not connect, since the last login
    qint64 m_lastBytes = -1;
    QString m_lastWarning;
    QHash<const TcFTP *, QString> m_sessionWarnings; // each session's last warning

    QList<Transfer> m_transfers;
    QHash<QString, qsizetype> m_transferIndex; // destination path -> m_transfers index
    QStringList m_treeFolders;                 // local folders a tree download must make
    bool m_treeListed = false;                 // the tree step's top folder was listed
    QStringList m_failures;                    // what went wrong, in order
    bool m_finished = false;
};
