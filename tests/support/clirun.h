// orvane-ftp-cli run as a separate process, as scripts run it, with a bound on its run time.
#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QStringList>

#include <string>

namespace ovtest {

struct CliRun
{
    bool ended = false;  // it ended by itself within the bound
    int exitStatus = -1; // -1 when it crashed or was killed
    QByteArray out;      // standard output, exactly
    QByteArray err;      // standard error, exactly
    qint64 elapsedMs = 0;

    std::string describe() const;
};

// Runs the program with arguments; kills it when it has not ended within timeoutMs.
CliRun runCliProgram(const QStringList &arguments,
                     int timeoutMs = 60000,
                     const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());

} // namespace ovtest
