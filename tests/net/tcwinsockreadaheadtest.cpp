// TcWinsock's reads underneath the 4096-byte slices: a peer that sends a burst and then stays
// silent (and open) must still see every byte handed out, because the socket announces bytes it
// read ahead without waiting for another poll.
#include "net/tcwinsock.h"

#include "support/eventwait.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <memory>

TEST(TcWinsockReadAhead, BurstFromASilentPeerArrivesWholeInSlices)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    TcWinsock socket;
    socket.setIP(QStringLiteral("127.0.0.1"));
    socket.setPort(QString::number(server.serverPort()));
    socket.PrepareConnection();
    socket.Connect();
    ASSERT_TRUE(ovtest::waitFor([&] { return server.hasPendingConnections(); }, 5000));
    std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());
    ASSERT_TRUE(ovtest::waitFor([&] { return socket.State() == cwConnected; }, 5000));

    // Sizes around the read-ahead block: less than one, several, and not a multiple of 4096.
    QByteArray sent;
    for (int i = 0; i < 300 * 1024 + 123; ++i)
        sent.append(char('a' + (i * 13 + i / 7) % 26));
    QByteArray received;
    int notices = 0;
    qsizetype largestSlice = 0;
    // One Receive per notice, as the session's handlers do.
    QObject::connect(&socket, &TcWinsock::dataAvailable, [&] {
        ++notices;
        const QByteArray slice = socket.Receive();
        largestSlice = qMax(largestSlice, slice.size());
        received += slice;
    });
    peer->write(sent);
    ASSERT_TRUE(ovtest::waitFor([&] { return received.size() >= sent.size(); }, 10000))
            << received.size() << " of " << sent.size() << " bytes after " << notices << " notices";
    EXPECT_EQ(received, sent);
    EXPECT_LE(largestSlice, 4096);
    EXPECT_EQ(socket.State(), cwConnected);

    // A Receive made outside a notice leaves bytes in the buffer: they are announced anyway.
    QObject::disconnect(&socket, &TcWinsock::dataAvailable, nullptr, nullptr);
    received.clear();
    bool noticed = false;
    QObject::connect(&socket, &TcWinsock::dataAvailable, [&] { noticed = true; });
    peer->write(sent.left(20000));
    ASSERT_TRUE(ovtest::waitFor([&] { return noticed; }, 5000));
    noticed = false;
    received += socket.Receive();
    EXPECT_EQ(socket.BytesAvailable(), 20000 - received.size());
    ASSERT_TRUE(ovtest::waitFor([&] { return noticed; }, 5000));

    // The peer's close comes after the last byte. That notice went unanswered: the owner's
    // next Receive brings the rest.
    QObject::disconnect(&socket, &TcWinsock::dataAvailable, nullptr, nullptr);
    QObject::connect(&socket, &TcWinsock::dataAvailable, [&] { received += socket.Receive(); });
    peer->disconnectFromHost();
    received += socket.Receive();
    ASSERT_TRUE(ovtest::waitFor([&] { return socket.State() == cwNotConnected; }, 5000));
    EXPECT_EQ(received, sent.left(20000));
}
