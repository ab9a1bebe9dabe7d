#include "support/sharedftpserver.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <map>

namespace ovtest {

namespace {
std::map<FtpTestServer::Kind, std::unique_ptr<FtpTestServer>> servers;
} // namespace

std::unique_ptr<FtpTestServer> FtpTestServer::create(Kind kind)
{
    if (kind == Kind::Vsftpd)
        return std::make_unique<VsftpdServer>();
    return std::make_unique<PyftpdlibServer>();
}

std::string FtpTestServer::testName(const ::testing::TestParamInfo<Kind> &info)
{
    return info.param == Kind::Vsftpd ? "Vsftpd" : "Pyftpdlib";
}

QString FtpTestServer::userPath(const QString &relativePath) const
{
    return relativePath.isEmpty() ? userRoot() : userRoot() + u'/' + relativePath;
}

FtpTestServer *sharedFtpServer(FtpTestServer::Kind kind)
{
    std::unique_ptr<FtpTestServer> &server = servers[kind];
    if (!server) {
        // Stopped while the application still runs, not by the static destructors after it.
        static const bool stopsAtTheEnd = (qAddPostRoutine([] { servers.clear(); }), true);
        Q_UNUSED(stopsAtTheEnd);
        server = FtpTestServer::create(kind);
        if (const ::testing::AssertionResult started = server->start(); !started) {
            ADD_FAILURE() << started.message();
            server.reset();
            return nullptr;
        }
    }
    const QDir root(server->userRoot());
    for (const QString &name :
         root.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
        const QString path = root.filePath(name);
        if (!(QFileInfo(path).isDir() && !QFileInfo(path).isSymLink()
                      ? QDir(path).removeRecursively()
                      : QFile::remove(path)))
            ADD_FAILURE() << "cannot empty " << path.toStdString();
    }
    return server.get();
}

} // namespace ovtest
