#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// The per-user hierarchical key/value store of the program: keys hold subkeys and typed values
// (string, 32-bit integer, binary; a boolean is an integer 0 or 1). It is kept as one JSON file.
//
// Names: key and value names compare without regard to case and keep the spelling they were
// created with ("\Software\..." and "\SOFTWARE\..." name the same key). Subkeys enumerate in
// case-insensitive name order. Key paths are absolute, their components separated by "\";
// empty components are ignored, so "\A\\B\" is the key B below A. A component is an opaque
// name: "..", ":" or "." mean nothing special.
//
// Changes and saving: every write, key creation and deletion is applied at once to this
// object's view and remembered as a pending change; nothing reaches the file until save().
// save() takes the file's lock, reads the file as another running copy of the program may have
// left it, replays the pending changes on top of it, and replaces the file in one atomic step.
// So two copies writing different keys never lose each other's keys, a set of changes saved
// together (for example deleting a subtree and writing it anew) lands all or nothing, and the
// lock is held only for the read-modify-write itself. A failed save leaves the file as it was
// and keeps the changes pending, so a later save() can try again.
//
// Damage: a file that cannot be parsed is renamed aside (suffix ".damaged-<time>"), the store
// starts empty, and damageReport() says what happened, for the front end to log. A file that is
// there but cannot be read (permissions, an I/O error) is left alone: the store starts empty,
// readError() says why, and save() fails rather than replace it.
//
// Not thread-safe: use one object from one thread. Separate objects (in one process or in
// several) may share one file.
class Registry
{
public:
    enum class ValueType { String, Integer, Binary };

    struct KeyInfo
    {
        int subKeys = 0;
        int values = 0;
    };

    explicit Registry(const QString &filePath);
    ~Registry();
    Registry(const Registry &) = delete;
    Registry &operator=(const Registry &) = delete;

    // The user's store: "registry.json" in the per-user config folder
    // (QStandardPaths::AppConfigLocation), created on first use. Call it only after the
    // application's organisation and application names are set.
    static Registry &user();
    static QString userFilePath();

    QString filePath() const;

    // Empty unless a damaged file was set aside (when this object read the file); then a
    // sentence naming the file and where it was kept. takeDamageReport() clears it.
    QString damageReport() const;
    QString takeDamageReport();
    // Empty unless the file exists but could not be read when this object last read it; then a
    // sentence naming the file and the reason ("Permission denied").
    QString readError() const;

    // --- Keys -------------------------------------------------------------------------------
    // Makes path the current key. Without create, fails (false) when the key does not exist
    // and leaves the current key unchanged. With create, creates the key and its parents.
    bool openKey(const QString &path, bool create);
    void closeKey();
    // Path of the current key as "\A\B" in its stored spelling; empty when none is open.
    QString currentPath() const;
    bool hasCurrentKey() const;
    bool keyExists(const QString &path) const;
    // Deletes the key with everything below it; false when there was no such key. The root
    // (an empty path) cannot be deleted. If the current key was inside it, none is open after.
    bool deleteKey(const QString &path);
    // Number of subkeys and values of the current key; nullopt when none is open.
    std::optional<KeyInfo> keyInfo() const;
    // Subkey names of the current key in case-insensitive order, spelled as stored.
    QStringList keyNames() const;
    // Value names of the current key in case-insensitive order, spelled as stored.
    QStringList valueNames() const;

    // --- Values of the current key ---------------------------------------------------------
    // A read gives nullopt when no key is open, the value is missing or it has another type
    // (a boolean reads an integer value: any non-zero value is true). A string read ends at the
    // first NUL character.
    bool valueExists(const QString &name) const;
    std::optional<ValueType> valueType(const QString &name) const;
    std::optional<QString> readString(const QString &name) const;
    std::optional<qint32> readInteger(const QString &name) const;
    std::optional<bool> readBool(const QString &name) const;
    std::optional<QByteArray> readBinary(const QString &name) const;

    // Writes replace a value of the same name (keeping its first spelling) whatever its type.
    // They fail (false) when no key is open.
    bool writeString(const QString &name, const QString &value);
    bool writeInteger(const QString &name, qint32 value);
    bool writeBool(const QString &name, bool value);
    bool writeBinary(const QString &name, const QByteArray &value);
    bool deleteValue(const QString &name);

    // --- Persistence -----------------------------------------------------------------------
    bool hasPendingChanges() const;
    // Commits the pending changes as described above. On failure returns false, fills error
    // when given, and keeps the changes pending. Waits at most lockTimeoutMs for the lock.
    bool save(QString *error = nullptr, int lockTimeoutMs = 5000);
    // Drops the pending changes and rereads the file.
    void discardChanges();
    // Rereads the file and replays the pending changes on it (to see other copies' saves).
    void reload();

private:
    struct Data;
    std::unique_ptr<Data> d;
};
