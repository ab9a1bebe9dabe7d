#include "support/pyftpdlibserver.h"

#include "support/files.h"

#include <QDir>
#include <QFile>

namespace ovtest {

namespace {
const char Python[] = "/usr/bin/python3";
const char UserName[] = "ovuser";
const char Password[] = "Orv4ne-py-test";
} // namespace

PyftpdlibServer::PyftpdlibServer() = default;

PyftpdlibServer::~PyftpdlibServer()
{
    stop();
}

QString PyftpdlibServer::userName()
{
    return QString::fromLatin1(UserName);
}

QString PyftpdlibServer::password()
{
    return QString::fromLatin1(Password);
}

QString PyftpdlibServer::root() const
{
    return m_dir ? m_dir->path() + QStringLiteral("/root") : QString();
}

QString PyftpdlibServer::path(const QString &relativePath) const
{
    return relativePath.isEmpty() ? root() : root() + u'/' + relativePath;
}

QString PyftpdlibServer::createFolder(const QString &relativePath) const
{
    const QString target = path(relativePath);
    if (!QDir().mkpath(target))
        ADD_FAILURE() << "cannot create the folder " << target.toStdString();
    return target;
}

QString PyftpdlibServer::createFile(const QString &relativePath, const QByteArray &content) const
{
    const QString target = path(relativePath);
    if (!writeFile(target, content))
        ADD_FAILURE() << "cannot write " << target.toStdString();
    return target;
}

::testing::AssertionResult PyftpdlibServer::start(int timeoutMs)
{
    stop();
    m_dir = std::make_unique<QTemporaryDir>(
            QDir::temp().filePath(QStringLiteral("orvane-pyftpd-XXXXXX")));
    if (!m_dir->isValid() || !QDir().mkpath(root()))
        return ::testing::AssertionFailure() << "cannot create a temporary folder";
    const QString readyFile = m_dir->filePath(QStringLiteral("ready.txt"));
    QStringList arguments{QStringLiteral(ORVANE_TEST_PEERS_DIR "/pyftpd_server.py"),
                          QStringLiteral("--root"),
                          root(),
                          QStringLiteral("--user"),
                          userName(),
                          QStringLiteral("--password"),
                          password(),
                          QStringLiteral("--port"),
                          QStringLiteral("0"),
                          QStringLiteral("--ready-file"),
                          readyFile,
                          QStringLiteral("--log"),
                          m_dir->filePath(QStringLiteral("pyftpd.log"))};
    if (!m_address.isEmpty())
        arguments << QStringLiteral("--address") << m_address;
    if (!m_tlsCertificate.isEmpty())
        arguments << QStringLiteral("--tls-cert") << m_tlsCertificate << QStringLiteral("--tls-key")
                  << m_tlsKey;
    QString error;
    m_port = m_process.startListening(QString::fromLatin1(Python),
                                      arguments,
                                      m_dir->filePath(QStringLiteral("output.txt")),
                                      readyFile,
                                      timeoutMs,
                                      &error);
    if (m_port == 0)
        return ::testing::AssertionFailure() << error.toStdString() << log().toStdString();
    return ::testing::AssertionSuccess();
}

void PyftpdlibServer::stop()
{
    m_process.stop();
}

QStringList PyftpdlibServer::commands() const
{
    // 2026-12-06 13:55:42,070 127.0.0.1:55854-[anonymous] <- RETR a.txt
    static const QByteArray marker = "] <- ";
    QStringList lines;
    if (!m_dir)
        return lines;
    QFile file(m_dir->filePath(QStringLiteral("pyftpd.log")));
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const qsizetype at = line.indexOf(marker);
        if (at >= 0)
            lines << QString::fromUtf8(line.mid(at + marker.size()));
    }
    return lines;
}

QString PyftpdlibServer::log() const
{
    QString text = m_process.output();
    if (m_dir) {
        QFile file(m_dir->filePath(QStringLiteral("pyftpd.log")));
        if (file.open(QIODevice::ReadOnly))
            text += QStringLiteral("--- pyftpd.log\n") + QString::fromUtf8(file.readAll());
    }
    return text;
}

} // namespace ovtest
