#pragma once

#include "cli/ftpurl.h"
#include "ftp/tcftp.h"

#include <QList>
#include <QString>

// One thing to do on the host: one of the engine's operations and the words that name it.
struct CliStep
{
    enum Kind {
        List,         // hostPath: the folder; printed when print is set
        Download,     // hostPath: the file; localPath: where it goes
        Upload,       // localPath: the file; hostPath: where it goes
        DownloadTree, // hostPath: the folder; localPath: the local folder it becomes
        UploadTree,   // localPath: the folder; hostPath: the host folder it becomes (made first)
        DeleteTree,   // hostPath: the folder
        Delete,       // hostPath: the file
        MakeFolder,   // hostPath: the folder
        Rename,       // hostPath: the file or folder; newName: its new name
    };

    Kind kind = List;
    QString description; // names the operation in messages: "upload of /tmp/a to /pub/a"
    QString hostPath;    // internal folder form; a folder ends in "\"
    QString localPath;   // internal local form; a folder ends in "\"
    QString newName;
    bool print = false;
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
    QString encoding; // character set of the host's names; "" = automatic
    TcFTPSecurity security;
    int tasks = 1;         // sessions at once, the main session included
    QString initialFolder; // a saved site's initial folder (internal form); "" = none
    int firewallType = 0;  // a saved site's firewall (from the options); 0 = direct
    QString firewallHost;
    int firewallPort = 21;
    bool fromSite = false; // addresses are paths on the saved site's host
    QString siteFolder;    // with a site: where relative paths start (slash form, ending "/")
    QList<CliStep> steps;
    int retryPause = 5;       // seconds before the first retry of a transfer (Setup's)
    qint64 transferSize = -1; // bytes of the file sent, for the progress line; -1 when none
};
