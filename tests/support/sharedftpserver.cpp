#include "support/sharedftpserver.h"

#include <QCoreApplication>
#include <QDir>

#include <map>
#include <memory>

namespace ovtest {

namespace {
std::map<FtpTestServer::Kind, std::unique_ptr<FtpTestServer>> servers;
} // namespace

FtpTestServer *sharedFtpServer(FtpTestServer::Kind kind)
{
    std::unique_ptr<FtpTestServer> &server = servers[kind];
    if (!server) {
        // Stopped while the application still runs, not by the static destructors after it.
        static const bool stopsAtTheEnd = (qAddPostRoutine([] { servers.clear(); }), true);
        Q_UNUSED(stopsAtTheEnd);
        if (kind == FtpTestServer::Kind::Vsftpd)
            server = std::make_unique<VsftpdServer>();
        else
            server = std::make_unique<PyftpdlibServer>();
        if (const ::testing::AssertionResult started = server->start(); !started) {
            ADD_FAILURE() << started.message();
            server.reset();
            return nullptr;
        }
    }
    const QDir root(server->userRoot());
    for (const QFileInfo &entry :
         root.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
        const QString path = entry.filePath();
        if (!(entry.isDir() && !entry.isSymLink() ? QDir(path).removeRecursively()
                                                  : QFile::remove(path)))
            ADD_FAILURE() << "cannot empty " << path.toStdString();
    }
    return server.get();
}

} // namespace ovtest
