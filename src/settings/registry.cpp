#include "settings/registry.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

const QString FormatTag = QStringLiteral("orvane-registry");
const int FormatVersion = 1;

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

QString folded(const QString &name)
{
    return name.toCaseFolded();
}

QStringList splitPath(const QString &path)
{
    return path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
}

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

Node &ensureChild(Node &node, const QString &name)
{
    auto it = lowerBound(node.children, name);
    if (it != node.children.end() && folded(it->name) == folded(name))
        return *it;
    Node child;
    child.name = name;
    return *node.children.insert(it, std::move(child));
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

Node &ensureNode(Node &root, const QStringList &path)
{
    Node *node = &root;
    for (const QString &part : path)
        node = &ensureChild(*node, part);
    return *node;
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

struct Change
{
    enum Kind { CreateKey, DeleteKey, SetValue, DeleteValue } kind;
    QStringList path;
    Value value; // SetValue: the value; DeleteValue: only its name
};

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

// --- JSON form ---------------------------------------------------------------------------
// {"format": "orvane-registry", "version": 1, "root": NODE}
// NODE  = {"keys": {name: NODE, ...}, "values": {name: VALUE, ...}}   (both members optional)
// VALUE = {"type": "string", "data": "text"} | {"type": "integer", "data": 21}
//       | {"type": "binary", "data": "<base64>"}

QJsonObject nodeToJson(const Node &node)
{
    QJsonObject object;
    if (!node.children.empty()) {
        QJsonObject keys;
        for (const Node &child : node.children)
            keys.insert(child.name, nodeToJson(child));
        object.insert(QStringLiteral("keys"), keys);
    }
    if (!node.values.empty()) {
        QJsonObject values;
        for (const Value &value : node.values) {
            QJsonObject v;
            switch (value.type) {
            case Registry::ValueType::String:
                v.insert(QStringLiteral("type"), QStringLiteral("string"));
                v.insert(QStringLiteral("data"), value.text);
                break;
            case Registry::ValueType::Integer:
                v.insert(QStringLiteral("type"), QStringLiteral("integer"));
                v.insert(QStringLiteral("data"), value.number);
                break;
            case Registry::ValueType::Binary:
                v.insert(QStringLiteral("type"), QStringLiteral("binary"));
                v.insert(QStringLiteral("data"), QString::fromLatin1(value.bytes.toBase64()));
                break;
            }
            values.insert(value.name, v);
        }
        object.insert(QStringLiteral("values"), values);
    }
    return object;
}

bool valueFromJson(const QString &name, const QJsonValue &json, Value *value)
{
    if (!json.isObject())
        return false;
    const QJsonObject object = json.toObject();
    const QString type = object.value(QStringLiteral("type")).toString();
    const QJsonValue data = object.value(QStringLiteral("data"));
    value->name = name;
    if (type == QLatin1String("string") && data.isString()) {
        value->type = Registry::ValueType::String;
        value->text = data.toString();
        return true;
    }
    if (type == QLatin1String("integer") && data.isDouble()) {
        const double number = data.toDouble();
        if (number != static_cast<double>(static_cast<qint64>(number)) || number < -2147483648.0
            || number > 2147483647.0)
            return false;
        value->type = Registry::ValueType::Integer;
        value->number = static_cast<qint32>(number);
        return true;
    }
    if (type == QLatin1String("binary") && data.isString()) {
        const auto decoded = QByteArray::fromBase64Encoding(
                data.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            return false;
        value->type = Registry::ValueType::Binary;
        value->bytes = *decoded;
        return true;
    }
    return false;
}

bool nodeFromJson(const QJsonValue &json, Node *node, int depth)
{
    if (!json.isObject() || depth > 256)
        return false;
    const QJsonObject object = json.toObject();
    const QJsonValue keys = object.value(QStringLiteral("keys"));
    if (!keys.isUndefined()) {
        if (!keys.isObject())
            return false;
        const QJsonObject keyObject = keys.toObject();
        for (auto it = keyObject.begin(); it != keyObject.end(); ++it) {
            if (splitPath(it.key()).join(QLatin1Char('\\')) != it.key())
                return false; // empty, or holding a separator
            Node child;
            if (!nodeFromJson(it.value(), &child, depth + 1))
                return false;
            // Names differing only in case (a hand-edited file) meet in the first spelling.
            Node &target = ensureChild(*node, it.key());
            for (Value &value : child.values) {
                if (!findItem(target.values, value.name))
                    setValue(target, value);
            }
            for (Node &grandChild : child.children) {
                if (!findItem(target.children, grandChild.name))
                    target.children.insert(lowerBound(target.children, grandChild.name),
                                           std::move(grandChild));
            }
        }
    }
    const QJsonValue values = object.value(QStringLiteral("values"));
    if (!values.isUndefined()) {
        if (!values.isObject())
            return false;
        const QJsonObject valueObject = values.toObject();
        for (auto it = valueObject.begin(); it != valueObject.end(); ++it) {
            Value value;
            if (!valueFromJson(it.key(), it.value(), &value))
                return false;
            if (!findItem(node->values, value.name))
                setValue(*node, value);
        }
    }
    return true;
}

QByteArray serialize(const Node &root)
{
    QJsonObject top;
    top.insert(QStringLiteral("format"), FormatTag);
    top.insert(QStringLiteral("version"), FormatVersion);
    top.insert(QStringLiteral("root"), nodeToJson(root));
    return QJsonDocument(top).toJson(QJsonDocument::Indented);
}

enum class ReadResult { Ok, Missing, Damaged };

ReadResult readStore(const QString &path, Node *root, QString *why)
{
    *root = Node();
    QFile file(path);
    if (!file.exists())
        return ReadResult::Missing;
    if (!file.open(QIODevice::ReadOnly)) {
        *why = file.errorString();
        return ReadResult::Damaged;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *why = file.errorString();
        return ReadResult::Damaged;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *why = parseError.errorString();
        return ReadResult::Damaged;
    }
    const QJsonObject top = document.object();
    if (!document.isObject() || top.value(QStringLiteral("format")).toString() != FormatTag) {
        *why = QStringLiteral("not a settings file of this program");
        return ReadResult::Damaged;
    }
    if (top.value(QStringLiteral("version")).toInt() > FormatVersion) {
        *why = QStringLiteral("written by a newer version of the program");
        return ReadResult::Damaged;
    }
    if (!nodeFromJson(top.value(QStringLiteral("root")), root, 0)) {
        *root = Node();
        *why = QStringLiteral("malformed keys or values");
        return ReadResult::Damaged;
    }
    return ReadResult::Ok;
}

QString lockPath(const QString &path)
{
    return path + QStringLiteral(".lock");
}

} // namespace

struct Registry::Data
{
    QString path;
    Node base; // the file as last read or written
    Node view; // base with the pending changes applied
    std::vector<Change> pending;
    QStringList current;
    bool hasCurrent = false;
    QString damageReport;

    void record(Change change)
    {
        applyChange(view, change);
        pending.push_back(std::move(change));
    }

    const Node *currentNode() const { return hasCurrent ? findNode(view, current) : nullptr; }

    const Value *currentValue(const QString &name) const
    {
        const Node *node = currentNode();
        return node ? findItem(node->values, name) : nullptr;
    }

    // Renames a damaged file aside; the caller holds the lock or has just failed to parse.
    void setAside(const QString &why)
    {
        const QString stamp
                = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        QString target = path + QStringLiteral(".damaged-") + stamp;
        for (int n = 2; QFile::exists(target); ++n)
            target = path + QStringLiteral(".damaged-") + stamp + QLatin1Char('-')
                     + QString::number(n);
        if (QFile::rename(path, target)) {
            damageReport = QStringLiteral("The settings file %1 could not be read (%2); it was "
                                          "kept as %3 and the settings start empty.")
                                   .arg(QDir::toNativeSeparators(path),
                                        why,
                                        QDir::toNativeSeparators(target));
        } else {
            damageReport = QStringLiteral("The settings file %1 could not be read (%2) nor set "
                                          "aside; the settings start empty.")
                                   .arg(QDir::toNativeSeparators(path), why);
        }
    }

    // Reads the file into base; a damaged file is set aside (under the lock, and only if it is
    // still damaged once the lock is held: another copy may just have replaced it).
    void load()
    {
        QString why;
        if (readStore(path, &base, &why) == ReadResult::Damaged) {
            QLockFile lock(lockPath(path));
            const bool locked = lock.tryLock(2000);
            if (readStore(path, &base, &why) == ReadResult::Damaged && locked)
                setAside(why);
            else if (!locked)
                damageReport = QStringLiteral("The settings file %1 could not be read (%2).")
                                       .arg(QDir::toNativeSeparators(path), why);
        }
        view = base;
        for (const Change &change : pending)
            applyChange(view, change);
    }
};

Registry::Registry(const QString &filePath)
    : d(std::make_unique<Data>())
{
    d->path = filePath;
    d->load();
}

Registry::~Registry() = default;

QString Registry::userFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)
           + QStringLiteral("/registry.json");
}

