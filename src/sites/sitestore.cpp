#include "sites/sitestore.h"

#include "settings/registry.h"
#include "settings/registrykeys.h"
#include "sites/passwordcipher.h"
#include "sites/passwordvault.h"
#include "util/fieldstring.h"

#include <QSet>

namespace {

const QString HostValue = QStringLiteral("Host Address");
const QString UsernameValue = QStringLiteral("Username");
const QString PasswordValue = QStringLiteral("Password");
const QString KeyringValue = QStringLiteral("PasswordKeyring");
const QString SealedValue = QStringLiteral("PasswordSealed");
const QString InitialPathValue = QStringLiteral("InitialPath");
const QString DescriptionValue = QStringLiteral("Description");
const QString BookmarksValue = QStringLiteral("Bookmarks");
const QString TasksValue = QStringLiteral("Tasks");
const QString PortValue = QStringLiteral("Port");
const QString PassiveModeValue = QStringLiteral("PassiveMode");
const QString FirewallValue = QStringLiteral("Firewall");
const QString AnonymousValue = QStringLiteral("Anonymous");
const QString EncryptionValue = QStringLiteral("Encryption");
const QString FingerprintValue = QStringLiteral("CertificateFingerprint");

} // namespace

QString SiteStore::rootKeyPath()
{
    return RegistryKeys::siteManager();
}

QString SiteStore::rootText()
{
    const QString path = rootKeyPath();
    return Field(path, FieldCount(path, QLatin1Char('\\')), QLatin1Char('\\'));
}

QString SiteStore::firstStartQuestion()
{
    return QStringLiteral(
            "Would you like to have some default sites added to the Orvane FTP Site Manager?");
}

QList<SiteStore::DefaultSite> SiteStore::defaultSites()
{
    const QString isp = QStringLiteral("Internet Service Providers");
    const QString archives = QStringLiteral("Software\\Archives");
    const QString commercial = QStringLiteral("Software\\Commercial");
    const QString games = QStringLiteral("Software\\Games");
    const QString programs = QStringLiteral("Software\\Programs");
    const QString sports = QStringLiteral("Sports");
    auto row =
            [](const QString &folder, const char *description, const char *host, const char *path) {
                return DefaultSite{folder,
                                   QString::fromLatin1(description),
                                   QString::fromLatin1(host),
                                   QString::fromLatin1(path)};
            };
    return {
            row(isp, "AOL", "ftp.aol.com", ""),
            row(isp, "PSINet Inc.", "ftp.psi.net", ""),
            row(isp, "Sprynet", "ftp.sprynet.com", ""),
            row(isp, "CompuServe", "ftp.compuserve.com", ""),
            row(isp, "Earthlink Network", "ftp.earthlink.net", ""),
            row(archives, "ftp.funet.fi", "ftp.funet.fi", "\\pub\\"),
            row(archives, "GNU Software Archive", "ftp.gnu.org", "\\gnu\\"),
            row(archives, "CDROM", "ftp.cdrom.com", "\\pub\\"),
            row(commercial, "Adobe Systems Inc.", "ftp.adobe.com", "\\pub\\"),
            row(commercial, "Borland", "ftp.borland.com", "\\pub\\"),
            row(commercial, "McAfee", "ftp.mcafee.com", ""),
            row(commercial, "Microsoft", "ftp.microsoft.com", ""),
            row(commercial, "Netscape", "ftp.netscape.com", "\\pub\\"),
            row(commercial, "Novell", "ftp.novell.com", "\\pub\\"),
            row(commercial, "Symantec", "ftp.symantec.com", ""),
            row(games, "Electronic Arts", "ftp.ea.com", "\\pub\\"),
            row(games, "Happy Puppy", "ftp.happypuppy.com", ""),
            row(games, "ID Software", "ftp.idsoftware.com", "\\idstuff\\"),
            row(games, "PCGA", "ftp.sunet.se", "\\pub\\msdos\\games\\"),
            row(programs, "Netscape Communicator", "ftp.netscape.com", "\\pub\\communicator\\"),
            row(programs, "Paint Shop Pro", "ftp.jasc.com", "\\pub\\"),
            row(programs, "WinZip", "ftp.winzip.com", ""),
            row(sports, "American Football FTP Server", "ftp.vnet.net", "\\pub\\football\\"),
            row(sports,
                "Internet Baseball Archive (IBA)",
                "ftp.baseball-archive.com",
                "\\pub\\baseball\\"),
    };
}

