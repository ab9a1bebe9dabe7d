#include "ui/systemdesktopservices.h"

#include "platform/trash.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

bool SystemDesktopServices::openFile(const QString &file, const QString &workingFolder)
{
    Q_UNUSED(workingFolder);
    if (!QFileInfo::exists(file))
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

bool SystemDesktopServices::openFolder(const QString &folder)
{
    if (!QFileInfo(folder).isDir())
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

bool SystemDesktopServices::startTextEditor(const QString &file, const QString &workingFolder)
{
    const QString visual = qEnvironmentVariable("VISUAL");
    QStringList command
            = editorCommand(visual, visual.isEmpty() ? defaultTextExec() : QString(), file);
    if (command.isEmpty())
        return false;
    const QString program = command.takeFirst();
    return QProcess::startDetached(program, command, workingFolder);
}

bool SystemDesktopServices::moveToTrash(const QString &path, QString *reason)
{
    // Not QFile::moveToTrash: without a usable trash it may move the item into a "files"
    // folder below the working folder and call that success.
    return MoveToUserTrash(path, reason);
}

QStringList SystemDesktopServices::editorCommand(const QString &visual,
                                                 const QString &desktopExec,
                                                 const QString &file)
{
    if (!visual.trimmed().isEmpty()) {
        QStringList command = QProcess::splitCommand(visual);
        command.append(file);
        return command;
    }
    if (desktopExec.trimmed().isEmpty())
        return {};
    // Field codes of a desktop entry's Exec line: %f %F %u %U take the file, the others
    // ("%i", "%c", "%k", deprecated ones) are dropped, "%%" is a percent sign.
    const QStringList tokens = QProcess::splitCommand(desktopExec);
    if (tokens.isEmpty() || tokens.first().startsWith(QLatin1Char('%')))
        return {};
    QStringList command;
    bool filePlaced = false;
    for (const QString &token : tokens) {
        if (token == QLatin1String("%f") || token == QLatin1String("%F")
            || token == QLatin1String("%u") || token == QLatin1String("%U")) {
            if (!filePlaced)
                command.append(file);
            filePlaced = true;
            continue;
        }
        if (token.size() == 2 && token.startsWith(QLatin1Char('%')) && token != QLatin1String("%%"))
            continue;
        QString plain = token;
        plain.replace(QLatin1String("%%"), QLatin1String("%"));
        command.append(plain);
    }
    if (command.isEmpty())
        return {};
    if (!filePlaced)
        command.append(file);
    return command;
}

QString SystemDesktopServices::defaultTextExec()
{
    if (m_execLooked)
        return m_exec;
    m_execLooked = true;
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/plain")});
    if (!query.waitForFinished(3000)) {
        query.kill();
        query.waitForFinished(1000);
        return m_exec;
    }
    const QString desktopFile = QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
    if (desktopFile.isEmpty())
        return m_exec;
    const QString path = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, desktopFile);
    if (path.isEmpty())
        return m_exec;
    QFile entry(path);
    if (!entry.open(QIODevice::ReadOnly | QIODevice::Text))
        return m_exec;
    // The Exec key of the [Desktop Entry] group (other groups are actions).
    bool inMainGroup = false;
    while (!entry.atEnd()) {
        const QString line = QString::fromUtf8(entry.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('[')))
            inMainGroup = line == QLatin1String("[Desktop Entry]");
        else if (inMainGroup && line.startsWith(QLatin1String("Exec=")))
            m_exec = line.mid(5);
    }
    return m_exec;
}
