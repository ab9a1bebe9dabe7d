#include "net/tcwinsockexception.h"

TcWinsockException::TcWinsockException(int number)
    : m_number(number)
    , m_message("cWinsock Exception # " + std::to_string(number)
                + " Raised.\r\r\nPlease Report to Author.")
{}
