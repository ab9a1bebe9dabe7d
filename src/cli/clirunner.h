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

// Carries out one CliJob on the program's task engine: connect the main session (it logs in
// and lists its first folder), then one engine operation per step, each waited for until the
// engine reports its result. The scheduler hands transfers to as many sessions as the job
// asks for.
//
// finished(exitStatus) is emitted exactly once, from the event loop (never from inside a
// session notification): 0 when every step succeeded, 1 otherwise, after the reason and every
// part of an operation that failed have been written to standard error. With verbose options
// every line of the engine's log is written to standard output, passwords masked.
//
// No run can hang: a watchdog ends it when no session has made progress (sent a command, had a
// final reply other than a preliminary one, moved data) for the options' timeout; when the main
// session goes offline the run ends with the result of the operation under way. Each session
// also gives up on its own host a little later (TcFTP::ReplyTimeout).
class CliRunner : public QObject
{
    Q_OBJECT

public:
    CliRunner(const CliOptions &options, const CliJob &job, QObject *parent = nullptr);

    // Starts connecting; call once, with the event loop running or about to run.
    void start();

    // The line ls prints for an entry: "d" or "f", the size (-1 for a folder), the date as
    // "yyyy-MM-dd HH:mm" (empty when unknown) and the name, separated by tabs; appended in
    // UTF-8 as it is written out.
    static QString listingLine(const ListingBuffer::Entry &entry);
    static void appendListingLine(QByteArray &line, const ListingBuffer::Entry &entry);

Q_SIGNALS:
    void finished(int exitStatus);

private:
    enum Phase { Connecting, Working, Done };

    void sessionStateChanged(int taskNumber, TcFTPStates newState);
    void hookSession(TcFTP *session);
    void textExchanged(const QString &line, bool fromHost, bool valid);
    void progressSeen();
    void scheduleCheck();
    void check();
    void watchdogTick();

    void startNextStep();
    OperationStart startOperation(const CliStep &step);
    void operationFinished(int id, const OperationResult &result);
    QStringList failuresOf(const CliStep &step, const OperationResult &result) const;
    void reportTransfer(const CliStep &step, const OperationResult &result);
    void taskCouldNotConnect();
    // The main session went offline for good while working: the run fails.
    void mainLost();
    void entrySkipped(const QString &what);
    void fail(const QString &reason);
    void finish(int exitStatus);
    void log(const QString &line);
    void printListing(const QString &folder);
    void showProgress();
    qint64 bytesMoved();

    // cliresults.cpp: the words for what went wrong
    static QString slashForm(QString internalPath);
    static QString hostSaid(const QString &reply);
    static QString refusalOf(const ItemResult &item);
    static QString itemFailure(const CliStep &step, const ItemResult &item);

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
    int m_operation = 0;         // the engine operation of the step, 0 when none runs
    bool m_hostAnswered = false; // the host has sent a reply since connecting
    bool m_hostBabbled = false;  // the host sent lines, but no progress, since the last progress
    bool m_progressed = false;   // progress since the watchdog's last tick
    bool m_checkPending = false;
    bool m_mainLost = false;     // the main session went offline while working
    int m_taskFailuresInRow = 0; // task sessions that could not connect, since the last login
    qint64 m_lastBytes = -1;
    QString m_lastWarning;
    QStringList m_failures; // what went wrong, in order
    bool m_finished = false;
};
