// Bounded waits that keep the Qt event loop turning, as the engine needs: its sockets and
// timers only make progress while events are processed.
#pragma once

#include "support/qtprinters.h"

#include <functional>

namespace ovtest {

// Processes events until predicate() holds or timeoutMs went by; returns the last value of
// predicate(). Objects released with deleteLater() are deleted between rounds, as a running
// event loop would. Call it from a test body, not from inside an engine handler.
bool waitFor(const std::function<bool()> &predicate, int timeoutMs = 5000);

// Processes events for ms milliseconds: for checks that something does not happen.
void spinFor(int ms);

} // namespace ovtest
