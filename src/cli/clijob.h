#pragma once

#include "cli/ftpurl.h"

#include <QList>
#include <QString>

// One line for the session and the report that tells whether it worked.
struct CliStep
{
    enum Check {
        UploadDone,     // the upload's final action report
        DeleteDone,     // the delete's action report
        MakeFolderDone, // the make-folder action report
        RenameDone,     // the host's answer to the rename (2xx after RNTO)
        ListDone,       // the listing's final action report
        DownloadDone,   // the download's final action report
    };

    QString line; // a line of the session's command language
    Check check = UploadDone;
    QString description; // names the operation in messages: "upload of /tmp/a to /pub/a"
    QString printFolder; // ListDone: the listed host folder (internal form) to print, or ""
};

// Everything a run needs: where to log in and what to do there, in order.
struct CliJob
{
    FtpUrl target;
    QString user;
    QString password;
    QList<CliStep> steps;
    qint64 transferSize = -1; // bytes of the file sent, for the progress line; -1 when none
};
