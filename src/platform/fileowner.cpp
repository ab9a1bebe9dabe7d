#include "fileowner.h"

#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

bool OwnedByCurrentUser(const QString &nativePath)
{
#ifdef Q_OS_UNIX
    struct stat st;
    if (::lstat(QFile::encodeName(nativePath).constData(), &st) != 0)
        return false;
    return st.st_uid == ::geteuid();
#else
    return QFileInfo::exists(nativePath);
#endif
}
