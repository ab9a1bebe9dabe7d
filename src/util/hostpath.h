#pragma once

#include <QChar>
#include <QString>

// Host paths as a person or a host spells them, reduced to one form before anything is checked
// or sent: "." and empty names are dropped and ".." takes away the name before it, so
// "/pub/./../", "//" and "/pub/%2E%2E/" (once decoded) all name the root "/".
//
// path is absolute (it begins with sep) in slash ("/") or backslash ("\") form. The result keeps
// that separator, begins with it and ends with it when the path names a folder: when the path
// ended with sep, or its last name was "." or "..". Returns false, leaving normalised as it
// was, when a ".." would climb above the root or the path does not begin with sep.
bool NormaliseHostPath(const QString &path, QChar sep, QString *normalised);

// True when the absolute host path, in any spelling, names the host's root folder.
bool IsHostRoot(const QString &path, QChar sep);
