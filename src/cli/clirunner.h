#pragma once

#include "cli/clijob.h"
#include "cli/clioptions.h"
#include "cli/progressprinter.h"
#include "ftp/listingbuffer.h"
#include "ftp/tcftp.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

// Carries out one CliJob with one TcFTP session on the event loop: connect, log in, give the
// session the job's lines one at a time, wait for each result, disconnect.
//
// finished(exitStatus) is emitted exactly once, from the event loop (never from inside a
// session notification): 0 when every step succeeded, 1 otherwise, after the reason has been
// written to standard error. With verbose options every line exchanged with the host is
// written to standard output as the log shows it, passwords masked.
//
// No run can hang: a watchdog ends it when the host has said nothing and no data has moved
// for the options' timeout, while connecting as well as later.
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
    void stateChanged(TcFTPStates newState);
    void textExchanged(const QString &line, bool fromHost, bool valid);
    void actionReported(TcFTPActionType action,
                        const QString &fileFolder,
                        qint64 size,
                        bool done,
                        bool success);
    void watchdogTick();

    void startNextStep();
    void stepEnded(bool success);
    void sessionIdle();
    void fail(const QString &reason);
    void finish(int exitStatus);
    void log(const QString &line) const;
    void printListing(const QString &folder);
    qint64 bytesMoved() const;
    QString hostSaid() const;

    CliOptions m_options;
    CliJob m_job;
    TcFTP m_ftp;
    ListingBuffer m_listingBuffer;
    ProgressPrinter m_progress;
    QTimer m_watchdog;
    QElapsedTimer m_sinceActivity;
    QElapsedTimer m_sinceStepStart;

    int m_step = -1;             // index of the step the session is working on; -1 before login
    bool m_stepEnded = false;    // the current step has its result, waiting for the idle session
    bool m_commandSent = false;  // a command went to the host since the current step started
    bool m_hostAnswered = false; // the host has sent a reply since connecting
    qint64 m_lastBytes = -1;
    QString m_lastWarning;
    QString m_failure; // reason of the failure that ends the run
    bool m_finished = false;
};
