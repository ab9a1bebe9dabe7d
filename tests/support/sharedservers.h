// Servers started once per test program, for tests that work in folders of their own and do not
// need a fresh server: the first call starts the server, later calls get the same one, and it
// stops when the application object goes.
//
//     VsftpdServer *vsftpd = ovtest::sharedVsftpd();
//     ASSERT_TRUE(vsftpd);
//     vsftpd->createFile(VsftpdServer::Tree::Upload, "mytest/a.bin", bytes);
#pragma once

#include "support/pyftpdlibserver.h"
#include "support/vsftpdserver.h"

namespace ovtest {

// The running server, or nullptr after failing the test with the reason it could not start.
VsftpdServer *sharedVsftpd();
PyftpdlibServer *sharedPyftpdlib();

} // namespace ovtest
