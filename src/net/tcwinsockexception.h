#pragma once

#include <QString>

#include <exception>
#include <string>

// Raised by TcWinsock for misuse and platform failures, each site with its own number.
// The message reads "cWinsock Exception # <number> Raised.\r\r\nPlease Report to Author.".
class TcWinsockException : public std::exception
{
public:
    // systemError is the errno of the failed system call, 0 for misuse.
    explicit TcWinsockException(int number, int systemError = 0);

    int number() const noexcept { return m_number; }
    int systemError() const noexcept { return m_systemError; }
    QString message() const { return QString::fromStdString(m_message); }
    const char *what() const noexcept override { return m_message.c_str(); }

private:
    int m_number;
    int m_systemError;
    std::string m_message;
};
