#include "cli/clioptions.h"

#include "ftp/namecodec.h"
#include "net/certificateinfo.h"
#include "settings/options.h"

CliOptions::Outcome CliOptions::fail(const QString &error)
{
    m_error = error;
    return UsageError;
}

CliOptions::Outcome CliOptions::parse(const QStringList &args, const QProcessEnvironment &env)
{
    *this = CliOptions();
    QStringList words;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (optionsEnded || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            words.append(arg);
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        QString name = arg;
        std::optional<QString> inlineValue;
        const qsizetype equals = arg.indexOf(QLatin1Char('='));
        if (arg.startsWith(QLatin1String("--")) && equals > 0) {
            name = arg.left(equals);
            inlineValue = arg.mid(equals + 1);
        }
        const auto takeValue = [&](QString *value) {
            if (inlineValue) {
                *value = *inlineValue;
                return true;
            }
            if (i + 1 >= args.size())
                return false;
            *value = args.at(++i);
            return true;
        };
        const bool takesValue
                = name == QLatin1String("--type") || name == QLatin1String("--user")
                  || name == QLatin1String("--password-env") || name == QLatin1String("--timeout")
                  || name == QLatin1String("--tasks") || name == QLatin1String("--site")
                  || name == QLatin1String("--master-password-env")
                  || name == QLatin1String("--encoding") || name == QLatin1String("--tls")
                  || name == QLatin1String("--ca-file") || name == QLatin1String("--pin")
                  || name == QLatin1String("--on-exists") || name == QLatin1String("--retries");
        if (!takesValue && inlineValue)
            return fail(QStringLiteral("option %1 takes no value").arg(name));

        QString value;
        if (takesValue && !takeValue(&value))
            return fail(QStringLiteral("option %1 needs a value").arg(name));

        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            return ShowHelp;
        } else if (name == QLatin1String("--version")) {
            return ShowVersion;
        } else if (name == QLatin1String("--passive")) {
            passive = true;
        } else if (name == QLatin1String("--no-resume")) {
            resume = false;
        } else if (name == QLatin1String("-v")) {
            verbose = true;
        } else if (name == QLatin1String("--type")) {
            if (value == QLatin1String("auto"))
                type = AutoType;
            else if (value == QLatin1String("binary"))
                type = BinaryType;
            else if (value == QLatin1String("ascii"))
                type = AsciiType;
            else
                return fail(
                        QStringLiteral("--type takes auto, binary or ascii, not '%1'").arg(value));
        } else if (name == QLatin1String("--on-exists")) {
            const std::optional<ExistsPolicy::Choice> choice = ExistsPolicy::fromName(value);
            if (!choice || *choice == ExistsPolicy::Ask)
                return fail(QStringLiteral("--on-exists takes auto, overwrite, resume, skip, "
                                           "rename or newer, not '%1'")
                                    .arg(value));
            onExists = *choice;
        } else if (name == QLatin1String("--user")) {
            if (value.isEmpty())
                return fail(QStringLiteral("--user needs a name"));
            user = value;
        } else if (name == QLatin1String("--password-env")) {
            if (!env.contains(value))
                return fail(
                        QStringLiteral("environment variable '%1' (from --password-env) is not set")
                                .arg(value));
            password = env.value(value);
        } else if (name == QLatin1String("--timeout")) {
            bool ok = false;
            timeoutSeconds = value.toInt(&ok);
            if (!ok || timeoutSeconds < 1)
                return fail(
                        QStringLiteral("--timeout takes a number of seconds (1 or more), not '%1'")
                                .arg(value));
        } else if (name == QLatin1String("--retries")) {
            bool ok = false;
            retries = value.toInt(&ok);
            if (!ok || retries < 0 || retries > Options::MaxRetries)
                return fail(QStringLiteral("--retries takes a number from 0 to %1, not '%2'")
                                    .arg(Options::MaxRetries)
                                    .arg(value));
        } else if (name == QLatin1String("--tasks")) {
            bool ok = false;
            const int count = value.toInt(&ok);
            if (!ok || count < 1 || count > 25)
                return fail(
                        QStringLiteral("--tasks takes a number from 1 to 25, not '%1'").arg(value));
            tasks = count;
        } else if (name == QLatin1String("--encoding")) {
            if (!NameCodec().setEncoding(value))
                return fail(QStringLiteral("--encoding takes a character set such as %1, not '%2'")
                                    .arg(NameCodec::availableEncodings().mid(0, 4).join(
                                                 QStringLiteral(", ")),
                                         value));
            encoding = value;
        } else if (name == QLatin1String("--site")) {
            if (value.isEmpty())
                return fail(QStringLiteral("--site needs the path of a saved site"));
            site = value;
        } else if (name == QLatin1String("--master-password-env")) {
            if (value.isEmpty())
                return fail(QStringLiteral("--master-password-env needs a variable name"));
            masterPasswordEnv = value;
            // Looked up only when a saved site's password needs it.
            masterPassword
                    = env.contains(value) ? std::optional<QString>(env.value(value)) : std::nullopt;
        } else if (name == QLatin1String("--tls")) {
            static const QStringList modes{QStringLiteral("off"),
                                           QStringLiteral("try"),
                                           QStringLiteral("require"),
                                           QStringLiteral("implicit")};
            if (!modes.contains(value))
                return fail(QStringLiteral("--tls takes off, try, require or implicit, not '%1'")
                                    .arg(value));
            tls = value;
        } else if (name == QLatin1String("--ca-file")) {
            if (value.isEmpty())
                return fail(QStringLiteral("--ca-file needs the path of a PEM file"));
            caFile = value;
        } else if (name == QLatin1String("--pin")) {
            pin = CertificateInfo::parsePin(value);
            if (pin.isEmpty() || !value.startsWith(QLatin1String("sha256:"), Qt::CaseInsensitive))
                return fail(QStringLiteral("--pin takes sha256: and 64 hex digits (colons "
                                           "allowed), not '%1'")
                                    .arg(value));
        } else {
            return fail(QStringLiteral("unknown option %1").arg(name));
        }
    }
    for (const QString &text : {user.value_or(QString()), password.value_or(QString())}) {
        if (text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'))
            || text.contains(QChar(0)))
            return fail(QStringLiteral("user name or password holds a line break"));
    }
    if (words.isEmpty())
        return fail(QStringLiteral("no command given"));
    verb = words.takeFirst();
    arguments = words;
    return Run;
}
