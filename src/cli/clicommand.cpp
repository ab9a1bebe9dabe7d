#include "cli/clicommand.h"

#include "platform/localpath.h"
#include "sites/siteconnection.h"
#include "tasks/transferqueue.h"

#include <QDir>
#include <QFileInfo>

namespace {

// An address of the command line; with a saved site, a path on its host.
bool parseUrl(const QString &text, CliJob *job, QString *error)
{
    if (job->fromSite)
        return job->target.parsePath(text, job->siteFolder, error);
    return job->target.parse(text, error);
}

// The internal local form of a native folder, ending in "\".
QString localFolderForm(const QString &nativeFolder)
{
    QString folder = NativeToLocal(nativeFolder);
    if (!folder.endsWith(QLatin1Char('\\')))
        folder += QLatin1Char('\\');
    return folder;
}

QString slashForm(QString internalPath)
{
    return internalPath.replace(QLatin1Char('\\'), QLatin1Char('/'));
}

bool localNameTravels(const QString &nativePath)
{
    return TransferQueue::LocalNameCanTravel(nativePath);
}

CliCommand::Outcome preparePut(const QStringList &arguments, CliJob *job, QString *error)
{
    if (!parseUrl(arguments.at(1), job, error))
        return CliCommand::UsageError;
    const QFileInfo local(arguments.at(0));
    if (!local.exists()) {
        *error = QStringLiteral("%1: no such file").arg(arguments.at(0));
        return CliCommand::Failed;
    }
    if (!local.isReadable()) {
        *error = QStringLiteral("%1: cannot be read").arg(arguments.at(0));
        return CliCommand::Failed;
    }
    // A named pipe or a device has no end to wait for and no size to check against.
    if (!local.isDir() && !local.isFile()) {
        *error = QStringLiteral("%1: not a regular file (a pipe, a device or a socket); only "
                                "files and folders are sent")
                         .arg(arguments.at(0));
        return CliCommand::Failed;
    }
    const QString nativePath = local.absoluteFilePath();
    if (!localNameTravels(nativePath)) {
        *error = QStringLiteral("%1: a path holding '*' or '\\' cannot be sent").arg(nativePath);
        return CliCommand::Failed;
    }
    QString hostPath = job->target.path();
    if (job->target.isFolder())
        hostPath += local.fileName();
    hostPath.replace(QLatin1Char('/'), QLatin1Char('\\'));

    if (local.isDir()) {
        // A folder goes with everything below it: its folder is made, then its tree queued.
        if (hostPath == QLatin1String("\\")) {
            *error = QStringLiteral("put: '%1' names no folder to send %2 into")
                             .arg(FtpUrl::masked(arguments.at(1)), nativePath);
            return CliCommand::UsageError;
        }
        CliStep step;
        step.hostPath
                = hostPath.endsWith(QLatin1Char('\\')) ? hostPath : hostPath + QLatin1Char('\\');
        step.localPath = localFolderForm(nativePath);
        step.kind = CliStep::UploadTree;
        step.description = QStringLiteral("upload of folder %1 to %2")
                                   .arg(nativePath, slashForm(step.hostPath));
        job->steps.append(step);
        return CliCommand::Ready;
    }

    CliStep step;
    step.kind = CliStep::Upload;
    step.localPath = NativeToLocal(nativePath);
    step.hostPath = hostPath;
    step.description = QStringLiteral("upload of %1 to %2")
                               .arg(nativePath,
                                    QString(hostPath).replace(QLatin1Char('\\'), QLatin1Char('/')));
    job->steps.append(step);
    job->transferSize = local.size();
    return CliCommand::Ready;
}

CliCommand::Outcome prepareRm(const QStringList &arguments, CliJob *job, QString *error)
{
    if (!parseUrl(arguments.at(0), job, error))
        return CliCommand::UsageError;
    if (job->target.isFolder()) {
        if (job->target.path() == QLatin1String("/")) {
            *error = QStringLiteral("rm: '%1' is the host's root folder; it is not deleted")
                             .arg(FtpUrl::masked(arguments.at(0)));
            return CliCommand::UsageError;
        }
        // The folder and everything below it: listed first, then deleted deepest first.
        CliStep step;
        step.hostPath = job->target.internalPath();
        step.kind = CliStep::DeleteTree;
        step.description = QStringLiteral("delete of folder ") + job->target.path();
        job->steps.append(step);
        return CliCommand::Ready;
    }
    CliStep step;
    step.kind = CliStep::Delete;
    step.hostPath = job->target.internalPath();
    step.description = QStringLiteral("delete of ") + job->target.path();
    job->steps.append(step);
    return CliCommand::Ready;
}

CliCommand::Outcome prepareMkdir(const QStringList &arguments, CliJob *job, QString *error)
{
    if (!parseUrl(arguments.at(0), job, error))
        return CliCommand::UsageError;
    if (job->target.path() == QLatin1String("/")) {
        *error = QStringLiteral("mkdir: '%1' names no folder").arg(FtpUrl::masked(arguments.at(0)));
        return CliCommand::UsageError;
    }
    const QString folder = job->target.withoutTrailingSlash();
    CliStep step;
    step.kind = CliStep::MakeFolder;
    step.hostPath = QString(folder + QLatin1Char('/')).replace(QLatin1Char('/'), QLatin1Char('\\'));
    step.description = QStringLiteral("making of folder ") + folder;
    job->steps.append(step);
    return CliCommand::Ready;
}

CliCommand::Outcome prepareMv(const QStringList &arguments, CliJob *job, QString *error)
{
    if (!parseUrl(arguments.at(0), job, error))
        return CliCommand::UsageError;
    if (job->target.path() == QLatin1String("/")) {
        *error = QStringLiteral("mv: '%1' names nothing to rename")
                         .arg(FtpUrl::masked(arguments.at(0)));
        return CliCommand::UsageError;
    }
    const QString newName = arguments.at(1);
    if (!TransferQueue::HostNameCanArrive(newName)) {
        *error = QStringLiteral("mv: '%1' is not a name (a new name without '/', '\\' or '*')")
                         .arg(newName);
        return CliCommand::UsageError;
    }
    const QString oldPath = job->target.withoutTrailingSlash();
    CliStep step;
    step.kind = CliStep::Rename;
    step.hostPath = QString(oldPath).replace(QLatin1Char('/'), QLatin1Char('\\'));
    step.newName = newName;
    step.description = QStringLiteral("rename of %1 to %2").arg(oldPath, newName);
    job->steps.append(step);
    return CliCommand::Ready;
}

CliCommand::Outcome prepareLs(const QStringList &arguments, CliJob *job, QString *error)
{
    if (!parseUrl(arguments.at(0), job, error))
        return CliCommand::UsageError;
    // "ftp://host/pub" and "ftp://host/pub/" both list the folder /pub/.
    const QString folder = job->target.withoutTrailingSlash();
    const QString slashFolder = folder == QLatin1String("/") ? folder : folder + QLatin1Char('/');
    CliStep step;
    step.kind = CliStep::List;
    step.hostPath = QString(slashFolder).replace(QLatin1Char('/'), QLatin1Char('\\'));
    step.print = true;
    step.description = QStringLiteral("listing of ") + slashFolder;
    job->steps.append(step);
    return CliCommand::Ready;
}

CliCommand::Outcome prepareGet(const QStringList &arguments, CliJob *job, QString *error)
{
    if (!parseUrl(arguments.at(0), job, error))
        return CliCommand::UsageError;
    if (job->target.isFolder()) {
        // A folder comes with everything below it: into an existing local folder under its own
        // name, else as the local folder named.
        const QString name = job->target.withoutTrailingSlash().section(QLatin1Char('/'), -1);
        QFileInfo local(arguments.at(1));
        if (local.isDir() && !name.isEmpty())
            local.setFile(QDir(local.absoluteFilePath()).filePath(name));
        if (local.exists() && !local.isDir()) {
            *error = QStringLiteral("%1 is a file; a folder cannot be fetched into it")
                             .arg(local.absoluteFilePath());
            return CliCommand::Failed;
        }
        const QString nativePath = local.absoluteFilePath();
        if (!localNameTravels(nativePath)) {
            *error = QStringLiteral("%1: a path holding '*' or '\\' cannot be written")
                             .arg(nativePath);
            return CliCommand::Failed;
        }
        CliStep step;
        step.kind = CliStep::DownloadTree;
        step.hostPath = job->target.internalPath();
        step.localPath = localFolderForm(nativePath);
        step.description
                = QStringLiteral("download of folder %1 to %2").arg(job->target.path(), nativePath);
        job->steps.append(step);
        return CliCommand::Ready;
    }
    QFileInfo local(arguments.at(1));
    if (local.isDir())
        local.setFile(QDir(local.absoluteFilePath()).filePath(job->target.fileName()));
    const QString nativePath = local.absoluteFilePath();
    if (!localNameTravels(nativePath)) {
        *error = QStringLiteral("%1: a path holding '*' or '\\' cannot be written").arg(nativePath);
        return CliCommand::Failed;
    }
    const QString hostFolder
            = QString(job->target.folder()).replace(QLatin1Char('/'), QLatin1Char('\\'));

    // The file's size comes from its folder's listing.
    CliStep list;
    list.kind = CliStep::List;
    list.hostPath = hostFolder;
    list.description = QStringLiteral("listing of ") + job->target.folder();
    job->steps.append(list);

    CliStep step;
    step.kind = CliStep::Download;
    step.hostPath = job->target.internalPath();
    step.localPath = NativeToLocal(nativePath);
    step.description = QStringLiteral("download of %1 to %2").arg(job->target.path(), nativePath);
    job->steps.append(step);
    return CliCommand::Ready;
}

} // namespace

