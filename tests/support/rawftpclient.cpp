#include "support/rawftpclient.h"

#include "support/eventwait.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QRegularExpression>
#include <QTcpServer>

#include <memory>

namespace ovtest {

int RawFtpClient::connectToPort(quint16 port, int timeoutMs)
{
    m_buffer.clear();
    m_socket.connectToHost(QHostAddress::LocalHost, port);
    if (!waitFor([&] { return m_socket.state() == QAbstractSocket::ConnectedState; }, timeoutMs))
        return -1;
    return readReply(timeoutMs);
}

int RawFtpClient::command(const QByteArray &line, int timeoutMs)
{
    m_socket.write(line + "\r\n");
    return readReply(timeoutMs);
}

int RawFtpClient::readReply(int timeoutMs)
{
    m_reply.clear();
    QDeadlineTimer deadline(timeoutMs);
    QByteArray code;
    for (;;) {
        const bool haveLine = waitFor(
                [&] {
                    m_buffer += m_socket.readAll();
                    return m_buffer.contains('\n')
                           || m_socket.state() == QAbstractSocket::UnconnectedState;
                },
                int(qMax<qint64>(0, deadline.remainingTime())));
        const qsizetype end = m_buffer.indexOf('\n');
        if (!haveLine || end < 0)
            return -1;
        QByteArray line = m_buffer.left(end);
        m_buffer.remove(0, end + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        m_reply << line;
        if (code.isEmpty()) {
            if (line.size() < 3)
                return -1;
            code = line.left(3);
            if (line.size() < 4 || line.at(3) != '-')
                return code.toInt();
        } else if (line.startsWith(code + ' ')) {
            return code.toInt();
        }
    }
}

int RawFtpClient::login(const QByteArray &user, const QByteArray &password)
{
    const int code = command("USER " + user);
    return code == 331 ? command("PASS " + password) : code;
}

bool RawFtpClient::openPassive(QTcpSocket *data, int timeoutMs)
{
    if (command("TYPE I", timeoutMs) != 200 || command("PASV", timeoutMs) != 227)
        return false;
    // 227 Entering Passive Mode (127,0,0,1,195,80).
    static const QRegularExpression numbers(
            QStringLiteral("(\\d+),(\\d+),(\\d+),(\\d+),(\\d+),(\\d+)"));
    const QRegularExpressionMatch match = numbers.match(QString::fromLatin1(m_reply.last()));
    if (!match.hasMatch())
        return false;
    const quint16 port = quint16(match.captured(5).toInt() * 256 + match.captured(6).toInt());
    data->connectToHost(QHostAddress::LocalHost, port);
    return waitFor([&] { return data->state() == QAbstractSocket::ConnectedState; }, timeoutMs);
}

QByteArray RawFtpClient::retrievePassive(const QByteArray &path, int *finalCode, int timeoutMs)
{
    *finalCode = -1;
    QTcpSocket data;
    if (!openPassive(&data, timeoutMs))
        return QByteArray();
    const int start = command("RETR " + path, timeoutMs);
    if (start != 150 && start != 125) {
        *finalCode = start;
        return QByteArray();
    }
    return readTransfer(&data, finalCode, timeoutMs);
}

QByteArray RawFtpClient::retrieveActive(const QByteArray &path, int *finalCode, int timeoutMs)
{
    *finalCode = -1;
    QTcpServer listener;
    if (!listener.listen(QHostAddress::LocalHost, 0))
        return QByteArray();
    const quint16 port = listener.serverPort();
    if (command("TYPE I", timeoutMs) != 200)
        return QByteArray();
    if (command(QStringLiteral("PORT 127,0,0,1,%1,%2").arg(port / 256).arg(port % 256).toLatin1(),
                timeoutMs)
        != 200)
        return QByteArray();
    const int start = command("RETR " + path, timeoutMs);
    if (start != 150 && start != 125) {
        *finalCode = start;
        return QByteArray();
    }
    if (!waitFor([&] { return listener.hasPendingConnections(); }, timeoutMs))
        return QByteArray();
    std::unique_ptr<QTcpSocket> data(listener.nextPendingConnection());
    return readTransfer(data.get(), finalCode, timeoutMs);
}

QByteArray RawFtpClient::readTransfer(QTcpSocket *data, int *finalCode, int timeoutMs)
{
    QByteArray bytes;
    waitFor(
            [&] {
                bytes += data->readAll();
                return data->state() == QAbstractSocket::UnconnectedState;
            },
            timeoutMs);
    bytes += data->readAll();
    *finalCode = readReply(timeoutMs);
    return bytes;
}

int RawFtpClient::storePassive(const QByteArray &path, const QByteArray &data, int timeoutMs)
{
    QTcpSocket channel;
    if (!openPassive(&channel, timeoutMs))
        return -1;
    const int start = command("STOR " + path, timeoutMs);
    if (start != 150 && start != 125)
        return start;
    channel.write(data);
    waitFor([&] { return channel.bytesToWrite() == 0; }, timeoutMs);
    channel.disconnectFromHost();
    waitFor([&] { return channel.state() == QAbstractSocket::UnconnectedState; }, timeoutMs);
    return readReply(timeoutMs);
}

} // namespace ovtest
