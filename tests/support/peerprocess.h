// A server process that a test starts, with a private temporary folder for its files: its own
// process group, its output in the folder's output.txt; it dies with the test process, and
// stop() (or the destructor) kills it with every process it started.
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

    // Starts program; false with the reason in *error when it cannot. With inputIsOutput its
    // standard input is output.txt too: vsftpd writes its start-up errors to descriptor 0.
    bool start(const QString &program,
               const QStringList &arguments,
               QString *error,
               bool inputIsOutput = false);

    // Starts /usr/bin/python3 with arguments and waits until the first line of the folder's
    // readyName reads "LISTENING <port>" (how the test peers say they accept connections).
    ::testing::AssertionResult startPython(const QStringList &arguments,
                                           const QString &readyName,
                                           int timeoutMs,
                                           quint16 *port);

    bool isRunning(); // reaps the process when it has exited
    void stop();

    // The output, then "--- NAME" and the folder's file NAME: for failure messages.
    QString log(const QString &name) const;
    // The rest of each line of the file NAME after marker, without a last character end.
    QStringList linesAfter(const QString &name, const QByteArray &marker, char end = 0) const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    qint64 m_pid = 0;
};

} // namespace ovtest
