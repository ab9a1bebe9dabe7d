#include "sites/siteconnection.h"

#include "settings/options.h"
#include "sites/tsiteobject.h"

SiteConnection SiteConnection::fromSite(const TSiteObject &site, const Options &options)
{
    SiteConnection result;
    if (site.Bookmarks.contains(QLatin1Char('\r')))
        result.bookmarks = site.Bookmarks.split(QLatin1Char('\n'));
    result.InitialFolder = site.InitialPath;
    result.session = options.sessionOptions(site.Firewall != 0);
    result.Host = site.Host;
    result.Port = QString::number(site.Port);
    if (site.Anonymous) {
        result.Username = QStringLiteral("anonymous");
        result.Password = options.anonymousPassword();
    } else {
        result.Username = site.Username;
        result.Password = site.Password;
        result.needsUsername = site.Username.isEmpty();
        result.needsPassword = site.Password.isEmpty();
    }
    result.PassiveMode = site.PassiveMode;
    result.MaxTasks = site.Tasks;
    if (site.Encryption >= ceExplicitIfAvailable && site.Encryption <= cePlainOnly)
        result.Encryption = TcFTPEncryption(site.Encryption);
    result.CertificateFingerprint = site.CertificateFingerprint;
    return result;
}

ConnectRequest SiteConnection::request() const
{
    ConnectRequest result;
    result.session = TcFTPSession{Host, Port, Username, Password};
    result.initialFolder = InitialFolder;
    result.passive = PassiveMode;
    result.tasks = MaxTasks;
    result.security.encryption = Encryption;
    result.security.pinnedFingerprint = CertificateFingerprint;
    result.setsFirewall = session.setsFirewall;
    result.firewallType = session.FirewallType;
    result.firewallHost = session.FirewallHost;
    result.firewallPort = session.FirewallPort;
    result.fromSite = true;
    result.hostBookmarks = bookmarks;
    return result;
}
