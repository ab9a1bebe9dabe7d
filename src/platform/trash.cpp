#include "platform/trash.h"

#include "platform/localfolder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Makes one folder of the trash (owner-only) unless it is there.
bool makeTrashFolder(const QString &path, QString *reason)
{
    const QByteArray encoded = QFile::encodeName(path);
    struct stat info;
    if (::stat(encoded.constData(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            return true;
        *reason = QStringLiteral("the trash folder %1 is not a folder").arg(path);
        return false;
    }
    if (::mkdir(encoded.constData(), 0700) == 0)
        return true;
    *reason = QStringLiteral("the trash folder %1 cannot be made: %2")
                      .arg(path, systemReason(errno));
    return false;
}

QString absolutePath(const QString &nativePath)
{
    // The item itself, not what a link points to.
    const QFileInfo info(nativePath);
    return QDir::cleanPath(info.absoluteDir().absolutePath() + QLatin1Char('/') + info.fileName());
}

QByteArray trashInfo(const QString &originalPath)
{
    return "[Trash Info]\nPath=" + QUrl::toPercentEncoding(originalPath, "/") + "\nDeletionDate="
           + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddThh:mm:ss")).toLatin1()
           + '\n';
}

// A name for the item in the trash: its own, else "name.2.ext", "name.3.ext", ...
QString candidateName(const QString &name, int n)
{
    if (n == 1)
        return name;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return name + QLatin1Char('.') + QString::number(n);
    return name.left(dot) + QLatin1Char('.') + QString::number(n) + name.mid(dot);
}

// One rename that never replaces an item already at target (errno EEXIST then).
bool moveWithoutReplacing(const QString &source, const QString &target)
{
    const QByteArray from = QFile::encodeName(source);
    const QByteArray to = QFile::encodeName(target);
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without the flag: the name was checked free just before.
    return ::rename(from.constData(), to.constData()) == 0;
}

} // namespace

QString UserTrashFolder()
{
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty() || !QDir::isAbsolutePath(dataHome)) {
        const QString home = qEnvironmentVariable("HOME");
        if (home.isEmpty() || !QDir::isAbsolutePath(home))
            return QString();
        dataHome = home + QStringLiteral("/.local/share");
    }
    return QDir::cleanPath(dataHome + QStringLiteral("/Trash"));
}

bool TrashUsableFor(const QString &nativePath, QString *reason)
{
    QString why;
    const bool usable = [&] {
        const QString trash = UserTrashFolder();
        if (trash.isEmpty()) {
            why = QStringLiteral("there is no home folder to hold a trash");
            return false;
        }
        struct stat item;
        if (::lstat(QFile::encodeName(absolutePath(nativePath)).constData(), &item) != 0) {
            why = systemReason(errno);
            return false;
        }
        const QString parent = QFileInfo(trash).path();
        if (!QFileInfo(parent).isDir()) {
            QString parentWhy;
            if (!MakeLocalFolderPath(parent, &parentWhy)) {
                why = QStringLiteral("the trash folder %1 cannot be made: %2")
                              .arg(trash, parentWhy);
                return false;
            }
        }
        if (!makeTrashFolder(trash, &why)
            || !makeTrashFolder(trash + QStringLiteral("/files"), &why)
            || !makeTrashFolder(trash + QStringLiteral("/info"), &why))
            return false;
        struct stat files;
        if (::stat(QFile::encodeName(trash + QStringLiteral("/files")).constData(), &files) != 0) {
            why = systemReason(errno);
            return false;
        }
        if (files.st_dev != item.st_dev) {
            why = QStringLiteral("the trash folder %1 is on another file system").arg(trash);
            return false;
        }
        return true;
    }();
    if (!usable && reason)
        *reason = why;
    return usable;
}

bool MoveToUserTrash(const QString &nativePath, QString *reason)
{
    QString why;
    if (!TrashUsableFor(nativePath, &why)) {
        if (reason)
            *reason = why;
        return false;
    }
    const QString source = absolutePath(nativePath);
    const QString trash = UserTrashFolder();
    const QString name = QFileInfo(source).fileName();
    for (int n = 1; n < 10000; ++n) {
        const QString candidate = candidateName(name, n);
        const QString infoPath
                = trash + QStringLiteral("/info/") + candidate + QStringLiteral(".trashinfo");
        const QString target = trash + QStringLiteral("/files/") + candidate;
        // The info file claims the name: whoever makes it first owns it.
        const QByteArray encodedInfo = QFile::encodeName(infoPath);
        const int fd
                = ::open(encodedInfo.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            why = systemReason(errno);
            break;
        }
        struct stat taken;
        if (::lstat(QFile::encodeName(target).constData(), &taken) == 0) {
            // An item without its info file: the name stays with it.
            ::close(fd);
            ::unlink(encodedInfo.constData());
            continue;
        }
        const QByteArray info = trashInfo(source);
        const bool written
                = ::write(fd, info.constData(), size_t(info.size())) == ssize_t(info.size());
        const int writeError = errno;
        const bool closed = ::close(fd) == 0;
        if (!written || !closed) {
            why = systemReason(written ? errno : writeError);
            ::unlink(encodedInfo.constData());
            break;
        }
        if (moveWithoutReplacing(source, target))
            return true;
        const int moveError = errno;
        ::unlink(encodedInfo.constData());
        if (moveError == EEXIST)
            continue;
        why = systemReason(moveError);
        break;
    }
    if (why.isEmpty())
        why = QStringLiteral("no free name in the trash");
    if (reason)
        *reason = why;
    return false;
}
