#include "support/clirun.h"

#include "support/eventwait.h"

#include <QProcess>

namespace ovtest {

CliRun runCli(const QStringList &arguments, const CliRunOptions &options)
{
    CliRun run;
    QProcess process;
    process.setProcessEnvironment(options.environment);
    if (options.childModifier)
        process.setChildProcessModifier(options.childModifier);
    process.start(QStringLiteral(ORVANE_BINARY_DIR "/src/orvane-ftp-cli"), arguments);
    if (!process.waitForStarted(5000))
        return run;
    run.ended = waitFor([&] { return process.state() == QProcess::NotRunning; }, options.timeoutMs);
    if (!run.ended) {
        process.kill();
        process.waitForFinished(5000);
    }
    run.exitStatus = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

std::string describe(const CliRun &run)
{
    return QStringLiteral("ended %1, status %2\nstdout:\n%3\nstderr:\n%4")
            .arg(run.ended)
            .arg(run.exitStatus)
            .arg(run.out.right(6000), run.err.right(6000))
            .toStdString();
}

} // namespace ovtest
