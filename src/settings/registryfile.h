#pragma once

// The JSON file form of the registry store. Internal to the registry store: use Registry.

#include "settings/registrytree.h"

#include <QByteArray>
#include <QString>

namespace RegistryFile {

enum class ReadResult { Ok, Missing, Damaged };

QByteArray serialize(const RegistryTree::Node &root);
// Reads the file at path into root (empty unless Ok); why says what is wrong with a damaged one.
ReadResult readStore(const QString &path, RegistryTree::Node *root, QString *why);

} // namespace RegistryFile
