// The shared servers of sharedftpserver.h as their own classes, for tests that use the calls
// only one of them has (vsftpd's anonymous trees, pyftpdlib's single root).
#pragma once

#include "support/pyftpdlibserver.h"
#include "support/sharedftpserver.h"
#include "support/vsftpdserver.h"

namespace ovtest {

inline VsftpdServer *sharedVsftpd()
{
    return static_cast<VsftpdServer *>(sharedFtpServer(FtpTestServer::Kind::Vsftpd));
}

inline PyftpdlibServer *sharedPyftpdlib()
{
    return static_cast<PyftpdlibServer *>(sharedFtpServer(FtpTestServer::Kind::Pyftpdlib));
}

} // namespace ovtest
