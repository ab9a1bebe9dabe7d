// The window and a host whose certificate cannot be verified: Quick connect shows the
// certificate question before anything of the login is sent; cancelling disconnects, trusting
// the certificate for the session connects, and the status bar shows the lock. A saved site
// trusted always keeps the fingerprint in its store and asks no more, until the host shows
// another certificate.
#include "windowdriver.h"

#include "settings/registry.h"
#include "sites/sitestore.h"
#include "support/testcertificates.h"
#include "ui/certificatedialog.h"
#include "ui/siteconnector.h"

using ovtest::TestCertificates;
using ovtest::VsftpdServer;

namespace {

int loginCommands(const VsftpdServer &server)
{
    return int(server.commands()
                       .filter(QRegularExpression(QStringLiteral("^(USER|PASS) "),
                                                  QRegularExpression::CaseInsensitiveOption))
                       .size());
}

CertificateDialog *waitForQuestion(TForm1 &form)
{
    if (!QTest::qWaitFor([&] { return form.findChild<CertificateDialog *>() != nullptr; }, 15000))
        return nullptr;
    return form.findChild<CertificateDialog *>();
}

} // namespace

TEST(CertificateQuestion, QuickConnectAsksThenConnectsWithTheLockShown)
{
    TestCertificates certificates;
    ASSERT_TRUE(certificates.make());
    VsftpdServer server;
    ovtest::enableVsftpdTls(server, certificates, TestCertificates::SelfSigned);
    ASSERT_TRUE(server.start());
    server.createUserFile("top.txt", "top");
    auto form = showForm();

    // Cancel: the session ends, and the host never saw the login.
    quickConnect(*form, server.port());
    CertificateDialog *question = waitForQuestion(*form);
    ASSERT_TRUE(question);
    EXPECT_TRUE(question->Details->text().contains(
            CertificateInfo::spaced(certificates.fingerprint(TestCertificates::SelfSigned))))
            << question->Details->text().toStdString();
    EXPECT_TRUE(question->Details->text().contains(QStringLiteral("Orvane test host")));
    EXPECT_FALSE(question->TrustAlwaysButton->isVisible()); // Quick connect keeps no site
    QTest::mouseClick(question->CancelButton, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->findChild<CertificateDialog *>() == nullptr; },
                                5000));
    ASSERT_TRUE(QTest::qWaitFor(
            [&] { return form->engine()->MainFTP()->State() == csNotConnected; }, 10000));
    EXPECT_EQ(loginCommands(server), 0) << server.commands().join('\n').toStdString();
    EXPECT_FALSE(form->statLock->isVisible());

    // Trust for this session: the login goes on, the host's folder is listed, the lock shows.
    quickConnect(*form, server.port());
    question = waitForQuestion(*form);
    ASSERT_TRUE(question);
    EXPECT_EQ(loginCommands(server), 0);
    QTest::mouseClick(question->TrustSessionButton, Qt::LeftButton);
    ASSERT_TRUE(waitForHostList(*form, "\\", {"top.txt"}));
    EXPECT_TRUE(form->statLock->isVisible());
    EXPECT_TRUE(logLines(*form).join('\n').contains(QStringLiteral("TLS established")));

    // The saved site "Tls", connected from a store read afresh each time; Trust always is
    // pressed when the question comes. What the question said, and the pin in the store once
    // connected (before anything else writes the store).
    QTemporaryDir dir;
    const QString storePath = dir.filePath("registry.json");
    TSiteObject site;
    site.Host = "127.0.0.1";
    site.Anonymous = false;
    site.Username = VsftpdServer::userName();
    site.Password = VsftpdServer::password();
    site.PassiveMode = true;
    auto tree = SiteNode::makeRoot(SiteStore::rootText());
    tree->addSite("Tls", site);
    Registry written(storePath);
    ASSERT_TRUE(SiteStore(written).saveTree(*tree));
    QString asked, pinned;
    const auto connectSaved = [&](VsftpdServer &host) {
        form->engine()->DisconnectMain();
        ASSERT_TRUE(QTest::qWaitFor(
                [&] { return form->engine()->MainFTP()->State() == csNotConnected; }, 10000));
        Registry registry(storePath);
        const Options options = Options::defaults();
        SiteConnector sites(*form->engine(), registry, options, form.get());
        QObject::connect(
                form.get(), &TForm1::certificatePinned, &sites, &SiteConnector::pinCertificate);
        const std::unique_ptr<TSiteMgr> manager(sites.siteManager());
        manager->FormCreate();
        siteNode(manager.get(), "Tls")->site()->Port = host.port();
        asked.clear();
        const int logins = loginCommands(host);
        UserScript script;
        script.on<CertificateDialog>([&](CertificateDialog *question) {
            asked = question->Details->text();
            EXPECT_EQ(loginCommands(host), logins);
            QTest::mouseClick(question->TrustAlwaysButton, Qt::LeftButton);
        });
        ASSERT_TRUE(sites.connectSitePath("Tls"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return form->engine()->MainFTP()->LoggedIn(); }, 15000));
        ASSERT_TRUE(waitForHostList(*form, "\\", {"top.txt"}))
                << logLines(*form).join('\n').toStdString();
        Registry reread(storePath);
        pinned = SiteStore(reread).loadTree().root->child(0)->site()->CertificateFingerprint;
    };
    const QString first = certificates.fingerprint(TestCertificates::SelfSigned);
    ASSERT_NO_FATAL_FAILURE(connectSaved(server));
    EXPECT_TRUE(asked.contains(CertificateInfo::spaced(first))) << asked.toStdString();
    EXPECT_EQ(pinned, first);

    // The host now shows another certificate: refused until accepted, which replaces the pin.
    VsftpdServer changed;
    ovtest::enableVsftpdTls(changed, certificates, TestCertificates::OtherSigned);
    ASSERT_TRUE(changed.start());
    changed.createUserFile("top.txt", "top");
    const QString second = certificates.fingerprint(TestCertificates::OtherSigned);
    ASSERT_NO_FATAL_FAILURE(connectSaved(changed));
    EXPECT_TRUE(asked.contains(CertificateInfo::spaced(first))
                && asked.contains(CertificateInfo::spaced(second)))
            << asked.toStdString();
    EXPECT_EQ(pinned, second);
}
