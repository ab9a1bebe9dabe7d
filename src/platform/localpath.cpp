#include "platform/localpath.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

const QLatin1String DesktopPrefix("Desktop\\");

QString backslashesToSlashes(QString text)
{
    text.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return text;
}

// "/home/ann" below "/home" -> "ann"; empty when path is base itself; null when not below it.
QString relativeBelow(const QString &path, const QString &base)
{
    if (path == base)
        return QLatin1String("");
    const QString withSlash = base.endsWith(QLatin1Char('/')) ? base : base + QLatin1Char('/');
    if (path.startsWith(withSlash))
        return path.mid(withSlash.size());
    return QString();
}

} // namespace

QString DesktopFolder()
{
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!desktop.isEmpty() && QFileInfo(desktop).isDir())
        return QDir::cleanPath(desktop);
    return QDir::cleanPath(QDir::homePath());
}

QString LocalToNative(const QString &internalPath)
{
    if (internalPath.size() >= 2 && internalPath.at(1) == QLatin1Char(':')
        && (internalPath.at(0) == QLatin1Char('Z') || internalPath.at(0) == QLatin1Char('z'))) {
        // "Z:\home\ann\" -> "/home/ann/"
        const QString rest = backslashesToSlashes(internalPath.mid(2));
        return rest.startsWith(QLatin1Char('/')) ? rest : QLatin1Char('/') + rest;
    }
    if (internalPath.compare(QLatin1String("Desktop"), Qt::CaseInsensitive) == 0)
        return DesktopFolder();
    if (internalPath.startsWith(DesktopPrefix, Qt::CaseInsensitive)) {
        // "Desktop\a\" -> "<desktop>/a/"
        const QString desktop = DesktopFolder();
        const QString rest = backslashesToSlashes(internalPath.mid(DesktopPrefix.size()));
        return desktop == QLatin1String("/") ? desktop + rest : desktop + QLatin1Char('/') + rest;
    }
    return QString(); // the top level "\" and drives other than Z: have no native path
}

QString ResolveDesktopPath(const QString &internalPath)
{
    if (!internalPath.startsWith(DesktopPrefix))
        return internalPath;
    return NativeToLocal(DesktopFolder() + QLatin1Char('/'))
           + internalPath.mid(DesktopPrefix.size());
}

QString NativeToLocal(const QString &nativePath)
{
    if (nativePath.isEmpty())
        return QStringLiteral("\\");
    const QString absolute = QDir::cleanPath(QFileInfo(nativePath).absoluteFilePath());
    const bool folder = nativePath.endsWith(QLatin1Char('/')) || QFileInfo(absolute).isDir();
    QString internal;

    // Below a real Desktop folder the Desktop form is used, so that the Desktop node finds it.
    const QString desktop = DesktopFolder();
    const QString belowDesktop = desktop != QDir::cleanPath(QDir::homePath())
                                         ? relativeBelow(absolute, desktop)
                                         : QString();
    if (!belowDesktop.isNull()) {
        internal = DesktopPrefix + belowDesktop;
    } else {
        internal = QLatin1String("Z:") + absolute; // "/home/ann" -> "Z:/home/ann"
    }
    internal.replace(QLatin1Char('/'), QLatin1Char('\\'));
    if (folder && !internal.endsWith(QLatin1Char('\\')))
        internal += QLatin1Char('\\');
    return internal;
}
