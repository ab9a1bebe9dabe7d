#pragma once

#include "sites/sitenode.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>

class PasswordVault;
class Registry;

// The saved sites in the registry store. Below the root key every folder is a key named by its
// text and every site a key named by its text, nested as in the tree. A folder key holds
// subkeys and no values (an empty folder is an empty key); a site key holds the eleven values
// "Host Address", "Username", "Password" (enciphered), "InitialPath", "Description",
// "Bookmarks" (strings), "Tasks", "Port", "PassiveMode", "Firewall", "Anonymous" (integers).
// With a password vault, a site's password is saved where the vault decides: the value
// "PasswordKeyring" names its desktop keyring entry, "PasswordSealed" holds it sealed under
// the master password, and "Password" holds the old enciphered form only when neither is
// possible. Older stores' "Password" values are read and move on the next save. Without a
// vault, passwords are saved in the old form, and the newer values are kept as they are.
// Key paths join the node names below the root key as they are, so a name holding ":" or
// equal to ".." is just a key of that name at its place.
class SiteStore
{
public:
    struct LoadResult
    {
        std::unique_ptr<SiteNode> root; // always a root node, holding what could be read
        bool complete = true;           // false: a key vanished or could not be read
    };

    struct DefaultSite
    {
        QString folder; // "\"-separated path below the root key
        QString description;
        QString host;
        QString initialPath;
    };

    static QString rootKeyPath(); // "\Software\Quillon Software\Orvane FTP\Site Manager"
    static QString rootText();    // "Site Manager"
    static QString firstStartQuestion();
    static QList<DefaultSite> defaultSites();

    explicit SiteStore(Registry &registry, PasswordVault *vault = nullptr);

    bool rootExists() const;

    // First start and Load tree, for the Site manager's creation: when the root key does not
    // exist, askAddDefaults (the front end's Yes/No question, firstStartQuestion()) decides
    // whether the default sites are added; the root key is created and saved either way, so
    // the question comes once. Then the tree is loaded. askAddDefaults may be empty (= No).
    LoadResult open(const std::function<bool()> &askAddDefaults);

    // The whole tree below the root key. Children come in the store's order (case-insensitive);
    // the Site manager sorts them its own way.
    LoadResult loadTree();

    // Reads the key at path into a new child of parent (a folder when the key has subkeys or
    // nothing at all, else a site whose values are each read on their own: a missing or
    // mistyped value leaves its field blank). Returns false when a key could not be opened.
    bool readSubtree(const QString &path, SiteNode *parent);

    // Null when the tree can be stored; otherwise the reason: a name that is empty or holds
    // "\", or two entries of one folder whose names differ only in case (they would share
    // one key and one of them would be lost).
    static QString checkTree(const SiteNode &root);

    // Replaces the whole stored tree by this one in one atomic step: after a failure at any
    // point the previous sites are still stored. Refuses a tree that checkTree() rejects and
    // then changes nothing. The tree itself is left as it is (passwords stay plain), so it can
    // be saved again later, for example each time the Site manager closes.
    bool saveTree(const SiteNode &root, QString *error = nullptr);

    // Sets (or, with an empty text, removes) the master password and saves every site again
    // so that the passwords kept under the old one follow. Needs the vault unlocked when a
    // master password is set now; refuses (false, nothing changed) when a site's password
    // cannot be read first.
    bool changeMasterPassword(const QString &newPassword, QString *error = nullptr);

    // Writes the default sites (host, initial path, anonymous) and saves. Existing keys of the
    // same names get these three values.
    bool addDefaultSites(QString *error = nullptr);

private:
    void readSite(TSiteObject *site) const;
    void writeSite(const TSiteObject &site, const QString &valueName, const QString &value);
    bool writeNode(const SiteNode &node, const QString &path);
    // The value name and value that keep site's password (path: the site's key path).
    std::pair<QString, QString> passwordValue(const TSiteObject &site, const QString &path);
    // Names of the keyring entries the stored tree below path refers to.
    void collectKeyringEntries(const QString &path, QStringList *entries);

    Registry &m_registry;
    PasswordVault *m_vault;
    QStringList m_writtenEntries;
};