const QList<CliCommand> &CliCommand::table()
{
    static const QList<CliCommand> commands = {
            {QStringLiteral("ls"),
             QStringLiteral("URL"),
             QStringLiteral("list a folder: d or f, size, date, name, tab-separated"),
             1,
             prepareLs},
            {QStringLiteral("get"),
             QStringLiteral("URL LOCALFILE"),
             QStringLiteral("fetch a file or (URL ending in '/') a folder tree"),
             2,
             prepareGet},
            {QStringLiteral("put"),
             QStringLiteral("LOCALFILE URL"),
             QStringLiteral("send a file or folder; a URL ending in '/' keeps its name"),
             2,
             preparePut},
            {QStringLiteral("rm"),
             QStringLiteral("URL"),
             QStringLiteral("delete a file, or (URL ending in '/') a folder tree"),
             1,
             prepareRm},
            {QStringLiteral("mkdir"),
             QStringLiteral("URL"),
             QStringLiteral("make a folder"),
             1,
             prepareMkdir},
            {QStringLiteral("mv"),
             QStringLiteral("URL NEWNAME"),
             QStringLiteral("rename a file or folder, staying in its folder"),
             2,
             prepareMv},
    };
    return commands;
}

const CliCommand *CliCommand::find(const QString &verb)
{
    for (const CliCommand &command : table()) {
        if (command.verb == verb)
            return &command;
    }
    return nullptr;
}

