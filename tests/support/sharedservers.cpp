#include "support/sharedservers.h"

#include <QCoreApplication>

namespace ovtest {

namespace {

template<typename Server>
Server *shared()
{
    static Server *server = nullptr;
    if (server && server->isRunning())
        return server;
    if (!server) {
        server = new Server;
        // Stopped while the application object still exists: its processes need the event loop.
        qAddPostRoutine([] {
            delete server;
            server = nullptr;
        });
    }
    const ::testing::AssertionResult started = server->start();
    if (!started) {
        ADD_FAILURE() << started.message();
        return nullptr;
    }
    return server;
}

} // namespace

VsftpdServer *sharedVsftpd()
{
    return shared<VsftpdServer>();
}

PyftpdlibServer *sharedPyftpdlib()
{
    return shared<PyftpdlibServer>();
}

} // namespace ovtest
