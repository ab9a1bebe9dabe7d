#pragma once

#include "settings/sessionoptions.h"
#include "tasks/connectrequest.h"

#include <QString>
#include <QStringList>

class Options;
class TSiteObject;

// What connecting the main session from a saved site needs, worked out from the site and the
// options at the moment of the connect. The caller asks for a missing user name or password
// (needsUsername, needsPassword: a site that is not anonymous and has none stored), then hands
// Host, Port, Username and Password to the session's connect and the rest to the session and
// the engine.
struct SiteConnection
{
    QString Host;
    QString Port; // decimal text, as the session record holds it
    QString Username;
    QString Password;
    QString InitialFolder;
    // Bookmark items (name + CR + folder) to append to the bookmark list; only when the site's
    // text holds a CR at all.
    QStringList bookmarks;
    bool PassiveMode = false;
    int MaxTasks = 1;
    TcFTPEncryption Encryption = ceExplicitIfAvailable;
    QString CertificateFingerprint; // pinned; empty: the certificate must verify
    SessionOptions session;         // firewall from the options when the site asks for one
    bool needsUsername = false;
    bool needsPassword = false;

    static SiteConnection fromSite(const TSiteObject &site, const Options &options);
    // What the engine's connectMain takes (after the missing fields were asked for).
    ConnectRequest request() const;
};
