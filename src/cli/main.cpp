// orvane-ftp-cli: the program's engine without a window, for scripts and benchmarks.
#include "cli/clicommand.h"
#include "cli/clioptions.h"
#include "cli/clirunner.h"
#include "cli/clisite.h"
#include "orvaneversion.h"
#include "settings/options.h"
#include "settings/registry.h"
#include "sites/siteconnection.h"
#include "sites/tsiteobject.h"
#include "util/hosttext.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

namespace {

int usageError(const QString &error)
{
    std::fprintf(stderr,
                 "orvane-ftp-cli: %s\nTry 'orvane-ftp-cli --help'.\n",
                 VisibleHostText(error).toLocal8Bit().constData());
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // The desktop program's name: saved sites and options live in its per-user registry.
    QCoreApplication::setApplicationName(QStringLiteral("Orvane FTP"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORVANE_VERSION));

    if (argc < 2) {
        std::fputs(CliCommand::usage().toLocal8Bit().constData(), stderr);
        return 2;
    }
    CliOptions options;
    switch (options.parse(QCoreApplication::arguments().mid(1),
                          QProcessEnvironment::systemEnvironment())) {
    case CliOptions::ShowHelp:
        std::fputs(CliCommand::usage().toLocal8Bit().constData(), stdout);
        return 0;
    case CliOptions::ShowVersion:
        std::printf("orvane-ftp-cli %s\n", ORVANE_VERSION);
        return 0;
    case CliOptions::UsageError:
        return usageError(options.error());
    case CliOptions::Run:
        break;
    }

    std::optional<SiteConnection> site;
    if (!options.site.isEmpty()) {
        Registry &registry = Registry::user();
        TSiteObject saved;
        QString error;
        if (!FindSavedSite(registry, options.site, &saved, &error)) {
            // A file that cannot be read is named in the error already.
            if (registry.readError().isEmpty())
                error += QStringLiteral(" (in %1)").arg(registry.filePath());
            std::fprintf(stderr, "orvane-ftp-cli: %s\n", error.toLocal8Bit().constData());
            return 1;
        }
        // A password given here wins; a login name given here goes without the site's one.
        if (!options.password && !options.user && !saved.Anonymous
            && !ResolveSavedPassword(
                    registry, &saved, options.masterPasswordEnv, options.masterPassword, &error)) {
            std::fprintf(stderr,
                         "orvane-ftp-cli: '%s': %s\n",
                         options.site.toLocal8Bit().constData(),
                         error.toLocal8Bit().constData());
            return 1;
        }
        site = SiteConnection::fromSite(saved, Options::load(registry));
    }

    CliJob job;
    QString error;
    switch (CliCommand::prepareJob(options, &job, &error, site ? &*site : nullptr)) {
    case CliCommand::UsageError:
        return usageError(error);
    case CliCommand::Failed:
        std::fprintf(
                stderr, "orvane-ftp-cli: %s\n", VisibleHostText(error).toLocal8Bit().constData());
        return 1;
    case CliCommand::Ready:
        break;
    }

    // The pause between attempts at a transfer is the one saved in Setup.
    job.retryPause = Options::load(Registry::user()).RetryPause;
    CliRunner runner(options, job);
    QObject::connect(&runner, &CliRunner::finished, &app, [](int status) {
        QCoreApplication::exit(status);
    });
    QTimer::singleShot(0, &runner, &CliRunner::start);
    return app.exec();
}
