// orvane-ftp-cli --site: a saved site's address, folder and sessions, with its password in the
// desktop keyring or under the master password, against vsftpd on 127.0.0.1 with its real login.
#include "settings/registry.h"
#include "sites/keyringstore.h"
#include "sites/passwordvault.h"
#include "sites/sitestore.h"
#include "support/clirun.h"
#include "support/eventwait.h"
#include "support/files.h"
#include "support/secretservice.h"
#include "support/sharedftpserver.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ovtest;

namespace {

// Saves one site logging in to vsftpd with three sessions, its password kept by vault.
void saveSite(const VsftpdServer &vsftpd, PasswordVault *vault, Registry &registry)
{
    auto root = SiteNode::makeRoot(SiteStore::rootText());
    TSiteObject site;
    site.Host = QStringLiteral("127.0.0.1");
    site.Port = vsftpd.port();
    site.Anonymous = false;
    site.Username = VsftpdServer::userName();
    site.Password = VsftpdServer::password();
    site.PassiveMode = true;
    site.InitialPath = QStringLiteral("\\keyring\\");
    site.Tasks = 3;
    root->addFolder(QStringLiteral("Hosts"))->addSite(QStringLiteral("Local"), site);
    QString error;
    ASSERT_TRUE(SiteStore(registry, vault).saveTree(*root, &error)) << error.toStdString();
}

} // namespace

TEST(CliSitePasswords, FromTheKeyringAndUnderTheMasterPassword)
{
    QString error;
    ASSERT_TRUE(SecretService::ensure(&error)) << error.toStdString();
    VsftpdServer *vsftpd = sharedVsftpd();
    ASSERT_TRUE(vsftpd);
    vsftpd->createUserFile(QStringLiteral("keyring/here.txt"), QByteArray("x"));
    const QStringList listHome = {"--site", "Hosts\\Local", "ls", "/keyring/"};

    QTemporaryDir keyringConfig;
    {
        Registry registry(keyringConfig.filePath(QStringLiteral("Orvane FTP/registry.json")));
        KeyringStore keyring;
        PasswordVault vault(registry, &keyring);
        saveSite(*vsftpd, &vault, registry);
    }
    CliRunOptions options; // the test keyring's bus
    options.environment.insert(QStringLiteral("XDG_CONFIG_HOME"), keyringConfig.path());
    CliRun run = runCli(listHome, options);
    EXPECT_EQ(run.exitStatus, 0) << run.describe();
    EXPECT_TRUE(run.out.contains("here.txt")) << run.describe();
    // No keyring on the bus: the reason, and the operation's failure status.
    options.environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                               "unix:path=" + keyringConfig.filePath(QStringLiteral("nobus")));
    run = runCli(listHome, options);
    EXPECT_EQ(run.exitStatus, 1) << run.describe();
    EXPECT_TRUE(run.err.contains("kept in the desktop keyring, but")) << run.describe();

    QTemporaryDir masterConfig;
    {
        Registry registry(masterConfig.filePath(QStringLiteral("Orvane FTP/registry.json")));
        PasswordVault vault(registry, nullptr);
        ASSERT_TRUE(vault.setMasterPassword(QStringLiteral("open sesame")));
        saveSite(*vsftpd, &vault, registry);
    }
    options.environment.insert(QStringLiteral("XDG_CONFIG_HOME"), masterConfig.path());
    options.environment.insert(QStringLiteral("OV_MASTER"), QStringLiteral("open sesame"));
    options.environment.insert(QStringLiteral("OV_WRONG"), QStringLiteral("open says me"));
    run = runCli(QStringList{"--master-password-env", "OV_MASTER"} + listHome, options);
    EXPECT_EQ(run.exitStatus, 0) << run.describe();
    EXPECT_TRUE(run.out.contains("here.txt")) << run.describe();
    // A path below the initial folder, the site's name in any case; the sessions the site asks
    // for, the main session's lines numbered.
    QTemporaryDir local;
    run = runCliWords("-v --master-password-env OV_MASTER --site hosts\\LOCAL get here.txt "
                              + local.filePath("here.txt"),
                      options);
    EXPECT_EQ(run.exitStatus, 0) << run.describe();
    EXPECT_EQ(readFile(local.filePath("here.txt")), "x");
    EXPECT_TRUE(run.out.contains("<<: (00) user " + VsftpdServer::userName().toUtf8()))
            << run.describe();
    EXPECT_TRUE(run.out.contains("<<: (01) epsv")) << run.describe();
    EXPECT_FALSE(run.out.contains(VsftpdServer::password().toUtf8())) << run.describe();
    // A site that is not there, a folder that is not a site.
    for (const QString missing : {"Hosts\\Nowhere", "Hosts"}) {
        run = runCli({"--master-password-env", "OV_MASTER", "--site", missing, "ls", "/"}, options);
        EXPECT_EQ(run.exitStatus, 1) << run.describe();
        EXPECT_TRUE(run.err.contains(missing.toUtf8())) << run.describe();
    }
    // clang-format off
    const struct { QStringList arguments; const char *reason; } failing[] = {
            {{"--master-password-env=OV_WRONG"}, "the master password given is wrong (environment variable 'OV_WRONG')"},
            {{"--master-password-env", "OV_UNSET"}, "environment variable 'OV_UNSET' (from --master-password-env) is not set"},
            {{}, "which was not given (name a variable holding it with --master-password-env)"},
    };
    // clang-format on
    for (const auto &c : failing) {
        SCOPED_TRACE(c.reason);
        run = runCli(c.arguments + listHome, options);
        EXPECT_EQ(run.exitStatus, 1) << run.describe();
        EXPECT_TRUE(run.err.contains(c.reason)) << run.describe();
        EXPECT_TRUE(run.err.contains("'Hosts\\Local'")) << run.describe();
    }

    // A keyring that never answers: the wait is bounded, then the reason.
    QProcess bus;
    bus.start("dbus-daemon",
              {"--session",
               "--nofork",
               "--print-address=1",
               "--address=unix:path=" + masterConfig.filePath(QStringLiteral("silentbus"))});
    ASSERT_TRUE(bus.waitForStarted(5000));
    ASSERT_TRUE(waitFor([&] { return bus.canReadLine(); }, 10000));
    const QString silentBus = QString::fromLatin1(bus.readLine()).trimmed();
    QProcess silent;
    silent.start("/usr/bin/python3",
                 {ORVANE_TEST_PEERS_DIR "/silent_secret_service.py", silentBus});
    ASSERT_TRUE(waitFor([&] { return silent.canReadLine(); }, 10000))
            << silent.readAllStandardError().toStdString();
    options.environment.insert(QStringLiteral("XDG_CONFIG_HOME"), keyringConfig.path());
    options.environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), silentBus);
    run = runCli(listHome, options);
    EXPECT_EQ(run.exitStatus, 1) << run.describe();
    EXPECT_TRUE(run.err.contains("did not answer within")) << run.describe();
    for (QProcess *process : {&silent, &bus}) {
        process->kill();
        process->waitForFinished(3000);
    }
    // Usage stays a usage error.
    run = runCli({"--master-password-env"}, options);
    EXPECT_EQ(run.exitStatus, 2) << run.describe();
}
