#include "settings/registry.h"

#include "settings/registryfile.h"
#include "settings/registrytree.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>

#include <utility>
#include <vector>

using namespace RegistryTree;
using RegistryFile::ReadResult;
using RegistryFile::readStore;
using RegistryFile::serialize;

namespace {

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
    QString readError;

    void record(Change change)
    {
        applyChange(view, change);
        pending.push_back(std::move(change));
    }

    const Node *currentNode() const { return hasCurrent ? findNode(view, current) : nullptr; }

    const Value *currentValue(const QString &name) const
    {
        const Node *node = currentNode();
        return node ? findValue(*node, name) : nullptr;
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
    static QString unreadable(const QString &path, const QString &why)
    {
        return QStringLiteral("The settings file %1 cannot be read: %2.")
                .arg(QDir::toNativeSeparators(path), why);
    }

    void load()
    {
        QString why;
        readError.clear();
        const ReadResult result = readStore(path, &base, &why);
        if (result == ReadResult::Unreadable) {
            // The user's settings are there, only out of reach: they are left as they are,
            // and never replaced by a save.
            readError = unreadable(path, why);
        } else if (result == ReadResult::Damaged) {
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

QString Registry::readError() const
{
    return d->readError;
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
        node = node ? findChild(*node, part) : nullptr;
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
    const ReadResult result = readStore(d->path, &merged, &why);
    if (result == ReadResult::Unreadable)
        return fail(Data::unreadable(d->path, why));
    if (result == ReadResult::Damaged)
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
