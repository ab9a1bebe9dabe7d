// A server process that a test starts, with a private temporary folder for its files: it runs
// in its own process group with its standard output and error in the folder's output.txt, dies
// with the test process, and stopping it (or destroying this object) kills the whole group, so
// forked session processes never outlive the test.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace ovtest {

class PeerProcess
{
public:
    explicit PeerProcess(const QString &name); // the folder is orvane-NAME-XXXXXX
    ~PeerProcess() { stop(); }

    QString folder() const { return m_dir.path(); }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QByteArray read(const QString &name) const; // "" when the file cannot be read

    // Starts program with arguments; false with the reason in *error when it cannot be started
    // (waits at most 5 s). With inputIsOutput its standard input is output.txt too, written
    // to: vsftpd writes its start-up errors ("500 OOPS: could not bind listening IPv4 socket")
    // to descriptor 0, where a control connection would be.
    bool start(const QString &program,
               const QStringList &arguments,
               QString *error,
               bool inputIsOutput = false);

    // start() /usr/bin/python3 with arguments, then waits until the first line of the folder's
    // readyName reads "LISTENING <port>" (the test peers' way to say they accept connections);
    // the port, or a failure with the output (the process stopped).
    ::testing::AssertionResult startPython(const QStringList &arguments,
                                           const QString &readyName,
                                           int timeoutMs,
                                           quint16 *port);

    // True while the process has not exited. Reaps it when it has.
    bool isRunning();
    // Kills the process group and reaps the process (bounded). Safe to call twice.
    void stop();

    // The process's output, then "--- NAME" and the file NAME of the folder: for messages.
    QString log(const QString &name) const;
    // The rest of each line of the file NAME after marker, without a last character end.
    QStringList linesAfter(const QString &name, const QByteArray &marker, char end = 0) const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    qint64 m_pid = 0;
};

} // namespace ovtest
