#pragma once

#include "ftp/tcftp.h"

#include <QString>
#include <QStringList>

// What connecting the main session needs, from a saved site or from quick-connect data. The
// front end has already asked for a missing user name or password.
struct ConnectRequest
{
    TcFTPSession session;  // Host, Port, Username, Password
    QString initialFolder; // internal folder form; empty or "\" = none
    // After login the main session lists the folder it arrives in, for the window to show. A
    // caller that lists what it needs itself (the CLI) spares the host that listing.
    bool listsFirstFolder = true;
    bool passive = false;
    // Encryption, trusted authorities and the pinned certificate; task sessions take the main
    // session's, with every certificate it was told to trust.
    TcFTPSecurity security;
    int tasks = 1; // MaxTasks for this connection, 1 to 25
    // Firewall: with setsFirewall these values replace the session's; without it the last one
    // stays in place.
    bool setsFirewall = false;
    int firewallType = 0; // 0 none, 1 "user name@host", 2 "open host"
    QString firewallHost;
    int firewallPort = 21;
    // A connection from a saved site: its host bookmarks (each "name" + CR + "folder") are the
    // engine's while connected and handed back through hostBookmarksReturned when the main
    // session goes offline. A quick connection has none and gets none back.
    bool fromSite = false;
    // The character set of the host's names: empty for the automatic choice, else a legacy
    // encoding's name (NameCodec); every session of the connection uses it.
    QString nameEncoding;
    QStringList hostBookmarks;
};
