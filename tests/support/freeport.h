// Free TCP ports on 127.0.0.1 for the servers a test starts.
#pragma once

#include <QtGlobal>

namespace ovtest {

// A port on 127.0.0.1 that nobody listens on right now (the system's choice). Another process
// may take it before the caller binds it, so a server start that fails to bind should retry.
quint16 freePort();

} // namespace ovtest