SiteStore::SiteStore(Registry &registry, PasswordVault *vault)
    : m_registry(registry)
    , m_vault(vault)
{}

bool SiteStore::rootExists() const
{
    return m_registry.keyExists(rootKeyPath());
}

SiteStore::LoadResult SiteStore::open(const std::function<bool()> &askAddDefaults)
{
    if (!rootExists()) {
        if (askAddDefaults && askAddDefaults())
            addDefaultSites(); // a failure here is not worth stopping for
        if (m_registry.openKey(rootKeyPath(), true))
            m_registry.save();
    }
    return loadTree();
}

SiteStore::LoadResult SiteStore::loadTree()
{
    LoadResult result;
    result.root = SiteNode::makeRoot(rootText());
    if (!m_registry.openKey(rootKeyPath(), false))
        return result;
    const QStringList names = m_registry.keyNames();
    for (const QString &name : names) {
        if (!readSubtree(rootKeyPath() + QLatin1Char('\\') + name, result.root.get()))
            result.complete = false;
    }
    return result;
}

bool SiteStore::readSubtree(const QString &path, SiteNode *parent)
{
    if (!parent || !m_registry.openKey(path, false))
        return false;
    const auto info = m_registry.keyInfo();
    if (!info)
        return false;
    const QString text = Field(path, FieldCount(path, QLatin1Char('\\')), QLatin1Char('\\'));
    if (info->subKeys > 0 || info->values == 0) {
        SiteNode *folder = parent->addFolder(text);
        if (!folder)
            return false;
        bool complete = true;
        const QStringList names = m_registry.keyNames();
        for (const QString &name : names) {
            if (!readSubtree(path + QLatin1Char('\\') + name, folder))
                complete = false;
        }
        return complete;
    }
    TSiteObject site = TSiteObject::blank();
    readSite(&site);
    return parent->addSite(text, site) != nullptr;
}

void SiteStore::readSite(TSiteObject *site) const
{
    const Registry &reg = m_registry;
    if (auto v = reg.readString(HostValue))
        site->Host = *v;
    if (auto v = reg.readString(UsernameValue))
        site->Username = *v;
    if (auto v = reg.readString(PasswordValue))
        site->Password = *v;
    if (auto v = reg.readString(InitialPathValue))
        site->InitialPath = *v;
    if (auto v = reg.readString(DescriptionValue))
        site->Description = *v;
    if (auto v = reg.readString(BookmarksValue))
        site->Bookmarks = *v;
    if (auto v = reg.readInteger(TasksValue))
        site->Tasks = *v;
    if (auto v = reg.readInteger(PortValue))
        site->Port = *v;
    if (auto v = reg.readBool(PassiveModeValue))
        site->PassiveMode = *v;
    if (auto v = reg.readInteger(FirewallValue))
        site->Firewall = quint8(*v & 0xff);
    if (auto v = reg.readBool(AnonymousValue))
        site->Anonymous = *v;
    if (auto v = reg.readInteger(EncryptionValue); v && *v >= 0 && *v <= 3)
        site->Encryption = *v;
    if (auto v = reg.readString(FingerprintValue))
        site->CertificateFingerprint = *v;
    if (site->Port < 21)
        site->Port = 21;
    if (!site->Password.isEmpty()) {
        site->Password = DecipherPassword(site->Password);
        return;
    }
    if (auto v = reg.readString(KeyringValue); v && !v->isEmpty())
        site->PasswordKept = PasswordVault::keyringForm(*v);
    else if (auto v = reg.readString(SealedValue); v && !v->isEmpty())
        site->PasswordKept = PasswordVault::sealedForm(*v);
    // Last: the vault may open other keys of the store.
    if (m_vault && !site->PasswordKept.isEmpty()) {
        const PasswordVault::Resolved resolved = m_vault->resolve(site->PasswordKept);
        if (resolved.ok) {
            site->Password = resolved.password;
            site->PasswordKept.clear();
        }
    }
}

