#pragma once

#include <QString>
#include <QStringList>

// What the options hand to an FTP session when it is started, in the session's own property
// names. The connection code copies these onto the session (TransferMode: AutoTransferMode,
// and when that is false SetBinaryMode(BinaryMode)).
struct SessionOptions
{
    bool ResumeTransfers = true;
    int MaxSecsIdle = 115; // keep-alive after this many idle seconds
    bool AutoTransferMode = true;
    bool BinaryMode = true; // the argument of SetBinaryMode when AutoTransferMode is false
    // False for a quick connection: the firewall properties are then left as they are.
    bool setsFirewall = false;
    QString FirewallHost;
    int FirewallPort = 21;
    int FirewallType = 0;        // 0 direct, 1 "user userID@hostname", 2 "open hostname"
    QStringList ASCExtension;    // refilled at every login
    int reconnectDelaySecs = 10; // wait before reconnecting after a failed connection
};
