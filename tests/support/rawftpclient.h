// A minimal FTP control connection over QTcpSocket, for tests that need a second, independent
// client (to look at what the engine left on a host). Every call is bounded and spins the event
// loop while it waits.
#pragma once

#include "support/qtprinters.h"

#include <QByteArray>
#include <QList>
#include <QTcpSocket>

namespace ovtest {

class RawFtpClient
{
public:
    // Connects to 127.0.0.1:port and reads the greeting; returns its code, -1 on failure.
    int connectToPort(quint16 port, int timeoutMs = 5000);
    // Sends line + CR LF and reads the reply; returns its code, -1 on timeout or close.
    int command(const QByteArray &line, int timeoutMs = 5000);
    // Reads one complete reply ("ddd-" ... "ddd "); returns its code, -1 on timeout or close.
    int readReply(int timeoutMs = 5000);
    // USER and, after 331, PASS; returns the final code (230 when logged in).
    int login(const QByteArray &user, const QByteArray &password);
    // The lines of the last reply, without CR LF.
    QList<QByteArray> lastReply() const { return m_reply; }

private:
    QTcpSocket m_socket;
    QByteArray m_buffer;
    QList<QByteArray> m_reply;
};

} // namespace ovtest
