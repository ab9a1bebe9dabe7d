#pragma once

#include <QString>
#include <QtGlobal>

// One saved site. A default-constructed record holds the values of a new site (Port 21,
// Tasks 4, anonymous); blank() holds the all-empty record the store reader starts from, so
// that only values present in the store overwrite it.
class TSiteObject
{
public:
    QString Host;        // host address as typed
    QString Username;    // login name
    QString InitialPath; // host folder to open after login, internal folder form ("\pub\")
    QString Password;    // plain while in memory
    // The stored form of a password that could not be read back when the site was loaded (no
    // keyring answered, the master password was not given): written back as it is, so that
    // saving never loses it. Empty once Password holds the plain text.
    QString PasswordKept;
    QString Description; // lines joined by CR LF
    QString Bookmarks;   // items name + CR + folder, joined by LF
    qint32 Tasks = 4;    // parallel transfer sessions, 1 to 25
    qint32 Port = 21;    // control port, never below 21
    quint8 Firewall = 0; // 0 direct; otherwise 1 + the firewall type when the site was edited
    bool PassiveMode = false;
    bool Anonymous = true; // user name and password are then ignored
    // Character set for names: empty for the automatic choice, else a legacy encoding's name
    // ("Windows-1252").
    QString NameEncoding;
    // FTP over TLS (TcFTPEncryption): 0 explicit if available (also for sites saved before
    // the choice existed), 1 explicit required, 2 implicit required, 3 plain only.
    qint32 Encryption = 0;
    // SHA-256 of the host certificate trusted always (64 lower-case hex digits); empty: none.
    QString CertificateFingerprint;

    static TSiteObject blank()
    {
        TSiteObject site;
        site.Tasks = 0;
        site.Port = 0;
        site.Anonymous = false;
        return site;
    }

    friend bool operator==(const TSiteObject &, const TSiteObject &) = default;
};