QString SiteStore::checkTree(const SiteNode &root)
{
    QSet<QString> seen;
    for (int i = 0; i < root.childCount(); ++i) {
        const SiteNode *child = root.child(i);
        const QString name = child->text();
        if (name.isEmpty())
            return QStringLiteral("An entry in \"%1\" has no name.").arg(root.text());
        if (name.contains(QLatin1Char('\\')))
            return QStringLiteral("The name \"%1\" holds a backslash.").arg(name);
        if (seen.contains(name.toCaseFolded())) {
            return QStringLiteral("Two entries in \"%1\" are named \"%2\" apart from case; "
                                  "rename one of them so that both can be kept.")
                    .arg(root.text(), name);
        }
        seen.insert(name.toCaseFolded());
        const QString problem = checkTree(*child);
        if (!problem.isNull())
            return problem;
    }
    return QString();
}

bool SiteStore::saveTree(const SiteNode &root, QString *error)
{
    const QString problem = checkTree(root);
    if (!problem.isNull()) {
        if (error)
            *error = problem;
        return false;
    }
    QStringList oldEntries;
    if (m_vault && m_vault->keyringAnswers())
        collectKeyringEntries(rootKeyPath(), &oldEntries);
    m_writtenEntries.clear();
    // The deletion and the rewrite reach the file together in one replacement.
    m_registry.deleteKey(rootKeyPath());
    if (!writeNode(root, rootKeyPath())) {
        if (error)
            *error = QStringLiteral("Cannot open the key %1.").arg(rootKeyPath());
        m_registry.discardChanges();
        return false;
    }
    if (!m_registry.save(error))
        return false;
    // Entries of sites that were renamed, moved or deleted, or lost their password.
    for (const QString &entry : std::as_const(oldEntries)) {
        if (!m_writtenEntries.contains(entry))
            m_vault->forget(entry);
    }
    return true;
}

void SiteStore::collectKeyringEntries(const QString &path, QStringList *entries)
{
    if (!m_registry.openKey(path, false))
        return;
    if (auto v = m_registry.readString(KeyringValue); v && !v->isEmpty())
        entries->append(*v);
    const QStringList names = m_registry.keyNames();
    for (const QString &name : names)
        collectKeyringEntries(path + QLatin1Char('\\') + name, entries);
}

std::pair<QString, QString> SiteStore::passwordValue(const TSiteObject &site, const QString &path)
{
    if (site.Password.isEmpty()) {
        if (PasswordVault::isKeyringForm(site.PasswordKept)) {
            m_writtenEntries.append(PasswordVault::formValue(site.PasswordKept));
            return {KeyringValue, PasswordVault::formValue(site.PasswordKept)};
        }
        if (PasswordVault::isSealedForm(site.PasswordKept))
            return {SealedValue, PasswordVault::formValue(site.PasswordKept)};
        return {PasswordValue, QString()};
    }
    if (!m_vault)
        return {PasswordValue, EncipherPassword(site.Password)};
    // The keyring entry is named by the site's place in the tree, as the Site manager shows it.
    const QString entry = path.mid(rootKeyPath().size() + 1);
    const PasswordVault::Stored stored = m_vault->keep(entry, site.Password);
    switch (stored.where) {
    case PasswordVault::Stored::Where::Keyring:
        m_writtenEntries.append(stored.value);
        return {KeyringValue, stored.value};
    case PasswordVault::Stored::Where::Sealed:
        return {SealedValue, stored.value};
    case PasswordVault::Stored::Where::Enciphered:
        break;
    }
    return {PasswordValue, stored.value};
}

