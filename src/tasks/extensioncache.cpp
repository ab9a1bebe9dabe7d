#include "tasks/extensioncache.h"

QString ExtensionCache::ExtensionOf(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? fileName : fileName.mid(dot + 1);
}

QString ExtensionCache::KeyOf(const QString &fileName)
{
    return QLatin1Char('.') + ExtensionOf(fileName).toLower();
}

tExtBufObj &ExtensionCache::Lookup(const QString &fileName)
{
    const QString key = KeyOf(fileName);
    auto it = m_entries.find(key);
    if (it == m_entries.end()) {
        tExtBufObj record;
        record.TypeName = lookUpTypeName(ExtensionOf(fileName)).left(MaxTypeNameLength);
        it = m_entries.insert(key, record);
    }
    return it.value();
}

QString ExtensionCache::TypeName(const QString &fileName)
{
    return Lookup(fileName).TypeName;
}

QString ExtensionCache::lookUpTypeName(const QString &extension) const
{
    // Only the extension's glob counts: the probe name carries nothing but the extension.
    if (!extension.isEmpty()) {
        const QList<QMimeType> types
                = m_mimeDatabase.mimeTypesForFileName(QStringLiteral("probe.") + extension);
        for (const QMimeType &type : types) {
            if (type.isValid() && !type.isDefault() && !type.comment().isEmpty())
                return type.comment();
        }
    }
    const QString shown = extension.trimmed().toUpper();
    return shown.isEmpty() ? QStringLiteral("File") : shown + QStringLiteral(" File");
}
