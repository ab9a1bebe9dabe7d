#pragma once

#include <QString>

// Deletes nativePath with everything below it without ever following a symbolic link: a link
// met anywhere (nativePath itself included) is removed as a link and whatever it points to is
// left alone. Folders that the owner made read-only are made writable first so that their
// entries can go. Only nativePath and what lies below it are touched; its parent folder stays.
//
// Best effort: an entry that cannot be removed is left in place, the rest still goes. Returns
// true when nativePath no longer exists (also when it did not exist to begin with); otherwise
// false, with error naming the first entry that stayed and why.
//
// Used at shut-down to delete the session's temporary folder below the base folder "^ovFTP".
bool RemoveTreeNoFollow(const QString &nativePath, QString *error = nullptr);
