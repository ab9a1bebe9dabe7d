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
    std::string describe() const; // status, output and error, for failure messages
};

struct CliRunOptions
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    int timeoutMs = 60000;
    std::function<void()> childModifier; // QProcess::setChildProcessModifier
    QString program = QStringLiteral(ORVANE_BINARY_DIR "/src/orvane-ftp-cli");
    // "--tls off" first unless the words name --tls, --ca-file, --pin or an ftps/ftpes address.
    bool plainUnlessTold = true;
    std::function<bool()> killWhen; // polled while it runs: once it holds, SIGKILL
};

// Runs the program with arguments; kills it when it has not ended within the bound.
CliRun runCli(const QStringList &arguments, const CliRunOptions &options = {});
// The same with the arguments given as one line of words separated by spaces.
CliRun runCliWords(const QString &line, const CliRunOptions &options = {});

// "ftp://127.0.0.1:PORT" followed by path.
QString cliAddress(quint16 port, const QString &path);

} // namespace ovtest
