// A private desktop keyring for tests: a D-Bus session bus and gnome-keyring-daemon on it,
// unlocked with a test password, in a temporary home. Started once per test process; the
// process's session bus address points at it from then on, so the keyring code under test
// and the programs the test starts talk to it and never to the user's own keyring.
#pragma once

#include <QString>

namespace ovtest {

class SecretService
{
public:
    // Starts the bus and the keyring on first call; false with the reason when they cannot run.
    static bool ensure(QString *error);
};

} // namespace ovtest
