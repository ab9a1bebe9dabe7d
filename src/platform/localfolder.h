#pragma once

#include <QString>

// Makes the local folder nativeFolder and every folder above it that is missing, like
// "mkdir -p" (new folders get the usual permissions less the umask). Returns true when the
// folder exists afterwards, also when it was there already; otherwise false, and reason (when
// given) holds the system's words for the first folder that could not be made, for example
// "Permission denied" or "Not a directory".
bool MakeLocalFolderPath(const QString &nativeFolder, QString *reason = nullptr);
