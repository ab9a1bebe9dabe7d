#include "support/testcertificates.h"

#include "support/vsftpdserver.h"

#include <QFile>
#include <QProcess>

namespace ovtest {

namespace {

const char *baseName(TestCertificates::Kind kind)
{
    switch (kind) {
    case TestCertificates::Signed:
        return "signed";
    case TestCertificates::OtherSigned:
        return "other";
    case TestCertificates::SelfSigned:
        return "self";
    case TestCertificates::Expired:
        return "expired";
    }
    return "signed";
}

// Runs openssl in folder; false with its output in *error when it fails.
bool openssl(const QString &folder, const QStringList &arguments, QString *output)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("openssl"), arguments);
    const bool ok = process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit
                    && process.exitCode() == 0;
    *output = QString::fromLocal8Bit(process.readAll());
    return ok;
}

} // namespace

::testing::AssertionResult TestCertificates::make()
{
    if (!m_dir.isValid())
        return ::testing::AssertionFailure() << "no temporary folder";
    const QString folder = m_dir.path();
    QFile::setPermissions(folder,
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
                                  | QFile::ExeOther);
    QFile extensions(m_dir.filePath(QStringLiteral("server.ext")));
    if (!extensions.open(QIODevice::WriteOnly)
        || extensions.write("subjectAltName=IP:127.0.0.1\n") < 0)
        return ::testing::AssertionFailure() << "cannot write server.ext";
    extensions.close();
    const QString subject = QStringLiteral("/CN=127.0.0.1/O=Orvane test host");
    const auto words = [](const QString &line) {
        return line.split(QLatin1Char(' '));
    };
    const QList<QStringList> steps{
            words("req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 30 -subj")
                    << "/CN=Orvane test authority",
            words("req -x509 -newkey rsa:2048 -nodes -keyout self.key -out self.pem -days 30 "
                  "-addext subjectAltName=IP:127.0.0.1 -subj")
                    << subject,
    };
    QString output;
    for (const QStringList &step : steps) {
        if (!openssl(folder, step, &output))
            return ::testing::AssertionFailure()
                   << "openssl " << step.join(' ').toStdString() << ":\n"
                   << output.toStdString();
    }
    // Signed by the authority; the expired one ended a day before it began.
    for (const Kind kind : {Signed, OtherSigned, Expired}) {
        const QString name = QLatin1String(baseName(kind));
        const QStringList request
                = words(QStringLiteral(
                                "req -newkey rsa:2048 -nodes -keyout %1.key -out %1.csr -subj")
                                .arg(name))
                  << subject;
        const QStringList sign = words(
                QStringLiteral("x509 -req -in %1.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out "
                               "%1.pem -extfile server.ext -days %2")
                        .arg(name, kind == Expired ? QStringLiteral("-1") : QStringLiteral("30")));
        if (!openssl(folder, request, &output) || !openssl(folder, sign, &output))
            return ::testing::AssertionFailure()
                   << "openssl " << sign.join(' ').toStdString() << ":\n"
                   << output.toStdString();
    }
    return ::testing::AssertionSuccess();
}

QString TestCertificates::authority() const
{
    return m_dir.filePath(QStringLiteral("ca.pem"));
}

QString TestCertificates::certificate(Kind kind) const
{
    return m_dir.filePath(QLatin1String(baseName(kind)) + QStringLiteral(".pem"));
}

QString TestCertificates::key(Kind kind) const
{
    return m_dir.filePath(QLatin1String(baseName(kind)) + QStringLiteral(".key"));
}

QString TestCertificates::fingerprint(Kind kind) const
{
    QString output;
    if (!openssl(m_dir.path(),
                 {"x509", "-in", certificate(kind), "-noout", "-fingerprint", "-sha256"},
                 &output))
        return {};
    // sha256 Fingerprint=AB:CD:...
    return output.section(QLatin1Char('='), 1).trimmed().remove(QLatin1Char(':')).toLower();
}

void enableVsftpdTls(VsftpdServer &server,
                     const TestCertificates &certificates,
                     TestCertificates::Kind kind)
{
    const QList<QPair<QString, QString>> options{
            {"ssl_enable", "YES"},
            {"allow_anon_ssl", "YES"},
            {"force_anon_logins_ssl", "YES"},
            {"force_anon_data_ssl", "YES"},
            {"force_local_logins_ssl", "YES"},
            {"force_local_data_ssl", "YES"},
            {"require_ssl_reuse", "YES"},
            {"ssl_ciphers", "HIGH"},
            {"rsa_cert_file", certificates.certificate(kind)},
            {"rsa_private_key_file", certificates.key(kind)},
    };
    for (const auto &[name, value] : options)
        server.setOption(name, value);
}

} // namespace ovtest
