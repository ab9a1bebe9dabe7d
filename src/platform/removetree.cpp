#include "platform/removetree.h"

#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>
#endif

namespace {

#ifdef Q_OS_UNIX

// Every step works relative to an open folder descriptor, and folders are opened with
// O_NOFOLLOW, so an entry swapped for a link between looking at it and opening it is never
// entered: the open fails and the link is unlinked instead.
class TreeRemover
{
public:
    QString firstError;

    void fail(const QString &path, int err)
    {
        if (firstError.isEmpty())
            firstError = QStringLiteral("Cannot remove '%1': %2")
                                 .arg(path, QString::fromLocal8Bit(std::strerror(err)));
    }

    // Removes the entry name of the open folder parentFd (shown as path in errors).
    void removeEntry(int parentFd, const std::string &name, const QString &path)
    {
        struct stat st;
        if (::fstatat(parentFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT)
                fail(path, errno);
            return;
        }
        if (S_ISDIR(st.st_mode)) {
            const int fd = openFolder(parentFd, name);
            if (fd >= 0) {
                removeContents(fd, path);
                ::close(fd);
            } else if (errno == ELOOP || errno == ENOTDIR) {
                // Replaced by a link or a file meanwhile: remove that entry, not its target.
                unlinkEntry(parentFd, name, 0, path);
                return;
            } else {
                fail(path, errno);
            }
            unlinkEntry(parentFd, name, AT_REMOVEDIR, path);
            return;
        }
        unlinkEntry(parentFd, name, 0, path);
    }

private:
    void unlinkEntry(int parentFd, const std::string &name, int flags, const QString &path)
    {
        if (::unlinkat(parentFd, name.c_str(), flags) == 0 || errno == ENOENT)
            return;
        fail(path, errno);
    }

    static int openFolder(int parentFd, const std::string &name)
    {
        const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        int fd = ::openat(parentFd, name.c_str(), flags);
        if (fd < 0 && errno == EACCES) {
            // An owner-only folder without read permission: give it back to the owner through
            // a descriptor that cannot be a link, then open it again.
#ifdef O_PATH
            const int pathFd = ::openat(
                    parentFd, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (pathFd >= 0) {
                const std::string proc = "/proc/self/fd/" + std::to_string(pathFd);
                if (::chmod(proc.c_str(), S_IRWXU) == 0)
                    fd = ::openat(parentFd, name.c_str(), flags);
                ::close(pathFd);
            }
#endif
            if (fd < 0)
                errno = EACCES;
        }
        if (fd >= 0) {
            struct stat st;
            if (::fstat(fd, &st) == 0 && (st.st_mode & S_IRWXU) != S_IRWXU)
                ::fchmod(fd, st.st_mode | S_IRWXU);
        }
        return fd;
    }

    void removeContents(int fd, const QString &path)
    {
        // Names first, then removal, so that the listing is not read while it changes.
        std::vector<std::string> names;
        const int listFd = ::dup(fd);
        if (listFd < 0) {
            fail(path, errno);
            return;
        }
        DIR *dir = ::fdopendir(listFd);
        if (!dir) {
            fail(path, errno);
            ::close(listFd);
            return;
        }
        while (const dirent *entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(dir);
        for (const std::string &name : names)
            removeEntry(fd, name, path + QLatin1Char('/') + QString::fromLocal8Bit(name));
    }
};

#endif

} // namespace

bool RemoveTreeNoFollow(const QString &nativePath, QString *error)
{
    // ".." is refused rather than resolved: through a link it need not mean what it says.
    const QString clean = QDir::cleanPath(nativePath);
    const QFileInfo info(clean);
    if (clean.isEmpty() || info.fileName().isEmpty() || info.fileName() == QLatin1String(".")
        || nativePath.split(QLatin1Char('/')).contains(QLatin1String(".."))) {
        if (error)
            *error = QStringLiteral("Refusing to remove '%1'.").arg(nativePath);
        return false;
    }
#ifdef Q_OS_UNIX
    const QByteArray parent = QFile::encodeName(info.absolutePath());
    const int parentFd = ::open(parent.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parentFd < 0) {
        if (errno == ENOENT)
            return true;
        if (error)
            *error = QStringLiteral("Cannot open '%1': %2")
                             .arg(info.absolutePath(),
                                  QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    TreeRemover remover;
    remover.removeEntry(parentFd, QFile::encodeName(info.fileName()).toStdString(), clean);
    struct stat st;
    const bool gone = ::fstatat(parentFd,
                                QFile::encodeName(info.fileName()).constData(),
                                &st,
                                AT_SYMLINK_NOFOLLOW)
                              != 0
                      && errno == ENOENT;
    ::close(parentFd);
    if (!gone && error)
        *error = remover.firstError.isEmpty() ? QStringLiteral("Cannot remove '%1'.").arg(clean)
                                              : remover.firstError;
    return gone;
#else
    if (info.isSymLink())
        return QFile::remove(clean);
    if (!info.exists())
        return true;
    // QDir::removeRecursively removes links as entries and does not descend into them.
    const bool gone = QDir(clean).removeRecursively();
    if (!gone && error)
        *error = QStringLiteral("Cannot remove '%1'.").arg(clean);
    return gone;
#endif
}