CliCommand::Outcome CliCommand::prepareJob(const CliOptions &options,
                                           CliJob *job,
                                           QString *error,
                                           const SiteConnection *site)
{
    *job = CliJob();
    const CliCommand *command = find(options.verb);
    if (!command) {
        *error = QStringLiteral("unknown command '%1'").arg(options.verb);
        return UsageError;
    }
    if (options.arguments.size() != command->argumentCount) {
        *error = QStringLiteral("usage: orvane-ftp-cli [options] %1 %2")
                         .arg(command->verb, command->synopsis);
        return UsageError;
    }
    if (site) {
        job->fromSite = true;
        QString folder = site->InitialFolder;
        folder.replace(QLatin1Char('\\'), QLatin1Char('/'));
        if (!folder.startsWith(QLatin1Char('/')))
            folder.prepend(QLatin1Char('/'));
        if (!folder.endsWith(QLatin1Char('/')))
            folder += QLatin1Char('/');
        job->siteFolder = folder;
    }
    const Outcome outcome = command->prepare(options.arguments, job, error);
    if (outcome != Ready)
        return outcome;

    job->passive = options.passive;
    job->encoding = options.encoding;
    job->tasks = options.tasks.value_or(1);
    job->security.authorityFile = options.caFile;
    job->security.pinnedFingerprint = options.pin;
    job->security.encryption = encryptionFor(options, site ? FtpUrl::Ftp : job->target.scheme());
    if (site) {
        // A saved site's own choice and pin hold unless the command line says otherwise.
        if (!options.tls)
            job->security.encryption = site->Encryption;
        if (options.pin.isEmpty())
            job->security.pinnedFingerprint = site->CertificateFingerprint;
    }
    if (site) {
        job->host = site->Host;
        job->port = site->Port;
        job->user = options.user.value_or(site->Username);
        job->password = options.password.value_or(options.user ? QString() : site->Password);
        job->passive = options.passive || site->PassiveMode;
        job->encoding = options.encoding.isEmpty() ? site->NameEncoding : options.encoding;
        job->tasks = options.tasks.value_or(qBound(1, site->MaxTasks, 25));
        job->initialFolder = site->InitialFolder;
        if (site->session.setsFirewall) {
            job->firewallType = site->session.FirewallType;
            job->firewallHost = site->session.FirewallHost;
            job->firewallPort = site->session.FirewallPort;
        }
        return Ready;
    }

    const FtpUrl &url = job->target;
    job->host = url.host();
    job->port = url.port();
    // TLS from the first byte has a port of its own.
    if (job->security.encryption == ceImplicit && !url.hasPort())
        job->port = QStringLiteral("990");
    job->user = options.user.value_or(url.hasUser() ? url.user() : QString());
    if (options.password)
        job->password = *options.password;
    else if (url.hasPassword())
        job->password = url.password();
    if (job->user.isEmpty()) {
        job->user = QStringLiteral("anonymous");
        if (!options.password && !url.hasPassword())
            job->password = QStringLiteral("orvane-ftp@");
    }
    return Ready;
}

