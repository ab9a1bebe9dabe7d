#include "support/clirun.h"

#include "support/eventwait.h"

#include <QElapsedTimer>
#include <QProcess>

namespace ovtest {

QString cliProgram()
{
    return QStringLiteral(ORVANE_BINARY_DIR "/src/orvane-ftp-cli");
}

CliRun runCli(const QStringList &arguments,
              const QProcessEnvironment &env,
              int timeoutMs,
              const QStringList &launcher)
{
    CliRun run;
    QProcess process;
    process.setProcessEnvironment(env);
    QElapsedTimer clock;
    clock.start();
    if (launcher.isEmpty())
        process.start(cliProgram(), arguments);
    else
        process.start(launcher.first(), launcher.mid(1) + QStringList{cliProgram()} + arguments);
    if (!process.waitForStarted(5000))
        return run;
    run.ended = waitFor([&] { return process.state() == QProcess::NotRunning; }, timeoutMs);
    if (!run.ended) {
        process.kill();
        process.waitForFinished(5000);
    }
    run.ms = clock.elapsed();
    run.exitStatus = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

std::string describe(const CliRun &run)
{
    return QStringLiteral("ended %1 after %2 ms, status %3\nstdout:\n%4\nstderr:\n%5")
            .arg(run.ended)
            .arg(run.ms)
            .arg(run.exitStatus)
            .arg(run.out.right(6000), run.err.right(6000))
            .toStdString();
}

} // namespace ovtest
