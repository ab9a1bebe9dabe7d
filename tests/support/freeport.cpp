#include "support/freeport.h"

#include <QHostAddress>
#include <QRandomGenerator>
#include <QTcpServer>

#include <memory>
#include <vector>

namespace ovtest {

namespace {
constexpr int RangeLow = 20000;
constexpr int RangeHigh = 32000;
constexpr int RangeAttempts = 200;
} // namespace

quint16 freePort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 0;
    return server.serverPort();
}

quint16 freePortRange(int count)
{
    for (int attempt = 0; attempt < RangeAttempts; ++attempt) {
        const int first = QRandomGenerator::global()->bounded(RangeLow, RangeHigh - count);
        std::vector<std::unique_ptr<QTcpServer>> held;
        bool allFree = true;
        for (int port = first; port < first + count && allFree; ++port) {
            auto server = std::make_unique<QTcpServer>();
            allFree = server->listen(QHostAddress::LocalHost, quint16(port));
            held.push_back(std::move(server));
        }
        if (allFree)
            return quint16(first);
    }
    return 0;
}

} // namespace ovtest
