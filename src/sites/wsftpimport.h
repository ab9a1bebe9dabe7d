#pragma once

#include <QString>

class QIODevice;
class SiteNode;
class SiteTreeModel;
class TSiteObject;

// Reads a WS_FTP site list into the site tree: a new folder "WS_FTP imported sites" under the
// root (a second import gets "WS_FTP imported sites (2)" and so on) holding one site per
// section. A sample list:
//
//     [_config_]
//     ...
//     [My/Site:1]
//     HOST=ftp.example.org
//     UID=ann
//     DIR="/pub/incoming"
//     PORT=2121
//     COMMENT=mirror
//
// Keys are matched without regard to case, values are taken as written. A section line starts
// a new site (Port 21, Tasks 1, anonymous) named by the text between the brackets without
// \ / : * ? " < > |; a "_config_" section and the lines before the first section are read and
// dropped. "UID=anonymous" keeps the site anonymous, any other UID sets the user name. DIR
// loses its double quotes and becomes an internal folder path. Other keys (passwords
// included) are ignored. A name already held in the folder gets " (2)", " (3)" ...; an empty
// one is called "Site". Sites are plain FTP unless the entry says otherwise: a HOST written
// "ftps://name" or a PORT of 990 is implicit TLS, "ftpes://name" requires explicit TLS.
class WsFtpImport
{
public:
    static QString folderName(); // "WS_FTP imported sites"

    explicit WsFtpImport(SiteTreeModel &model);

    // Adds the folder, then reads the list. False when the list cannot be read or a PORT
    // value is not a whole number: reading stops there and what was added so far stays.
    bool run(const QString &fileName);
    bool run(QIODevice &device);

    // The folder the last run added (nullptr before any).
    SiteNode *folder() const { return m_folder; }
    int sitesAdded() const { return m_sitesAdded; }

private:
    bool addFolder();
    bool read(QIODevice &device);
    static void takeScheme(TSiteObject &site);

    SiteTreeModel &m_model;
    SiteNode *m_folder = nullptr;
    int m_sitesAdded = 0;
};
