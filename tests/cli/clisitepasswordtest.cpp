// orvane-ftp-cli --site with the site's password in the desktop keyring or under the master
// password, against vsftpd on 127.0.0.1 with its real login.
#include "settings/registry.h"
#include "sites/keyringstore.h"
#include "sites/passwordvault.h"
#include "sites/sitestore.h"
#include "support/eventwait.h"
#include "support/secretservice.h"
#include "support/vsftpdserver.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using ovtest::VsftpdServer;

namespace {

struct CliResult
{
    int status = -1;
    QString out;
    QString err;
    std::string text() const { return (out + QStringLiteral("\n---\n") + err).toStdString(); }
};

// Standard input is a pipe, never a terminal: the program must not wait on it.
CliResult runCli(const QStringList &arguments, const QProcessEnvironment &env)
{
    CliResult run;
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(ORVANE_BINARY_DIR "/src/orvane-ftp-cli"), arguments);
    if (!process.waitForStarted(5000))
        return run;
    if (!ovtest::waitFor([&] { return process.state() == QProcess::NotRunning; }, 60000)) {
        process.kill();
        process.waitForFinished(5000);
        return run;
    }
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// Saves one site logging in to vsftpd, its password kept by vault.
void saveSite(const QString &registryFile,
              const VsftpdServer &vsftpd,
              PasswordVault *vault,
              Registry &registry)
{
    auto root = SiteNode::makeRoot(SiteStore::rootText());
    TSiteObject site;
    site.Host = QStringLiteral("127.0.0.1");
    site.Port = vsftpd.port();
    site.Anonymous = false;
    site.Username = VsftpdServer::userName();
    site.Password = VsftpdServer::password();
    site.PassiveMode = true;
    root->addFolder(QStringLiteral("Hosts"))->addSite(QStringLiteral("Local"), site);
    QString error;
    ASSERT_TRUE(SiteStore(registry, vault).saveTree(*root, &error)) << error.toStdString();
    const QByteArray stored = [&] {
        QFile file(registryFile);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    ASSERT_FALSE(stored.contains(VsftpdServer::password().toUtf8()));
}

const QStringList listHome = {QStringLiteral("--site"),
                              QStringLiteral("Hosts\\Local"),
                              QStringLiteral("ls"),
                              QStringLiteral("/")};

} // namespace

TEST(CliSitePasswords, FromTheKeyringAndUnderTheMasterPassword)
{
    QString error;
    ASSERT_TRUE(ovtest::SecretService::ensure(&error)) << error.toStdString();
    VsftpdServer vsftpd;
    ASSERT_TRUE(vsftpd.start());
    vsftpd.createUserFile(QStringLiteral("here.txt"), QByteArray("x"));

    QTemporaryDir keyringConfig;
    const QString keyringFile = keyringConfig.filePath(QStringLiteral("Orvane FTP/registry.json"));
    {
        Registry registry(keyringFile);
        KeyringStore keyring;
        PasswordVault vault(registry, &keyring);
        saveSite(keyringFile, vsftpd, &vault, registry);
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment(); // the test keyring's bus
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), keyringConfig.path());
    CliResult run = runCli(listHome, env);
    EXPECT_EQ(run.status, 0) << run.text();
    EXPECT_TRUE(run.out.contains(QStringLiteral("here.txt"))) << run.text();
    // No keyring on the bus: the reason, and the operation's failure status.
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
               QStringLiteral("unix:path=") + keyringConfig.filePath(QStringLiteral("nobus")));
    run = runCli(listHome, env);
    EXPECT_EQ(run.status, 1) << run.text();
    EXPECT_TRUE(run.err.contains(QStringLiteral("kept in the desktop keyring, but"))) << run.text();

    QTemporaryDir masterConfig;
    const QString masterFile = masterConfig.filePath(QStringLiteral("Orvane FTP/registry.json"));
    {
        Registry registry(masterFile);
        PasswordVault vault(registry, nullptr);
        ASSERT_TRUE(vault.setMasterPassword(QStringLiteral("open sesame")));
        saveSite(masterFile, vsftpd, &vault, registry);
    }
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), masterConfig.path());
    env.insert(QStringLiteral("OV_MASTER"), QStringLiteral("open sesame"));
    env.insert(QStringLiteral("OV_WRONG"), QStringLiteral("open says me"));
    const QStringList withRight
            = QStringList{QStringLiteral("--master-password-env"), QStringLiteral("OV_MASTER")}
              + listHome;
    run = runCli(withRight, env);
    EXPECT_EQ(run.status, 0) << run.text();
    EXPECT_TRUE(run.out.contains(QStringLiteral("here.txt"))) << run.text();

    struct Case
    {
        QStringList arguments;
        QString reason;
    };
    const QList<Case> failing = {
            {QStringList{QStringLiteral("--master-password-env=OV_WRONG")} + listHome,
             QStringLiteral(
                     "the master password given is wrong (environment variable 'OV_WRONG')")},
            {QStringList{QStringLiteral("--master-password-env"), QStringLiteral("OV_UNSET")}
                     + listHome,
             QStringLiteral("environment variable 'OV_UNSET' (from --master-password-env) is not "
                            "set")},
            {listHome,
             QStringLiteral("which was not given (name a variable holding it with "
                            "--master-password-env)")},
    };
    for (const Case &c : failing) {
        run = runCli(c.arguments, env);
        EXPECT_EQ(run.status, 1) << run.text();
        EXPECT_TRUE(run.err.contains(c.reason)) << run.text();
        EXPECT_TRUE(run.err.contains(QStringLiteral("'Hosts\\Local'"))) << run.text();
    }
    // A keyring that never answers: the wait is bounded, then the reason.
    QProcess bus;
    QProcess silent;
    bus.start(QStringLiteral("dbus-daemon"),
              {QStringLiteral("--session"),
               QStringLiteral("--nofork"),
               QStringLiteral("--print-address=1"),
               QStringLiteral("--address=unix:path=")
                       + masterConfig.filePath(QStringLiteral("silentbus"))});
    ASSERT_TRUE(bus.waitForStarted(5000));
    ASSERT_TRUE(ovtest::waitFor([&] { return bus.canReadLine(); }, 10000));
    const QString silentBus = QString::fromLatin1(bus.readLine()).trimmed();
    silent.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral(ORVANE_TEST_PEERS_DIR "/silent_secret_service.py"), silentBus});
    ASSERT_TRUE(ovtest::waitFor([&] { return silent.canReadLine(); }, 10000))
            << silent.readAllStandardError().toStdString();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), keyringConfig.path());
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), silentBus);
    run = runCli(listHome, env);
    EXPECT_EQ(run.status, 1) << run.text();
    EXPECT_TRUE(run.err.contains(QStringLiteral("did not answer within"))) << run.text();
    silent.kill();
    bus.kill();
    silent.waitForFinished(3000);
    bus.waitForFinished(3000);

    // Usage stays a usage error.
    run = runCli(QStringList{QStringLiteral("--master-password-env")}, env);
    EXPECT_EQ(run.status, 2) << run.text();
}
