// Runs the built orvane-ftp-cli as a person would and collects what it said, for the CLI tests.
#pragma once

#include "support/eventwait.h"

#include <QProcess>
#include <QStringList>

#include <functional>
#include <string>

namespace clitest {

struct CliRun
{
    bool ended = false;
    int exitStatus = -1;
    QString out;
    QString err;
};

// childSetup runs in the child between fork and exec (only async-signal-safe calls there:
// setrlimit, signal).
inline CliRun runCli(const QStringList &arguments,
                     const std::function<void()> &childSetup = {},
                     int timeoutMs = 60000)
{
    CliRun run;
    QProcess process;
    if (childSetup)
        process.setChildProcessModifier(childSetup);
    // Written for plain hosts: no TLS is tried.
    process.start(QStringLiteral(ORVANE_BINARY_DIR "/src/orvane-ftp-cli"),
                  QStringList{QStringLiteral("--tls"), QStringLiteral("off")} + arguments);
    if (!process.waitForStarted(5000))
        return run;
    run.ended = ovtest::waitFor([&] { return process.state() == QProcess::NotRunning; }, timeoutMs);
    if (!run.ended) {
        process.kill();
        process.waitForFinished(5000);
    }
    run.exitStatus = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

inline std::string describe(const CliRun &run)
{
    return QStringLiteral("ended %1, status %2\nstdout:\n%3\nstderr:\n%4")
            .arg(run.ended)
            .arg(run.exitStatus)
            .arg(run.out.right(6000), run.err.right(6000))
            .toStdString();
}

} // namespace clitest
