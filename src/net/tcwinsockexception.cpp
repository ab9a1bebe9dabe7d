#include "net/tcwinsockexception.h"

TcWinsockException::TcWinsockException(int number, int systemError)
    : m_number(number)
    , m_systemError(systemError)
    , m_message("cWinsock Exception # " + std::to_string(number)
                + " Raised.\r\r\nPlease Report to Author.")
{}
