// orvane-ftp-cli run as a person runs it: the built binary with an argument list, its exit
// status and its standard output and error, within a bound.
#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <functional>
#include <string>

namespace ovtest {

struct CliRun
{
    bool ended = false;
    int exitStatus = -1; // -1 when it crashed or had to be killed
    QString out;
    QString err;
};

struct CliRunOptions
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    int timeoutMs = 60000;
    // Runs in the child between fork and exec (QProcess::setChildProcessModifier): only calls
    // that are safe there.
    std::function<void()> childModifier;
};

CliRun runCli(const QStringList &arguments, const CliRunOptions &options = {});

// Status, output and error of a run, for failure messages.
std::string describe(const CliRun &run);

} // namespace ovtest
