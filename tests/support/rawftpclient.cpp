#include "support/rawftpclient.h"

#include "support/eventwait.h"

#include <QDeadlineTimer>
#include <QHostAddress>

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

} // namespace ovtest
