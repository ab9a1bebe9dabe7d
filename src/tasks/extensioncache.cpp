#include "extensioncache.h"

#include <QMimeDatabase>

ExtensionCache::ExtensionCache()
    : m_service(&ExtensionCache::MimeTypeService)
{}

const tExtBufObj &ExtensionCache::lookup(const QString &fileName)
{
    const QString key = ExtensionOf(fileName).toLower();
    auto it = m_entries.find(key);
    if (it != m_entries.end())
        return it.value();
    tExtBufObj entry = m_service ? m_service(key) : tExtBufObj();
    if (entry.TypeName.isEmpty())
        entry.TypeName = key.mid(1).trimmed().toUpper() + QStringLiteral(" File");
    return m_entries.insert(key, entry).value();
}

QString ExtensionCache::ExtensionOf(const QString &fileName)
{
    const int dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QLatin1Char('.') + fileName : fileName.mid(dot);
}

tExtBufObj ExtensionCache::MimeTypeService(const QString &extension)
{
    // Only a match on "*.ext" counts: "README" must not become a read-me document through a
    // "README*" glob, and the catch-all octet stream is no type name.
    static const QMimeDatabase db;
    const QString glob = QLatin1Char('*') + extension;
    for (const QMimeType &type : db.mimeTypesForFileName(QStringLiteral("x") + extension)) {
        if (type.name() == QLatin1String("application/octet-stream"))
            continue;
        for (const QString &pattern : type.globPatterns()) {
            if (pattern.compare(glob, Qt::CaseInsensitive) == 0)
                return {-1, type.comment()};
        }
    }
    return {};
}
