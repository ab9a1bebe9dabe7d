#include "settings/registryfile.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace RegistryFile {

using namespace RegistryTree;

namespace {

const QString FormatTag = QStringLiteral("orvane-registry");
const int FormatVersion = 1;

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
                if (!findValue(target, value.name))
                    setValue(target, value);
            }
            for (Node &grandChild : child.children) {
                if (!findChild(target, grandChild.name))
                    ensureChild(target, grandChild.name) = std::move(grandChild);
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
            if (!findValue(*node, value.name))
                setValue(*node, value);
        }
    }
    return true;
}

} // namespace

QByteArray serialize(const Node &root)
{
    QJsonObject top;
    top.insert(QStringLiteral("format"), FormatTag);
    top.insert(QStringLiteral("version"), FormatVersion);
    top.insert(QStringLiteral("root"), nodeToJson(root));
    return QJsonDocument(top).toJson(QJsonDocument::Indented);
}

ReadResult readStore(const QString &path, Node *root, QString *why)
{
    *root = Node();
    QFile file(path);
    if (!file.exists())
        return ReadResult::Missing;
    if (!file.open(QIODevice::ReadOnly)) {
        *why = file.errorString();
        return ReadResult::Unreadable;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *why = file.errorString();
        return ReadResult::Unreadable;
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

} // namespace RegistryFile
