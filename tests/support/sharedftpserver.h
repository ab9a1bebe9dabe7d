// Real FTP servers started once per test program: the first call starts the server of that
// kind, later calls return the same one; it stops when the application ends.
#pragma once

#include "support/pyftpdlibserver.h"
#include "support/vsftpdserver.h"

namespace ovtest {

// A server kind with the data connection mode a test uses.
struct FtpPeer
{
    FtpTestServer::Kind kind;
    bool passive;
};
// vsftpd and pyftpdlib, each in passive and active mode: the loop of every real-server test.
inline constexpr FtpPeer FtpPeers[] = {{FtpTestServer::Kind::Vsftpd, true},
                                       {FtpTestServer::Kind::Vsftpd, false},
                                       {FtpTestServer::Kind::Pyftpdlib, true},
                                       {FtpTestServer::Kind::Pyftpdlib, false}};

// The running server with the user's "/" emptied, or nullptr after failing the test.
FtpTestServer *sharedFtpServer(FtpTestServer::Kind kind);

inline VsftpdServer *sharedVsftpd()
{
    return static_cast<VsftpdServer *>(sharedFtpServer(FtpTestServer::Kind::Vsftpd));
}

inline PyftpdlibServer *sharedPyftpdlib()
{
    return static_cast<PyftpdlibServer *>(sharedFtpServer(FtpTestServer::Kind::Pyftpdlib));
}

} // namespace ovtest
