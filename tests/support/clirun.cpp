#include "support/clirun.h"

#include "support/eventwait.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>

namespace ovtest {

std::string CliRun::describe() const
{
    return QStringLiteral("ended %1 after %2 ms, status %3\nstdout:\n%4\nstderr:\n%5")
            .arg(ended)
            .arg(elapsedMs)
            .arg(exitStatus)
            .arg(QString::fromUtf8(out.right(6000)), QString::fromUtf8(err.right(6000)))
            .toStdString();
}

CliRun runCli(const QStringList &arguments, const CliRunOptions &options)
{
    CliRun run;
    QProcess process;
    process.setProcessEnvironment(options.environment);
    if (options.childModifier)
        process.setChildProcessModifier(options.childModifier);
    QElapsedTimer clock;
    clock.start();
    QStringList words = arguments;
    static const QRegularExpression tlsWord(
            QStringLiteral("^(--tls|--ca-file|--pin|(?i:ftpe?s:))"));
    if (options.plainUnlessTold && words.filter(tlsWord).isEmpty())
        words = QStringList{QStringLiteral("--tls"), QStringLiteral("off")} + words;
    process.start(options.program, words);
    if (!process.waitForStarted(5000))
        return run;
    // Read as it comes: a run that writes much would otherwise block on a full pipe.
    run.ended = waitFor(
            [&] {
                run.out += process.readAllStandardOutput();
                run.err += process.readAllStandardError();
                if (options.killWhen && !run.killed && options.killWhen()) {
                    process.kill();
                    run.killed = true;
                }
                return process.state() == QProcess::NotRunning;
            },
            options.timeoutMs);
    run.ended = run.ended && !run.killed;
    process.kill();
    process.waitForFinished(5000);
    run.elapsedMs = clock.elapsed();
    run.exitStatus = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out += process.readAllStandardOutput();
    run.err += process.readAllStandardError();
    return run;
}

CliRun runCliWords(const QString &line, const CliRunOptions &options)
{
    return runCli(line.split(u' ', Qt::SkipEmptyParts), options);
}

QString cliAddress(quint16 port, const QString &path)
{
    return QStringLiteral("ftp://127.0.0.1:%1%2").arg(port).arg(path);
}

} // namespace ovtest
