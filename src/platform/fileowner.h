#pragma once

#include <QString>

// True when the entry itself (a link is not followed) exists and belongs to the user running the
// program. Where the system has no owners, every existing entry counts as the user's.
bool OwnedByCurrentUser(const QString &nativePath);
