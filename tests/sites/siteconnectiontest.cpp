#include "sites/siteconnection.h"
#include "settings/options.h"
#include "sites/tsiteobject.h"

#include <gtest/gtest.h>

TEST(SiteConnection, AnonymousSiteUsesTheMailAddress)
{
    Options options = Options::defaults();
    options.EMail = QStringLiteral("Ann@Example.ORG");
    TSiteObject site;
    site.Host = QStringLiteral("127.0.0.1");
    site.Port = 2121;
    site.Tasks = 4;
    site.InitialPath = QStringLiteral("\\pub\\");
    site.Username = QStringLiteral("ignored");
    site.PassiveMode = true;
    const SiteConnection c = SiteConnection::fromSite(site, options);
    EXPECT_EQ(c.Host, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(c.Port, QStringLiteral("2121"));
    EXPECT_EQ(c.Username, QStringLiteral("anonymous"));
    EXPECT_EQ(c.Password, QStringLiteral("ann@example.org"));
    EXPECT_FALSE(c.needsUsername);
    EXPECT_FALSE(c.needsPassword);
    EXPECT_EQ(c.InitialFolder, QStringLiteral("\\pub\\"));
    EXPECT_TRUE(c.PassiveMode);
    EXPECT_EQ(c.MaxTasks, 4);
    EXPECT_EQ(c.session.FirewallType, 0);
    EXPECT_TRUE(c.session.setsFirewall);

    options.EMail.clear();
    const SiteConnection d = SiteConnection::fromSite(site, options);
    EXPECT_FALSE(d.Password.isEmpty());
    EXPECT_EQ(d.Password, options.anonymousPassword());
}

TEST(SiteConnection, NamedSiteFirewallAndBookmarks)
{
    Options options = Options::defaults();
    options.firehost = QStringLiteral("gate.local");
    options.FirePortPos = 1080;
    options.FireType = Options::OpenHost;
    TSiteObject site;
    site.Anonymous = false;
    site.Username = QStringLiteral("ann");
    site.Firewall = 1;
    site.Bookmarks = QStringLiteral("pub\r\\pub\\\nhome\r\\home\\ann\\");
    SiteConnection c = SiteConnection::fromSite(site, options);
    EXPECT_EQ(c.Username, QStringLiteral("ann"));
    EXPECT_FALSE(c.needsUsername);
    EXPECT_TRUE(c.needsPassword);
    EXPECT_EQ(c.session.FirewallHost, QStringLiteral("gate.local"));
    EXPECT_EQ(c.session.FirewallPort, 1080);
    EXPECT_EQ(c.session.FirewallType, 2);
    EXPECT_EQ(c.bookmarks,
              (QStringList{QStringLiteral("pub\r\\pub\\"), QStringLiteral("home\r\\home\\ann\\")}));

    site.Username.clear();
    site.Password = QStringLiteral("secret");
    site.Bookmarks = QStringLiteral("no carriage return here");
    c = SiteConnection::fromSite(site, options);
    EXPECT_TRUE(c.needsUsername);
    EXPECT_FALSE(c.needsPassword);
    EXPECT_EQ(c.Password, QStringLiteral("secret"));
    EXPECT_TRUE(c.bookmarks.isEmpty());
}