Registry &Registry::user()
{
    static Registry registry(userFilePath());
    return registry;
}

QString Registry::filePath() const
{
    return d->path;
}

QString Registry::damageReport() const
{
    return d->damageReport;
}

QString Registry::takeDamageReport()
{
    return std::exchange(d->damageReport, QString());
}

bool Registry::openKey(const QString &path, bool create)
{
    const QStringList parts = splitPath(path);
    if (!findNode(d->view, parts)) {
        if (!create)
            return false;
        d->record({Change::CreateKey, parts, {}});
    }
    d->current = parts;
    d->hasCurrent = true;
    return true;
}

void Registry::closeKey()
{
    d->current.clear();
    d->hasCurrent = false;
}

QString Registry::currentPath() const
{
    if (!d->hasCurrent)
        return QString();
    QString spelled;
    const Node *node = &d->view;
    for (const QString &part : d->current) {
        node = node ? findItem(node->children, part) : nullptr;
        spelled += QLatin1Char('\\') + (node ? node->name : part);
    }
    return spelled.isEmpty() ? QStringLiteral("\\") : spelled;
}

bool Registry::hasCurrentKey() const
{
    return d->hasCurrent;
}

bool Registry::keyExists(const QString &path) const
{
    return findNode(d->view, splitPath(path)) != nullptr;
}

