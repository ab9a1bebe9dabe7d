#include "cli/clisite.h"

#include "settings/registry.h"
#include "sites/keyringstore.h"
#include "sites/passwordvault.h"
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

bool ResolveSavedPassword(Registry &registry,
                          TSiteObject *site,
                          const QString &envName,
                          const std::optional<QString> &masterPassword,
                          QString *error)
{
    if (site->PasswordKept.isEmpty())
        return true;
    KeyringStore keyring;
    PasswordVault vault(registry, &keyring);
    bool asked = false;
    vault.setPrompt([&](const QString &) -> std::optional<QString> {
        if (asked)
            return std::nullopt;
        asked = true;
        return masterPassword;
    });
    const PasswordVault::Resolved resolved = vault.resolve(site->PasswordKept);
    if (resolved.ok) {
        site->Password = resolved.password;
        site->PasswordKept.clear();
        return true;
    }
    QString why = resolved.problem;
    if (PasswordVault::isSealedForm(site->PasswordKept)) {
        if (envName.isEmpty())
            why += QStringLiteral(" (name a variable holding it with --master-password-env)");
        else if (!masterPassword)
            why = QStringLiteral("it is kept under the master password, but environment "
                                 "variable '%1' (from --master-password-env) is not set")
                          .arg(envName);
        else
            why += QStringLiteral(" (environment variable '%1')").arg(envName);
    }
    *error = QStringLiteral("cannot get the password of the saved site: %1").arg(why);
    return false;
}
