#include "support/testcertificates.h"

#include "support/files.h"
#include "support/vsftpdserver.h"

#include <QProcess>

namespace ovtest {

namespace {

const char *const Names[] = {"signed", "other", "self", "expired"};

// Run in the folder; the expired certificate ended a day before it began.
const char Script[] = R"sh(set -e
chmod 705 .
subject='/CN=127.0.0.1/O=Orvane test host'
echo subjectAltName=IP:127.0.0.1 > server.ext
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 30 \
    -subj '/CN=Orvane test authority'
openssl req -x509 -newkey rsa:2048 -nodes -keyout self.key -out self.pem -days 30 \
    -addext subjectAltName=IP:127.0.0.1 -subj "$subject"
for name in signed other expired; do
    days=30; if [ $name = expired ]; then days=-1; fi
    openssl req -newkey rsa:2048 -nodes -keyout $name.key -out $name.csr -subj "$subject"
    openssl x509 -req -in $name.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out $name.pem \
        -extfile server.ext -days $days
done
for name in signed other self expired; do
    openssl x509 -in $name.pem -noout -fingerprint -sha256 > $name.sha256
done
)sh";

} // namespace

::testing::AssertionResult TestCertificates::make()
{
    QProcess shell;
    shell.setWorkingDirectory(m_dir.path());
    shell.setProcessChannelMode(QProcess::MergedChannels);
    shell.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QString::fromLatin1(Script)});
    if (m_dir.isValid() && shell.waitForFinished(60000)
        && shell.exitStatus() == QProcess::NormalExit && shell.exitCode() == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "openssl failed:\n" << shell.readAll().toStdString();
}

QString TestCertificates::file(Kind kind, const char *suffix) const
{
    return m_dir.filePath(QLatin1String(Names[kind]) + QLatin1String(suffix));
}

QString TestCertificates::fingerprint(Kind kind) const
{
    // sha256 Fingerprint=AB:CD:...
    const QString line = QString::fromLatin1(readFile(file(kind, ".sha256")));
    return line.section(u'=', 1).trimmed().remove(u':').toLower();
}

void enableVsftpdTls(VsftpdServer &server,
                     const TestCertificates &certificates,
                     TestCertificates::Kind kind)
{
    const QString forced = QStringLiteral("ssl_enable allow_anon_ssl force_anon_logins_ssl "
                                          "force_anon_data_ssl force_local_logins_ssl "
                                          "force_local_data_ssl require_ssl_reuse");
    for (const QString &name : forced.split(u' '))
        server.setOption(name, QStringLiteral("YES"));
    server.setOption(QStringLiteral("ssl_ciphers"), QStringLiteral("HIGH"));
    server.setOption(QStringLiteral("rsa_cert_file"), certificates.certificate(kind));
    server.setOption(QStringLiteral("rsa_private_key_file"), certificates.key(kind));
}

} // namespace ovtest
