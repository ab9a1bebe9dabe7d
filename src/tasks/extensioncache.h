#pragma once

#include <QMap>
#include <QString>

#include <functional>

// What the file lists show for one extension.
struct tExtBufObj
{
    int IconIndex = -1; // the window's icon index; -1 where no icon service answered
    QString TypeName;
};

// One entry per distinct extension met while filling the file lists, keyed by the lower-case
// extension and never removed. The extension of a name is "." + the text after its last "."
// (a name without "." gives "." + the whole name). A missing extension is asked once of the
// type service; an empty type name becomes the extension without its dot, trimmed and in upper
// case, followed by " File".
class ExtensionCache
{
public:
    // Answers a type name and icon index for an extension (".txt"). The default service asks
    // the MIME database by the extension's glob only; the window may install one that also
    // fills the icon index.
    using TypeService = std::function<tExtBufObj(const QString &extension)>;

    ExtensionCache();
    void setTypeService(TypeService service) { m_service = std::move(service); }

    const tExtBufObj &lookup(const QString &fileName);
    int count() const { return int(m_entries.size()); }

    static QString ExtensionOf(const QString &fileName);
    static tExtBufObj MimeTypeService(const QString &extension);

private:
    TypeService m_service;
    QMap<QString, tExtBufObj> m_entries;
};
