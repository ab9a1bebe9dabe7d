// Files for tests: whole-file reads and writes, bytes that no conversion leaves alone, and whole
// trees written from and read into a map of relative path to contents.
#pragma once

#include "support/qtprinters.h"

#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QString>
#include <QStringList>

namespace ovtest {

// The file's bytes, or "<missing PATH>" when it cannot be read (so a comparison failure says so).
QByteArray readFile(const QString &path);

// Writes bytes, making the parent folders; false when any step fails.
bool writeFile(const QString &path, const QByteArray &bytes);

// Sets the file's modification time; false when the file is not there or keeps its time.
bool setModified(const QString &path, const QDateTime &time);

// Bytes that differ from each other and from any simple pattern, different for each seed.
QByteArray testBytes(qint64 size, quint32 seed);

using FileTree = QMap<QString, QByteArray>; // "sub/name" -> contents

// Writes every file of the tree below root; false when any write fails.
bool writeTree(const QString &root, const FileTree &tree);

// Every regular file below root (links not followed), by path relative to root.
FileTree readTree(const QString &root);

// Every folder below root (links not followed), by path relative to root, sorted.
QStringList readFolders(const QString &root);

} // namespace ovtest
