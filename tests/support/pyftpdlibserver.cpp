#include "support/pyftpdlibserver.h"

#include "support/files.h"

#include <QDir>

namespace ovtest {

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
    if (!QDir().mkpath(userRoot()))
        return ::testing::AssertionFailure() << "cannot create a temporary folder";
    QStringList arguments{QStringLiteral(ORVANE_TEST_PEERS_DIR "/pyftpd_server.py")};
    arguments << "--root" << userRoot() << "--user" << userName() << "--password" << password()
              << "--ready-file" << m_peer.path("ready.txt") << "--log" << m_peer.path("pyftpd.log");
    return m_peer.startPython(
            arguments + m_options, QStringLiteral("ready.txt"), timeoutMs, &m_port);
}

QStringList PyftpdlibServer::commands() const
{
    // 2026-12-06 13:55:42,070 127.0.0.1:55854-[anonymous] <- RETR a.txt
    return m_peer.linesAfter(QStringLiteral("pyftpd.log"), "] <- ");
}

} // namespace ovtest
