#include "tempfolders.h"

#include "platform/fileowner.h"
#include "platform/localpath.h"
#include "platform/removetree.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

namespace {
constexpr QFile::Permissions OwnerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                         | QFile::ReadUser | QFile::WriteUser | QFile::ExeUser;

QString internalFolder(const QString &nativeFolder)
{
    return NativeToLocal(QDir::cleanPath(nativeFolder) + QLatin1Char('/'));
}
} // namespace

bool TempFolders::create(const QString &systemTemp, int attempts)
{
    m_error.clear();
    m_notice.clear();
    const QString temp = systemTemp.isEmpty() ? QDir::tempPath() : systemTemp;
    if (!ensureBase(temp))
        return false;
    m_nativeSession = makeNumberedFolder(m_nativeBase, attempts);
    if (m_nativeSession.isEmpty())
        return false;
    QString folders[3];
    for (QString &folder : folders) {
        folder = makeNumberedFolder(m_nativeSession, attempts);
        if (folder.isEmpty())
            return false;
    }
    m_base = internalFolder(m_nativeBase);
    m_session = internalFolder(m_nativeSession);
    m_dragDrop = internalFolder(folders[0]);
    m_open = internalFolder(folders[1]);
    m_view = internalFolder(folders[2]);
    return true;
}

bool TempFolders::ensureBase(const QString &systemTemp)
{
    const QString wanted = QDir(systemTemp).filePath(QStringLiteral("^ovFTP"));
    const QFileInfo info(wanted);
    if (!info.isSymLink() && !info.exists())
        QDir().mkdir(wanted, OwnerOnly);
    const QFileInfo now(wanted);
    if (!now.isSymLink() && now.isDir() && OwnedByCurrentUser(wanted)) {
        // Ours: keep it private even when an older run or the user widened it.
        QFile::setPermissions(wanted, OwnerOnly);
        m_nativeBase = wanted;
        return true;
    }
    if (now.isSymLink())
        m_notice = QStringLiteral("The temporary folder '%1' is a link").arg(wanted);
    else if (now.exists())
        m_notice = QStringLiteral("The temporary folder '%1' belongs to someone else").arg(wanted);
    else
        m_notice = QStringLiteral("The temporary folder '%1' cannot be created").arg(wanted);

    QTemporaryDir fresh(QDir(systemTemp).filePath(QStringLiteral("^ovFTP-XXXXXX")));
    if (!fresh.isValid()) {
        m_error = QStringLiteral("Cannot create a private temporary folder in '%1': %2")
                          .arg(systemTemp, fresh.errorString());
        return false;
    }
    fresh.setAutoRemove(false);
    m_nativeBase = fresh.path();
    QFile::setPermissions(m_nativeBase, OwnerOnly);
    m_notice += QStringLiteral("; using '%1' instead.").arg(m_nativeBase);
    return true;
}

QString TempFolders::makeNumberedFolder(const QString &nativeParent, int attempts)
{
    QDir parent(nativeParent);
    for (int i = 0; i < attempts; ++i) {
        const quint32 number
                = m_nameSource ? m_nameSource() : QRandomGenerator::global()->bounded(99999);
        const QString name = QString::number(number);
        const QString path = parent.filePath(name);
        // mkdir fails on any existing entry, a planted link included, so a folder made here is
        // always new and ours.
        if (parent.mkdir(name, OwnerOnly))
            return path;
    }
    m_error = QStringLiteral("Cannot create a temporary folder in '%1' after %2 attempts.")
                      .arg(nativeParent)
                      .arg(attempts);
    return {};
}

bool TempFolders::removeSessionFolder()
{
    if (m_nativeSession.isEmpty())
        return false;
    // A link planted inside the session folder goes as a link; its target stays.
    const bool removed = RemoveTreeNoFollow(m_nativeSession, &m_error);
    if (removed) {
        m_nativeSession.clear();
        m_session.clear();
    }
    return removed;
}
