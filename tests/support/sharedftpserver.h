// Real FTP servers started once per test program: the first call starts the server of that
// kind, later calls return the same one, and it stops when the application ends.
//
//     FtpTestServer *server = sharedFtpServer(FtpTestServer::Kind::Vsftpd);
//     ASSERT_NE(server, nullptr);
#pragma once

#include "support/ftptestserver.h"

namespace ovtest {

// The running server with the user's "/" emptied, or nullptr after failing the test when it
// does not start.
FtpTestServer *sharedFtpServer(FtpTestServer::Kind kind);

} // namespace ovtest
