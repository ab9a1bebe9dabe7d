// TcWinsock against real loopback peers: its own listener, or Qt's TCP classes as the far end.
#include "net/tcwinsock.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Spins the event loop until done() holds or ms milliseconds have passed.
bool waitFor(const std::function<bool()> &done, int ms = 5000)
{
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

void spin(int ms)
{
    waitFor([] { return false; }, ms);
}

int exceptionNumber(const std::function<void()> &operation)
{
    try {
        operation();
    } catch (const TcWinsockException &e) {
        return e.number();
    }
    return 0;
}

// A port on which nobody listens right now.
quint16 unusedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QByteArray pattern(qsizetype size)
{
    QByteArray text(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        text[i] = char('a' + (i * 7 + i / 4096) % 26);
    return text;
}

// Records every state a socket reports.
struct StateLog
{
    explicit StateLog(TcWinsock &socket)
    {
        QObject::connect(
                &socket, &TcWinsock::stateChanged, [this](TcWinsockStates s) { states.append(s); });
    }
    bool saw(TcWinsockStates s) const { return states.contains(s); }
    bool repeats() const
    {
        for (qsizetype i = 1; i < states.size(); ++i) {
            if (states[i] == states[i - 1])
                return true;
        }
        return false;
    }
    QList<TcWinsockStates> states;
};

// A listener on a free port that accepts as soon as it is asked to, as the session does.
struct AcceptingListener
{
    AcceptingListener()
        : log(socket)
    {
        QObject::connect(&socket, &TcWinsock::stateChanged, [this](TcWinsockStates s) {
            if (s == cwAccepting)
                socket.Accept();
        });
        socket.setPort(QStringLiteral("0"));
        socket.Listen();
    }
    TcWinsock socket;
    StateLog log;
};

void connectTo(TcWinsock &client, const QString &port)
{
    client.setIP(QStringLiteral("127.0.0.1"));
    client.setPort(port);
    client.PrepareConnection();
    client.Connect();
}

} // namespace

TEST(TcWinsockTest, ExceptionCarriesNumberAndMessage)
{
    const TcWinsockException e(7221);
    EXPECT_EQ(e.number(), 7221);
    EXPECT_EQ(e.message(),
              QStringLiteral("cWinsock Exception # 7221 Raised.\r\r\nPlease Report to Author."));
    EXPECT_STREQ(e.what(), "cWinsock Exception # 7221 Raised.\r\r\nPlease Report to Author.");
    EXPECT_EQ(TcWinsockException(124321).message().left(30),
              QStringLiteral("cWinsock Exception # 124321 Ra"));
}

TEST(TcWinsockTest, ConnectsToOwnListenerAndExchangesBytesBothWays)
{
    AcceptingListener server;
    EXPECT_EQ(server.socket.State(), cwListening);
    const QString port = server.socket.LocalPort();
    ASSERT_GT(port.toInt(), 0);

    TcWinsock client;
    EXPECT_EQ(client.State(), cwNotConnected);
    StateLog clientLog(client);
    int clientNeeds = 0;
    QObject::connect(&client, &TcWinsock::dataNeeded, [&] { ++clientNeeds; });
    QByteArray atClient, atServer;
    QObject::connect(&client, &TcWinsock::dataAvailable, [&] { atClient += client.Receive(); });
    QObject::connect(&server.socket, &TcWinsock::dataAvailable, [&] {
        atServer += server.socket.Receive();
    });

    client.setIP(QStringLiteral("127.0.0.1"));
    client.setPort(port);
    client.PrepareConnection();
    // A dotted address needs no lookup.
    EXPECT_EQ(clientLog.states, QList<TcWinsockStates>{cwReadyToConnect});
    EXPECT_EQ(client.PeerAddress(), QStringLiteral("127.0.0.1"));
    client.Connect();
    EXPECT_EQ(client.State(), cwConnecting);

    ASSERT_TRUE(waitFor(
            [&] { return client.State() == cwConnected && server.socket.State() == cwConnected; }));
    EXPECT_EQ(clientLog.states,
              (QList<TcWinsockStates>{cwReadyToConnect, cwConnecting, cwConnected}));
    EXPECT_EQ(server.log.states, (QList<TcWinsockStates>{cwListening, cwAccepting, cwConnected}));
    // Room for sending is reported once after the connect, not over and over.
    ASSERT_TRUE(waitFor([&] { return clientNeeds > 0; }));
    spin(100);
    EXPECT_EQ(clientNeeds, 1);

    // What a PORT command announces: the connection's local address and the listener's port.
    EXPECT_EQ(client.LocalAddress(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(server.socket.LocalAddress(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(server.socket.PeerAddress(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(server.socket.LocalPort(), port);
    EXPECT_EQ(client.LocalPort(), QStringLiteral("0"));

    EXPECT_EQ(client.Send("USER anonymous\r\n"), 16);
    ASSERT_TRUE(waitFor([&] { return atServer.size() == 16; }));
    EXPECT_EQ(atServer, QByteArray("USER anonymous\r\n"));
    EXPECT_EQ(server.socket.Send("331 Password please.\r\n"), 22);
    ASSERT_TRUE(waitFor([&] { return atClient.size() == 22; }));
    EXPECT_EQ(atClient, QByteArray("331 Password please.\r\n"));

    // A listener carries one connection: a stray second caller does not take the state away.
    QTcpSocket stray;
    stray.connectToHost(QHostAddress::LocalHost, quint16(port.toUInt()));
    ASSERT_TRUE(waitFor([&] { return stray.state() == QAbstractSocket::ConnectedState; }));
    spin(200);
    EXPECT_EQ(server.socket.State(), cwConnected);

    // The client leaves; the server sees the close and reports it once.
    client.Close(false);
    EXPECT_EQ(client.State(), cwNotConnected);
    EXPECT_EQ(client.BytesAvailable(), -1);
    EXPECT_EQ(client.LocalAddress(), QStringLiteral("0.0.0.0"));
    ASSERT_TRUE(waitFor([&] { return server.socket.State() == cwNotConnected; }));
    server.socket.Close(false);
    server.socket.StopListening();
    EXPECT_EQ(server.socket.LocalPort(), QStringLiteral("0"));
    EXPECT_EQ(server.log.states,
              (QList<TcWinsockStates>{cwListening, cwAccepting, cwConnected, cwNotConnected}));
    EXPECT_FALSE(clientLog.repeats());
}

TEST(TcWinsockTest, RefusedConnectEndsNotConnectedWithoutException)
{
    TcWinsock client;
    StateLog log(client);
    EXPECT_NO_THROW(connectTo(client, QString::number(unusedPort())));
    ASSERT_TRUE(waitFor([&] { return client.State() == cwNotConnected; }));
    EXPECT_EQ(log.states, (QList<TcWinsockStates>{cwReadyToConnect, cwConnecting, cwNotConnected}));
    // The failed socket is still there to be closed, once.
    EXPECT_NO_THROW(client.Close(true));
    EXPECT_EQ(exceptionNumber([&] { client.Close(true); }), 7221);
    EXPECT_EQ(log.states.size(), 3);

    // The same object connects fine afterwards.
    QTcpServer peer;
    ASSERT_TRUE(peer.listen(QHostAddress::LocalHost, 0));
    connectTo(client, QString::number(peer.serverPort()));
    ASSERT_TRUE(waitFor([&] { return client.State() == cwConnected; }));
    EXPECT_TRUE(waitFor([&] { return peer.hasPendingConnections(); }));
}

TEST(TcWinsockTest, HostNameWaitsForLookup)
{
    QTcpServer peer;
    ASSERT_TRUE(peer.listen(QHostAddress::LocalHost, 0));

    TcWinsock client;
    StateLog log(client);
    client.setIP(QStringLiteral("localhost"));
    client.setPort(QString::number(peer.serverPort()));
    client.PrepareConnection();
    EXPECT_EQ(client.State(), cwPrepareConnection);
    EXPECT_EQ(exceptionNumber([&] { client.PrepareConnection(); }), 5261);
    EXPECT_EQ(exceptionNumber([&] { client.Connect(); }), 124321);
    ASSERT_TRUE(waitFor([&] { return client.State() == cwReadyToConnect; }));
    EXPECT_EQ(log.states, (QList<TcWinsockStates>{cwPrepareConnection, cwReadyToConnect}));
    EXPECT_EQ(client.PeerAddress(), QStringLiteral("127.0.0.1"));
    client.Connect();
    ASSERT_TRUE(waitFor([&] { return client.State() == cwConnected; }));
    ASSERT_TRUE(waitFor([&] { return peer.hasPendingConnections(); }));
    client.Close(true);

    // A cancelled lookup stays cancelled even when its answer would come.
    log.states.clear();
    client.PrepareConnection();
    EXPECT_EQ(client.State(), cwPrepareConnection);
    client.CancelPrepare();
    EXPECT_EQ(client.State(), cwNIL);
    EXPECT_EQ(exceptionNumber([&] { client.CancelPrepare(); }), 1432);
    spin(300);
    EXPECT_EQ(log.states, (QList<TcWinsockStates>{cwPrepareConnection, cwNIL}));

    // A name that cannot be resolved ends in cwNIL (the empty name fails without asking anyone).
    log.states.clear();
    client.setIP(QString());
    client.PrepareConnection();
    ASSERT_TRUE(waitFor([&] { return client.State() != cwPrepareConnection; }));
    EXPECT_EQ(log.states, (QList<TcWinsockStates>{cwPrepareConnection, cwNIL}));
}

TEST(TcWinsockTest, MisuseRaisesItsNumberAndKeepsTheState)
{
    TcWinsock socket;
    StateLog log(socket);
    EXPECT_EQ(exceptionNumber([&] { socket.Send("NOOP\r\n"); }), 1234);
    EXPECT_EQ(exceptionNumber([&] { socket.Close(false); }), 7221);
    EXPECT_EQ(exceptionNumber([&] { socket.Close(true); }), 7221);
    EXPECT_EQ(exceptionNumber([&] { socket.StopListening(); }), 2233);
    EXPECT_EQ(exceptionNumber([&] { socket.Connect(); }), 124321);
    EXPECT_EQ(exceptionNumber([&] { socket.CancelPrepare(); }), 1432);
    EXPECT_EQ(exceptionNumber([&] { socket.Accept(); }), 22222);
    EXPECT_EQ(socket.Receive(), QByteArray());
    EXPECT_EQ(socket.BytesAvailable(), -1);
    EXPECT_EQ(socket.State(), cwNotConnected);
    EXPECT_TRUE(log.states.isEmpty());

    // Port text that is neither a service nor a port number.
    socket.setIP(QStringLiteral("127.0.0.1"));
    for (const char *bad : {"nosuchservice", "70000", "-1", ""}) {
        socket.setPort(QString::fromLatin1(bad));
        EXPECT_EQ(exceptionNumber([&] { socket.PrepareConnection(); }), 5262) << bad;
        EXPECT_EQ(exceptionNumber([&] { socket.Listen(); }), 5262) << bad;
    }
    EXPECT_TRUE(log.states.isEmpty());
    for (const char *good : {"21", "ftp"}) {
        socket.setPort(QString::fromLatin1(good));
        EXPECT_NO_THROW(socket.PrepareConnection()) << good;
        EXPECT_EQ(socket.State(), cwReadyToConnect);
    }
    EXPECT_EQ(log.states, QList<TcWinsockStates>{cwReadyToConnect});

    // "ftp" comes from the service table: the listener either gets port 21 or is refused it.
    TcWinsock listener;
    listener.setPort(QStringLiteral("ftp"));
    const int number = exceptionNumber([&] { listener.Listen(); });
    if (number == 0)
        EXPECT_EQ(listener.LocalPort(), QStringLiteral("21"));
    else
        EXPECT_EQ(number, 52);
    if (number == 0)
        listener.StopListening();

    listener.setPort(QStringLiteral("0"));
    listener.Listen();
    EXPECT_EQ(exceptionNumber([&] { listener.Listen(); }), 7722);
    EXPECT_EQ(exceptionNumber([&] { listener.PrepareConnection(); }), 5261);
    EXPECT_EQ(exceptionNumber([&] { listener.Send("x"); }), 1234);
    EXPECT_EQ(exceptionNumber([&] { listener.Close(false); }), 7221);
    EXPECT_EQ(listener.State(), cwListening);
    listener.StopListening();
    EXPECT_EQ(listener.State(), cwNotConnected);
    EXPECT_EQ(exceptionNumber([&] { listener.StopListening(); }), 2233);
}

// The peer sends a burst and closes at once; every byte must be handed out before the close
// is reported, whatever way the owner reads, and the close must not keep firing.
TEST(TcWinsockTest, PeerCloseComesAfterAllItsData)
{
    enum Reader { OneSlicePerNotice, DrainEachNotice, LateReader };
    for (Reader reader : {OneSlicePerNotice, DrainEachNotice, LateReader}) {
        SCOPED_TRACE(int(reader));
        QTcpServer peer;
        ASSERT_TRUE(peer.listen(QHostAddress::LocalHost, 0));
        const QByteArray sent = pattern(300 * 1024 + 17);

        TcWinsock client;
        StateLog log(client);
        QByteArray received;
        qsizetype receivedAtClose = -1;
        int notices = 0;
        bool reading = reader != LateReader;
        QObject::connect(&client, &TcWinsock::stateChanged, [&](TcWinsockStates s) {
            if (s == cwNotConnected)
                receivedAtClose = received.size();
        });
        QObject::connect(&client, &TcWinsock::dataAvailable, [&] {
            ++notices;
            if (!reading || client.BytesAvailable() <= 0)
                return;
            received += client.Receive();
            while (reader == DrainEachNotice && client.BytesAvailable() > 0)
                received += client.Receive();
        });
        connectTo(client, QString::number(peer.serverPort()));
        ASSERT_TRUE(waitFor([&] { return peer.hasPendingConnections(); }));
        std::unique_ptr<QTcpSocket> far(peer.nextPendingConnection());
        far->write(sent);
        far->disconnectFromHost();

        if (reader == LateReader) {
            // An unanswered notice is not repeated until the owner reads again.
            ASSERT_TRUE(waitFor([&] { return notices > 0; }));
            spin(300);
            EXPECT_EQ(notices, 1);
            EXPECT_EQ(client.State(), cwConnected);
            reading = true;
            received += client.Receive();
        }
        ASSERT_TRUE(waitFor([&] { return client.State() == cwNotConnected; }));
        EXPECT_EQ(receivedAtClose, sent.size());
        EXPECT_TRUE(received == sent);
        // No notice keeps coming once the close is known.
        const int noticesAtClose = notices;
        spin(300);
        EXPECT_EQ(notices, noticesAtClose);
        EXPECT_LE(notices, sent.size() / 4096 + 4);
        EXPECT_EQ(log.states,
                  (QList<TcWinsockStates>{
                          cwReadyToConnect, cwConnecting, cwConnected, cwNotConnected}));
        // Closing the socket the peer already closed changes nothing more.
        client.Close(false);
        EXPECT_EQ(log.states.size(), 4);
    }
}

// A large upload to a peer that is slow to read: a short send is followed by exactly one
// dataNeeded once there is room, never a stall and never a stream of notices.
TEST(TcWinsockTest, ShortSendResumesOnDataNeeded)
{
    AcceptingListener server;
    QByteArray atServer;
    bool serverReads = false;
    QObject::connect(&server.socket, &TcWinsock::dataAvailable, [&] {
        if (serverReads)
            atServer += server.socket.Receive();
    });

    TcWinsock client;
    const QByteArray text = pattern(32 * 1024 * 1024);
    qsizetype offset = 0;
    int shortSends = 0;
    int needs = 0;
    auto sendRest = [&] {
        while (offset < text.size()) {
            qint64 taken = 0;
            try {
                taken = client.Send(
                        QByteArray::fromRawData(text.constData() + offset, text.size() - offset));
            } catch (const TcWinsockException &e) {
                EXPECT_EQ(e.number(), 5522);
            }
            offset += taken;
            if (offset < text.size()) {
                ++shortSends;
                return;
            }
        }
    };
    bool connected = false;
    QObject::connect(&client, &TcWinsock::dataNeeded, [&] {
        ++needs;
        if (connected)
            sendRest();
    });
    connectTo(client, server.socket.LocalPort());
    ASSERT_TRUE(waitFor([&] { return needs == 1 && server.socket.State() == cwConnected; }));
    connected = true;

    sendRest();
    ASSERT_EQ(shortSends, 1);
    ASSERT_LT(offset, text.size());
    // While the peer reads nothing there is no room and no notice.
    spin(300);
    EXPECT_EQ(needs, 1);
    EXPECT_EQ(shortSends, 1);

    serverReads = true;
    atServer += server.socket.Receive();
    ASSERT_TRUE(waitFor([&] { return atServer.size() == text.size(); }, 30000));
    EXPECT_EQ(offset, text.size());
    EXPECT_TRUE(atServer == text);
    // One notice per send that left something over, plus the one after the connect.
    EXPECT_EQ(needs, shortSends + 1);
    spin(200);
    EXPECT_EQ(needs, shortSends + 1);
}

// Close with linger drops what was not yet delivered; without linger everything arrives.
TEST(TcWinsockTest, CloseWithLingerDiscardsUnsentData)
{
    for (bool linger : {false, true}) {
        SCOPED_TRACE(linger);
        AcceptingListener server;
        TcWinsock client;
        QByteArray atClient;
        bool clientReads = false;
        QObject::connect(&client, &TcWinsock::dataAvailable, [&] {
            if (clientReads)
                atClient += client.Receive();
        });
        connectTo(client, server.socket.LocalPort());
        ASSERT_TRUE(waitFor([&] {
            return client.State() == cwConnected && server.socket.State() == cwConnected;
        }));

        const QByteArray text = pattern(32 * 1024 * 1024);
        const qint64 taken = server.socket.Send(text);
        ASSERT_GT(taken, 0);
        ASSERT_LT(taken, text.size());
        server.socket.Close(linger);
        EXPECT_EQ(server.socket.State(), cwNotConnected);

        clientReads = true;
        atClient += client.Receive();
        ASSERT_TRUE(waitFor([&] { return client.State() == cwNotConnected; }, 30000));
        EXPECT_TRUE(atClient == text.left(atClient.size()));
        if (linger)
            EXPECT_LT(atClient.size(), taken);
        else
            EXPECT_EQ(atClient.size(), taken);
    }
}

// A listener on one address, open to one caller's address: strangers are hung up on and the
// listener goes on waiting for the caller it wants.
TEST(TcWinsockTest, ListenerTakesOnlyTheCallerItWaitsFor)
{
    TcWinsock listener;
    StateLog log(listener);
    QStringList refused;
    QObject::connect(&listener, &TcWinsock::callerRefused, [&](const QString &address) {
        refused.append(address);
    });
    QObject::connect(&listener, &TcWinsock::stateChanged, [&](TcWinsockStates s) {
        if (s == cwAccepting)
            listener.Accept();
    });
    listener.setListenAddress(QStringLiteral("127.0.0.1"));
    listener.setAcceptFrom(QStringLiteral("127.0.0.1"));
    listener.setPort(QStringLiteral("0"));
    listener.Listen();
    const quint16 port = listener.LocalPort().toUShort();

    // Not listening on the other loopback addresses at all.
    QTcpSocket elsewhere;
    elsewhere.connectToHost(QHostAddress(QStringLiteral("127.0.0.3")), port);
    EXPECT_FALSE(elsewhere.waitForConnected(2000));

    // A stranger on 127.0.0.2: the system completes its connect from the backlog; the listener
    // hangs up on it without a byte.
    const int stranger = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(stranger, 0);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    from.sin_addr.s_addr = htonl(0x7f000002);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(stranger, reinterpret_cast<sockaddr *>(&from), sizeof from), 0);
    ASSERT_EQ(::connect(stranger, reinterpret_cast<sockaddr *>(&to), sizeof to), 0);
    ASSERT_TRUE(waitFor([&] { return !refused.isEmpty(); }));
    EXPECT_EQ(refused, QStringList{QStringLiteral("127.0.0.2")});
    const timeval wait{2, 0};
    ::setsockopt(stranger, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    char byte;
    const ssize_t got = ::recv(stranger, &byte, 1, 0);
    const int error = errno;
    EXPECT_TRUE(got == 0 || (got < 0 && error == ECONNRESET)) << got << " " << error;
    ::close(stranger);
    EXPECT_EQ(listener.State(), cwListening);

    QTcpSocket host;
    host.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(waitFor([&] { return listener.State() == cwConnected; }));
    EXPECT_EQ(listener.PeerAddress(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(log.states, (QList<TcWinsockStates>{cwListening, cwAccepting, cwConnected}));
    ASSERT_TRUE(host.waitForConnected(1000));
    host.write("hello");
    ASSERT_TRUE(waitFor([&] { return listener.BytesAvailable() == 5; }));
    EXPECT_EQ(listener.Receive(), QByteArray("hello"));
    listener.StopListening();
}