bool Registry::deleteKey(const QString &path)
{
    const QStringList parts = splitPath(path);
    if (parts.isEmpty() || !findNode(d->view, parts))
        return false;
    d->record({Change::DeleteKey, parts, {}});
    if (d->hasCurrent && d->current.size() >= parts.size()) {
        bool inside = true;
        for (int i = 0; i < parts.size() && inside; ++i)
            inside = folded(parts.at(i)) == folded(d->current.at(i));
        if (inside)
            closeKey();
    }
    return true;
}

std::optional<Registry::KeyInfo> Registry::keyInfo() const
{
    const Node *node = d->currentNode();
    if (!node)
        return std::nullopt;
    return KeyInfo{int(node->children.size()), int(node->values.size())};
}

QStringList Registry::keyNames() const
{
    QStringList names;
    if (const Node *node = d->currentNode()) {
        for (const Node &child : node->children)
            names << child.name;
    }
    return names;
}

QStringList Registry::valueNames() const
{
    QStringList names;
    if (const Node *node = d->currentNode()) {
        for (const Value &value : node->values)
            names << value.name;
    }
    return names;
}

bool Registry::valueExists(const QString &name) const
{
    return d->currentValue(name) != nullptr;
}

std::optional<Registry::ValueType> Registry::valueType(const QString &name) const
{
    if (const Value *value = d->currentValue(name))
        return value->type;
    return std::nullopt;
}

