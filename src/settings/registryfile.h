#pragma once

// The JSON file form of the registry store. Internal to the registry store: use Registry.

#include "settings/registrytree.h"

#include <QByteArray>
#include <QString>

namespace RegistryFile {

// Unreadable: the file is there but cannot be read (permissions, an I/O error); Damaged: it was
// read but is not a store of this program.
enum class ReadResult { Ok, Missing, Unreadable, Damaged };

QByteArray serialize(const RegistryTree::Node &root);
// Reads the file at path into root (empty unless Ok); why says what is wrong with an unreadable
// or damaged one.
ReadResult readStore(const QString &path, RegistryTree::Node *root, QString *why);

} // namespace RegistryFile
