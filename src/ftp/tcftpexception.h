#pragma once

#include <QString>

#include <exception>
#include <string>

// Raised by TcFTP for misuse and failures, each site with its own number:
//   4222  Connect while not csNotConnected      32232 AddCommand with an empty line
//   1241  Execute: any failure while running the queue (an own command that failed)
//   16631 Disconnect: any failure, also a control connection that is neither connecting
//         nor connected
//   99    a socket state handler failed (caught at the handler and reported by internalError)
// The message reads "cFTPc Exception # <number> Raised.\r\r\nPlease Report to Author.".
class TcFTPException : public std::exception
{
public:
    explicit TcFTPException(int number);

    int number() const noexcept { return m_number; }
    QString message() const { return QString::fromStdString(m_message); }
    const char *what() const noexcept override { return m_message.c_str(); }

private:
    int m_number;
    std::string m_message;
};
