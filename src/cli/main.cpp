// orvane-ftp-cli: the program's engine without a window, for scripts and benchmarks.
#include "cli/clicommand.h"
#include "cli/clioptions.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvane-ftp-cli"));

    CliOptions options;
    const CliOptions::Outcome parsed = options.parse(QCoreApplication::arguments().mid(1),
                                                     QProcessEnvironment::systemEnvironment());
    if (parsed == CliOptions::ShowHelp) {
        std::fputs(CliCommand::usage().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (parsed == CliOptions::UsageError) {
        std::fprintf(stderr,
                     "orvane-ftp-cli: %s\n%s",
                     qPrintable(options.error()),
                     "Try 'orvane-ftp-cli --help'.\n");
        return 2;
    }
    CliJob job;
    QString error;
    switch (CliCommand::prepareJob(options, &job, &error)) {
    case CliCommand::UsageError:
        std::fprintf(
                stderr, "orvane-ftp-cli: %s\nTry 'orvane-ftp-cli --help'.\n", qPrintable(error));
        return 2;
    case CliCommand::Failed:
        std::fprintf(stderr, "orvane-ftp-cli: %s\n", qPrintable(error));
        return 1;
    case CliCommand::Ready:
        break;
    }
    return 1;
}
