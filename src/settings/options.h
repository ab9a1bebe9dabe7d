#pragma once

#include "settings/asciiextensionlist.h"
#include "settings/changenotifier.h"
#include "settings/sessionoptions.h"

#include <QString>

#include <optional>

class Registry;

// The live options: one object holding every option of the Setup dialog. The program keeps
// one for its whole run and the Setup dialog edits its members in place, telling the object's
// observers after each edit (changed()). A connection works from a copy taken when it starts,
// so nothing changes under a logged-in session.
//
// Stored as the "setup" string value of the Setup key: 29 fields joined by "*" in the order of
// the members below (flags "0"/"1", numbers in decimal, texts as they are, the extension list
// joined by ":").
class Options
{
public:
    enum StartUp { MainScreen = 0, SiteManager = 1, QuickConnect = 2 };
    enum Transfer { ProgramDecides = 0, Binary = 1, Ascii = 2 };
    enum Firewall { UserAtHost = 0, OpenHost = 1 };
    static constexpr int RecordFields = 29;
    static constexpr int KapNever = 31;
    static constexpr int ReconnectNever = 31;

    QString DownLoadFolder;            //  1 internal local form; empty = the current local folder
    QString EMail;                     //  2 anonymous password, sent lower-cased
    bool ConfirmDelete = true;         //  3
    bool ConfirmTransfer = true;       //  4
    bool ConfirmDisconnect = true;     //  5
    int StartUpDialog = MainScreen;    //  6 0..2
    bool FullrowSelect = true;         //  7
    bool ClearLogWin = true;           //  8
    bool doSND1 = false;               //  9 connection success
    QString snd1;                      // 10 WAV file
    bool doSND2 = false;               // 11 connection failure
    QString snd2;                      // 12
    bool doSND3 = false;               // 13 transfer done
    QString snd3;                      // 14
    bool doSND4 = false;               // 15 transfer failed
    QString snd4;                      // 16
    bool Resume = true;                // 17 resume terminated downloads
    bool ShowLogInInfo = true;         // 18
    int KAP = 1;                       // 19 keep-alive after N idle minutes, 1..31 (31 never)
    int Reconnect = 1;                 // 20 reconnect after N x 5 seconds, 0..31 (31 never)
    bool ShowMainGeneral = true;       // 21
    bool ShowMainIO = true;            // 22
    bool ShowMultiGeneral = true;      // 23
    bool ShowMultiIO = true;           // 24
    int TransferMode = ProgramDecides; // 25 0..2
    QString firehost;                  // 26
    int FirePortPos = 21;              // 27 21..32000
    int FireType = UserAtHost;         // 28 0..1
    AsciiExtensionList ASCExtList;     // 29
    // Not in the record: what a transfer does when its target exists (ExistsPolicy::Choice,
    // 0 to 6; 0 asks), kept in a value of its own.
    int OnExists = 0;

    // A default-constructed object is in the initial state: what a record that ends early
    // leaves in the fields it does not reach.
    Options() = default;

    // The record used when none is stored.
    static QString defaultRecord();
    // The initial state with the default record applied.
    static Options defaults();
    // The user's Downloads folder in the internal local form.
    static QString defaultDownloadFolder();
    static QString defaultEMail();

    // Applies the record field by field over the current values. A flag is set by any non-zero
    // number; numbers are held to their control's range; a field that is not a number keeps
    // the current value; fields past the 29th are ignored.
    void applyRecord(const QString &record);
    // The initial state with record applied; the default record when record is empty.
    static Options fromRecord(const QString &record);
    // The 29 fields. A "*" inside a text would split its field, so it is left out.
    QString toRecord() const;

    // Reads the "setup" value (the default record when it is missing, empty or not a string).
    static Options load(Registry &registry);
    // Writes the "setup" value and saves the store.
    bool save(Registry &registry, QString *error = nullptr) const;

    // What a session started now gets. siteFirewall is set for a connection from a saved site:
    // whether that site goes through the firewall; a quick connection has none and leaves the
    // firewall properties alone.
    SessionOptions sessionOptions(std::optional<bool> siteFirewall) const;
    static int maxSecsIdle(int kap);

    // Runs onChange whenever changed() is called on this object, while context lives. Copies
    // of the object start without observers.
    void observe(QObject *context, std::function<void()> onChange)
    {
        m_notifier.observe(context, std::move(onChange));
    }
    // Tells the observers that members were edited.
    void changed() const { m_notifier.notify(); }
    static int reconnectDelaySecs(int reconnect);

    // Brings a typed or picked DownLoadFolder into the internal folder form (separators "\",
    // one trailing "\"); an empty one stays empty. The Setup dialog runs it when it closes,
    // the main window's download-folder field when it is left.
    void normaliseDownloadFolder();

    // The password of anonymous logins: EMail lower-cased, or a built-in address when empty.
    QString anonymousPassword() const;

    // Slider captions of the Setup dialog.
    static QString kapLabel(int kap);
    static QString reconnectLabel(int reconnect);

private:
    void applyField(int number, const QString &text);

    ChangeNotifier m_notifier;
};
