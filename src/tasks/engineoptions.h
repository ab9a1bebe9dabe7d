#pragma once

#include <QString>
#include <QStringList>

// The option values the task engine reads at the moment of use, named as the Setup dialog names
// them. The front end owns the live values and may change them between uses.
struct EngineOptions
{
    bool Resume = true;
    int TransferMode = 0; // 0 by extension, 1 binary, 2 ASCII
    int KAP = 2;          // keep-alive after N minutes idle; 31 = never
    int Reconnect = 2;    // reconnect after N x 5 seconds; 0 = at the next second; 31 = never
    QString EMail;        // anonymous password (lower-cased); empty = built-in address
    QString firehost;
    int FirePortPos = 21;
    int FireType = 0;
    bool ConfirmDisconnect = false;
    bool ClearLogWin = false;
    bool ShowLogInInfo = false;
    bool doSND1 = false, doSND2 = false, doSND3 = false, doSND4 = false;
    QString snd1, snd2, snd3, snd4;
    bool ShowMainGeneral = true;
    bool ShowMainIO = true;
    bool ShowMultiGeneral = true;
    bool ShowMultiIO = true;
    // The ASCII extensions in the session's form ("txt", without the dot).
    QStringList ASCExtensions{"bat", "htm", "html", "c", "pas", "cpp", "h", "mak", "txt"};

    // Keep-alive limit handed to the main session.
    int maxSecsIdle() const { return KAP >= 31 ? 1313625595 : KAP * 60 - 5; }
};
