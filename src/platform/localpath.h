#pragma once

#include <QString>

// The one place that knows how the program's internal local paths map to this system.
//
// Internal forms: "\" is the top level (Desktop and drives); "Z:\home\ann\" is a drive path
// (on Linux the whole file system is drive Z:, so that is /home/ann/); "Desktop\a\" is a path
// below the user's Desktop folder. Folder paths end with "\", file paths do not.

// Native path of an internal local path; empty for the top level "\".
QString LocalToNative(const QString &internalPath);
// Internal form of a native absolute path; a folder path (or a trailing "/") ends with "\".
QString NativeToLocal(const QString &nativePath);
// A "Desktop\..." path with the real Desktop folder put in ("Z:\home\ann\Desktop\a\"), so
// that queue entries and file operations name a drive path; other paths unchanged.
QString ResolveDesktopPath(const QString &internalPath);
// The user's Desktop folder, falling back to the home folder when there is none.
QString DesktopFolder();
