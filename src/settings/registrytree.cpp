#include "settings/registrytree.h"

#include <algorithm>

namespace RegistryTree {

namespace {

template<typename Item>
typename std::vector<Item>::iterator lowerBound(std::vector<Item> &items, const QString &name)
{
    const QString key = folded(name);
    return std::lower_bound(
            items.begin(), items.end(), key, [](const Item &item, const QString &k) {
                return folded(item.name) < k;
            });
}

template<typename Item>
Item *findItem(std::vector<Item> &items, const QString &name)
{
    auto it = lowerBound(items, name);
    if (it != items.end() && folded(it->name) == folded(name))
        return &*it;
    return nullptr;
}

template<typename Item>
const Item *findItem(const std::vector<Item> &items, const QString &name)
{
    return findItem(const_cast<std::vector<Item> &>(items), name);
}

Node &ensureNode(Node &root, const QStringList &path)
{
    Node *node = &root;
    for (const QString &part : path)
        node = &ensureChild(*node, part);
    return *node;
}

bool removeValue(Node &node, const QString &name)
{
    auto it = lowerBound(node.values, name);
    if (it == node.values.end() || folded(it->name) != folded(name))
        return false;
    node.values.erase(it);
    return true;
}

bool removeChild(Node &node, const QString &name)
{
    auto it = lowerBound(node.children, name);
    if (it == node.children.end() || folded(it->name) != folded(name))
        return false;
    node.children.erase(it);
    return true;
}

} // namespace

QString folded(const QString &name)
{
    return name.toCaseFolded();
}

QStringList splitPath(const QString &path)
{
    return path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
}

Node &ensureChild(Node &node, const QString &name)
{
    auto it = lowerBound(node.children, name);
    if (it != node.children.end() && folded(it->name) == folded(name))
        return *it;
    Node child;
    child.name = name;
    return *node.children.insert(it, std::move(child));
}

const Node *findChild(const Node &node, const QString &name)
{
    return findItem(node.children, name);
}

const Value *findValue(const Node &node, const QString &name)
{
    return findItem(node.values, name);
}

const Node *findNode(const Node &root, const QStringList &path)
{
    const Node *node = &root;
    for (const QString &part : path) {
        node = findItem(node->children, part);
        if (!node)
            return nullptr;
    }
    return node;
}

Node *findNode(Node &root, const QStringList &path)
{
    return const_cast<Node *>(findNode(const_cast<const Node &>(root), path));
}

void setValue(Node &node, const Value &value)
{
    auto it = lowerBound(node.values, value.name);
    if (it != node.values.end() && folded(it->name) == folded(value.name)) {
        const QString firstSpelling = it->name;
        *it = value;
        it->name = firstSpelling;
    } else {
        node.values.insert(it, value);
    }
}

void applyChange(Node &root, const Change &change)
{
    switch (change.kind) {
    case Change::CreateKey:
        ensureNode(root, change.path);
        break;
    case Change::DeleteKey:
        if (!change.path.isEmpty()) {
            if (Node *parent = findNode(root, change.path.mid(0, change.path.size() - 1)))
                removeChild(*parent, change.path.last());
        }
        break;
    case Change::SetValue:
        // A key that another copy deleted in the meantime comes back with the value: the
        // value written here must not vanish.
        setValue(ensureNode(root, change.path), change.value);
        break;
    case Change::DeleteValue:
        if (Node *node = findNode(root, change.path))
            removeValue(*node, change.value.name);
        break;
    }
}

} // namespace RegistryTree