// --tls wins; without it the address's scheme decides, and plain ftp:// tries TLS.
TcFTPEncryption CliCommand::encryptionFor(const CliOptions &options, FtpUrl::Scheme scheme)
{
    if (options.tls) {
        if (*options.tls == QLatin1String("off"))
            return cePlainOnly;
        if (*options.tls == QLatin1String("require"))
            return ceExplicitRequired;
        if (*options.tls == QLatin1String("implicit"))
            return ceImplicit;
        return ceExplicitIfAvailable;
    }
    switch (scheme) {
    case FtpUrl::Ftpes:
        return ceExplicitRequired;
    case FtpUrl::Ftps:
        return ceImplicit;
    case FtpUrl::Ftp:
        break;
    }
    return ceExplicitIfAvailable;
}

QString CliCommand::usage()
{
    QString text
            = QStringLiteral("Usage: orvane-ftp-cli [options] COMMAND ARGUMENTS\n\nCommands:\n");
    for (const CliCommand &command : table()) {
        const QString call = command.verb + QLatin1Char(' ') + command.synopsis;
        text += QStringLiteral("  %1  %2\n").arg(call, -20).arg(command.summary);
    }
    text += QStringLiteral(
            "\nURL: ftp://[user[:password]@]host[:port]/path, absolute from the host's root.\n"
            "     ftpes:// requires explicit FTP over TLS, ftps:// implicit FTP over TLS\n"
            "     (port 990 unless the URL names one).\n"
            "     Write other characters as %XX: a space as %20, '%' as %25, '@' as %40.\n"
            "     A path ending in '/' names a folder: get fetches it with everything below it\n"
            "     (into LOCALFILE, or under its own name into an existing local folder), rm\n"
            "     deletes it with everything below it.\n"
            "     With --site the host is the saved site's, and URL is only a path on it:\n"
            "     ftp:///path (with %XX escapes), /path (as typed, from the host's root) or\n"
            "     path (as typed, below the site's initial folder).\n"
            "LOCALFILE: a path on this computer; put sends a folder with everything below it.\n"
            "\nOptions:\n"
            "  --passive                 open data connections with EPSV or PASV (default:\n"
            "                            PORT, or EPRT over IPv6)\n"
            "  --type auto|binary|ascii  transfer type (default auto: text files such as\n"
            "                            .txt, .htm, .c go as ASCII, all others binary)\n"
            "  --no-resume               transfer whole files, never continue a partial one\n"
            "  --on-exists auto|overwrite|resume|skip|rename|newer\n"
            "                            what get and put do with a file that exists:\n"
            "                            auto (the default) resumes a smaller one and\n"
            "                            transfers again over one as large or larger;\n"
            "                            overwrite transfers from the start; resume resumes\n"
            "                            a smaller one and leaves one as large or larger;\n"
            "                            skip leaves it (named on standard error, the run\n"
            "                            does not fail); rename keeps it and writes\n"
            "                            'name (1).ext', 'name (2).ext'...; newer transfers\n"
            "                            only when the source is newer\n"
            "  --user NAME               log in as NAME (default: anonymous)\n"
            "  --password-env VAR        take the password from environment variable VAR\n"
            "  --tasks N                 sessions working at once, 1 to 25, the first one\n"
            "                            included (default 1, or the saved site's number)\n"
            "  --site PATH               connect with a saved site of the Site manager, named\n"
            "                            by its folders and name: 'Software\\Archives\\GNU\n"
            "                            Software Archive' (host, port, login, passive mode,\n"
            "                            initial folder and tasks; options given here win)\n"
            "  --master-password-env VAR the master password of the saved sites, from\n"
            "                            environment variable VAR, for a site whose password\n"
            "                            is kept under it (the desktop keyring needs none)\n"
            "  --encoding NAME           the character set of the host's names, such as\n"
            "                            Windows-1252, ISO-8859-2 or Shift_JIS (default:\n"
            "                            UTF-8, with bytes that are not kept as they came)\n"
            "  --tls off|try|require|implicit\n"
            "                            FTP over TLS: try (the default for ftp://) goes on in\n"
            "                            plain when the host refuses AUTH TLS, require and\n"
            "                            implicit never send the login in clear\n"
            "  --ca-file PATH            trust the authorities of a PEM file as well\n"
            "  --pin sha256:HEX          accept exactly the host certificate with that SHA-256\n"
            "                            fingerprint (64 hex digits, colons allowed)\n"
            "  -v                        show every line exchanged with the host\n"
            "                            (passwords masked)\n"
            "  --timeout SECONDS         give up when the host makes no progress for that\n"
            "                            long: no final reply, no data (default 60)\n"
            "  -h, --help                show this text\n"
            "  --version                 show the program's version\n"
            "\nA user or password given by option wins over one in the URL.\n"
            "On a terminal, standard error shows what every session is doing.\n"
            "Exit status: 0 when everything succeeded, 1 when an operation failed (the reason,\n"
            "and every file that failed, are on standard error), 2 for a usage error.\n");
    return text;
}
