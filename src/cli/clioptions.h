#pragma once

#include "tasks/existspolicy.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <optional>

// The options and words of one command line, before any of them is acted on.
//
//   orvane-ftp-cli [options] VERB ARGUMENT...
//
// Options may stand anywhere before "--"; everything after "--" is an argument. Options that
// take a value accept it as the next word or after "=" (--timeout=30).
class CliOptions
{
public:
    enum TransferType { AutoType, BinaryType, AsciiType };
    enum Outcome { Run, ShowHelp, ShowVersion, UsageError };

    // Reads args (without the program name). Values of --password-env are looked up in env.
    Outcome parse(const QStringList &args, const QProcessEnvironment &env);
    // Why parse answered UsageError.
    QString error() const { return m_error; }

    bool passive = false;
    TransferType type = AutoType;
    bool resume = true;
    // --on-exists: what get and put do with a target that exists (never Ask here).
    ExistsPolicy::Choice onExists = ExistsPolicy::Auto;
    bool verbose = false;
    int timeoutSeconds = 60;
    std::optional<QString> user;
    std::optional<QString> password;
    // Sessions working at once, the main session included (1 to 25); unset: 1, or the site's.
    std::optional<int> tasks;
    // Folder path of a saved site ("Software\Archives\GNU Software Archive"); empty: none.
    QString site;
    // --encoding NAME: the character set of the host's names; empty for the automatic choice.
    QString encoding;
    // --master-password-env: the variable's name, and its value when it is set.
    QString masterPasswordEnv;
    std::optional<QString> masterPassword;
    // --tls: off, try, require or implicit; unset: what the address's scheme says (ftp://
    // tries TLS).
    std::optional<QString> tls;
    // --ca-file: PEM authorities trusted besides the system's.
    QString caFile;
    // --pin: the SHA-256 fingerprint (64 lower-case hex digits) of the one certificate taken.
    QString pin;
    QString verb;
    QStringList arguments;

private:
    Outcome fail(const QString &error);

    QString m_error;
};
