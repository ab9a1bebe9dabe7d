#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// What a transfer does when its target exists already, and the rule that turns a choice and
// what is known of both files into the one thing to do. Used for downloads and uploads alike:
// the source is the file that is sent, the target the one it would replace.
class ExistsPolicy
{
public:
    enum Choice {
        Ask = 0,       // the user decides, file by file (the window only)
        Auto = 1,      // resume when the target is smaller, else transfer from the start
        Overwrite = 2, // transfer from the start, replacing the target
        Resume = 3,    // resume when the target is smaller, leave it when as large or larger
        Skip = 4,      // leave the target as it is
        Rename = 5,    // keep both: the new file is "name (1).ext", "name (2).ext", ...
        Newer = 6,     // replace the target only when the source was modified later
    };
    static constexpr int ChoiceCount = 7;

    // What one side is known to be. A time known only to the minute (a LIST date) or the day
    // has that precision; times compare only as finely as the coarser of the two allows.
    struct Facts
    {
        bool exists = false;
        qint64 size = -1;   // -1 when not known
        QDateTime modified; // invalid when not known
        int precisionSecs = 1;
    };

    enum Action {
        Transfer,        // from the start (a target that exists is replaced)
        ResumeTransfer,  // go on from the target's size
        Leave,           // nothing is transferred
        TransferRenamed, // from the start, to a free name beside the target
        AskUser,
    };

    // The words of the choices as the command line and the queue spell them: "ask", "auto",
    // "overwrite", "resume", "skip", "rename", "newer".
    static QString name(Choice choice);
    static std::optional<Choice> fromName(const QString &name);
    // The choices' names in their order, for help texts and lists.
    static QStringList names();

    // What to do. resumable: the transfer can go on from an offset (a binary transfer);
    // autoResumes: the Auto choice may resume (the program's resume option).
    static Action decide(Choice choice,
                         const Facts &source,
                         const Facts &target,
                         bool resumable,
                         bool autoResumes);
    // True when source was modified later than target, as far as both times tell.
    static bool sourceIsNewer(const Facts &source, const Facts &target);

    // "name (1).ext", "name (2).ext", ...: the first that taken() says is free. The extension
    // is what follows the last "." that is not the name's first character.
    static QString freeName(const QString &name, const std::function<bool(const QString &)> &taken);

    // A listing's MS-DOS date-time (local time, to the two seconds at best) as facts' time:
    // a LIST line tells the minute, or only the day for older files.
    static void setListingTime(Facts *facts, qint32 dosDateTime);
};
