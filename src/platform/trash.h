#pragma once

#include <QString>

// The user's trash as desktops share it: $XDG_DATA_HOME/Trash (by default
// ~/.local/share/Trash) with the folders files/ (the items) and info/ (a ".trashinfo" file per
// item naming where it came from and when).
//
// An item goes to the trash only when that trash exists or can be made and lies on the same
// file system as the item, so that moving it there is one rename: nothing is copied, nothing is
// deleted for good and nothing lands anywhere else. Otherwise the item stays where it is and
// the reason says why.

// The user's trash folder (native, no trailing "/"), or "" when there is no home folder to hold
// one. A relative $XDG_DATA_HOME counts as unset.
QString UserTrashFolder();

// True when nativePath can be moved to the user's trash: the trash and its two folders exist
// or have just been made, and they lie on the file system of nativePath. Otherwise false with
// the reason ("the trash folder /home/ann/.local/share/Trash is on another file system").
bool TrashUsableFor(const QString &nativePath, QString *reason = nullptr);

// Moves a file, a folder with everything below it, or a symbolic link itself (never what it
// points to) to the user's trash, under its own name or, when that is taken there, a numbered
// one. False with the reason when it could not be done; the item is then where it was.
bool MoveToUserTrash(const QString &nativePath, QString *reason = nullptr);