bool SiteStore::writeNode(const SiteNode &node, const QString &path)
{
    std::pair<QString, QString> password;
    if (const TSiteObject *site = node.site())
        password = passwordValue(*site, path); // before opening: the vault may open other keys
    if (!m_registry.openKey(path, true))
        return false;
    if (const TSiteObject *site = node.site())
        writeSite(*site, password.first, password.second);
    for (int i = 0; i < node.childCount(); ++i) {
        const SiteNode *child = node.child(i);
        if (!writeNode(*child, path + QLatin1Char('\\') + child->text()))
            return false;
    }
    return true;
}

void SiteStore::writeSite(const TSiteObject &site, const QString &valueName, const QString &value)
{
    m_registry.writeString(HostValue, site.Host);
    m_registry.writeString(UsernameValue, site.Username);
    // The old value stays, empty, beside a newer one: older versions then read no password
    // (and ask for one) instead of finding none of their values.
    if (valueName != PasswordValue)
        m_registry.writeString(PasswordValue, QString());
    m_registry.writeString(valueName, value);
    m_registry.writeString(InitialPathValue, site.InitialPath);
    m_registry.writeString(DescriptionValue, site.Description);
    m_registry.writeString(BookmarksValue, site.Bookmarks);
    m_registry.writeInteger(TasksValue, site.Tasks);
    m_registry.writeInteger(PortValue, site.Port);
    m_registry.writeBool(PassiveModeValue, site.PassiveMode);
    m_registry.writeInteger(FirewallValue, site.Firewall);
    m_registry.writeBool(AnonymousValue, site.Anonymous);
    // Both are kept only when they say something: a store of sites that never chose reads the
    // same in versions that know nothing of them.
    if (site.Encryption == 0)
        m_registry.deleteValue(EncryptionValue);
    else
        m_registry.writeInteger(EncryptionValue, site.Encryption);
    if (site.CertificateFingerprint.isEmpty())
        m_registry.deleteValue(FingerprintValue);
    else
        m_registry.writeString(FingerprintValue, site.CertificateFingerprint);
}

namespace {

const SiteNode *firstUnreadPassword(const SiteNode &node)
{
    if (const TSiteObject *site = node.site())
        return site->PasswordKept.isEmpty() ? nullptr : &node;
    for (int i = 0; i < node.childCount(); ++i) {
        if (const SiteNode *found = firstUnreadPassword(*node.child(i)))
            return found;
    }
    return nullptr;
}

} // namespace

bool SiteStore::changeMasterPassword(const QString &newPassword, QString *error)
{
    const auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (!m_vault)
        return fail(QStringLiteral("No password vault is in use."));
    if (m_vault->masterPasswordSet() && !m_vault->unlocked())
        return fail(QStringLiteral("The current master password was not given."));
    const LoadResult loaded = loadTree();
    if (const SiteNode *node = firstUnreadPassword(*loaded.root)) {
        return fail(QStringLiteral("The password of \"%1\" cannot be read, so it could not "
                                   "follow the new master password.")
                            .arg(node->text()));
    }
    if (!m_vault->setMasterPassword(newPassword))
        return fail(QStringLiteral("The master password cannot be stored."));
    return saveTree(*loaded.root, error);
}

bool SiteStore::addDefaultSites(QString *error)
{
    for (const DefaultSite &row : defaultSites()) {
        if (!m_registry.openKey(rootKeyPath() + QLatin1Char('\\') + row.folder + QLatin1Char('\\')
                                        + row.description,
                                true))
            return false;
        m_registry.writeString(HostValue, row.host);
        m_registry.writeString(InitialPathValue, row.initialPath);
        m_registry.writeBool(AnonymousValue, true);
    }
    return m_registry.save(error);
}
