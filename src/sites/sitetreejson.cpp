#include "sites/sitetreejson.h"

#include "sites/mastercipher.h"
#include "sites/sitenode.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <memory>

namespace {

const QLatin1String FormatName("orvane-ftp-sites");

QJsonArray writeChildren(const SiteNode &node, const QString &passphrase)
{
    QJsonArray out;
    for (int i = 0; i < node.childCount(); ++i) {
        const SiteNode *child = node.child(i);
        QJsonObject entry;
        if (const TSiteObject *site = child->site()) {
            entry[QLatin1String("site")] = child->text();
            entry[QLatin1String("host")] = site->Host;
            entry[QLatin1String("port")] = site->Port;
            entry[QLatin1String("username")] = site->Username;
            if (!passphrase.isEmpty() && !site->Password.isEmpty())
                entry[QLatin1String("password")] = MasterCipher::seal(site->Password, passphrase);
            entry[QLatin1String("initialPath")] = site->InitialPath;
            entry[QLatin1String("description")] = site->Description;
            entry[QLatin1String("bookmarks")] = site->Bookmarks;
            entry[QLatin1String("tasks")] = site->Tasks;
            entry[QLatin1String("passive")] = site->PassiveMode;
            entry[QLatin1String("firewall")] = int(site->Firewall);
            entry[QLatin1String("anonymous")] = site->Anonymous;
            entry[QLatin1String("encryption")] = site->Encryption;
            if (!site->CertificateFingerprint.isEmpty())
                entry[QLatin1String("certificateFingerprint")] = site->CertificateFingerprint;
        } else {
            entry[QLatin1String("folder")] = child->text();
            entry[QLatin1String("children")] = writeChildren(*child, passphrase);
        }
        out.append(entry);
    }
    return out;
}

struct Reader
{
    QString passphrase;
    bool sealedPasswords = false;
    SiteTreeJson::Imported *imported;
    QString error;

    bool readChildren(const QJsonArray &entries, SiteNode *into)
    {
        for (const QJsonValue &value : entries) {
            const QJsonObject entry = value.toObject();
            if (entry.contains(QLatin1String("site"))) {
                if (!readSite(entry, into))
                    return false;
            } else if (entry.contains(QLatin1String("folder"))) {
                const QString name = entry.value(QLatin1String("folder")).toString();
                if (name.isEmpty()) {
                    error = QStringLiteral("a folder has no name");
                    return false;
                }
                if (!readChildren(entry.value(QLatin1String("children")).toArray(),
                                  into->addFolder(name)))
                    return false;
            } else {
                error = QStringLiteral("an entry is neither a site nor a folder");
                return false;
            }
        }
        return true;
    }

    bool readSite(const QJsonObject &entry, SiteNode *into)
    {
        const QString name = entry.value(QLatin1String("site")).toString();
        if (name.isEmpty()) {
            error = QStringLiteral("a site has no name");
            return false;
        }
        TSiteObject site;
        site.Host = entry.value(QLatin1String("host")).toString();
        site.Port = qMax(21, entry.value(QLatin1String("port")).toInt(21));
        site.Username = entry.value(QLatin1String("username")).toString();
        site.InitialPath = entry.value(QLatin1String("initialPath")).toString();
        site.Description = entry.value(QLatin1String("description")).toString();
        site.Bookmarks = entry.value(QLatin1String("bookmarks")).toString();
        site.Tasks = qBound(1, entry.value(QLatin1String("tasks")).toInt(1), 25);
        site.PassiveMode = entry.value(QLatin1String("passive")).toBool();
        site.Firewall = quint8(entry.value(QLatin1String("firewall")).toInt() & 0xff);
        site.Anonymous = entry.value(QLatin1String("anonymous")).toBool(true);
        site.Encryption = qBound(0, entry.value(QLatin1String("encryption")).toInt(0), 3);
        site.CertificateFingerprint
                = entry.value(QLatin1String("certificateFingerprint")).toString();
        const QString sealed = entry.value(QLatin1String("password")).toString();
        if (!sealed.isEmpty()) {
            if (passphrase.isEmpty()) {
                imported->passwordsLeftOut = true;
            } else if (MasterCipher::open(sealed, passphrase, &site.Password)
                       != MasterCipher::Opened::Ok) {
                error = QStringLiteral("the password of \"%1\" is damaged").arg(name);
                return false;
            }
        }
        into->addSite(name, site);
        ++imported->sites;
        return true;
    }
};

QString freeName(const SiteNode &parent, const QString &name)
{
    const auto taken = [&](const QString &candidate) {
        for (int i = 0; i < parent.childCount(); ++i) {
            if (parent.child(i)->text().compare(candidate, Qt::CaseInsensitive) == 0)
                return true;
        }
        return false;
    };
    QString candidate = name;
    for (int n = 2; taken(candidate); ++n)
        candidate = QStringLiteral("%1 (%2)").arg(name).arg(n);
    return candidate;
}

} // namespace

QByteArray SiteTreeJson::write(const SiteNode &root, const QString &passphrase)
{
    QJsonObject doc;
    doc[QLatin1String("format")] = FormatName;
    doc[QLatin1String("version")] = 1;
    if (!passphrase.isEmpty())
        doc[QLatin1String("check")] = MasterCipher::makeVerifier(passphrase);
    doc[QLatin1String("tree")] = writeChildren(root, passphrase);
    return QJsonDocument(doc).toJson();
}

bool SiteTreeJson::read(const QByteArray &json,
                        const QString &passphrase,
                        SiteNode *into,
                        Imported *imported,
                        QString *error)
{
    Imported counts;
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    const QJsonObject top = doc.object();
    if (doc.isNull() || top.value(QLatin1String("format")).toString() != FormatName
        || top.value(QLatin1String("version")).toInt() != 1) {
        *error = QStringLiteral("The file is not a site list written by this program.");
        return false;
    }
    const QString check = top.value(QLatin1String("check")).toString();
    if (!check.isEmpty() && !passphrase.isEmpty()) {
        switch (MasterCipher::check(check, passphrase)) {
        case MasterCipher::Opened::Ok:
            break;
        case MasterCipher::Opened::WrongPassphrase:
            *error = QStringLiteral("The passphrase does not open the passwords in the file.");
            return false;
        case MasterCipher::Opened::Damaged:
            *error = QStringLiteral("The passphrase check in the file is damaged.");
            return false;
        }
    }
    // Read into a scratch tree first, so that a failure leaves into as it was.
    std::unique_ptr<SiteNode> scratch = SiteNode::makeRoot(QString());
    Reader reader{check.isEmpty() ? QString() : passphrase, !check.isEmpty(), &counts, QString()};
    if (!reader.readChildren(top.value(QLatin1String("tree")).toArray(), scratch.get())) {
        *error = QStringLiteral("The file cannot be imported: %1.").arg(reader.error);
        return false;
    }
    while (scratch->childCount() > 0) {
        std::unique_ptr<SiteNode> node = scratch->takeChild(0);
        node->setText(freeName(*into, node->text()));
        into->insertChild(into->childCount(), std::move(node));
    }
    if (imported)
        *imported = counts;
    return true;
}
