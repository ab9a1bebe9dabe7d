#pragma once

#include <QByteArray>
#include <QString>

class SiteNode;

// The site tree as a JSON file, to move sites between machines or keep a copy. Passwords go
// out only when the user gives a passphrase: each is then sealed under it (MasterCipher), and a
// check sealed the same way lets the import tell a wrong passphrase from a damaged file.
//
//   {"format": "orvane-ftp-sites", "version": 1, "check": "<sealed check, or absent>",
//    "tree": [{"folder": "Name", "children": [...]},
//             {"site": "Name", "host": ..., "port": 21, "username": ..., "password": "<sealed>",
//              "initialPath": ..., "description": ..., "bookmarks": ..., "tasks": 1,
//              "passive": false, "firewall": 0, "anonymous": true}]}
class SiteTreeJson
{
public:
    // The children of root, with passwords sealed under passphrase when it is not empty.
    static QByteArray write(const SiteNode &root, const QString &passphrase);

    struct Imported
    {
        int sites = 0;
        bool passwordsLeftOut = false; // the file holds passwords and no passphrase was given
    };
    // Adds the file's tree below into; a name already taken there gets " (2)", " (3)"...
    // Fails (false, into unchanged, the reason in error) on a file that is not such a tree, or
    // on a wrong passphrase for the passwords it holds.
    static bool read(const QByteArray &json,
                     const QString &passphrase,
                     SiteNode *into,
                     Imported *imported,
                     QString *error);
};
