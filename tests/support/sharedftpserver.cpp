#include "support/sharedftpserver.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <map>

namespace ovtest {

namespace {

std::map<FtpTestServer::Kind, std::unique_ptr<FtpTestServer>> &servers()
{
    static std::map<FtpTestServer::Kind, std::unique_ptr<FtpTestServer>> running;
    return running;
}

void stopAll()
{
    servers().clear();
}

} // namespace

FtpTestServer *sharedFtpServer(FtpTestServer::Kind kind)
{
    std::unique_ptr<FtpTestServer> &server = servers()[kind];
    if (!server) {
        static const bool stopsAtTheEnd = (qAddPostRoutine(stopAll), true);
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
