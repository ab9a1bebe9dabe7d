#pragma once

#include <QMap>
#include <QMimeDatabase>
#include <QString>

// What the file lists know about one extension: the icon's index in the window's icon list
// (-1 until the window has fetched it) and the type name shown in the "Type" column.
struct tExtBufObj
{
    int IconIndex = -1;
    QString TypeName;
};

// Type names of file extensions, each looked up once per run and kept for the whole run.
//
// The extension of a name is the text after its last "." (the whole name when it has none);
// entries are keyed by the lower-cased extension with its dot (".txt", ".readme"). The type name
// is the description of the MIME type whose glob is exactly "*.ext"; when there is none (or only
// application/octet-stream) it is the extension, trimmed and upper-cased, followed by " File":
// "archive.xyz" gives "XYZ File", "README" gives "README File". Names are matched on the glob
// only, never on the whole file name, so "README" is not taken for the readme type.
class ExtensionCache
{
public:
    static constexpr int MaxTypeNameLength = 80;

    // The extension of a file name without its dot: "a.tar.gz" -> "gz", "README" -> "README".
    static QString ExtensionOf(const QString &fileName);
    // The cache key of a file name: "." + the lower-cased extension.
    static QString KeyOf(const QString &fileName);

    // The record for the file name's extension, created (and its type name looked up) on the
    // first request. The reference stays valid for the cache's lifetime.
    tExtBufObj &Lookup(const QString &fileName);
    // The type name of the file name's extension.
    QString TypeName(const QString &fileName);
    // The number of extensions looked up so far.
    int count() const { return m_entries.size(); }

private:
    QString lookUpTypeName(const QString &extension) const;

    QMap<QString, tExtBufObj> m_entries;
    QMimeDatabase m_mimeDatabase;
};
