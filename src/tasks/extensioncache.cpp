#include "extensioncache.h"

#include <QList>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QSet>

namespace {

bool HasWildcard(QStringView text)
{
    for (const QChar c : text) {
        if (c == QLatin1Char('*') || c == QLatin1Char('?') || c == QLatin1Char('['))
            return true;
    }
    return false;
}

struct SuffixPatterns
{
    // Lower-case ".ext" of every plain "*.ext" pattern of the type database.
    QSet<QString> plain;
    // The patterns with wildcards that a one-dot name can meet ("*.[1-9]", "*~").
    QList<QRegularExpression> wild;

    SuffixPatterns();
};

SuffixPatterns::SuffixPatterns()
{
    // Which names without a dot the type database could know as "x.<name>": a plain "*.ext"
    // pattern, or a pattern with wildcards after its last dot or without any dot ("*~"). Literal
    // names ("makefile") and patterns over two dots ("*.tar.gz") never match "x.<name>".
    for (const QMimeType &type : QMimeDatabase().allMimeTypes()) {
        for (const QString &pattern : type.globPatterns()) {
            const int dot = int(pattern.lastIndexOf(QLatin1Char('.')));
            const QStringView tail = QStringView(pattern).mid(dot < 0 ? 0 : dot + 1);
            if (!pattern.startsWith(QLatin1Char('*')))
                continue;
            if (dot == 1 && !HasWildcard(tail)) {
                plain.insert(pattern.mid(1).toLower());
            } else if (HasWildcard(tail) && pattern.count(QLatin1Char('.')) <= 1) {
                wild.append(
                        QRegularExpression(QRegularExpression::wildcardToRegularExpression(pattern),
                                           QRegularExpression::CaseInsensitiveOption));
            }
        }
    }
    for (QRegularExpression &pattern : wild)
        pattern.optimize();
}

} // namespace

ExtensionCache::ExtensionCache()
    : m_service(&ExtensionCache::MimeTypeService)
{}

bool ExtensionCache::TypedAsExtension(const QString &lowerName)
{
    static const SuffixPatterns patterns;
    const QString asFile = QStringLiteral("x.") + lowerName;
    if (patterns.plain.contains(asFile.mid(1)))
        return true;
    for (const QRegularExpression &pattern : patterns.wild) {
        if (pattern.match(asFile).hasMatch())
            return true;
    }
    return false;
}

void ExtensionCache::prepare()
{
    TypedAsExtension(QString());
}

const tExtBufObj &ExtensionCache::entry(const QString &key)
{
    auto it = m_entries.constFind(key);
    if (it != m_entries.cend())
        return it.value();
    if (m_entries.size() >= Capacity)
        m_entries.clear();
    tExtBufObj found = m_service ? m_service(key) : tExtBufObj();
    if (found.TypeName.isEmpty())
        found.TypeName = key.mid(1).trimmed().toUpper() + QStringLiteral(" File");
    return m_entries.insert(key, found).value();
}

tExtBufObj ExtensionCache::lookup(const QString &fileName)
{
    const int dot = int(fileName.lastIndexOf(QLatin1Char('.')));
    if (dot >= 0)
        return entry(fileName.mid(dot).toLower());
    const QString lower = fileName.toLower();
    if (TypedAsExtension(lower))
        return entry(QLatin1Char('.') + lower);
    tExtBufObj shared = entry(QStringLiteral("."));
    shared.TypeName = lower.trimmed().toUpper() + QStringLiteral(" File");
    return shared;
}

QString ExtensionCache::ExtensionOf(const QString &fileName)
{
    const int dot = int(fileName.lastIndexOf(QLatin1Char('.')));
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
