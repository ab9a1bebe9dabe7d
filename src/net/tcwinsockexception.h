#pragma once

#include <QString>

#include <exception>
#include <string>

// Raised by TcWinsock for misuse and platform failures, each site with its own number.
// The message reads "cWinsock Exception # <number> Raised.\r\r\nPlease Report to Author.".
class TcWinsockException : public std::exception
{
public:
    explicit TcWinsockException(int number);

    int number() const noexcept { return m_number; }
    QString message() const { return QString::fromStdString(m_message); }
    const char *what() const noexcept override { return m_message.c_str(); }

private:
    int m_number;
    std::string m_message;
};
