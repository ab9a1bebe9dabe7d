#pragma once

#include <QList>
#include <QString>

// A path on the host in the internal folder form ("\pub\a.txt"; a folder ends in "\").
struct HostPath
{
    QString path;
};

// A path on this computer in the internal local form.
struct LocalPath
{
    QString path;
};

// A file to move: where it is and where it goes.
struct FilePair
{
    HostPath host;
    LocalPath local;
};

// A name an operation left out, and why ("names holding '*' or '\' cannot be sent.").
struct SkippedName
{
    QString name; // as the user knows it: a native local path or a host path
    QString reason;
    // False only for what is left out by design (links to folders are not followed): the
    // operation can still succeed without it.
    bool failsOperation = true;
    friend bool operator==(const SkippedName &, const SkippedName &) = default;
};

// What became of one part of an operation.
struct ItemResult
{
    enum Kind {
        Transfer,    // source: host or local file; target: the other side
        Listing,     // target: the host folder listed
        LocalFolder, // target: a local folder a tree download makes
        Delete,      // target: the host file or folder deleted
        MakeFolder,  // target: the host folder made
        Rename,      // source: the host path; target: the new name
    };
    Kind kind = Transfer;
    QString source;
    QString target;
    bool ended = false; // false: never carried out (stopped, or the connection was lost)
    bool success = false;
    qint64 bytes = 0;              // transfers: the bytes moved
    QString hostReply;             // the session's last reply when the item ended
    bool commandSent = false;      // a command went to the host for it
    QString warning;               // the session's own complaint, when it refused before sending
    bool connectionClosed = false; // the session had lost its connection when the item ended
    QString failureReason;         // what the program itself found ("cannot make the folder ...")
    int attempts = 1;              // transfers: how often it was tried (more after retries)

    // Why the part did not succeed, in words for a list of failures: the program's own
    // reason, else the session's complaint, else the host's refusal, else that the connection
    // was lost or that it was never carried out. Empty for a success.
    QString reason() const
    {
        if (success)
            return {};
        if (!ended)
            return QStringLiteral("not carried out");
        if (!failureReason.isEmpty())
            return failureReason;
        if (!warning.isEmpty())
            return warning;
        if (hostReply.startsWith(QLatin1Char('4')) || hostReply.startsWith(QLatin1Char('5')))
            return hostReply;
        if (connectionClosed)
            return QStringLiteral("the connection was lost");
        return QStringLiteral("failed");
    }
};

// The result of one operation, item by item.
struct OperationResult
{
    int id = 0;
    QList<ItemResult> items;
    QList<SkippedName> skipped; // names left out while it ran (a tree's unusable names)

    bool success() const
    {
        for (const SkippedName &name : skipped) {
            if (name.failsOperation)
                return false;
        }
        for (const ItemResult &item : items) {
            if (!item.success)
                return false;
        }
        return true;
    }
};

// What starting an operation gave: its id (0 when nothing at all was queued) and the names it
// left out.
struct OperationStart
{
    int id = 0;
    QList<SkippedName> skipped;
};
