#pragma once

#include "cli/ftpurl.h"

#include <QList>
#include <QString>

// One thing to do on the host and the report that tells whether it worked. Steps of the main
// session give it a command line; steps of the transfer queue become queue entries that the
// scheduler hands to free sessions.
struct CliStep
{
    enum Check {
        UploadDone,       // queue: "*upload" line as a "u*" entry, the upload's final report
        DeleteDone,       // main session: the delete's action report
        MakeFolderDone,   // main session: the make-folder action report
        RenameDone,       // main session: the host's answer to the rename (2xx after RNTO)
        ListDone,         // main session: the listing's final action report
        DownloadDone,     // queue: "*download" line as a "d*" entry, the download's final report
        TreeDownloadDone, // queue: line is a "b*...*!download" entry; every file of the tree
        TreeDeleteDone,   // queue: line is a "b*...*!delete" entry; every delete of the tree
        FolderUploadDone, // queue: the folder (and any missing one above it) is made, then its
                          // tree is queued; line is the folder's "c*mkd" entry
    };

    QString line; // a line of the session's command language, or a queue entry (see Check)
    Check check = UploadDone;
    QString description; // names the operation in messages: "upload of /tmp/a to /pub/a"
    QString printFolder; // ListDone: the listed host folder (internal form) to print, or ""
    QString localFolder; // tree steps: the local folder (internal local form, ending in "\")
    QString hostFolder;  // tree steps: the host folder (internal folder form, ending in "\")

    // True for the steps carried out through the transfer queue.
    bool queued() const
    {
        return check == UploadDone || check == DownloadDone || check == TreeDownloadDone
               || check == TreeDeleteDone || check == FolderUploadDone;
    }
};

// Everything a run needs: where to log in and what to do there, in order.
struct CliJob
{
    FtpUrl target;
    QString host; // from the address, or from the saved site
    QString port;
    QString user;
    QString password;
    bool passive = false;
    int tasks = 1;         // sessions at once, the main session included
    QString initialFolder; // a saved site's initial folder (internal form); "" = none
    int firewallType = 0;  // a saved site's firewall (from the options); 0 = direct
    QString firewallHost;
    int firewallPort = 21;
    bool fromSite = false; // addresses are paths on the saved site's host
    QString siteFolder;    // with a site: where relative paths start (slash form, ending "/")
    QList<CliStep> steps;
    qint64 transferSize = -1; // bytes of the file sent, for the progress line; -1 when none
};
