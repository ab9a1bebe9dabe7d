#include "support/files.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace ovtest {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<missing ") + path.toUtf8() + '>';
    return file.readAll();
}

bool setModified(const QString &path, const QDateTime &time)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite | QIODevice::Append)
           && file.setFileTime(time, QFileDevice::FileModificationTime);
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    if (!QDir().mkpath(QFileInfo(path).path()))
        return false;
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
           && file.write(bytes) == bytes.size();
}

QByteArray testBytes(qint64 size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 x = seed * 2654435761u + 1;
    for (qint64 i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = char(x & 0xff);
    }
    return bytes;
}

bool writeTree(const QString &root, const FileTree &tree)
{
    for (auto it = tree.cbegin(); it != tree.cend(); ++it)
        if (!writeFile(root + '/' + it.key(), it.value()))
            return false;
    return true;
}

// Every entry below root that filters lets through (links not followed), relative to root.
static QStringList walk(const QString &root, QDir::Filters filters)
{
    QStringList paths;
    QDirIterator it(root, filters | QDir::Hidden | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << QDir(root).relativeFilePath(it.next());
    return paths;
}

FileTree readTree(const QString &root)
{
    FileTree tree;
    for (const QString &path : walk(root, QDir::Files | QDir::System))
        tree.insert(path, readFile(root + u'/' + path));
    return tree;
}

QStringList readFolders(const QString &root)
{
    QStringList folders = walk(root, QDir::Dirs | QDir::NoDotAndDotDot);
    folders.sort();
    return folders;
}

} // namespace ovtest