std::optional<QString> Registry::readString(const QString &name) const
{
    const Value *value = d->currentValue(name);
    if (!value || value->type != ValueType::String)
        return std::nullopt;
    const qsizetype nul = value->text.indexOf(QChar(0));
    return nul < 0 ? value->text : value->text.left(nul);
}

std::optional<qint32> Registry::readInteger(const QString &name) const
{
    const Value *value = d->currentValue(name);
    if (!value || value->type != ValueType::Integer)
        return std::nullopt;
    return value->number;
}

std::optional<bool> Registry::readBool(const QString &name) const
{
    const auto number = readInteger(name);
    if (!number)
        return std::nullopt;
    return *number != 0;
}

std::optional<QByteArray> Registry::readBinary(const QString &name) const
{
    const Value *value = d->currentValue(name);
    if (!value || value->type != ValueType::Binary)
        return std::nullopt;
    return value->bytes;
}

bool Registry::writeString(const QString &name, const QString &text)
{
    if (!d->hasCurrent)
        return false;
    Value value;
    value.name = name;
    value.type = ValueType::String;
    value.text = text;
    d->record({Change::SetValue, d->current, value});
    return true;
}

bool Registry::writeInteger(const QString &name, qint32 number)
{
    if (!d->hasCurrent)
        return false;
    Value value;
    value.name = name;
    value.type = ValueType::Integer;
    value.number = number;
    d->record({Change::SetValue, d->current, value});
    return true;
}

bool Registry::writeBool(const QString &name, bool on)
{
    return writeInteger(name, on ? 1 : 0);
}

bool Registry::writeBinary(const QString &name, const QByteArray &bytes)
{
    if (!d->hasCurrent)
        return false;
    Value value;
    value.name = name;
    value.type = ValueType::Binary;
    value.bytes = bytes;
    d->record({Change::SetValue, d->current, value});
    return true;
}

bool Registry::deleteValue(const QString &name)
{
    if (!d->currentValue(name))
        return false;
    Value value;
    value.name = name;
    d->record({Change::DeleteValue, d->current, value});
    return true;
}

bool Registry::hasPendingChanges() const
{
    return !d->pending.empty();
}

bool Registry::save(QString *error, int lockTimeoutMs)
{
    auto fail = [error](const QString &message) {
        if (error)
            *error = message;
        return false;
    };
    const QString nativePath = QDir::toNativeSeparators(d->path);
    if (!QDir().mkpath(QFileInfo(d->path).absolutePath()))
        return fail(QStringLiteral("Cannot create the folder of %1.").arg(nativePath));

    QLockFile lock(lockPath(d->path));
    if (!lock.tryLock(lockTimeoutMs))
        return fail(QStringLiteral("The settings file %1 is locked by another program.")
                            .arg(nativePath));

    Node merged;
    QString why;
    if (readStore(d->path, &merged, &why) == ReadResult::Damaged)
        d->setAside(why);
    for (const Change &change : d->pending)
        applyChange(merged, change);

    const QByteArray bytes = serialize(merged);
    QSaveFile file(d->path);
    // Unbuffered, so that a short write (a full disk) shows in write()'s count: a buffered
    // QSaveFile can commit a file cut short when its final flush writes only part.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(QStringLiteral("Cannot write %1: %2").arg(nativePath, file.errorString()));
    // Site passwords are kept here: the file is the owner's alone.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (file.write(bytes) != bytes.size() || file.size() != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(QStringLiteral("Cannot write %1: %2").arg(nativePath, reason));
    }
    if (!file.commit())
        return fail(QStringLiteral("Cannot write %1: %2").arg(nativePath, file.errorString()));

    d->base = std::move(merged);
    d->view = d->base;
    d->pending.clear();
    return true;
}

void Registry::discardChanges()
{
    d->pending.clear();
    d->load();
}

void Registry::reload()
{
    d->load();
}
