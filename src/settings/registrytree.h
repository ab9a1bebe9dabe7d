#pragma once

// The in-memory tree behind Registry, and the replay of changes onto it. Internal to the
// registry store: use Registry.

#include "settings/registry.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace RegistryTree {

struct Value
{
    QString name;
    Registry::ValueType type = Registry::ValueType::String;
    QString text;
    qint32 number = 0;
    QByteArray bytes;
};

struct Node
{
    QString name;
    std::vector<Value> values;  // sorted by folded name
    std::vector<Node> children; // sorted by folded name
};

struct Change
{
    enum Kind { CreateKey, DeleteKey, SetValue, DeleteValue } kind;
    QStringList path;
    Value value; // SetValue: the value; DeleteValue: only its name
};

// Names compare by their case-folded form.
QString folded(const QString &name);
// The components of a "\"-separated key path; empty components are dropped.
QStringList splitPath(const QString &path);

const Node *findNode(const Node &root, const QStringList &path);
Node *findNode(Node &root, const QStringList &path);
const Node *findChild(const Node &node, const QString &name);
const Value *findValue(const Node &node, const QString &name);
// The child of that name, created in its sorted place when missing.
Node &ensureChild(Node &node, const QString &name);
// Sets a value; a value of the same name keeps its first spelling.
void setValue(Node &node, const Value &value);

void applyChange(Node &root, const Change &change);

} // namespace RegistryTree
