// The window and a host whose certificate cannot be verified: Quick connect shows the
// certificate question before anything of the login is sent; cancelling disconnects, trusting
// the certificate for the session connects, and the status bar shows the lock.
#include "windowdriver.h"

#include "support/testcertificates.h"
#include "ui/certificatedialog.h"

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
    QTest::qWaitFor([&] { return form.findChild<CertificateDialog *>() != nullptr; }, 15000);
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
}
