// orvane-ftp-cli run as a separate process, as scripts run it: the built binary with an argument
// list, its exit status and its standard output and error, within a bound.
#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QStringList>

#include <functional>
#include <string>

namespace ovtest {

struct CliRun
{
    bool ended = false;  // it ended by itself within the bound
    bool killed = false; // killWhen held and it was killed
    int exitStatus = -1; // -1 when it crashed or was killed
    QByteArray out;      // standard output, exactly
    QByteArray err;      // standard error, exactly
    qint64 elapsedMs = 0;

    // Status, output and error, for failure messages.
    std::string describe() const;
};

struct CliRunOptions
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    int timeoutMs = 60000;
    // Runs in the child between fork and exec (QProcess::setChildProcessModifier): only calls
    // that are safe there.
    std::function<void()> childModifier;
    // Runs that name no TLS option (--tls, --ca-file, --pin) and no ftpes:// or ftps:// address
    // get "--tls off": tests written for plain FTP hosts stay plain. False: the words as given.
    bool plainUnlessTold = true;
    // Polled while the program runs: once it holds, the program is killed with SIGKILL (a
    // crash or a kill half way, as a test wants it).
    std::function<bool()> killWhen;
};

// Runs the program with arguments; kills it when it has not ended within the bound.
CliRun runCli(const QStringList &arguments, const CliRunOptions &options = {});

// The same with the arguments given as one line of words separated by single spaces.
CliRun runCliWords(const QString &line, const CliRunOptions &options = {});

// "ftp://127.0.0.1:PORT" followed by path.
QString cliAddress(quint16 port, const QString &path);

} // namespace ovtest
