#include "cli/clisite.h"

#include "settings/registry.h"
#include "sites/sitestore.h"

bool FindSavedSite(Registry &registry, const QString &path, TSiteObject *site, QString *error)
{
    const QStringList names = path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    // A store that cannot be read holds no sites, but saying so would mislead.
    if (!registry.readError().isEmpty()) {
        *error = registry.readError();
        return false;
    }
    SiteStore store(registry);
    if (names.isEmpty() || !store.rootExists()) {
        *error = QStringLiteral("no saved site '%1'").arg(path);
        return false;
    }
    const SiteStore::LoadResult tree = store.loadTree();
    const SiteNode *node = tree.root.get();
    for (const QString &name : names) {
        const SiteNode *next = nullptr;
        for (int i = 0; node && i < node->childCount(); ++i) {
            if (node->child(i)->text().compare(name, Qt::CaseInsensitive) == 0) {
                next = node->child(i);
                break;
            }
        }
        node = next;
        if (!node)
            break;
    }
    if (!node || !node->isSite()) {
        *error = node ? QStringLiteral("'%1' is a folder of saved sites, not a site").arg(path)
                      : QStringLiteral("no saved site '%1'").arg(path);
        return false;
    }
    *site = *node->site();
    return true;
}
