// orvane-ftp-cli run as a person runs it: the built binary, its exit status, standard output
// and error, each run bounded in time.
#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <string>

namespace ovtest {

struct CliRun
{
    bool ended = false;  // ended by itself within the bound (else it was killed)
    int exitStatus = -1; // -1 when it crashed or was killed
    QString out;
    QString err;
    qint64 ms = 0; // how long it ran
};

// The path of the built orvane-ftp-cli.
QString cliProgram();

// Runs orvane-ftp-cli with arguments and waits at most timeoutMs. A launcher, when given, is
// the program (and its arguments) that starts it: {"prlimit", "--as=1073741824"}.
CliRun runCli(const QStringList &arguments,
              const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment(),
              int timeoutMs = 60000,
              const QStringList &launcher = {});

// The run in words, for failure messages (the last few thousand characters of each stream).
std::string describe(const CliRun &run);

} // namespace ovtest
