#include "platform/localfolder.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

bool isFolder(const QByteArray &path)
{
    struct stat info;
    return ::stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

bool MakeLocalFolderPath(const QString &nativeFolder, QString *reason)
{
    const QString clean = QDir::cleanPath(QDir(nativeFolder).absolutePath());
    if (isFolder(QFile::encodeName(clean)))
        return true;
    // From the top down: each folder is made once the one above it exists.
    const QStringList parts = clean.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString path;
    for (const QString &part : parts) {
        path += QLatin1Char('/') + part;
        const QByteArray encoded = QFile::encodeName(path);
        if (::mkdir(encoded.constData(), 0777) == 0)
            continue;
        const int error = errno;
        if (error == EEXIST && isFolder(encoded))
            continue;
        if (reason)
            *reason = QString::fromLocal8Bit(std::strerror(error == EEXIST ? ENOTDIR : error));
        return false;
    }
    return true;
}
