// A server process that a test starts: it runs in its own process group with its standard
// output and error in a file, dies with the test process, and stopping it (or destroying this
// object) kills the whole group, so forked session processes never outlive the test.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace ovtest {

class PeerProcess
{
public:
    PeerProcess() = default;
    ~PeerProcess();
    PeerProcess(const PeerProcess &) = delete;
    PeerProcess &operator=(const PeerProcess &) = delete;

    // Before start(): the process's standard input is the output file too, written to. For
    // vsftpd, which writes its start-up errors ("500 OOPS: could not bind listening IPv4
    // socket") to descriptor 0, where a control connection would be.
    void setInputIsOutput(bool on) { m_inputIsOutput = on; }

    // Starts program with arguments; standard output and error go to outputFile. Returns false
    // with the reason in *error when the program cannot be started (waits at most 5 s).
    bool start(const QString &program,
               const QStringList &arguments,
               const QString &outputFile,
               QString *error);

    // start(), then waits until the first line of readyFile reads "LISTENING <port>" (the test
    // peers' way to say they accept connections); returns the port, or 0 with the reason in
    // *error (the process stopped; its output stays readable).
    quint16 startListening(const QString &program,
                           const QStringList &arguments,
                           const QString &outputFile,
                           const QString &readyFile,
                           int timeoutMs,
                           QString *error);

    // True while the process has not exited. Reaps it when it has.
    bool isRunning();

    // Kills the process group and reaps the process (bounded). Safe to call twice.
    void stop();

    // What the process wrote to its standard output and error so far.
    QString output() const;

private:
    QProcess m_process;
    QString m_outputFile;
    qint64 m_pid = 0;
    bool m_inputIsOutput = false;
};

} // namespace ovtest
