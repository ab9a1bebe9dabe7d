#pragma once

#include <QHash>
#include <QString>

#include <functional>

// What the file lists show for one extension.
struct tExtBufObj
{
    int IconIndex = -1; // the window's icon index; -1 where no icon service answered
    QString TypeName;
};

// The type names and icon indexes of the file lists, one entry per lower-case extension, shared
// by every list. The extension of a name is "." + the text after its last "." (a name without
// "." gives "." + the whole name). A missing extension is asked once of the type service; an
// empty type name becomes the extension without its dot, trimmed and in upper case, followed by
// " File".
//
// Names without a "." are mostly plain names ("README", "file0001") that no type knows; asking
// for each would fill the table with one entry per name. They share one entry (asked as ".")
// and only their type name is made from the name, unless the type database has a pattern that
// can match the name as an extension ("tar", "anim1"): those are asked like any extension. The
// table holds at most Capacity entries and starts over when it is full.
class ExtensionCache
{
public:
    // Answers a type name and icon index for an extension (".txt"). The default service asks
    // the MIME database by the extension's glob only; the window may install one that also
    // fills the icon index.
    using TypeService = std::function<tExtBufObj(const QString &extension)>;

    static constexpr int Capacity = 4096;

    ExtensionCache();
    void setTypeService(TypeService service)
    {
        m_service = std::move(service);
        m_entries.clear();
    }

    tExtBufObj lookup(const QString &fileName);
    // Entries held now.
    int count() const { return int(m_entries.size()); }

    static QString ExtensionOf(const QString &fileName);
    // Reads the type database's patterns that names without a "." could meet, which the first
    // such name would otherwise wait for; safe to call from any thread, once or more.
    static void prepare();
    static tExtBufObj MimeTypeService(const QString &extension);

private:
    const tExtBufObj &entry(const QString &key);
    static bool TypedAsExtension(const QString &lowerName);

    TypeService m_service;
    QHash<QString, tExtBufObj> m_entries;
};
