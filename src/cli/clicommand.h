#pragma once

#include "cli/clijob.h"
#include "cli/clioptions.h"

#include <QList>
#include <QString>
#include <QStringList>

struct SiteConnection;

// The verbs of the command line. Each entry checks its arguments and turns them into the
// session lines of a CliJob; adding a verb means adding one entry and its prepare function.
class CliCommand
{
public:
    enum Outcome {
        Ready,      // the job is filled in
        UsageError, // the words cannot be used as given (exit status 2)
        Failed,     // a local file cannot be used (exit status 1)
    };

    using Prepare = Outcome (*)(const QStringList &arguments, CliJob *job, QString *error);

    QString verb;
    QString synopsis; // arguments as shown in the usage text
    QString summary;
    int argumentCount = 0;
    Prepare prepare = nullptr;

    static const QList<CliCommand> &table();
    static const CliCommand *find(const QString &verb);

    // Checks the verb and its arguments and fills job, login included: a user or password
    // given by option wins over one in the address; without a user the login is anonymous.
    // With site (a saved site, --site) the host, port, login, passive mode, initial folder and
    // tasks come from it (options given win) and the addresses are paths on its host.
    static Outcome prepareJob(const CliOptions &options,
                              CliJob *job,
                              QString *error,
                              const SiteConnection *site = nullptr);

    // How a run protects its connections: --tls, else the address's scheme.
    static TcFTPEncryption encryptionFor(const CliOptions &options, FtpUrl::Scheme scheme);

    // The text --help prints.
    static QString usage();
};
