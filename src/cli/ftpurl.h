#pragma once

#include <QString>

// An address of a file or folder on an FTP host as people type it on the command line:
//   ftp://[user[:password]@]host[:port]/path/file
// ftpes:// asks for explicit FTP over TLS (port 21 by default), ftps:// for implicit FTP over
// TLS (port 990 by default).
// The path is absolute from the host's root; user, password and path are percent-decoded
// ("%20" is a space, "%25" a percent sign). A path ending in "/" names a folder.
class FtpUrl
{
public:
    enum Scheme { Ftp, Ftpes, Ftps };

    // The address text with its password, if any, as "*****": what is shown of an address.
    static QString masked(const QString &text);

    // Parses text; on failure returns false and leaves the reason in error (quoting the
    // address with its password masked). The path is normalised: "." and empty names dropped,
    // ".." resolved; a ".." above the root is refused.
    bool parse(const QString &text, QString *error);
    // A path on a host that is known already (a saved site): "ftp:///pub/a%20b.txt" (decoded
    // as in an address), "/pub/a b.txt" (as typed, from the host's root) or "a b.txt" (as
    // typed, below baseFolder, a slash-form folder ending in "/"). An address that names a
    // host is refused. Host and port stay empty.
    bool parsePath(const QString &text, const QString &baseFolder, QString *error);

    QString user() const { return m_user; }
    QString password() const { return m_password; }
    bool hasUser() const { return m_hasUser; }
    bool hasPassword() const { return m_hasPassword; }
    QString host() const { return m_host; }
    Scheme scheme() const { return m_scheme; }
    // The address named its port.
    bool hasPort() const { return m_hasPort; }
    // Decimal port; when the address names none, "990" for ftps://, else "21".
    QString port() const { return m_port; }
    // Decoded, normalised path in slash form, always beginning with "/": "/pub/a b.txt", "/pub/"
    // or "/" (also for "//", "/./" and "/pub/../").
    QString path() const { return m_path; }
    bool isFolder() const { return m_path.endsWith(QLatin1Char('/')); }
    // Last name of a file path ("a b.txt"); empty for a folder.
    QString fileName() const;
    // Folder part of the path, ending in "/": "/pub/" for "/pub/a b.txt" and for "/pub/".
    QString folder() const;
    // The path as the program keeps host paths: "\pub\a b.txt", "\pub\".
    QString internalPath() const;
    // The same path with the trailing "/" of a folder removed ("/pub" for "/pub/"); "/" stays.
    QString withoutTrailingSlash() const;

private:
    bool setPath(const QString &path, const QString &text, QString *error);

    Scheme m_scheme = Ftp;
    bool m_hasPort = false;
    QString m_user;
    QString m_password;
    bool m_hasUser = false;
    bool m_hasPassword = false;
    QString m_host;
    QString m_port = QStringLiteral("21");
    QString m_path = QStringLiteral("/");
};
