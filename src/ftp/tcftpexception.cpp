#include "ftp/tcftpexception.h"

TcFTPException::TcFTPException(int number)
    : m_number(number)
    , m_message("cFTPc Exception # " + std::to_string(number)
                + " Raised.\r\r\nPlease Report to Author.")
{}
