#include "sites/siteconnection.h"
#include "settings/options.h"
#include "sites/tsiteobject.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>

TEST(SiteConnection, AnonymousAndNamedSites)
{
    Options options = Options::defaults();
    options.EMail = QStringLiteral("Ann@Example.ORG");
    options.firehost = QStringLiteral("gate.local");
    options.FireType = Options::OpenHost;
    TSiteObject site;
    site.Port = 2121;
    site.Username = QStringLiteral("ignored");
    SiteConnection c = SiteConnection::fromSite(site, options);
    EXPECT_EQ(c.Port, QStringLiteral("2121"));
    EXPECT_EQ(c.Username, QStringLiteral("anonymous"));
    EXPECT_EQ(c.Password, QStringLiteral("ann@example.org"));
    EXPECT_FALSE(c.needsUsername || c.needsPassword);
    EXPECT_EQ(c.session.FirewallType, 0);
    EXPECT_TRUE(c.session.setsFirewall);
    EXPECT_EQ(c.request().security.encryption, ceExplicitIfAvailable);

    site.Anonymous = false;
    site.Username = QStringLiteral("ann");
    site.Firewall = 1;
    site.Bookmarks = QStringLiteral("pub\r\\pub\\\nhome\r\\home\\ann\\");
    site.Encryption = cePlainOnly;
    site.CertificateFingerprint = QString(64, QLatin1Char('a'));
    c = SiteConnection::fromSite(site, options);
    EXPECT_EQ(c.Username, QStringLiteral("ann"));
    EXPECT_TRUE(c.needsPassword && !c.needsUsername);
    EXPECT_EQ(c.session.FirewallHost, QStringLiteral("gate.local"));
    EXPECT_EQ(c.session.FirewallType, 2);
    EXPECT_EQ(c.bookmarks, (QStringList{"pub\r\\pub\\", "home\r\\home\\ann\\"}));
    EXPECT_EQ(c.request().security.encryption, cePlainOnly);
    EXPECT_EQ(c.request().security.pinnedFingerprint, site.CertificateFingerprint);

    site.Username.clear();
    site.Password = QStringLiteral("secret");
    site.Bookmarks = QStringLiteral("no carriage return here");
    c = SiteConnection::fromSite(site, options);
    EXPECT_TRUE(c.needsUsername && !c.needsPassword);
    EXPECT_TRUE(c.bookmarks.isEmpty());
}
